#pragma once
// The rendered text of a subtree (normally the body) as a flat sequence of units: UTF-16 code
// units of text, one BREAK per line break and one OBJECT per image, control or frame. Range end
// points are positions between units, 0 to Length(). Built once per document version; every
// query after that is a lookup or a binary search.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/css/StyleResolver.h"
#include "engine/dom/Tree.h"

namespace lectryn::engine::text {

// Units that are not characters, stored in the unit string as noncharacters (real ones in the
// page become U+FFFD).
inline constexpr char16_t kBreakUnit = 0xFDD0;
inline constexpr char16_t kObjectUnit = 0xFDD1;

// How the model reads an element with a replaced box (an image, a control, a frame, media): as
// one OBJECT, by its own content (a <button>'s text, a <select>'s options), or by a caption that
// is no text node of the page (an input button's value or default caption). Other elements are
// read by their content.
enum class ObjectReading : uint8_t { Object, Content, Caption };
ObjectReading ReadingOf(const dom::Tree& tree, dom::NodeId element);

struct Span {
  int32_t start = -1;  // -1: the element was not reached (inside a part that is not rendered)
  int32_t end = -1;
};

class TextModel {
 public:
  // The model of `root`'s content; the root itself counts as rendered. `pageLanguage` is the
  // language of text whose elements declare none (text-transform follows a language's rules).
  static TextModel Build(const dom::Tree& tree, const std::vector<css::ComputedStyle>& styles,
                         dom::NodeId root, std::u16string_view pageLanguage = {});

  dom::NodeId Root() const { return root_; }
  int32_t Length() const { return static_cast<int32_t>(units_.size()); }
  std::u16string_view Units() const { return units_; }
  char16_t Unit(int32_t position) const { return units_[static_cast<size_t>(position)]; }

  // The node that made a unit: a text node, a <br> or object element, or for a BREAK or TAB
  // between blocks or cells the innermost element that holds both sides.
  dom::NodeId NodeOfUnit(int32_t position) const { return unitNodes_[static_cast<size_t>(position)]; }
  // The UTF-16 offset in its text node's text of the character a unit came from; -1 for units
  // that no text node made (BREAKs between blocks, OBJECTs, captions). A case change may give
  // several units of one character ("SS" of a sharp s): they share its offset.
  int32_t OffsetInNode(int32_t position) const { return offsets_[static_cast<size_t>(position)]; }
  // The innermost element of a unit (the parent of its text node).
  dom::NodeId ElementOfUnit(const dom::Tree& tree, int32_t position) const;

  // The units an element covers; elements inside parts that are not rendered have start -1.
  Span SpanOf(dom::NodeId node) const;

  // The rendered text of [start, end): BREAK as "\r\n", OBJECT as nothing.
  std::u16string Text(int32_t start, int32_t end) const;
  // The UTF-16 offset in Text(0, Length()) of a position.
  int32_t TextOffset(int32_t position) const;
  // The position of a text offset (an offset inside a "\r\n" counts as the BREAK's end).
  int32_t PositionOfTextOffset(int32_t offset) const;

 private:
  class Builder;
  dom::NodeId root_ = dom::kNoNode;
  std::u16string units_;
  std::vector<dom::NodeId> unitNodes_;
  std::vector<int32_t> offsets_;  // per unit, see OffsetInNode
  std::vector<Span> spans_;       // by NodeId
  std::vector<int32_t> breaks_;   // positions of BREAK units, ascending
  std::vector<int32_t> objects_;  // positions of OBJECT units, ascending
};

}  // namespace lectryn::engine::text
