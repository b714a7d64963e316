#pragma once
// Pages for layout tests with styles set by hand: tag defaults close to a browser's, then one
// function per element id. FixedFontMetrics: 16px text is 8px a character, 16px a line.
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/layout/Layout.h"
#include "engine/text/TextModel.h"

namespace lectryn::engine::layout::testing {

using StyleFn = std::function<void(css::ComputedStyle&)>;
using Styles = std::map<std::string, StyleFn>;  // by element id, or by tag name prefixed with "@"

struct Laid {
  dom::Tree tree;
  std::vector<css::ComputedStyle> styles;
  std::unique_ptr<text::TextModel> model;
  std::shared_ptr<const LayoutTree> layout;

  dom::NodeId ById(std::string_view id) const;
  const Box& BoxOf(std::string_view id) const;  // the element's first box; fails the test when none
  Rect Border(std::string_view id) const { return BoxOf(id).border; }
  // The runs of the element's lines as "[text][text]|[text]", "|" between lines.
  std::string Lines(std::string_view id) const;
  std::string Dump() const { return DumpLayout(*layout, tree); }
};

// The body's topMargin and leftMargin attributes as a page sets them, when given.
struct BodyMargins {
  std::optional<float> top;
  std::optional<float> left;
};

std::unique_ptr<Laid> Lay(std::string_view html, const Styles& styles = {}, float width = 800,
                          BodyMargins body = {});

inline StyleFn Margins(float top, float bottom) {
  return [=](css::ComputedStyle& s) {
    s.margin[css::kTop] = css::Length::Px(top);
    s.margin[css::kBottom] = css::Length::Px(bottom);
  };
}

}  // namespace lectryn::engine::layout::testing
