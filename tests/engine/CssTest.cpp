// The small CSS reader: declarations, sheets and the selectors it understands.
#include <gtest/gtest.h>

#include "engine/css/StyleSheet.h"

namespace lectryn::engine::css {
namespace {

TEST(Declarations, ReadsTheThreePropertiesAndImportance) {
  Declarations d = ParseDeclarations("color: red; DISPLAY : None ; visibility:hidden;white-space: pre-line");
  EXPECT_EQ(Display::None, d.display);
  EXPECT_EQ(Visibility::Hidden, d.visibility);
  EXPECT_EQ(WhiteSpace::PreLine, d.whiteSpace);
  EXPECT_FALSE(d.displayImportant);

  d = ParseDeclarations("display: none !important; display: block");
  EXPECT_EQ(Display::None, d.display) << "a later normal declaration does not beat an important one";
  EXPECT_TRUE(d.displayImportant);

  d = ParseDeclarations("display: block; display: inline");
  EXPECT_EQ(Display::Inline, d.display);
}

TEST(Declarations, SkipsWhatItCannotRead) {
  Declarations d =
      ParseDeclarations("background: url('a;b.png'); /* display: none */ display: flex; nonsense");
  EXPECT_EQ(Display::Block, d.display) << "flex boxes break lines like blocks";
  EXPECT_EQ(Visibility::Unset, ParseDeclarations("visibility: sideways").visibility);
  EXPECT_TRUE(ParseDeclarations("").Empty());
  EXPECT_TRUE(ParseDeclarations(":;:;display").Empty());
}

std::vector<Rule> Sheet(const char* text) {
  std::vector<Rule> rules;
  uint32_t order = 0;
  ParseStyleSheet(text, rules, order);
  return rules;
}

TEST(StyleSheets, SelectorsOfCommaGroups) {
  auto rules = Sheet("h1, div.note#main   p , * { display: none } a:hover, ul > li, [x] { display: none }");
  ASSERT_EQ(3u, rules.size()) << "selectors with other parts are skipped";
  EXPECT_EQ("h1", rules[0].selector.compounds[0].type);
  ASSERT_EQ(2u, rules[1].selector.compounds.size());
  EXPECT_EQ("div", rules[1].selector.compounds[0].type);
  EXPECT_EQ("main", rules[1].selector.compounds[0].id);
  EXPECT_EQ(std::vector<std::string>{"note"}, rules[1].selector.compounds[0].classes);
  EXPECT_EQ((1u << 16) + (1u << 8) + 2u, rules[1].selector.specificity);
  EXPECT_EQ(0u, rules[2].selector.specificity);
  EXPECT_LT(rules[0].order, rules[1].order);
}

TEST(StyleSheets, AtRulesAndCommentsAreSkipped) {
  auto rules = Sheet(
      "@import url(x.css); @media print { p { display: none } } /* b { display:none } */ "
      "i { display: none } @font-face { src: x }");
  ASSERT_EQ(1u, rules.size());
  EXPECT_EQ("i", rules[0].selector.compounds[0].type);
}

TEST(StyleSheets, RulesWithoutOurPropertiesAreDropped) {
  EXPECT_TRUE(Sheet("body { font-family: Verdana; color: #800080 }").empty());
}

TEST(StyleSheets, BrokenSheetsDoNotHang) {
  EXPECT_EQ(1u, Sheet("p { display: none").size()) << "an unclosed block ends with the sheet";
  Sheet("{{{{ ;;; }}}} @media { ");
  Sheet("/* unclosed comment p { display: none }");
  Sheet("p { content: \"unclosed } string");
  Sheet("@");
}

}  // namespace
}  // namespace lectryn::engine::css
