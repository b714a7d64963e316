#pragma once
// A display list as text, one item a line, for tests:
//   canvas #ffffff area 0,0 1000x800
//   fill 8,8 784x18 #3399ff
//   border 8,8 100x20 widths 1,1,1,1 solid,solid,solid,solid #000000,#000000,#000000,#000000
//   text 8,20.8 w40 "Hello" serif 16 400 #000000 underline #000000
//   marker 0,0 5x5 disc #000000
//   image 8,8 16x16 "alt"
//   clip 8,8 100x100
//   pop
// Numbers have at most two decimals; colours with alpha show it (#rrggbbaa).
#include <string>

#include "engine/layout/DisplayList.h"

namespace lectryn::engine::layout {

std::string DumpDisplayList(const DisplayList& list);
std::string DumpDisplayItem(const DisplayItem& item);

}  // namespace lectryn::engine::layout
