#include "engine/layout/DisplayListDump.h"

#include <cstdio>

#include "platform/Text.h"

namespace lectryn::engine::layout {
namespace {

std::string Number(float value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.2f", static_cast<double>(value));
  std::string text = buffer;
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text == "-0" ? "0" : text;
}

std::string Box(const Rect& rect) {
  return Number(rect.x) + "," + Number(rect.y) + " " + Number(rect.w) + "x" + Number(rect.h);
}

std::string Colour(const css::Color& color) {
  char buffer[16];
  if (color.a == 255) {
    std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", color.r, color.g, color.b);
  } else {
    std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x%02x", color.r, color.g, color.b, color.a);
  }
  return buffer;
}

const char* StyleName(css::BorderStyle style) {
  static const char* const kNames[] = {"none",   "hidden", "solid", "dashed", "dotted",
                                       "double", "groove", "ridge", "inset",  "outset"};
  return kNames[static_cast<size_t>(style)];
}

const char* MarkerName(css::ListStyleType type) {
  switch (type) {
    case css::ListStyleType::Circle:
      return "circle";
    case css::ListStyleType::Square:
      return "square";
    default:
      return "disc";
  }
}

std::string Decorations(uint8_t bits) {
  std::string names;
  if ((bits & css::kUnderline) != 0) names += " underline";
  if ((bits & css::kOverline) != 0) names += " overline";
  if ((bits & css::kLineThrough) != 0) names += " line-through";
  return names;
}

std::string Radii(const CornerRadii& radii) {
  if (radii == CornerRadii{}) return "";
  return " radii " + Number(radii[0]) + "," + Number(radii[1]) + "," + Number(radii[2]) + "," + Number(radii[3]);
}

std::string Dump(const FillRectItem& item) {
  return "fill " + Box(item.rect) + " " + Colour(item.color) + Radii(item.radii);
}

std::string Dump(const ShadowItem& item) {
  return "shadow " + Box(item.rect) + " blur " + Number(item.blur) + " " + Colour(item.color) + Radii(item.radii);
}

std::string Dump(const BorderItem& item) {
  std::string widths, styles, colours;
  for (size_t side = 0; side < 4; ++side) {
    std::string comma = side == 0 ? "" : ",";
    widths += comma + Number(item.widths[side]);
    styles += comma + StyleName(item.styles[side]);
    colours += comma + Colour(item.colors[side]);
  }
  return "border " + Box(item.rect) + " widths " + widths + " " + styles + " " + colours + Radii(item.radii);
}

std::string Dump(const TextItem& item) {
  std::string line = "text " + Number(item.x) + "," + Number(item.baseline) + " w" + Number(item.width) +
                     " \"" + platform::ToUtf8(item.text) + "\" " +
                     (item.font.family.empty() ? "serif" : item.font.family) + " " +
                     Number(item.font.sizePx) + " " + std::to_string(item.font.weight) +
                     (item.font.italic ? " italic" : "") + " " + Colour(item.color);
  if (item.decorations != css::kDecorationNone) {
    line += Decorations(item.decorations) + " " + Colour(item.decorationColor);
  }
  return line;
}

std::string Dump(const MarkerItem& item) {
  return std::string("marker ") + Box(item.rect) + " " + MarkerName(item.type) + " " + Colour(item.color);
}

std::string Dump(const ImageItem& item) {
  return "image " + Box(item.rect) + " \"" + platform::ToUtf8(item.alt) + "\"";
}

std::string Dump(const PushClipItem& item) {
  return "clip " + Box(item.rect);
}

std::string Dump(const PopClipItem&) {
  return "pop";
}

}  // namespace

std::string DumpDisplayItem(const DisplayItem& item) {
  return std::visit([](const auto& it) { return Dump(it); }, item);
}

std::string DumpDisplayList(const DisplayList& list) {
  std::string text = "canvas " + Colour(list.canvas) + " area " + Box(list.area) + "\n";
  for (const auto& item : list.items) text += DumpDisplayItem(item) + "\n";
  return text;
}

}  // namespace lectryn::engine::layout
