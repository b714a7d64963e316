// Drags on the simulated desktop over pages of the real engine, laid out with fixed metrics: the
// outline must surround the pointer with the picked element's size, also in frames of scrolled
// pages, and the release must read the picked element.
#include <gtest/gtest.h>

#include "engine/Document.h"
#include "platform/Text.h"
#include "targeting/PickerDesk.h"

namespace lectryn::targeting {
namespace {

using platform::HWND;

constexpr char kPage[] = R"(<html><body>
<p id="a" style="margin:0;height:40px">Alpha one two</p>
<p id="b" style="margin:0;height:40px">Beta<br>three</p>
<img id="img" width="60" height="60">
<div style="height:1500px">Filler words for a long page</div>
<iframe id="frame" style="border:5px solid black;width:400px;height:200px"></iframe>
<div style="height:1500px">More filler</div>
</body></html>)";

constexpr char kInner[] = R"(<html><body style="margin:0">
<div style="height:300px">Top of the frame</div>
<p id="in" style="margin:0;height:30px">Inside the frame</p>
<div style="height:600px">Rest of the frame</div>
</body></html>)";

struct PickerScenarioTest : ::testing::Test, PickerDesk {
  HWND pageWnd = windows.CreateWindow("Internet Explorer_Server", {300, 0, 1100, 600});
  std::shared_ptr<engine::Document> page = engine::Document::Parse(kPage, u"file:///page.htm");

  PickerScenarioTest() {
    page->SetViewSize(800, 600);
    windows.SetDocument(pageWnd, page);
  }

  platform::ElementPtr Get(const char* id, engine::Document& doc) {
    return doc.getElementById(platform::FromUtf8(id));
  }
  void MoveOnPage(int32_t x, int32_t y) {
    picker.Form_MouseMove(1, 0, static_cast<float>(x + 300), static_cast<float>(y));
  }
  // The view point where an element's border box starts, from the engine's own answer.
  platform::POINTAPI ViewPosition(engine::Document& doc, const platform::ElementPtr& el) {
    platform::POINTAPI p = ElementPagePosition(el);
    return {p.x - doc.body()->scrollLeft(), p.y - doc.body()->scrollTop()};
  }
  // The outline surrounds the pointer and has the element's size.
  void ExpectOutlineOf(const platform::ElementPtr& el, int32_t x, int32_t y) {
    const OutlineRect& r = picker.outlineRect;
    EXPECT_TRUE(r.Left <= x && x < r.Right && r.Top <= y && y < r.Bottom)
        << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom << " misses " << x << "," << y;
    EXPECT_EQ(el->offsetWidth(), r.Right - r.Left);
    EXPECT_EQ(el->offsetHeight(), r.Bottom - r.Top);
  }
  std::u16string Taken() {
    Release();
    return main.tbSpeach.Text();
  }
};

TEST_F(PickerScenarioTest, DragOutlinesElementsAndReadsTheOneUnderTheRelease) {
  auto a = Get("a", *page);
  auto b = Get("b", *page);
  Press();
  MoveOnPage(20, 10);
  ExpectOutlineOf(a, 20, 10);
  MoveOnPage(20, 50);
  ExpectOutlineOf(b, 20, 50);
  platform::POINTAPI img = ViewPosition(*page, Get("img", *page));
  MoveOnPage(img.x + 5, img.y + 5);  // an image has no text: the target stays
  ExpectOutlineOf(b, 20, 50);
  EXPECT_EQ(u"Beta three", Taken());
  ASSERT_EQ(1U, voices.Spoken().size());
  loop.AdvanceBy(50);
  EXPECT_EQ(u"Beta", page->SelectedText()) << "the first word is highlighted in the page";
  EXPECT_TRUE(windows.ChangedPixels(pageWnd).empty());
}

TEST_F(PickerScenarioTest, FrameOfAScrolledPageIsFollowed) {
  auto frameEl = Get("frame", *page);
  auto inner = engine::Document::Parse(kInner, u"file:///inner.htm");
  page->AttachFrameDocument(frameEl, inner);
  platform::POINTAPI framePage = ElementPagePosition(frameEl);
  page->SetViewScroll(0, static_cast<float>(framePage.y - 100));
  inner->SetViewScroll(0, 250);
  auto in = Get("in", *inner);
  platform::POINTAPI inView = ViewPosition(*inner, in);  // in the frame's view
  platform::POINTAPI frameView = ViewPosition(*page, frameEl);
  int32_t x = frameView.x + 5 + inView.x + 10;
  int32_t y = frameView.y + 5 + inView.y + 10;

  Press();
  MoveOnPage(x, y);
  EXPECT_EQ(inner, main.workingDoc);
  ExpectOutlineOf(in, x, y);
  EXPECT_EQ(u"Inside the frame", Taken());
}

TEST_F(PickerScenarioTest, FrameWithoutReadableDocumentIsAnElementOfThePage) {
  auto frameEl = Get("frame", *page);
  platform::POINTAPI framePage = ElementPagePosition(frameEl);
  page->SetViewScroll(0, static_cast<float>(framePage.y - 100));
  Press();
  MoveOnPage(50, 150);
  EXPECT_EQ(page, main.workingDoc);
  ExpectOutlineOf(frameEl, 50, 150);
}

TEST_F(PickerScenarioTest, LoadingPageIsNotTargeted) {
  page->SetReadyState(u"loading");
  Press();
  MoveOnPage(20, 10);
  EXPECT_TRUE(IsNone(picker.outlineRect));
  EXPECT_EQ(narration::kInstructionText, Taken());
  EXPECT_TRUE(voices.Spoken().empty() || voices.Spoken().back() != u"Alpha one two");
}

}  // namespace
}  // namespace lectryn::targeting
