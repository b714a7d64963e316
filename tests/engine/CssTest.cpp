// Reading CSS text: values, declarations, selectors, media queries and whole sheets.
#include <gtest/gtest.h>

#include <cstdio>

#include "engine/css/MediaQuery.h"
#include "engine/css/StyleSheet.h"
#include "engine/css/Values.h"

namespace lectryn::engine::css {
namespace {

std::string Hex(const std::optional<Color>& color) {
  if (!color) return "invalid";
  char text[16];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", color->r, color->g, color->b);
  std::string result = text;
  if (color->a != 255) {
    std::snprintf(text, sizeof text, "%02x", color->a);
    result += text;
  }
  return result;
}

struct TextCase {
  const char* input;
  const char* expected;
};

class CssColors : public ::testing::TestWithParam<TextCase> {};

TEST_P(CssColors, ParseAsBrowsersDo) {
  EXPECT_EQ(GetParam().expected, Hex(ParseColor(GetParam().input)));
}

INSTANTIATE_TEST_SUITE_P(
    All, CssColors,
    ::testing::Values(
        TextCase{"red", "#ff0000"}, TextCase{"rebeccapurple", "#663399"},
        TextCase{"lightgoldenrodyellow", "#fafad2"}, TextCase{"yellowgreen", "#9acd32"},
        TextCase{"#abc", "#aabbcc"}, TextCase{"#abcd", "#aabbccdd"}, TextCase{"#a1b2c3", "#a1b2c3"},
        TextCase{"#a1b2c380", "#a1b2c380"}, TextCase{"#abcde", "invalid"}, TextCase{"#ggg", "invalid"},
        TextCase{"rgb(255, 128, 0)", "#ff8000"}, TextCase{"rgb(100%, 50%, 0%)", "#ff8000"},
        TextCase{"rgba(0, 0, 255, 0.5)", "#0000ff80"}, TextCase{"rgb(0 0 255 / 50%)", "#0000ff80"},
        TextCase{"rgb(300, -5, 0)", "#ff0000"}, TextCase{"rgb(1, 2)", "invalid"},
        TextCase{"rgb(1px, 2, 3)", "invalid"}, TextCase{"hsl(120, 100%, 25%)", "#008000"},
        TextCase{"hsla(0deg 100% 50% / 0.25)", "#ff000040"}, TextCase{"transparent", "#00000000"},
        TextCase{"ff0000", "invalid"}, TextCase{"notacolor", "invalid"}, TextCase{"", "invalid"}));

class LegacyColors : public ::testing::TestWithParam<TextCase> {};

TEST_P(LegacyColors, ParseAsBrowsersDo) {
  std::string input = GetParam().input;
  EXPECT_EQ(GetParam().expected, Hex(ParseLegacyColor(std::u16string(input.begin(), input.end()))));
}

INSTANTIATE_TEST_SUITE_P(All, LegacyColors,
                         ::testing::Values(TextCase{"ff0000", "#ff0000"}, TextCase{"#f00", "#ff0000"},
                                           TextCase{" Navy ", "#000080"}, TextCase{"f00", "#0f0000"},
                                           TextCase{"chucknorris", "#c00000"},
                                           TextCase{"#1234567890", "#125690"},
                                           TextCase{"transparent", "invalid"}, TextCase{"", "invalid"},
                                           TextCase{"#0000000ff", "#0000ff"}));

TEST(CssLengths, UnitsBecomePixelsOrStayRelative) {
  struct Case {
    const char* text;
    float value;
    Unit unit;
  };
  for (const Case& c :
       {Case{"12px", 12, Unit::Px}, Case{"12PX", 12, Unit::Px}, Case{"9pt", 12, Unit::Px},
        Case{"1pc", 16, Unit::Px}, Case{"1in", 96, Unit::Px}, Case{"2.54cm", 96, Unit::Px},
        Case{"25.4mm", 96, Unit::Px}, Case{"-1.5em", -1.5F, Unit::Em}, Case{".5rem", 0.5F, Unit::Rem},
        Case{"+3ex", 3, Unit::Ex}, Case{"50%", 50, Unit::Percent}, Case{"1e2px", 100, Unit::Px},
        Case{"0", 0, Unit::Px}, Case{"1e30px", kMaxLength, Unit::Px}, Case{"12vw", 12, Unit::Vw},
        Case{"5VMAX", 5, Unit::Vmax}}) {
    auto length = ParseDimension(c.text);
    ASSERT_TRUE(length) << c.text;
    EXPECT_NEAR(c.value, length->value, 0.01) << c.text;
    EXPECT_EQ(c.unit, length->unit) << c.text;
  }
  for (const char* bad : {"12", "px", "12 px", "1e99px", "12vws", "--1px", "1.2.3px", "infpx", "nan"})
    EXPECT_FALSE(ParseDimension(bad)) << bad;
  EXPECT_EQ(12, ParseDimension("12", Unitless::Px)->value) << "quirks mode reads bare numbers as pixels";
}

TEST(CssDeclarations, ImportanceAndDroppedDeclarations) {
  DeclarationBlock block = ParseDeclarations(
      "color: red !important; COLOR : Blue; width: -5px; margin: 1px 2px 3px 4px 5px; padding: 1px junk; "
      "height: calc(1px + 2); bogus: 1px; display: none ! IMPORTANT; font-family: 'a;b', serif; top: 5px !imp");
  ASSERT_EQ(4u, block.size())
      << "invalid values, unknown properties and whole invalid shorthands are dropped";
  EXPECT_EQ(Property::Color, block[0].property);
  EXPECT_TRUE(block[0].important);
  EXPECT_FALSE(block[1].important);
  EXPECT_EQ(Property::Display, block[2].property);
  EXPECT_TRUE(block[2].important);
  EXPECT_EQ("'a;b', serif", block[3].value.text) << "a ';' inside a string does not end the declaration";
}

TEST(CssDeclarations, ShorthandsSetEveryLonghand) {
  DeclarationBlock border = ParseDeclarations("border: solid 2px");
  ASSERT_EQ(12u, border.size());
  EXPECT_EQ(ValueType::CurrentColor, border[2].value.type) << "the colour left out resets to currentColor";

  DeclarationBlock font = ParseDeclarations("font: italic bold 12px/30px Georgia, serif");
  ASSERT_EQ(5u, font.size());
  EXPECT_EQ(1, font[0].value.keyword);
  EXPECT_EQ(700, font[1].value.number);
  EXPECT_EQ(12, font[2].value.length.value);
  EXPECT_EQ(30, font[3].value.length.value);
  EXPECT_EQ("georgia, serif", font[4].value.text);
  EXPECT_TRUE(ParseDeclarations("font: 12px").empty()) << "the family is required";
  EXPECT_TRUE(ParseDeclarations("font: bold serif").empty()) << "the size is required";

  DeclarationBlock inherit = ParseDeclarations("margin: inherit");
  ASSERT_EQ(4u, inherit.size());
  EXPECT_EQ(ValueType::Inherit, inherit[3].value.type);

  DeclarationBlock background = ParseDeclarations("background: url(a.png) no-repeat #fff top left");
  ASSERT_EQ(1u, background.size());
  EXPECT_EQ(255, background[0].value.color.r);
  EXPECT_EQ(0, ParseDeclarations("background: none")[0].value.color.a) << "the shorthand resets the colour";
}

std::vector<Rule> Rules(const char* text) {
  StyleSheet sheet;
  ParseStyleSheet(text, sheet);
  return sheet.rules;
}

TEST(CssSheets, AtRulesMediaAndComments) {
  auto rules = Rules(
      "@charset 'utf-8'; @import url('x;y.css') screen; @font-face { font-family: x; src: url(a) } "
      "@media print { p { color: red } } @media screen and (min-width: 600px) { b { color: red } } "
      "@media (max-width: 400px) { u { color: red } } @keyframes k { from { color: red } to { color: blue } "
      "} "
      "/* i { color: red } */ <!-- s { color: red } --> @media all { @media screen { em { color: red } } }"
      "@supports (display: grid) { q { color: red } }");
  ASSERT_EQ(3u, rules.size());
  EXPECT_EQ("b", rules[0].selector.compounds[0].type);
  EXPECT_EQ("s", rules[1].selector.compounds[0].type);
  EXPECT_EQ("em", rules[2].selector.compounds[0].type);
}

TEST(CssSheets, ARuleWithOneBadSelectorIsDroppedWhole) {
  auto rules = Rules("h1, p:unknown-state { color: red } h2, p:hover { color: red } h3, { color: red }");
  ASSERT_EQ(2u, rules.size()) << ":hover is valid and never matches; the others void their rules";
  EXPECT_EQ("h2", rules[0].selector.compounds[0].type);
  EXPECT_EQ(rules[0].block, rules[1].block);
}

struct SelectorCase {
  const char* text;
  bool valid;
  uint32_t specificity;
};

class CssSelectorParsing : public ::testing::TestWithParam<SelectorCase> {};

TEST_P(CssSelectorParsing, ValidityAndSpecificity) {
  std::vector<Selector> selectors;
  bool valid = ParseSelectorList(GetParam().text, selectors);
  EXPECT_EQ(GetParam().valid, valid);
  if (valid && GetParam().valid) {
    EXPECT_EQ(GetParam().specificity, selectors.back().specificity);
  }
}

INSTANTIATE_TEST_SUITE_P(
    All, CssSelectorParsing,
    ::testing::Values(SelectorCase{"*", true, 0}, SelectorCase{"div p", true, 2},
                      SelectorCase{"ul > li.x#y", true, 0x010102},
                      SelectorCase{"a[href^='http'][title]", true, 0x0201},
                      SelectorCase{"li:first-child + li ~ li", true, 0x0103},
                      SelectorCase{"p::before", true, 2}, SelectorCase{"p:not(.a, #b)", true, 0x010001},
                      SelectorCase{":where(#a) p", true, 1}, SelectorCase{"tr:nth-child(2n+1)", true, 0x0101},
                      SelectorCase{".md\\:flex", true, 0x0100}, SelectorCase{"a:link", true, 0x0101},
                      SelectorCase{"p >", false, 0}, SelectorCase{"> p", false, 0},
                      SelectorCase{"p > > a", false, 0}, SelectorCase{"p:nth-child(x)", false, 0},
                      SelectorCase{"svg|a", false, 0}, SelectorCase{"a[href", false, 0},
                      SelectorCase{"p:not(a b)", false, 0}, SelectorCase{"p::-moz-selection", false, 0},
                      SelectorCase{"", false, 0}, SelectorCase{"p)", false, 0}, SelectorCase{"#", false, 0}));

class MediaQueries : public ::testing::TestWithParam<std::pair<const char*, bool>> {};

TEST_P(MediaQueries, HoldForTheDefaultScreen) {
  EXPECT_EQ(GetParam().second, MatchesMedia(GetParam().first));
}

INSTANTIATE_TEST_SUITE_P(
    All, MediaQueries,
    ::testing::Values(
        std::pair{"", true}, std::pair{"screen", true}, std::pair{"ALL", true}, std::pair{"print", false},
        std::pair{"print, screen", true}, std::pair{"not print", true}, std::pair{"only screen", true},
        std::pair{"screen and (min-width: 600px)", true}, std::pair{"(max-width: 600px)", false},
        std::pair{"(min-width: 40em)", true}, std::pair{"(width >= 1001px)", false},
        std::pair{"(400px <= width <= 1200px)", true}, std::pair{"(orientation: portrait)", false},
        std::pair{"(prefers-color-scheme: dark)", false}, std::pair{"(color)", true},
        std::pair{"(-webkit-min-device-pixel-ratio: 2)", false}, std::pair{"(unknown-feature)", false},
        std::pair{"not (max-width: 600px)", true}, std::pair{"screen and", false},
        std::pair{"((min-width: 1px) and (max-width: 2px)) or (hover)", true}, std::pair{"(((", false}));

TEST(CssSheets, BrokenSheetsEndWithoutHanging) {
  EXPECT_EQ(1u, Rules("p { color: red").size()) << "an unclosed block ends with the sheet";
  EXPECT_EQ(1u, Rules("}} ;; p { color: red }").size());
  EXPECT_EQ(1u, Rules("a[title='}'] { color: red }").size());
  for (const char* text : {"{{{{ ;;; }}}} @media { ", "/* unclosed comment p { color: red }", "@", "@media",
                           "p { content: \"unclosed } string", "p { color: red; } }}}}{{{{", "a,,b{}", "\\",
                           ":", "[", "p { color: rgb(1, 2, 3 }", "p { --x: { a: b }; color: red }"}) {
    Rules(text);
  }
  std::string nested(1 << 19, '{');
  nested += std::string(1 << 19, '}');
  EXPECT_TRUE(Rules(nested.c_str()).empty());
  std::string media;
  for (int i = 0; i < 100000; ++i) media += "@media screen {";
  EXPECT_TRUE(Rules((media + "p { color: red }").c_str()).empty())
      << "blocks nested deeper than we read are skipped";
  std::string list = "p";
  for (int i = 0; i < 20000; ++i) list += ", div p > a.c" + std::to_string(i);
  EXPECT_EQ(20001u, Rules((list + " { color: red }").c_str()).size());
}

}  // namespace
}  // namespace lectryn::engine::css
