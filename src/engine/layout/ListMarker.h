#pragma once
// The text of list-item markers: the bullet or the number a list item shows before its first line.
#include <cstdint>
#include <string>

#include "engine/css/ComputedStyle.h"

namespace lectryn::engine::layout {

// "• ", "◦ ", "▪ " for bullets, "3. ", "c. ", "iii. " for numbered items; empty for none. Roman
// numerals beyond 3999 and alphabetic ones below 1 fall back to decimal, as browsers do.
std::u16string MarkerText(css::ListStyleType type, int64_t ordinal);

}  // namespace lectryn::engine::layout
