// The picker on the simulated desktop over hand-made pages: what is outlined (read back from the
// page window's pixels), what becomes the reading target, and what a release reads.
#include <gtest/gtest.h>

#include <random>

#include "targeting/FakePage.h"
#include "targeting/PickerDesk.h"

namespace lectryn::targeting {
namespace {

using platform::HWND;

constexpr int32_t kBand = 3;  // three system borders of one pixel

// What one outline drawn on a blank window of this size looks like.
std::vector<uint32_t> Drawn(int32_t width, int32_t height, std::vector<OutlineRect> rects) {
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, sim::kBackground);
  for (const OutlineRect& r : rects)
    for (int32_t y = std::max(r.Top, 0); y < std::min(r.Bottom, height); ++y)
      for (int32_t x = std::max(r.Left, 0); x < std::min(r.Right, width); ++x)
        if (x < r.Left + kBand || x >= r.Right - kBand || y < r.Top + kBand || y >= r.Bottom - kBand)
          pixels[static_cast<size_t>(y) * width + x] ^= 0xFFFFFF;
  return pixels;
}

std::string Str(const OutlineRect& r) {
  return std::to_string(r.Left) + "," + std::to_string(r.Top) + "," + std::to_string(r.Right) + "," +
         std::to_string(r.Bottom);
}

struct PickerTest : ::testing::Test, PickerDesk {
  HWND frameWnd = windows.CreateWindow("PageFrame", {300, 0, 1100, 650});
  HWND pageWnd = windows.CreateWindow("Internet Explorer_Server", {300, 50, 1100, 650}, frameWnd);
  std::shared_ptr<fake::Document> page = std::make_shared<fake::Document>(u"file:///a.htm");
  std::shared_ptr<fake::Element> p1 =
      page->Add(u"P", u"\r\n First line\r\nsecond line \r\n", {10, 20, 300, 40});
  std::shared_ptr<fake::Element> p2 = page->Add(u"P", u"Another paragraph", {10, 100, 300, 40});
  std::shared_ptr<fake::Element> img = page->Add(u"IMG", u" \r\n", {400, 20, 100, 100});

  PickerTest() {
    windows.SetClientInset(mainWnd, 4, 24);
    windows.SetDocument(pageWnd, page);
  }

  // Screen pixels; the handler gets them in the main window's client area.
  void MoveTo(int32_t x, int32_t y, int16_t button = 1) {
    platform::POINTAPI origin = windows.ClientOrigin(mainWnd);
    picker.Form_MouseMove(button, 0, static_cast<float>(x - origin.x), static_cast<float>(y - origin.y));
  }
  // Page client pixels of pageWnd.
  void MoveOnPage(int32_t x, int32_t y, int16_t button = 1) { MoveTo(300 + x, 50 + y, button); }

  std::vector<uint32_t> PagePixels(HWND hWnd) { return windows.Pixels(hWnd); }
  std::vector<uint32_t> Expected(std::vector<OutlineRect> rects) { return Drawn(800, 600, rects); }
  const platform::IHTMLElement* Target() {
    return main.rng ? static_cast<fake::Range&>(*main.rng).element : nullptr;
  }
};

TEST_F(PickerTest, OutlineFollowsThePointerAndIsDrawnOnlyWhenItChanges) {
  Press();
  MoveOnPage(50, 30);
  EXPECT_EQ(Str({10, 20, 310, 60}), Str(picker.outlineRect));
  EXPECT_EQ(Expected({{10, 20, 310, 60}}), PagePixels(pageWnd));
  EXPECT_EQ(pageWnd, main.mlngHwndCaptured);
  EXPECT_EQ(page, main.workingDoc);
  EXPECT_EQ(p1.get(), Target());

  size_t drawn = windows.CountCalls("Rectangle");
  MoveOnPage(60, 35);
  EXPECT_EQ(drawn, windows.CountCalls("Rectangle")) << "a still outline is not drawn again";

  MoveOnPage(60, 110);
  EXPECT_EQ(Expected({{10, 100, 310, 140}}), PagePixels(pageWnd));
  EXPECT_EQ(p2.get(), Target());
  EXPECT_EQ(pageWnd, main.mlngPrevHwndCaptured);

  MoveTo(150, 50);  // back over the main window: no page
  EXPECT_EQ(Expected({}), PagePixels(pageWnd));
  EXPECT_TRUE(IsNone(picker.outlineRect));
  EXPECT_EQ(0, main.mlngHwndCaptured);
  EXPECT_EQ(pageWnd, main.mlngPrevHwndCaptured);
  EXPECT_EQ(0, windows.OpenDeviceContexts());
  EXPECT_EQ(0, windows.LivePens());
  EXPECT_FALSE(picker.tbhwnd.Text().empty());
}

TEST_F(PickerTest, ReleaseReadsTheTargetOnOneLineAndEndsTheDrag) {
  Press(2);  // any button drags
  MoveOnPage(50, 30, 2);
  EXPECT_EQ(nullptr, main.pVoice) << "moving over a page drops the voice";
  EXPECT_EQ(platform::Pointer::UpArrow, windows.PointerOf(mainWnd));
  Release();

  EXPECT_EQ(u"First line second line", main.tbSpeach.Text());
  ASSERT_EQ(1U, voices.Spoken().size());
  EXPECT_EQ(u"First line second line", voices.Spoken()[0]);
  EXPECT_EQ(Expected({}), PagePixels(pageWnd)) << "the repaint removes the outline";
  EXPECT_EQ(platform::Pointer::Default, windows.PointerOf(mainWnd));
  EXPECT_EQ(0, windows.GetCapture());

  // After the drag, a move over the page is an ordinary move: the reading goes on.
  auto voice = main.pVoice;
  ASSERT_NE(nullptr, voice);
  MoveOnPage(60, 110);
  EXPECT_EQ(voice, main.pVoice);
  EXPECT_EQ(Expected({}), PagePixels(pageWnd));
}

TEST_F(PickerTest, RootAndElementsWithoutTextKeepTheLastTarget) {
  Press();
  MoveOnPage(50, 30);
  MoveOnPage(700, 500);  // the canvas outside every element: HTML
  MoveOnPage(450, 50);   // the image: only spaces and a line break
  EXPECT_EQ(Expected({{10, 20, 310, 60}}), PagePixels(pageWnd));
  EXPECT_EQ(p1.get(), Target());
  Release();
  EXPECT_EQ(u"First line second line", main.tbSpeach.Text());
}

TEST_F(PickerTest, PressAndReleaseWithoutMoveTakesNothingButStopsReading) {
  main.tbSpeach.SetText(u"being read now");
  main.cbStart_Click();
  int32_t created = voices.VoicesCreated();
  Press();
  Release();
  EXPECT_GT(voices.VoicesCreated(), created);
  EXPECT_FALSE(platform::IsSpeaking(*main.pVoice));
  EXPECT_EQ(1U, voices.Spoken().size());
  EXPECT_EQ(1U, windows.CountCalls("InvalidateRect"));
}

TEST_F(PickerTest, ReleaseOverAnotherWindowAfterAPageTakesNothing) {
  Press();
  MoveOnPage(50, 30);
  MoveTo(150, 50);
  Release();
  EXPECT_TRUE(voices.Spoken().empty());
  EXPECT_EQ(narration::kInstructionText, main.tbSpeach.Text());
}

TEST_F(PickerTest, AnotherAddressErasesTheOutlineTheSameAddressKeepsIt) {
  HWND otherFrame = windows.CreateWindow("PageFrame", {0, 700, 800, 1300});
  HWND other = windows.CreateWindow("Internet Explorer_Server", {0, 700, 800, 1300}, otherFrame);
  auto twin = std::make_shared<fake::Document>(u"file:///a.htm");
  auto twinP = twin->Add(u"P", u"Twin text", {0, 0, 200, 50});
  windows.SetDocument(other, twin);

  Press();
  MoveOnPage(50, 30);
  MoveTo(700, 1200);  // the twin page's root: same address, nothing tracked
  EXPECT_EQ(Expected({{10, 20, 310, 60}}), PagePixels(pageWnd)) << "same address: not erased";
  MoveTo(20, 710);
  EXPECT_EQ(Expected({}), PagePixels(pageWnd)) << "the outline moved to the window under the pointer";
  EXPECT_EQ(Expected({{1, 1, 200, 50}}), PagePixels(other));

  windows.SetDocument(pageWnd, std::make_shared<fake::Document>(u"file:///b.htm"));
  MoveOnPage(700, 500);  // another address, over its root
  EXPECT_EQ(Expected({}), PagePixels(other));
  EXPECT_EQ(Expected({}), PagePixels(pageWnd));
  EXPECT_EQ(twinP.get(), Target());
}

TEST_F(PickerTest, DropDownListCountsAsItsPageWindow) {
  HWND list = windows.CreateWindow("internet explorer_TRIDENTCMBOBX", {600, 170, 700, 270}, pageWnd);
  Press();
  MoveTo(650, 175);  // page point (350, 125): nothing there but the body
  EXPECT_EQ(pageWnd, main.mlngHwndCaptured);
  MoveOnPage(60, 110);
  EXPECT_EQ(p2.get(), Target());
  (void)list;
}

TEST_F(PickerTest, ElementScrolledPartlyOutIsOutlinedFromTheWindowsEdge) {
  page->scrollX = 30;
  page->scrollY = 50;
  Press();
  MoveOnPage(50, 60);  // page (80, 110): p2, whose box starts at (-20, 50) in the view
  EXPECT_EQ(Str({1, 50, 280, 90}), Str(picker.outlineRect));
  page->scrollY = 110;
  MoveOnPage(50, 10);  // p2 starts 10 above the view
  EXPECT_EQ(Str({1, 1, 280, 30}), Str(picker.outlineRect));
  EXPECT_EQ(Expected({{1, 1, 280, 30}}), PagePixels(pageWnd));
}

TEST_F(PickerTest, UnfinishedPageIsNotOutlinedButStopsReading) {
  page->state = u"loading";
  main.tbSpeach.SetText(u"being read now");
  main.cbStart_Click();
  Press();
  MoveOnPage(50, 30);
  EXPECT_EQ(Expected({}), PagePixels(pageWnd));
  EXPECT_EQ(nullptr, main.rng);
  EXPECT_EQ(nullptr, main.pVoice);
  page->state = u"interactive";
  MoveOnPage(50, 30);
  EXPECT_EQ(p1.get(), Target());
}

TEST_F(PickerTest, PageThatFailsEndsTheMoveQuietly) {
  Press();
  MoveOnPage(50, 30);
  page->gone = true;
  EXPECT_NO_THROW(MoveOnPage(60, 110));
  EXPECT_EQ(page, picker.hoverDoc);
  EXPECT_EQ(p1.get(), Target());
}

TEST_F(PickerTest, BusyPageWindowHoldsEachMoveOnTheClock) {
  windows.SetAnswer(pageWnd, sim::Answer::Document, 200);
  Press();
  MoveOnPage(50, 30);
  MoveOnPage(60, 110);
  EXPECT_EQ(400, loop.NowMs());
  EXPECT_EQ(p2.get(), Target());

  windows.SetAnswer(pageWnd, sim::Answer::Hung);
  MoveOnPage(50, 30);
  EXPECT_EQ(400, loop.NowMs());
  EXPECT_EQ(Expected({}), PagePixels(pageWnd)) << "a page that gives no document loses its outline";
}

// Frames, with the outer page scrolled: the frame sits at page (100, 200) with a border of 5,
// the outer view is scrolled by (20, 150), the frame's own page by (0, 40).
struct FramePickerTest : PickerTest {
  std::shared_ptr<fake::Document> inner = std::make_shared<fake::Document>(u"file:///inner.htm", 400, 300);
  std::shared_ptr<fake::Element> innerP = inner->Add(u"P", u"Inside the frame", {8, 60, 200, 30});
  std::shared_ptr<fake::Element> frame = page->Add(u"IFRAME", u"", {100, 200, 410, 310});

  FramePickerTest() {
    frame->border = 5;
    frame->frame = inner;
    page->scrollX = 20;
    page->scrollY = 150;
    inner->scrollY = 40;
  }
};

TEST_F(FramePickerTest, ElementInsideAFrameIsTheTarget) {
  Press();
  // The frame's content starts at view (85, 55); innerP lies at inner view (8, 20) .. (208, 50).
  MoveOnPage(85 + 10, 55 + 25);
  EXPECT_EQ(innerP.get(), Target());
  EXPECT_EQ(inner, main.workingDoc);
  EXPECT_EQ(Str({93, 75, 293, 105}), Str(picker.outlineRect));
  EXPECT_EQ(Expected({{93, 75, 293, 105}}), PagePixels(pageWnd));
  Release();
  EXPECT_EQ(u"Inside the frame", main.tbSpeach.Text());
}

TEST_F(FramePickerTest, FrameOfAnotherSiteIsAnElementOfThePage) {
  frame->frameUnreadable = true;
  Press();
  MoveOnPage(85 + 10, 55 + 25);
  EXPECT_EQ(page, main.workingDoc);
  EXPECT_EQ(Str({80, 50, 490, 360}), Str(picker.outlineRect));
  EXPECT_EQ(frame.get(), Target());
}

TEST_F(FramePickerTest, FrameBorderOutlinesTheFrameWhereItIs) {
  Press();
  MoveOnPage(82, 100);  // on the frame's left border: no point of its view
  EXPECT_EQ(inner, main.workingDoc);
  EXPECT_EQ(Str({80, 50, 490, 360}), Str(picker.outlineRect));
}

// Whatever the pointer did, the page window shows exactly one drawing of the current outline.
TEST_F(PickerTest, OutlinePixelsAlwaysMatchTheCurrentOutline) {
  for (int i = 0; i < 8; ++i)
    page->Add(u"DIV", u"text " + std::u16string(1, u'a' + i), {i * 70, i * 60, 150 + i * 9, 90});
  std::mt19937 random(7);
  std::uniform_int_distribution<int32_t> x(-50, 850), y(-50, 650), scroll(0, 3);
  for (int drag = 0; drag < 12; ++drag) {
    Press();
    for (int move = 0; move < 30; ++move) {
      if (scroll(random) == 0) page->scrollY = y(random) / 10;
      MoveOnPage(x(random), y(random));
      std::vector<OutlineRect> current;
      if (!IsNone(picker.outlineRect)) current.push_back(picker.outlineRect);
      ASSERT_EQ(Expected(current), PagePixels(pageWnd)) << "drag " << drag << " move " << move;
    }
    Release();
    ASSERT_EQ(Expected({}), PagePixels(pageWnd));
  }
}

}  // namespace
}  // namespace lectryn::targeting
