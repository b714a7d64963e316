#pragma once
// Plain geometry of layout, in CSS pixels. Page coordinates have their origin at the top-left of a
// document's canvas.
#include <algorithm>

namespace lectryn::engine::layout {

struct Point {
  float x = 0;
  float y = 0;
  bool operator==(const Point&) const = default;
};

struct Rect {
  float x = 0;
  float y = 0;
  float w = 0;
  float h = 0;

  float Right() const { return x + w; }
  float Bottom() const { return y + h; }
  bool Empty() const { return w <= 0 || h <= 0; }
  // Half-open: a point on the right or bottom edge lies outside.
  bool Contains(float px, float py) const { return px >= x && px < x + w && py >= y && py < y + h; }
  bool Intersects(const Rect& o) const { return x < o.Right() && o.x < Right() && y < o.Bottom() && o.y < Bottom(); }
  Rect United(const Rect& o) const {
    if (Empty()) return o;
    if (o.Empty()) return *this;
    float left = std::min(x, o.x), top = std::min(y, o.y);
    return {left, top, std::max(Right(), o.Right()) - left, std::max(Bottom(), o.Bottom()) - top};
  }
  Rect Translated(float dx, float dy) const { return {x + dx, y + dy, w, h}; }
  bool operator==(const Rect&) const = default;
};

struct Edges {
  float top = 0;
  float right = 0;
  float bottom = 0;
  float left = 0;
  float Side(int side) const {  // css::kTop, kRight, kBottom or kLeft
    return side == 0 ? top : side == 1 ? right : side == 2 ? bottom : left;
  }
  bool operator==(const Edges&) const = default;
};

}  // namespace lectryn::engine::layout
