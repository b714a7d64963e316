// DumpLayout: the box tree as text for golden tests.
#include <cmath>
#include <cstdio>

#include "engine/layout/Layout.h"
#include "platform/Text.h"

namespace lectryn::engine::layout {
namespace {

std::string Number(float value) {
  if (std::fabs(value) < 0.005F) return "0";
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%.2f", static_cast<double>(value));
  std::string text = buffer;
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text;
}

std::string Edges4(const Edges& e) {
  return Number(e.top) + "," + Number(e.right) + "," + Number(e.bottom) + "," + Number(e.left);
}

std::string Place(const Rect& r) {
  return Number(r.x) + "," + Number(r.y) + " " + Number(r.w) + "x" + Number(r.h);
}

const char* KindName(BoxKind kind) {
  switch (kind) {
    case BoxKind::Viewport:
      return "Viewport";
    case BoxKind::Block:
      return "Block";
    case BoxKind::AnonymousBlock:
      return "Anonymous";
    case BoxKind::Atomic:
      return "Atomic";
    case BoxKind::Inline:
      return "Inline";
    case BoxKind::Line:
      return "Line";
  }
  return "?";
}

const char* ReplacedName(ReplacedKind kind) {
  switch (kind) {
    case ReplacedKind::Image:
      return "image";
    case ReplacedKind::Frame:
      return "frame";
    case ReplacedKind::Control:
      return "control";
    default:
      return "";
  }
}

std::string Label(const dom::Tree& tree, dom::NodeId node) {
  if (node < 0 || node >= tree.Size() || !tree[node].IsElement()) return "";
  std::string label = " <" + tree[node].name;
  if (const std::u16string* id = tree.AttributeValue(node, "id")) label += "#" + platform::ToUtf8(*id);
  return label + ">";
}

std::string Quoted(const std::u16string& text) {
  std::string out = "\"";
  for (char c : platform::ToUtf8(text)) {
    if (c == '"' || c == '\\') out.push_back('\\');
    if (c == '\t') {
      out += "\\t";
      continue;
    }
    out.push_back(c);
  }
  return out + "\"";
}

}  // namespace

// One line a box, indented two spaces a level; a line box's runs follow it one level deeper.
std::string DumpLayout(const LayoutTree& layout, const dom::Tree& tree) {
  std::string out;
  std::vector<int> depth(layout.boxes.size(), 0);
  for (size_t i = 0; i < layout.boxes.size(); ++i) {
    const Box& box = layout.boxes[i];
    if (box.parent >= 0) depth[i] = depth[static_cast<size_t>(box.parent)] + 1;
    std::string indent(static_cast<size_t>(depth[i]) * 2, ' ');
    out += indent + KindName(box.kind) + Label(tree, box.node) + " " + Place(box.border);
    if (box.kind == BoxKind::Line) {
      out += " baseline " + Number(box.baseline);
    } else if (box.kind != BoxKind::Viewport && box.kind != BoxKind::AnonymousBlock) {
      if (!(box.borderWidths == Edges{})) out += " border " + Edges4(box.borderWidths);
      if (!(box.padding == Edges{})) out += " padding " + Edges4(box.padding);
    }
    if (box.replaced != ReplacedKind::None) {
      out += std::string(" ") + ReplacedName(box.replaced) + " unit " + std::to_string(box.objectUnit);
    }
    if (box.scrollContainer) out += " scroll " + Number(box.scrollWidth) + "x" + Number(box.scrollHeight);
    if (box.kind == BoxKind::Viewport) out += " canvas " + Place(box.overflow);
    out += "\n";
    for (int32_t r = box.firstRun; box.kind == BoxKind::Line && r < box.firstRun + box.runCount; ++r) {
      const TextRun& run = layout.runs[static_cast<size_t>(r)];
      out += indent + "  Text " + Quoted(run.text) + " " + Number(run.x) + "," + Number(run.top) + " " +
             Number(run.width) + "x" + Number(run.height);
      if (run.unitStart >= 0)
        out += " units " + std::to_string(run.unitStart) + "-" + std::to_string(run.unitEnd);
      out += "\n";
    }
  }
  return out;
}

}  // namespace lectryn::engine::layout
