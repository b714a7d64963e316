#pragma once
// Form controls as the page shows them: never working widgets, only their face.
#include <string>

#include "engine/dom/ControlLabel.h"
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

using dom::ControlLabel;

}  // namespace lectryn::engine::layout
