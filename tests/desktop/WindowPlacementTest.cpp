// Where new page windows open: on free space beside the main window, never over the program's
// other windows while the screen has room, and covering as little as it can when it has none.
#include "desktop/WindowPlacement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>

namespace lectryn::desktop {

void PrintTo(const ScreenRect& r, std::ostream* out) {
  *out << "[" << r.x << "," << r.y << " " << r.width << "x" << r.height << "]";
}

namespace {

constexpr int kGap = 8;
constexpr WindowSizes kPageSizes{900, 700, 480, 360};

int64_t Overlap(const ScreenRect& a, const ScreenRect& b) {
  int64_t w = std::min(a.Right(), b.Right()) - std::max(a.x, b.x);
  int64_t h = std::min(a.Bottom(), b.Bottom()) - std::max(a.y, b.y);
  return w > 0 && h > 0 ? w * h : 0;
}

int64_t Covered(const ScreenRect& spot, const std::vector<ScreenRect>& taken) {
  int64_t covered = 0;
  for (const ScreenRect& window : taken) covered += Overlap(spot, window);
  return covered;
}

bool Inside(const ScreenRect& outer, const ScreenRect& inner) {
  return inner.x >= outer.x && inner.y >= outer.y && inner.Right() <= outer.Right() &&
         inner.Bottom() <= outer.Bottom();
}

ScreenRect Grown(const ScreenRect& r, int by) {
  return {r.x - by, r.y - by, r.width + 2 * by, r.height + 2 * by};
}

struct Layout {
  const char* name;
  ScreenRect area;
  std::vector<ScreenRect> taken;  // the first is the main window, the anchor
  bool preferredFits;             // a free spot exists at the preferred size
};

class FreeSpot : public ::testing::TestWithParam<Layout> {};

TEST_P(FreeSpot, CoversNoWindowKeepsItsDistanceAndStaysOnTheScreen) {
  const Layout& layout = GetParam();
  ScreenRect placed = PlaceNewWindow(layout.area, layout.taken, layout.taken.front(), kPageSizes, kGap);
  EXPECT_TRUE(Inside(layout.area, placed)) << ::testing::PrintToString(placed);
  for (const ScreenRect& window : layout.taken)
    EXPECT_EQ(0, Overlap(placed, Grown(window, kGap)))
        << ::testing::PrintToString(placed) << " over " << ::testing::PrintToString(window);
  EXPECT_GE(placed.width, kPageSizes.minimumWidth);
  EXPECT_GE(placed.height, kPageSizes.minimumHeight);
  if (layout.preferredFits) {
    EXPECT_EQ(kPageSizes.preferredWidth, placed.width);
    EXPECT_EQ(kPageSizes.preferredHeight, placed.height);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Screens, FreeSpot,
    ::testing::Values(
        // The text-to-speech window right of the main window, where page windows used to open.
        Layout{"SpeechWindowBesideTheMainWindow",
               {0, 0, 1920, 1050},
               {{0, 0, 300, 120}, {308, 0, 600, 420}},
               true},
        Layout{"SpeechWindowBelowTheMainWindow",
               {0, 0, 1920, 1200},
               {{20, 20, 300, 120}, {20, 160, 600, 420}},
               true},
        // A small screen: no room for the preferred size, a smaller window fits below both.
        Layout{"SmallScreen", {0, 0, 1024, 768}, {{0, 0, 300, 120}, {308, 0, 600, 340}}, false},
        // The main window at the right edge: the page does not go past the screen's edge.
        Layout{"MainWindowAtTheRightEdge", {0, 0, 1280, 1024}, {{980, 0, 300, 120}}, true},
        // A panel's offset and several page windows open already.
        Layout{"OffsetAreaAndOtherPages",
               {0, 27, 2560, 1573},
               {{10, 40, 300, 120}, {330, 40, 900, 700}, {1240, 40, 900, 700}},
               true}),
    [](const ::testing::TestParamInfo<Layout>& info) { return std::string(info.param.name); });

TEST(NewWindowPlacement, OpensRightBesideTheMainWindowWhenThatIsFree) {
  ScreenRect main{40, 30, 300, 120};
  ScreenRect placed = PlaceNewWindow({0, 0, 1920, 1080}, {main}, main, kPageSizes, kGap);
  EXPECT_EQ((ScreenRect{main.Right() + kGap, main.y, 900, 700}), placed);

  // Beside the main window, below the speech window that sits there.
  ScreenRect speech{main.Right() + kGap, main.y, 500, 300};
  placed = PlaceNewWindow({0, 0, 1920, 1080}, {main, speech}, main, kPageSizes, kGap);
  EXPECT_EQ(0, Overlap(placed, speech));
  EXPECT_LT(placed.x, speech.Right()) << "went past the speech window instead of below it";
}

TEST(NewWindowPlacement, WithoutFreeRoomItCoversAsLittleAsAnySpotWould) {
  ScreenRect area{0, 0, 1000, 800};
  std::vector<ScreenRect> taken{{0, 0, 300, 120}, {0, 130, 1000, 400}, {0, 540, 300, 260}};
  ScreenRect placed = PlaceNewWindow(area, taken, taken.front(), kPageSizes, kGap);
  EXPECT_EQ(900, placed.width);
  EXPECT_EQ(700, placed.height);
  EXPECT_TRUE(Inside(area, placed)) << ::testing::PrintToString(placed);
  int64_t least = Covered(placed, taken);
  for (int x = area.x; x + placed.width <= area.Right(); x += 4)
    for (int y = area.y; y + placed.height <= area.Bottom(); y += 4)
      ASSERT_LE(least, Covered({x, y, placed.width, placed.height}, taken)) << "at " << x << "," << y;
}

TEST(NewWindowPlacement, AScreenSmallerThanTheWindowHoldsAllOfIt) {
  ScreenRect area{0, 24, 640, 456};
  ScreenRect main{0, 24, 300, 120};
  ScreenRect placed = PlaceNewWindow(area, {main}, main, kPageSizes, kGap);
  EXPECT_EQ(area, placed);

  // Nothing to avoid and no anchor on the screen: still a window that the screen holds.
  placed = PlaceNewWindow(area, {}, {}, kPageSizes, kGap);
  EXPECT_EQ((ScreenRect{0, 24, 640, 456}), placed);
}

}  // namespace
}  // namespace lectryn::desktop
