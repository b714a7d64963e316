#pragma once
// Form controls as the page shows them: never working widgets, only their face.
#include <string>

#include "engine/dom/Tree.h"
#include "engine/layout/FontMetrics.h"

namespace lectryn::engine::layout {

// The font a browser gives controls' own text.
inline FontDescription ControlFont() {
  return {"sans-serif", 13.333F, 400, false};
}

// The font an image's alternative text is drawn in.
inline FontDescription AltTextFont() {
  return {"", 13, 400, false};
}

// The caption of a push button: a <button>'s text, a button input's value or its type's default
// caption ("Submit", "Reset"); empty for every other element.
std::u16string ControlLabel(const dom::Tree& tree, dom::NodeId node);

}  // namespace lectryn::engine::layout
