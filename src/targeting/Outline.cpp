#include "targeting/Outline.h"

namespace lectryn::targeting {

bool RectsEqual(const OutlineRect& a, const OutlineRect& b) {
  return a.Left == b.Left && a.Top == b.Top && a.Right == b.Right && a.Bottom == b.Bottom;
}

std::string StripNulls(std::string& OriginalStr) {
  size_t end = OriginalStr.find('\0');
  if (end != std::string::npos) OriginalStr.erase(end);
  return OriginalStr;
}

platform::POINTAPI ElementPagePosition(const platform::ElementPtr& el) {
  if (!el) return {0, 0};
  platform::POINTAPI base;
  if (platform::ElementPtr parent = el->offsetParent())
    base = ElementPagePosition(parent);
  else
    base = {el->clientLeft(), el->clientTop()};
  return {base.x + el->offsetLeft(), base.y + el->offsetTop()};
}

}  // namespace lectryn::targeting
