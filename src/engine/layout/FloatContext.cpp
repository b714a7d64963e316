#include "engine/layout/FloatContext.h"

#include <algorithm>

namespace lectryn::engine::layout {
namespace {

template <typename Visit>
void Recent(const std::vector<Rect>& floats, size_t count, Visit visit) {
  size_t first = floats.size() > count ? floats.size() - count : 0;
  for (size_t i = first; i < floats.size(); ++i) visit(floats[i]);
}

bool Overlaps(const Rect& r, float top, float height) {
  float bottom = top + std::max(height, 0.01F);
  return r.y < bottom && r.Bottom() > top && r.h > 0;
}

}  // namespace

FloatContext::Band FloatContext::Free(float top, float height, float left, float right) const {
  Band band{left, right};
  Recent(lefts_, kConsulted, [&](const Rect& r) {
    if (Overlaps(r, top, height)) band.left = std::max(band.left, r.Right());
  });
  Recent(rights_, kConsulted, [&](const Rect& r) {
    if (Overlaps(r, top, height)) band.right = std::min(band.right, r.x);
  });
  return band;
}

float FloatContext::NextBottom(float top, float height, float left, float right) const {
  float next = 1e30F;
  auto visit = [&](const Rect& r) {
    if (Overlaps(r, top, height) && r.Right() > left && r.x < right) next = std::min(next, r.Bottom());
  };
  Recent(lefts_, kConsulted, visit);
  Recent(rights_, kConsulted, visit);
  return next == 1e30F ? top : std::max(next, top);
}

Rect FloatContext::Place(css::Float side, float width, float height, float top, float left, float right) {
  float y = std::max(top, lowestTop_);
  if (side == css::Float::Left) y = std::max(y, Clear(css::Clear::None, y));
  // Move down past the floats in the way until the width fits or nothing narrows the line.
  for (int attempt = 0; attempt < 2 * static_cast<int>(kConsulted) + 2; ++attempt) {
    Band band = Free(y, height, left, right);
    if (band.right - band.left >= width || (band.left <= left && band.right >= right)) break;
    float next = NextBottom(y, height, left, right);
    if (next <= y) break;
    y = next;
  }
  Band band = Free(y, height, left, right);
  Rect placed{side == css::Float::Left ? band.left : band.right - width, y, width, height};
  (side == css::Float::Left ? lefts_ : rights_).push_back(placed);
  lowestTop_ = y;
  float& bottom = side == css::Float::Left ? bottomLeft_ : bottomRight_;
  bottom = std::max(bottom, placed.Bottom());
  return placed;
}

float FloatContext::Clear(css::Clear clear, float top) const {
  float y = top;
  if (clear == css::Clear::Left || clear == css::Clear::Both) y = std::max(y, bottomLeft_);
  if (clear == css::Clear::Right || clear == css::Clear::Both) y = std::max(y, bottomRight_);
  return y;
}

float FloatContext::Bottom(float top) const {
  return std::max({top, bottomLeft_, bottomRight_});
}

}  // namespace lectryn::engine::layout
