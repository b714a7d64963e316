// Where new page windows open: on free space beside the main window, never over the program's
// other windows while the screen has room, and covering as little as it can when it has none.
#include "desktop/WindowPlacement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <string>

namespace lectryn::platform {

void PrintTo(const RECT& r, std::ostream* out) {
  *out << "[" << r.left << "," << r.top << " - " << r.right << "," << r.bottom << "]";
}

}  // namespace lectryn::platform

namespace lectryn::desktop {
namespace {

using platform::RECT;

constexpr int kGap = 8;
constexpr WindowSizes kPageSizes{900, 700, 480, 360};

// Rectangles are written here by their corner and size.
RECT At(int x, int y, int width, int height) {
  return {x, y, x + width, y + height};
}

// Apart when one lies wholly on one side of the other (right and bottom are outside).
bool Apart(const RECT& a, const RECT& b) {
  return a.right <= b.left || b.right <= a.left || a.bottom <= b.top || b.bottom <= a.top;
}

bool Inside(const RECT& outer, const RECT& inner) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

struct Layout {
  const char* name;
  RECT area;
  std::vector<RECT> taken;  // the first is the main window, the anchor
  bool preferredFits;       // a free spot exists at the preferred size
};

// Named by its name, so that test names stay the same from run to run.
void PrintTo(const Layout& layout, std::ostream* out) {
  *out << layout.name;
}

class FreeSpot : public ::testing::TestWithParam<Layout> {};

TEST_P(FreeSpot, CoversNoWindowKeepsItsDistanceAndStaysOnTheScreen) {
  const Layout& layout = GetParam();
  RECT placed = PlaceNewWindow(layout.area, layout.taken, layout.taken.front(), kPageSizes, kGap);
  EXPECT_TRUE(Inside(layout.area, placed)) << ::testing::PrintToString(placed);
  for (const RECT& window : layout.taken) {
    RECT kept{window.left - kGap, window.top - kGap, window.right + kGap, window.bottom + kGap};
    EXPECT_TRUE(Apart(placed, kept)) << ::testing::PrintToString(placed) << " over "
                                     << ::testing::PrintToString(window);
  }
  EXPECT_GE(placed.right - placed.left, kPageSizes.minimumWidth);
  EXPECT_GE(placed.bottom - placed.top, kPageSizes.minimumHeight);
  if (layout.preferredFits) {
    EXPECT_EQ(kPageSizes.preferredWidth, placed.right - placed.left);
    EXPECT_EQ(kPageSizes.preferredHeight, placed.bottom - placed.top);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Screens, FreeSpot,
    ::testing::Values(
        // The text-to-speech window right of the main window, where page windows used to open.
        Layout{"SpeechWindowBesideTheMainWindow",
               At(0, 0, 1920, 1050),
               {At(0, 0, 300, 120), At(308, 0, 600, 420)},
               true},
        Layout{"SpeechWindowBelowTheMainWindow",
               At(0, 0, 1920, 1200),
               {At(20, 20, 300, 120), At(20, 160, 600, 420)},
               true},
        // A small screen: no room for the preferred size, a smaller window fits below both.
        Layout{"SmallScreen", At(0, 0, 1024, 768), {At(0, 0, 300, 120), At(308, 0, 600, 340)}, false},
        // The main window at the right edge: the page does not go past the screen's edge.
        Layout{"MainWindowAtTheRightEdge", At(0, 0, 1280, 1024), {At(980, 0, 300, 120)}, true},
        // A panel's offset and several page windows open already.
        Layout{"OffsetAreaAndOtherPages",
               At(0, 27, 2560, 1573),
               {At(10, 40, 300, 120), At(330, 40, 900, 700), At(1240, 40, 900, 700)},
               true}),
    [](const ::testing::TestParamInfo<Layout>& info) { return std::string(info.param.name); });

TEST(NewWindowPlacement, OpensRightBesideTheMainWindowWhenThatIsFree) {
  RECT main = At(40, 30, 300, 120);
  RECT placed = PlaceNewWindow(At(0, 0, 1920, 1080), {main}, main, kPageSizes, kGap);
  EXPECT_EQ(At(main.right + kGap, main.top, 900, 700), placed);

  // Beside the main window, below the speech window that sits there.
  RECT speech = At(main.right + kGap, main.top, 500, 300);
  placed = PlaceNewWindow(At(0, 0, 1920, 1080), {main, speech}, main, kPageSizes, kGap);
  EXPECT_TRUE(Apart(placed, speech)) << ::testing::PrintToString(placed);
  EXPECT_LT(placed.left, speech.right) << "went past the speech window instead of below it";
}

TEST(NewWindowPlacement, WithoutFreeRoomItCoversAsLittleAsAnySpotWould) {
  // A quarter of one window, half of another, nothing of one that only touches.
  EXPECT_EQ(25 + 50, CoveredArea(At(0, 0, 10, 10), {At(5, 5, 10, 10), At(-5, 0, 10, 20), At(10, 0, 5, 5)}));

  RECT area = At(0, 0, 1000, 800);
  std::vector<RECT> taken{At(0, 0, 300, 120), At(0, 130, 1000, 400), At(0, 540, 300, 260)};
  RECT placed = PlaceNewWindow(area, taken, taken.front(), kPageSizes, kGap);
  EXPECT_EQ(At(placed.left, placed.top, 900, 700), placed);
  EXPECT_TRUE(Inside(area, placed)) << ::testing::PrintToString(placed);
  int64_t least = CoveredArea(placed, taken);
  EXPECT_GT(least, 0);  // no spot was free
  for (int x = area.left; x + 900 <= area.right; x += 4)
    for (int y = area.top; y + 700 <= area.bottom; y += 4)
      ASSERT_LE(least, CoveredArea(At(x, y, 900, 700), taken)) << "at " << x << "," << y;
}

TEST(NewWindowPlacement, AScreenSmallerThanTheWindowHoldsAllOfIt) {
  RECT area = At(0, 24, 640, 456);
  RECT main = At(0, 24, 300, 120);
  EXPECT_EQ(area, PlaceNewWindow(area, {main}, main, kPageSizes, kGap));
  // Nothing to avoid and no anchor on the screen: still a window that the screen holds.
  EXPECT_EQ(area, PlaceNewWindow(area, {}, {}, kPageSizes, kGap));
}

}  // namespace
}  // namespace lectryn::desktop
