#pragma once
// What a view paints: plain data in page coordinates, built from a cached layout for one area of
// the page. The painter applies the view's scroll offset; nothing here refers back to the DOM.
#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "engine/css/ComputedStyle.h"
#include "engine/layout/FontMetrics.h"
#include "engine/layout/Geometry.h"

namespace lectryn::engine::layout {

// The radii of a box's rounded corners: top-left, top-right, bottom-right, bottom-left.
using CornerRadii = std::array<float, 4>;

struct FillRectItem {
  Rect rect;
  css::Color color;
  CornerRadii radii{};
};

struct BorderItem {
  Rect rect;  // the border box
  std::array<float, 4> widths{};  // top, right, bottom, left
  std::array<css::BorderStyle, 4> styles{};
  std::array<css::Color, 4> colors{};
  CornerRadii radii{};
};

// A box's outer shadow: `rect` is the shadow's shape (the border box moved and spread), blurred
// by `blur` pixels; it never shows inside `box`, the border box.
struct ShadowItem {
  Rect rect;
  Rect box;
  CornerRadii radii{};
  float blur = 0;
  css::Color color;
};

struct TextItem {
  float x = 0;         // pen start
  float baseline = 0;  // y of the baseline
  float width = 0;     // advance, for decorations
  FontDescription font;
  css::Color color;
  std::u16string text;
  uint8_t decorations = css::kDecorationNone;  // TextDecoration bits
  css::Color decorationColor;
};

// A list bullet drawn as a shape (numbers are text items).
struct MarkerItem {
  Rect rect;
  css::ListStyleType type = css::ListStyleType::Disc;  // Disc, Circle or Square
  css::Color color;
};

// An image is never fetched: its box, with its alternative text inside.
struct ImageItem {
  Rect rect;
  std::u16string alt;
};

// Clips the items up to the matching PopClipItem (scroll containers, frames).
struct PushClipItem {
  Rect rect;
};
struct PopClipItem {};

using DisplayItem =
    std::variant<FillRectItem, BorderItem, ShadowItem, TextItem, MarkerItem, ImageItem, PushClipItem, PopClipItem>;

// The colours the selection is painted in: the system's highlight.
struct SelectionColors {
  css::Color background{51, 153, 255, 255};
  css::Color text{255, 255, 255, 255};
};

struct DisplayList {
  Rect area;  // the part of the page these items cover, page coordinates
  css::Color canvas{255, 255, 255, 255};  // the colour under everything
  std::vector<DisplayItem> items;  // in painting order
};

}  // namespace lectryn::engine::layout
