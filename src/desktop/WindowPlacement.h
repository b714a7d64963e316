#pragma once
// Where a new window of the program opens: on free screen space beside the window it belongs to,
// so that it hides none of the program's other windows. Rectangles are the window system's, in
// screen pixels; no Qt, so that the choice can be tried for any screen.
#include <cstdint>
#include <vector>

#include "platform/WindowSystem.h"

namespace lectryn::desktop {

// How much of `windows` the spot covers, in square pixels (a window covered twice counts twice).
int64_t CoveredArea(const platform::RECT& spot, const std::vector<platform::RECT>& windows);

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
platform::RECT PlaceNewWindow(const platform::RECT& area, const std::vector<platform::RECT>& taken,
                              const platform::RECT& anchor, const WindowSizes& sizes, int gapPx);

}  // namespace lectryn::desktop
