// The simulated desktop: which window a point hits, the order children are visited in, and what
// the device contexts leave in a window's pixels.
#include <gtest/gtest.h>

#include "sim/SimWindowSystem.h"

namespace lectryn::sim {
namespace {

using platform::HWND;

struct SimWindowSystemTest : ::testing::Test {
  SimUiLoop loop;
  SimWindowSystem windows{loop};

  // Draws one rectangle with a fresh context and returns the changed pixels as "x,y ...".
  std::string Draw(HWND hWnd, int32_t rop, int32_t penStyle, int32_t penWidth, int32_t brush, SimRect r) {
    platform::HDC dc = windows.GetWindowDC(hWnd);
    windows.SetROP2(dc, rop);
    platform::HGDIOBJ pen = windows.CreatePen(penStyle, penWidth, platform::RGB(0, 255, 0));
    platform::HGDIOBJ oldPen = windows.SelectObject(dc, pen);
    platform::HGDIOBJ oldBrush = windows.SelectObject(dc, windows.GetStockObject(brush));
    windows.Rectangle(dc, r.left, r.top, r.right, r.bottom);
    windows.SelectObject(dc, oldBrush);
    windows.SelectObject(dc, oldPen);
    EXPECT_TRUE(windows.DeleteObject(pen));
    windows.ReleaseDC(hWnd, dc);
    std::string out;
    for (auto p : windows.ChangedPixels(hWnd)) out += std::to_string(p.x) + "," + std::to_string(p.y) + " ";
    return out;
  }
};

TEST_F(SimWindowSystemTest, PointHitsTheDeepestWindowOfTheTopmostOne) {
  HWND back = windows.CreateWindow("Back", {0, 0, 100, 100});
  HWND front = windows.CreateWindow("Front", {50, 50, 150, 150});
  HWND child = windows.CreateWindow("Child", {60, 60, 100, 100}, front);
  HWND grandchild = windows.CreateWindow("Grand", {70, 70, 80, 80}, child);
  HWND later = windows.CreateWindow("Later", {90, 90, 120, 120}, front);
  EXPECT_EQ(back, windows.WindowFromPoint({10, 10}));
  EXPECT_EQ(front, windows.WindowFromPoint({55, 55}));
  EXPECT_EQ(grandchild, windows.WindowFromPoint({75, 75}));
  EXPECT_EQ(later, windows.WindowFromPoint({95, 95})) << "a later sibling lies above";
  EXPECT_EQ(0, windows.WindowFromPoint({200, 10}));
  windows.BringToTop(back);
  EXPECT_EQ(back, windows.WindowFromPoint({75, 75}));
  EXPECT_EQ(front, windows.GetParent(child));
}

TEST_F(SimWindowSystemTest, ChildrenAreVisitedDepthFirstInCreationOrderUntilTheVisitorStops) {
  HWND top = windows.CreateWindow("Top", {0, 0, 100, 100});
  HWND a = windows.CreateWindow("A", {0, 0, 10, 10}, top);
  HWND b = windows.CreateWindow("B", {0, 0, 10, 10}, top);
  HWND a1 = windows.CreateWindow("A1", {0, 0, 10, 10}, a);
  std::vector<HWND> seen;
  windows.EnumChildWindows(top, [&](HWND h) {
    seen.push_back(h);
    return true;
  });
  EXPECT_EQ((std::vector<HWND>{a, a1, b}), seen);
  seen.clear();
  windows.EnumChildWindows(top, [&](HWND h) {
    seen.push_back(h);
    return h != a1;
  });
  EXPECT_EQ((std::vector<HWND>{a, a1}), seen);
}

TEST_F(SimWindowSystemTest, ClassNameIsCutToTheBuffer) {
  HWND h = windows.CreateWindow("Internet Explorer_Server", {0, 0, 1, 1});
  std::string buffer(10, '\0');
  EXPECT_EQ(9, windows.GetClassNameA(h, buffer, 10));
  EXPECT_EQ(std::string("Internet \0", 10), buffer);
  EXPECT_EQ(0, windows.GetClassNameA(999, buffer, 10));
}

TEST_F(SimWindowSystemTest, InsideFramePenInvertsABandInsideTheRectangle) {
  HWND h = windows.CreateWindow("Page", {0, 0, 6, 6});
  EXPECT_EQ("1,1 2,1 3,1 4,1 1,2 4,2 1,3 4,3 1,4 2,4 3,4 4,4 ",
            Draw(h, platform::R2_NOT, platform::PS_INSIDEFRAME, 1, platform::NULL_BRUSH, {1, 1, 5, 5}));
  EXPECT_EQ(0u, windows.Pixel(h, 1, 1));
  EXPECT_EQ("", Draw(h, platform::R2_NOT, platform::PS_INSIDEFRAME, 1, platform::NULL_BRUSH, {1, 1, 5, 5}))
      << "inverting twice restores";
  EXPECT_EQ("0,0 1,0 2,0 0,1 2,1 0,2 1,2 2,2 ",
            Draw(h, platform::R2_NOT, platform::PS_INSIDEFRAME, 1, platform::NULL_BRUSH, {3, 3, 0, 0}))
      << "corners in either order";
  EXPECT_EQ(0, windows.OpenDeviceContexts());
  EXPECT_EQ(0, windows.LivePens());
}

TEST_F(SimWindowSystemTest, WideBandClipsAtTheWindowAndBrushFillsTheInside) {
  HWND h = windows.CreateWindow("Page", {0, 0, 5, 4});
  EXPECT_EQ("3,0 4,0 3,1 4,1 3,2 4,2 3,3 4,3 ",
            Draw(h, platform::R2_NOT, platform::PS_INSIDEFRAME, 3, platform::NULL_BRUSH, {3, -5, 12, 12}));
  windows.InvalidateRect(0, true);
  EXPECT_EQ("0,0 1,0 2,0 0,1 1,1 2,1 0,2 1,2 2,2 ",
            Draw(h, platform::R2_NOT, platform::PS_INSIDEFRAME, 1, windowsystem::kWhiteBrush, {0, 0, 3, 3}));
}

TEST_F(SimWindowSystemTest, SelectedPenCannotBeDeleted) {
  HWND h = windows.CreateWindow("A", {0, 0, 4, 4});
  platform::HDC dc = windows.GetWindowDC(h);
  platform::HGDIOBJ pen = windows.CreatePen(platform::PS_INSIDEFRAME, 1, 0);
  platform::HGDIOBJ old = windows.SelectObject(dc, pen);
  EXPECT_FALSE(windows.DeleteObject(pen));
  windows.SelectObject(dc, old);
  EXPECT_TRUE(windows.DeleteObject(pen));
  EXPECT_EQ(0, windows.ReleaseDC(h + 1, dc)) << "a context is released by its own window";
  EXPECT_EQ(1, windows.ReleaseDC(h, dc));
}

TEST_F(SimWindowSystemTest, DrawingAndMessageCallsAreRecordedInOrder) {
  HWND h = windows.CreateWindow("Page", {0, 0, 6, 6});
  windows.ClearCalls();
  windows.RegisterWindowMessageA("WM_HTML_GETOBJECT");
  Draw(h, platform::R2_NOT, platform::PS_INSIDEFRAME, 1, platform::NULL_BRUSH, {1, 1, 5, 5});
  std::string calls;
  for (const std::string& call : windows.Calls()) calls += call + " ";
  EXPECT_EQ(
      "RegisterWindowMessageA GetWindowDC SetROP2 CreatePen SelectObject GetStockObject "
      "SelectObject Rectangle SelectObject SelectObject DeleteObject ReleaseDC ",
      calls);
}

TEST_F(SimWindowSystemTest, ContextOfADestroyedWindowDrawsNothing) {
  HWND h = windows.CreateWindow("Page", {0, 0, 4, 4});
  platform::HDC dc = windows.GetWindowDC(h);
  windows.SetROP2(dc, platform::R2_NOT);
  windows.DestroyWindow(h);
  EXPECT_FALSE(windows.Rectangle(dc, 0, 0, 4, 4));
  EXPECT_EQ(0, windows.GetWindowDC(h));
  EXPECT_EQ(1, windows.ReleaseDC(h, dc)) << "the context is still given back";
  EXPECT_EQ(0, windows.OpenDeviceContexts());
}

TEST_F(SimWindowSystemTest, BlockedTimeRunsNothingUntilTheLoopRuns) {
  int ran = 0;
  loop.PostDelayed(50, [&] { ++ran; });
  loop.PassTime(100);
  EXPECT_EQ(100, loop.NowMs());
  EXPECT_EQ(0, ran);
  loop.DoEvents();
  EXPECT_EQ(1, ran);
}

}  // namespace
}  // namespace lectryn::sim
