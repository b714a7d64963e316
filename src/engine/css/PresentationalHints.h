#pragma once
// The old HTML attributes that style an element (bgcolor, <font color>, width, align,
// cellpadding...) as declarations. They rank above the browser's defaults and below every
// rule of the page.
#include <optional>

#include "engine/css/Declaration.h"
#include "engine/dom/Tree.h"

namespace lectryn::engine::css {

class PresentationalHints {
 public:
  explicit PresentationalHints(const dom::Tree& tree);

  // Appends the element's hints.
  void Collect(dom::NodeId element, DeclarationBlock& out) const;

 private:
  void Table(dom::NodeId element, DeclarationBlock& out) const;
  void Cell(dom::NodeId element, DeclarationBlock& out) const;
  void Body(dom::NodeId element, DeclarationBlock& out) const;
  void Image(dom::NodeId element, DeclarationBlock& out) const;
  void Rule(dom::NodeId element, DeclarationBlock& out) const;
  const std::u16string* Attribute(dom::NodeId element, std::string_view name) const {
    return tree_.AttributeValue(element, name);
  }

  const dom::Tree& tree_;
  std::optional<Color> linkColor_;  // the body's link attribute
};

}  // namespace lectryn::engine::css
