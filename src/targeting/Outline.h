#pragma once
// The values the picker works with: the outline's rectangle, a page element's position, and
// class names read into fixed buffers.
#include <cstdint>
#include <string>

#include "platform/Page.h"
#include "platform/WindowSystem.h"

namespace lectryn::targeting {

// Pixels from the outer top-left of a page window (the origin of its whole-window device context).
// All four fields -1 is "none"; any rectangle whose fields add up to -4 counts as none.
struct OutlineRect {
  int32_t Left = -1;
  int32_t Top = -1;
  int32_t Right = -1;
  int32_t Bottom = -1;
};

constexpr OutlineRect kNoOutline{};

inline bool IsNone(const OutlineRect& rect) {
  return static_cast<int64_t>(rect.Left) + rect.Top + rect.Right + rect.Bottom == -4;
}

bool RectsEqual(const OutlineRect& a, const OutlineRect& b);

// The text up to its first NUL; OriginalStr is cut the same way.
std::string StripNulls(std::string& OriginalStr);

// The element's border-box position on its page: its offsets summed up the offsetParent chain,
// starting from the top ancestor's border widths. (0, 0) for no element.
platform::POINTAPI ElementPagePosition(const platform::ElementPtr& el);

}  // namespace lectryn::targeting
