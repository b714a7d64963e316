// Values that depend on more than their own text: calc() and its kin, viewport units, custom
// properties with var(), and media queries against the view's size, from the parser through the
// cascade to layout.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>

#include "PageText.h"
#include "engine/css/Calc.h"
#include "engine/css/MediaQuery.h"
#include "engine/css/StyleResolver.h"
#include "engine/dom/HtmlParser.h"
#include "platform/Text.h"

namespace lectryn::engine::css {
namespace {

std::string Str(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
  return text;
}

// em 10px, rem 16px, a 1000 x 800 view; the length shown resolved against bases 0 and 1000.
std::string Computed(const char* text, CalcType type = CalcType::Length) {
  auto node = ParseCalc(text, type, CalcPercent::Allowed);
  if (!node) return "invalid";
  if (type == CalcType::Number) return Str(node->value);
  Length length = ComputeCalc(*node, UnitSizes{10, 16, 1000, 800});
  return Str(length.Resolve(0)) + "|" + Str(length.Resolve(1000));
}

struct CalcCase {
  const char* text;
  const char* expected;
};
class CssCalc : public ::testing::TestWithParam<CalcCase> {};

TEST_P(CssCalc, ParsesAndComputes) {
  EXPECT_EQ(GetParam().expected, Computed(GetParam().text)) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Valid, CssCalc,
    ::testing::Values(CalcCase{"calc(100% - 20px)", "-20|980"}, CalcCase{"calc(2 * (1em + 5px))", "30|30"},
                      CalcCase{"calc((1px + 2px) * 3 / 2)", "4.5|4.5"},
                      CalcCase{"calc(10px - -5px)", "15|15"}, CalcCase{"calc( 1in  -  6px )", "90|90"},
                      CalcCase{"calc(50% / 2 + 1px)", "1|251"}, CalcCase{"min(10px, 2em)", "10|10"},
                      CalcCase{"max(50%, 300px)", "300|500"}, CalcCase{"clamp(100px, 50%, 400px)", "100|400"},
                      CalcCase{"clamp(300px, 1px, 200px)", "300|300"},  // the minimum wins
                      CalcCase{"calc(10vw + 1vh)", "108|108"}, CalcCase{"calc(1vmin + 1vmax)", "18|18"},
                      CalcCase{"calc(1rem + 1ex + 1ch)", "26|26"},
                      CalcCase{"calc(calc(1px * 3) + min(2px, 4px))", "5|5"},
                      CalcCase{"calc(50% - min(10%, 30px))", "0|470"},
                      CalcCase{"calc(2 * max(10%, 1px) + 1px)", "3|201"},
                      CalcCase{"-webkit-calc(1px + 1px)", "2|2"}, CalcCase{"calc(1e3px)", "1000|1000"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

INSTANTIATE_TEST_SUITE_P(
    Invalid, CssCalc,
    ::testing::Values(CalcCase{"calc(10px+5px)", "invalid"}, CalcCase{"calc(10px -5px)", "invalid"},
                      CalcCase{"calc(1px + 2)", "invalid"}, CalcCase{"calc(5px / 0)", "invalid"},
                      CalcCase{"calc(5px / (1 - 1))", "invalid"}, CalcCase{"calc(5px * 2px)", "invalid"},
                      CalcCase{"calc(5px / 2px)", "invalid"}, CalcCase{"calc((1px + 2px)", "invalid"},
                      CalcCase{"calc(1px + 2px))", "invalid"}, CalcCase{"calc()", "invalid"},
                      CalcCase{"calc(px)", "invalid"}, CalcCase{"calc(1px 2px)", "invalid"},
                      CalcCase{"clamp(10px, 5px)", "invalid"}, CalcCase{"min(1px, 2)", "invalid"},
                      CalcCase{"min()", "invalid"}, CalcCase{"calc(3)", "invalid"},
                      CalcCase{"calc(1e30px * 1e30)", "invalid"}, CalcCase{"foo(1px)", "invalid"},
                      CalcCase{"calc(-min(1px, 2px))", "invalid"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(CssCalcNumbers, FoldToOneNumberAndRefuseLengths) {
  EXPECT_EQ("3", Computed("calc(1.5 * 2)", CalcType::Number));
  EXPECT_EQ("2", Computed("clamp(1, 5 / 2 - 0.5, 3)", CalcType::Number));
  EXPECT_EQ("invalid", Computed("calc(1px * 2)", CalcType::Number));
  std::string deep = std::string(200, '(');
  EXPECT_EQ("invalid", Computed(("calc" + deep + "1px" + std::string(200, ')')).c_str()))
      << "nesting this deep is refused rather than recursed into";
}

// Pages through the cascade: the parent's font is 20px and its colour #010203.
class Styled {
 public:
  explicit Styled(std::string_view html, MediaView view = {}) {
    dom::ParseDocument(html, tree_);
    styles_ = ResolveStyles(tree_, view);
  }
  const ComputedStyle& operator[](std::string_view id) const {
    for (dom::NodeId node = 0; node < tree_.Size(); ++node) {
      const auto* value = tree_.AttributeValue(node, "id");
      if (value != nullptr && platform::ToUtf8(*value) == id) return styles_[static_cast<size_t>(node)];
    }
    ADD_FAILURE() << "no element " << id;
    return styles_[0];
  }

 private:
  dom::Tree tree_;
  std::vector<ComputedStyle> styles_;
};

std::string Show(const Length& length) {
  switch (length.unit) {
    case LengthUnit::Auto:
      return "auto";
    case LengthUnit::None:
      return "none";
    case LengthUnit::Px:
      return Str(length.value);
    case LengthUnit::Percent:
      return Str(length.value) + "%";
    case LengthUnit::Calc:
      return Str(length.Resolve(0)) + "|" + Str(length.Resolve(1000));
  }
  return "?";
}

std::string Hex(Color color) {
  char text[16];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", color.r, color.g, color.b);
  return text;
}

struct VarCase {
  const char* parentStyle;
  const char* style;
  std::string (*read)(const ComputedStyle&);
  const char* expected;
};
class CssVariables : public ::testing::TestWithParam<VarCase> {};

TEST_P(CssVariables, SubstituteAtComputedValueTime) {
  std::string html = std::string("<style>.p { font-size: 20px; color: #010203; ") + GetParam().parentStyle +
                     " }</style><div class=p><p id=t style=\"" + GetParam().style + "\">x</p></div>";
  EXPECT_EQ(GetParam().expected, GetParam().read(Styled(html)["t"])) << GetParam().style;
}

std::string Width(const ComputedStyle& s) {
  return Show(s.width);
}
std::string Margins(const ComputedStyle& s) {
  return Show(s.margin[0]) + " " + Show(s.margin[1]) + " " + Show(s.margin[2]) + " " + Show(s.margin[3]);
}
std::string Border(const ComputedStyle& s) {
  return Str(s.borderWidth[kLeft]) + " " + Hex(s.borderColor[kLeft]) + " " + Hex(s.borderColor[kTop]);
}
std::string ColorOf(const ComputedStyle& s) {
  return Hex(s.color);
}
std::string FontSize(const ComputedStyle& s) {
  return Str(s.fontSizePx);
}
std::string Paddings(const ComputedStyle& s) {
  return Show(s.padding[0]) + " " + Show(s.padding[1]) + " " + Show(s.padding[2]) + " " + Show(s.padding[3]);
}
std::string Text(const ComputedStyle& s) {
  return Str(s.lineHeight) + (s.lineHeightKind == LineHeightKind::Px ? "px " : " ") +
         std::to_string(s.fontWeight) + " " + Show(s.textIndent) + " " + Str(s.borderWidth[kTop]);
}

// Math functions in declarations: each property's grammar decides what they may hold.
INSTANTIATE_TEST_SUITE_P(
    Calc, CssVariables,
    ::testing::Values(VarCase{"", "padding: calc(-5px) calc(10% - 50px) 1px", Paddings, "0 0|50 1 0|50"},
                      VarCase{"", "padding: 1px calc(1px + 2) 3px", Paddings, "0 0 0 0"},  // dropped whole
                      VarCase{"", "width: calc(10px + 5); width: min(10px, 1em)", Width, "10"},
                      VarCase{"", "width: calc(100% - 20px)", Width, "0|980"},    // never below 0
                      VarCase{"", "font-size: calc(50% + 2px)", FontSize, "12"},  // of the parent's 20px
                      VarCase{"", "font-size: clamp(10px, 200%, 30px)", FontSize, "30"},
                      VarCase{
                          "",
                          "line-height: calc(1.5 * 2); font-weight: calc(2000); text-indent: calc(5% + 1em)"
                          "; border: solid calc(1px + 0.1em)",
                          Text, "3 1000 20|70 3"},
                      VarCase{"", "line-height: calc(150% - 2px)", Text, "28px 400 0 0"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

INSTANTIATE_TEST_SUITE_P(
    Values, CssVariables,
    ::testing::Values(
        VarCase{"--w: 30px;", "width: var(--w)", Width, "30"},
        VarCase{"", "--w: 1em; width: var( --w )", Width, "20"},  // the em of the element using it
        VarCase{"--w: 30px;", "--w: 40px; width: var(--w)", Width, "40"},
        VarCase{"", "width: var(--missing, 12px)", Width, "12"},
        VarCase{"", "width: var(--a, var(--b, 7px))", Width, "7"},
        VarCase{"--Case: 5px; --case: 6px;", "width: var(--Case)", Width, "5"},
        VarCase{"--w: 30px;", "width: calc(var(--w) * 2 + 10%)", Width, "60|160"},
        VarCase{"--a: 1px; --b: 2px;", "margin: var(--a) var(--b)", Margins, "1 2 1 2"},
        VarCase{"--a: 1px 2px;", "margin: var(--a) 3px", Margins, "1 2 3 2"},
        VarCase{"--c: red;", "border: 1px solid var(--c); border-top-color: blue", Border,
                "1 #ff0000 #0000ff"},
        VarCase{"--c: red;", "border: 1px solid var(--c); border-left-color: var(--nothing)", Border,
                "1 #010203 #ff0000"},  // invalid: unset, the initial currentColor
        VarCase{"--c: 20px;", "color: var(--c)", ColorOf, "#010203"},         // invalid: inherited
        VarCase{"width: 50px; --w: red;", "width: var(--w)", Width, "auto"},  // invalid: initial
        VarCase{"--s: 2em;", "font-size: var(--s)", FontSize, "40"},
        VarCase{"--w: initial;", "width: var(--w, 8px)", Width, "8"},
        VarCase{"--w: 30px;", "--w: inherit; width: var(--w, 8px)", Width, "30"},
        VarCase{"", "--a: var(--b); --b: var(--a); width: var(--a, 9px)", Width, "9"},
        VarCase{"", "--a: var(--b, 1px); --b: var(--a, 2px); width: var(--b, 9px)", Width, "9"},
        VarCase{"--a: 5px;", "--a: calc(var(--a) + 1px); width: var(--a, 9px)", Width, "9"},
        VarCase{"", "--a: var(--b); --b: var(--c); --c: var(--b); --d: 4px; width: var(--a, var(--d))", Width,
                "4"},
        VarCase{"", "width: var(--x,)", Width, "auto"},  // an empty fallback parses as nothing
        VarCase{"", "width: var(x)", Width, "auto"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(CssVariablesInherit, ThroughElementsThatDeclareNone) {
  Styled page(
      "<div style='--gap: 7px; --colour: blue'><section><p id=t style='margin-left: var(--gap); "
      "color: var(--colour)'>x</p></section></div><p id=outside style='margin-left: var(--gap, 1px)'>y</p>");
  EXPECT_EQ("7", Show(page["t"].margin[kLeft]));
  EXPECT_EQ("#0000ff", Hex(page["t"].color));
  EXPECT_EQ("1", Show(page["outside"].margin[kLeft]));
}

TEST(CssVariablesBounded, ValuesThatDoubleStopAtTheBound) {
  std::string declarations = "--v0: 0123456789abcdef;";
  for (int i = 1; i <= 40; ++i)
    declarations += " --v" + std::to_string(i) + ": var(--v" + std::to_string(i - 1) + ")var(--v" +
                    std::to_string(i - 1) + ");";
  auto start = std::chrono::steady_clock::now();
  Styled page("<div style='" + declarations + "'><p id=t style='width: var(--v40, 3px)'>x</p></div>");
  EXPECT_EQ("3", Show(page["t"].width)) << "2^40 characters are never built";
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

struct MediaCase {
  const char* query;
  float width, height;
  bool holds;
};
class CssMediaView : public ::testing::TestWithParam<MediaCase> {};

TEST_P(CssMediaView, AnswersForTheViewsSize) {
  const MediaCase& c = GetParam();
  EXPECT_EQ(c.holds, MatchesMedia(c.query, {c.width, c.height})) << c.query << " at " << c.width;
}

INSTANTIATE_TEST_SUITE_P(Sizes, CssMediaView,
                         ::testing::Values(MediaCase{"(max-width: 600px)", 600, 800, true},
                                           MediaCase{"(max-width: 600px)", 601, 800, false},
                                           MediaCase{"screen and (min-width: 40em)", 640, 400, true},
                                           MediaCase{"screen and (min-width: 40em)", 639, 400, false},
                                           MediaCase{"(400px < width <= 700px)", 500, 300, true},
                                           MediaCase{"(400px < width <= 700px)", 800, 300, false},
                                           MediaCase{"(orientation: portrait)", 500, 800, true},
                                           MediaCase{"(orientation: portrait)", 900, 800, false},
                                           MediaCase{"(min-aspect-ratio: 16/9)", 1600, 900, true},
                                           MediaCase{"(min-height: 900px)", 2000, 800, false}),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(CssViewportUnits, FollowTheViewGivenToTheCascade) {
  const char* html = "<p id=t style='width: 50vw; height: 10vh; margin-left: 2vmin; font-size: 1vmax'>x</p>";
  Styled wide(html, {1000, 800});
  EXPECT_EQ("500 80 16 10", Show(wide["t"].width) + " " + Show(wide["t"].height) + " " +
                                Show(wide["t"].margin[kLeft]) + " " + Str(wide["t"].fontSizePx));
  Styled tall(html, {400, 600});
  EXPECT_EQ("200 60 8 6", Show(tall["t"].width) + " " + Show(tall["t"].height) + " " +
                              Show(tall["t"].margin[kLeft]) + " " + Str(tall["t"].fontSizePx));
}

}  // namespace
}  // namespace lectryn::engine::css

namespace lectryn::engine {
namespace {

int32_t WidthOf(const std::shared_ptr<Document>& page, const char16_t* id) {
  return page->getElementById(id)->offsetWidth();
}

// The body's 8px margins leave the view's width less 16 to its blocks.
TEST(CssValuesLayout, CalcAndViewportWidthsFollowTheView) {
  auto page = testing::Page(
      "<div id=calc style='width: calc(100% - 20px)'>a</div>"
      "<div id=vw style='width: 50vw'>b</div>"
      "<div id=clamp style='width: clamp(200px, 50%, 400px)'>c</div>"
      "<div id=outer style='width: 300px'><div id=inner style='width: calc(50% + 1em); padding: 0 calc(5% - "
      "5px)'>"
      "d</div></div>");
  for (float view : {1000.0F, 500.0F}) {
    page->SetViewSize(view, 800);
    float body = view - 16;
    EXPECT_EQ(std::lround(body - 20), WidthOf(page, u"calc")) << view;
    EXPECT_EQ(std::lround(view / 2), WidthOf(page, u"vw")) << view;
    EXPECT_EQ(std::lround(std::clamp(body / 2, 200.0F, 400.0F)), WidthOf(page, u"clamp")) << view;
    EXPECT_EQ(150 + 16 + 2 * 10, WidthOf(page, u"inner")) << "percentages of the 300px parent: " << view;
  }
}

TEST(CssValuesLayout, MediaQueriesAreAskedAgainWhenTheViewResizes) {
  auto page = testing::Page(
      "<style>#side { width: 200px } @media (max-width: 600px) { #side { width: 100px } #extra { display: "
      "none } }"
      "</style><div id=side>side</div><p id=extra>more words</p>");
  EXPECT_EQ(200, WidthOf(page, u"side"));
  EXPECT_NE(std::u16string::npos, page->BodyText().find(u"more words"));
  uint64_t version = page->Version();
  page->SetViewSize(900, 700);  // the answers stay: neither styles nor the text model change
  EXPECT_EQ(version, page->Version());
  page->SetViewSize(500, 700);
  EXPECT_EQ(100, WidthOf(page, u"side"));
  EXPECT_EQ(std::u16string::npos, page->BodyText().find(u"more words")) << "the text model follows display";
  EXPECT_NE(version, page->Version());
  page->SetViewSize(1000, 800);
  EXPECT_EQ(200, WidthOf(page, u"side"));
}

}  // namespace
}  // namespace lectryn::engine
