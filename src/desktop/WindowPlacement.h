#pragma once
// Where a new window of the program opens: on free screen space beside the window it belongs to,
// so that it hides none of the program's other windows. Plain rectangles in screen pixels, no Qt,
// so that the choice can be tried on any screen.
#include <vector>

namespace lectryn::desktop {

struct ScreenRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;

  int Right() const { return x + width; }  // one past the last column
  int Bottom() const { return y + height; }
  bool Empty() const { return width <= 0 || height <= 0; }
  bool operator==(const ScreenRect&) const = default;
};

struct WindowSizes {
  int preferredWidth = 0;
  int preferredHeight = 0;
  int minimumWidth = 0;
  int minimumHeight = 0;
};

// The outer rectangle of the new window inside `area` (the screen's available rectangle). It
// covers none of `taken` (the program's visible windows) and keeps `gapPx` from each; among such
// spots it takes the one nearest `anchor`, preferring its right side. The window has its preferred
// size where that fits, else the largest free size down to the minimum. Where nothing fits even at
// the minimum, it has its preferred size (as much as the area holds) where it covers the least of
// the other windows.
ScreenRect PlaceNewWindow(const ScreenRect& area, const std::vector<ScreenRect>& taken,
                          const ScreenRect& anchor, const WindowSizes& sizes, int gapPx);

}  // namespace lectryn::desktop
