// The cascade on whole pages: which declaration wins, what selectors match, computed values,
// inheritance, the browser's defaults and the old presentational attributes.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>

#include "engine/css/StyleResolver.h"
#include "engine/dom/HtmlParser.h"
#include "platform/Text.h"

namespace lectryn::engine::css {
namespace {

class Styled {
 public:
  explicit Styled(std::string_view html) {
    dom::ParseDocument(html, tree_);
    styles_ = ResolveStyles(tree_);
  }

  // The element with the id, or the first element of the tag.
  const ComputedStyle& operator[](std::string_view key) const {
    return styles_[static_cast<size_t>(Find(key))];
  }
  // The first child of the element, a text node in the tests.
  const ComputedStyle& TextOf(std::string_view key) const {
    return styles_[static_cast<size_t>(tree_[Find(key)].firstChild)];
  }

 private:
  dom::NodeId Find(std::string_view key) const {
    for (dom::NodeId id = 0; id < tree_.Size(); ++id) {
      const auto* value = tree_.AttributeValue(id, "id");
      if ((value != nullptr && platform::ToUtf8(*value) == key) ||
          (tree_[id].IsElement() && tree_[id].name == key))
        return id;
    }
    ADD_FAILURE() << "no element " << key;
    return 0;
  }

  dom::Tree tree_;
  std::vector<ComputedStyle> styles_;
};

std::string Hex(Color color) {
  char text[16];
  std::snprintf(text, sizeof text, color.a == 255 ? "#%02x%02x%02x" : "#%02x%02x%02x%02x", color.r, color.g,
                color.b, color.a);
  return text;
}

std::string Str(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
  return text;
}

std::string Str(Length length) {
  switch (length.unit) {
    case LengthUnit::Px:
      return Str(length.value);
    case LengthUnit::Percent:
      return Str(length.value) + "%";
    case LengthUnit::Auto:
      return "auto";
    case LengthUnit::None:
      return "none";
    case LengthUnit::Calc:
      // Resolved against two bases, so that px + percent and min/max both show.
      return "calc[" + Str(length.Resolve(0)) + "|" + Str(length.Resolve(1000)) + "]";
  }
  return "?";
}

template <class T>
std::string Sides(const std::array<T, 4>& sides) {
  std::string out;
  for (const T& side : sides) out += (out.empty() ? "" : " ") + Str(side);
  return out;
}

std::string Int(int value) {
  return std::to_string(value);
}

// --- Which declaration wins ---------------------------------------------------------------

struct CascadeCase {
  const char* name;
  const char* html;  // the colour of #t is checked
  const char* color;
};

class CssCascadeOrder : public ::testing::TestWithParam<CascadeCase> {};

TEST_P(CssCascadeOrder, DecidesTheColour) {
  EXPECT_EQ(GetParam().color, Hex(Styled(GetParam().html)["t"].color));
}

INSTANTIATE_TEST_SUITE_P(
    All, CssCascadeOrder,
    ::testing::Values(
        CascadeCase{"LaterRuleWins", "<style>p { color: red } p { color: blue }</style><p id=t>", "#0000ff"},
        CascadeCase{"SpecificityBeatsOrder",
                    "<style>#t { color: red } p.c { color: blue }</style><p id=t class=c>", "#ff0000"},
        CascadeCase{"ClassBeatsTwoTypes",
                    "<style>.c { color: red } div p { color: blue }</style><div><p id=t class=c>", "#ff0000"},
        CascadeCase{"StyleAttributeBeatsId", "<style>#t { color: red }</style><p id=t style='color: blue'>",
                    "#0000ff"},
        CascadeCase{"ImportantBeatsStyleAttribute",
                    "<style>p { color: red !important }</style><p id=t style='color: blue'>", "#ff0000"},
        CascadeCase{"ImportantStyleAttributeBeatsImportantRule",
                    "<style>#t { color: red !important }</style><p id=t style='color: blue !important'>",
                    "#0000ff"},
        CascadeCase{"ImportantInBlockBeatsLaterNormal", "<p id=t style='color: red !important; color: blue'>",
                    "#ff0000"},
        CascadeCase{"SheetsInDocumentOrder",
                    "<style>p { color: red }</style><p id=t><style>p { color: blue }</style>", "#0000ff"},
        CascadeCase{"PrintSheetIgnored", "<style media=print>p { color: red }</style><p id=t>", "#000000"},
        CascadeCase{"InvalidValueKeepsEarlier",
                    "<style>p { color: red } p { color: nonsense }</style><p id=t>", "#ff0000"},
        CascadeCase{"AttributeLosesToAuthorRule", "<style>font { color: blue }</style><font id=t color=red>",
                    "#0000ff"},
        CascadeCase{"AttributeBeatsDefaults", "<body link=green><a id=t href=x>", "#008000"},
        CascadeCase{"LinkDefault", "<a id=t href=x>", "#0000ee"},
        CascadeCase{"AnchorWithoutHrefIsNoLink", "<a id=t name=x>", "#000000"},
        CascadeCase{"CurrentColorIsInherited", "<div style='color: red'><p id=t style='color: currentColor'>",
                    "#ff0000"},
        CascadeCase{"InitialIsBlack", "<div style='color: red'><p id=t style='color: initial'>", "#000000"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CssCascade, DefaultImportantBeatsThePage) {
  Styled page("<style>input { display: block !important }</style><input id=t type=hidden>");
  EXPECT_EQ(Display::None, page["t"].display);
  Styled hidden("<style>.x { display: block }</style><p id=t hidden class=x>");
  EXPECT_EQ(Display::Block, hidden["t"].display) << "the hidden attribute is a default the page may override";
}

TEST(CssCascade, MediaBlocksKeepTheirPlaceInTheSheet) {
  Styled page(
      "<style media='screen and (max-width: 600px)'>p { color: red }</style>"
      "<style><!-- p { color: blue } @media screen { p { color: green } } p.x { margin-left: 1px } "
      "--></style>"
      "<style>@media (min-width: 600px) { p { margin: 2px } } p { margin-top: 3px }</style><p id=t class=x>");
  EXPECT_EQ("#008000", Hex(page["t"].color)) << "a sheet wrapped in <!-- --> still applies";
  EXPECT_EQ("3 2 2 1", Sides(page["t"].margin)) << "specificity first, then the order of the rules";
}

TEST(CssCascade, RemFollowsTheRootAndEmTheElement) {
  Styled page(
      "<html style='font-size: 10px'><body style='font-size: 2rem'><p id=t style='font-size: 3em; "
      "margin-left: 1em; padding-left: 2rem'>");
  EXPECT_EQ(20, page["body"].fontSizePx);
  EXPECT_EQ(60, page["t"].fontSizePx);
  EXPECT_EQ("60", Str(page["t"].margin[kLeft]));
  EXPECT_EQ("20", Str(page["t"].padding[kLeft]));
}

// --- Selectors ------------------------------------------------------------------------------

struct SelectorCase {
  const char* selector;
  const char* html;  // #t is tested
  bool matches;
};

class CssSelectorMatching : public ::testing::TestWithParam<SelectorCase> {};

TEST_P(CssSelectorMatching, OnTheTarget) {
  std::string html =
      std::string("<style>") + GetParam().selector + " { color: red }</style>" + GetParam().html;
  EXPECT_EQ(GetParam().matches, Styled(html)["t"].color == (Color{255, 0, 0, 255}))
      << GetParam().selector << " on " << GetParam().html;
}

INSTANTIATE_TEST_SUITE_P(
    All, CssSelectorMatching,
    ::testing::Values(
        SelectorCase{"P", "<p id=t>", true}, SelectorCase{"*", "<b id=t>", true},
        SelectorCase{".A", "<p id=t class='x a'>", true}, SelectorCase{".a.b", "<p id=t class=a>", false},
        SelectorCase{"#T", "<p id=t>", true}, SelectorCase{"[title]", "<p id=t title>", true},
        SelectorCase{"[lang=en]", "<p id=t lang=en-us>", false},
        SelectorCase{"[lang|=en]", "<p id=t lang=en-us>", true},
        SelectorCase{"[rel~=next]", "<a id=t rel='prev next'>", true},
        SelectorCase{"[rel~=ne]", "<a id=t rel=next>", false},
        SelectorCase{"[href^=http]", "<a id=t href=https://x>", true},
        SelectorCase{"[href$='.pdf']", "<a id=t href=a.pdf>", true},
        SelectorCase{"[href*=ample]", "<a id=t href=example>", true},
        SelectorCase{"[data-x=Y]", "<p id=t data-x=y>", false},
        SelectorCase{"[data-x=Y i]", "<p id=t data-x=y>", true},
        SelectorCase{"[type=TEXT]", "<input id=t type=text>", true},
        SelectorCase{"div p", "<div><span><p id=t>", true},
        SelectorCase{"div > p", "<div><span><p id=t>", false},
        SelectorCase{"div > span > b", "<div><span><b id=t>", true},
        SelectorCase{"div > * b", "<div><i><u><b id=t>", true},
        SelectorCase{"ul > li p", "<ul><li><div><p id=t>", true},
        SelectorCase{"section > div p", "<section><div><div><p id=t>", true},
        SelectorCase{"h1 + p", "<h1></h1><p id=t>", true},
        SelectorCase{"h1 + p", "<h1></h1><div></div><p id=t>", false},
        SelectorCase{"h1 ~ p", "<h1></h1><div></div><p id=t>", true},
        SelectorCase{"p:first-child", "<div><p id=t><p>", true},
        SelectorCase{"p:first-child", "<div><b></b><p id=t>", false},
        SelectorCase{"p:last-child", "<div><p><p id=t></div>", true},
        SelectorCase{"li:nth-child(2n+1)", "<ul><li><li><li id=t></ul>", true},
        SelectorCase{"li:nth-child(even)", "<ul><li><li><li id=t></ul>", false},
        SelectorCase{"li:nth-last-child(1)", "<ul><li><li><li id=t></ul>", true},
        SelectorCase{"p:nth-of-type(2)", "<div><p><b></b><p id=t></div>", true},
        SelectorCase{"a:link", "<a id=t href=x>", true}, SelectorCase{"a:visited", "<a id=t href=x>", false},
        SelectorCase{"a:hover", "<a id=t href=x>", false}, SelectorCase{"p::before", "<p id=t>", false},
        SelectorCase{"p:not(.x)", "<p id=t>", true}, SelectorCase{"p:not(.x, #t)", "<p id=t>", false},
        SelectorCase{":is(h1, p)", "<p id=t>", true}, SelectorCase{":root", "<html id=t>", true},
        SelectorCase{"p:empty", "<p id=t></p>", true}, SelectorCase{"p:empty", "<p id=t>x</p>", false},
        SelectorCase{"p, a:bogus", "<p id=t>", false}, SelectorCase{"p, a:hover", "<p id=t>", true},
        SelectorCase{".md\\:x", "<p id=t class=md:x>", true}));

// --- Values as computed -------------------------------------------------------------------------

struct ValueCase {
  const char* style;  // of #t, inside <div style="font-size: 20px">
  std::function<std::string(const ComputedStyle&)> read;
  const char* expected;
};

class CssComputedValues : public ::testing::TestWithParam<ValueCase> {};

TEST_P(CssComputedValues, OfTheTarget) {
  std::string html = std::string("<div style='font-size: 20px; color: #010203'><p id=t style=\"") +
                     GetParam().style + "\">x</p></div>";
  EXPECT_EQ(GetParam().expected, GetParam().read(Styled(html)["t"])) << GetParam().style;
}

auto Margin = [](const ComputedStyle& s) { return Sides(s.margin); };
auto Padding = [](const ComputedStyle& s) { return Sides(s.padding); };
auto BorderWidths = [](const ComputedStyle& s) { return Sides(s.borderWidth); };
auto BorderColors = [](const ComputedStyle& s) {
  return Hex(s.borderColor[0]) + " " + Hex(s.borderColor[1]) + " " + Hex(s.borderColor[2]) + " " +
         Hex(s.borderColor[3]);
};
auto FontSize = [](const ComputedStyle& s) { return Str(s.fontSizePx); };
auto Font = [](const ComputedStyle& s) {
  return Str(s.fontSizePx) + " " + Int(s.fontWeight) + (s.italic ? " italic " : " ") + s.fontFamily;
};
auto LineHeight = [](const ComputedStyle& s) {
  return Str(s.lineHeight) + (s.lineHeightKind == LineHeightKind::Px       ? "px"
                              : s.lineHeightKind == LineHeightKind::Number ? ""
                                                                           : "normal");
};
auto Box = [](const ComputedStyle& s) {
  return Str(s.width) + " " + Str(s.height) + " " + Str(s.minWidth) + " " + Str(s.maxWidth) + " " +
         Str(s.maxHeight);
};
auto Background = [](const ComputedStyle& s) { return Hex(s.backgroundColor); };
auto Flex = [](const ComputedStyle& s) {
  return Str(s.flexGrow) + " " + Str(s.flexShrink) + " " + Str(s.flexBasis) + " " +
         Int(static_cast<int>(s.flexDirection)) + Int(static_cast<int>(s.flexWrap)) + " " + Str(s.rowGap) + " " +
         Str(s.columnGap);
};
std::string Str(const css::GridLine& line) {
  if (line.IsAuto()) return "auto";
  if (line.span > 0) return "span" + Int(line.span);
  return line.name.empty() ? Int(line.line) : line.line != 0 ? Int(line.line) + line.name : line.name;
}
std::string Str(const css::TrackBreadth& b) {
  using K = css::TrackBreadth::Kind;
  switch (b.kind) {
    case K::Px: return Str(b.value);
    case K::Percent: return Str(b.value) + "%";
    case K::Fr: return Str(b.value) + "fr";
    case K::Auto: return "auto";
    case K::MinContent: return "min";
    case K::MaxContent: return "max";
  }
  return "?";
}
std::string Str(const css::TrackSize& t) {
  return t.min == t.max ? Str(t.min) : "(" + Str(t.min) + "," + Str(t.max) + ")";
}
auto Placement = [](const ComputedStyle& s) {
  return Str(s.gridRowStart) + " " + Str(s.gridColumnStart) + " " + Str(s.gridRowEnd) + " " + Str(s.gridColumnEnd);
};
auto Columns = [](const ComputedStyle& s) {
  if (!s.gridColumns) return std::string("none");
  std::string out;
  for (const auto& t : s.gridColumns->tracks) out += Str(t) + " ";
  if (!s.gridColumns->repeat.empty()) {
    out += (s.gridColumns->autoFit ? "fit@" : "fill@") + Int(static_cast<int>(s.gridColumns->repeatAt)) + ":";
    for (const auto& t : s.gridColumns->repeat) out += Str(t) + " ";
  }
  return out;
};
auto Areas = [](const ComputedStyle& s) {
  if (!s.gridAreas) return std::string("none");
  std::string out = Int(s.gridAreas->rows) + "x" + Int(s.gridAreas->columns);
  for (const auto& a : s.gridAreas->areas)
    out += " " + a.name + ":" + Int(a.rowStart) + Int(a.rowEnd) + Int(a.columnStart) + Int(a.columnEnd);
  return out;
};
auto Corners = [](const ComputedStyle& s) { return Sides(s.borderRadius); };
auto Shadow = [](const ComputedStyle& s) {
  const css::BoxShadow& b = s.boxShadow;
  if (!b.present) return std::string("none");
  return std::string(b.inset ? "inset " : "") + Str(b.x) + " " + Str(b.y) + " " + Str(b.blur) + " " + Str(b.spread) +
         " " + Hex(b.color);
};
auto Alignment = [](const ComputedStyle& s) {
  return Int(static_cast<int>(s.justifyContent)) + " " + Int(static_cast<int>(s.alignContent)) + " " +
         Int(static_cast<int>(s.alignItems)) + " " + Int(static_cast<int>(s.alignSelf)) + " " + Int(s.order);
};
auto Kinds = [](const ComputedStyle& s) {
  return Int(static_cast<int>(s.display)) + " " + Int(static_cast<int>(s.floating)) + " " +
         Int(static_cast<int>(s.position)) + " " + Int(static_cast<int>(s.overflowX)) + " " +
         Int(static_cast<int>(s.overflowY));
};
auto Text = [](const ComputedStyle& s) {
  return Int(static_cast<int>(s.textAlign)) + " " + Str(s.textIndent) + " " +
         Int(static_cast<int>(s.textTransform)) + " " + Int(static_cast<int>(s.verticalAlign)) + " " +
         Int(static_cast<int>(s.whiteSpace));
};
auto List = [](const ComputedStyle& s) {
  return Int(static_cast<int>(s.listStyleType)) + " " + Int(static_cast<int>(s.listStylePosition));
};

INSTANTIATE_TEST_SUITE_P(
    Box, CssComputedValues,
    ::testing::Values(
        ValueCase{"margin: 1px", Margin, "1 1 1 1"}, ValueCase{"margin: 1px 2px", Margin, "1 2 1 2"},
        ValueCase{"margin: 1px 2px 3px", Margin, "1 2 3 2"},
        ValueCase{"margin: 1px 2px 3px 4px; margin-left: auto", Margin, "1 2 3 auto"},
        ValueCase{"margin: 1em 10% -2px 0", Margin, "20 10% -2 0"}, ValueCase{"margin: 5", Margin, "5 5 5 5"},
        ValueCase{"padding: 1ex 2rem", Padding, "10 32 10 32"},
        ValueCase{"padding: -1px; padding-top: 3px", Padding, "3 0 0 0"},
        ValueCase{"border: 2px solid red", BorderWidths, "2 2 2 2"},
        ValueCase{"border-width: 5px", BorderWidths, "0 0 0 0"},
        ValueCase{"border-style: solid; border-width: thin medium thick", BorderWidths, "1 3 5 3"},
        ValueCase{"border: solid; border-top: none", BorderWidths, "0 3 3 3"},
        ValueCase{"border: 1px solid; border-left-color: red", BorderColors,
                  "#010203 #010203 #010203 #ff0000"},
        ValueCase{"border-color: red blue", BorderColors, "#ff0000 #0000ff #ff0000 #0000ff"},
        ValueCase{"width: 50%; height: 2em; min-width: 10px; max-width: none; max-height: 5px", Box,
                  "50% 40 10 none 5"},
        ValueCase{"width: -5px; height: auto; min-width: auto", Box, "auto auto auto none none"},
        ValueCase{"float: left", Kinds, "2 1 0 0 0"},
        ValueCase{"display: inline-table; position: absolute; float: right", Kinds, "5 0 2 0 0"},
        ValueCase{"display: table-row-group", Kinds, "10 0 0 0 0"},
        ValueCase{"display: flex", Kinds, "16 0 0 0 0"},
        ValueCase{"display: inline-grid; float: left", Kinds, "18 1 0 0 0"},
        // Flexible boxes: the shorthand's forms, and what makes it invalid (the last valid one stays).
        ValueCase{"flex: 1", Flex, "1 1 0% 00 0 0"},
        ValueCase{"flex: none", Flex, "0 0 auto 00 0 0"},
        ValueCase{"flex: auto", Flex, "1 1 auto 00 0 0"},
        ValueCase{"flex: 2 0 30px", Flex, "2 0 30 00 0 0"},
        ValueCase{"flex: 10% 3", Flex, "3 1 10% 00 0 0"},
        ValueCase{"flex: 1 1 0", Flex, "1 1 0 00 0 0"},
        ValueCase{"flex: 1 1 content", Flex, "1 1 none 00 0 0"},
        ValueCase{"flex: 3; flex: 1 10px 2", Flex, "3 1 0% 00 0 0"},
        ValueCase{"flex: 3; flex: 1 2 3", Flex, "3 1 0% 00 0 0"},
        ValueCase{"flex: 3; flex: -1", Flex, "3 1 0% 00 0 0"},
        ValueCase{"flex-flow: wrap column; gap: 1em 5%", Flex, "0 1 auto 21 20 5%"},
        ValueCase{"flex-flow: row row", Flex, "0 1 auto 00 0 0"},
        ValueCase{"grid-gap: 4px; column-gap: normal", Flex, "0 1 auto 00 4 0"},
        ValueCase{"justify-content: space-between; align-items: safe center; order: 2", Alignment, "7 1 5 0 2"},
        ValueCase{"place-content: center end; align-self: last baseline", Alignment, "4 5 1 6 0"},
        ValueCase{"align-items: space-between; order: 1.5; align-self: stretch", Alignment, "1 1 1 2 0"},
        // Rounded corners and shadows (the first of several), colours defaulting to the text's.
        ValueCase{"border-radius: 4px 10%", Corners, "4 10% 4 10%"},
        ValueCase{"border-radius: 1em / 2px; -webkit-border-radius: -1px", Corners, "20 20 20 20"},
        ValueCase{"box-shadow: 0 2px 4px rgba(0, 0, 0, 0.5), inset 1px 1px red", Shadow, "0 2 4 0 #00000080"},
        ValueCase{"box-shadow: inset 1em 2px 3px -4px", Shadow, "inset 20 2 3 -4 #010203"},
        ValueCase{"box-shadow: 1px 1px; box-shadow: 1px 2px -3px red", Shadow, "1 1 0 0 #010203"},
        ValueCase{"box-shadow: 1px 1px; box-shadow: 1px", Shadow, "1 1 0 0 #010203"},
        ValueCase{"box-shadow: 1px 1px; box-shadow: none", Shadow, "none"},
        // Grids: track lists (ems are the element's, 20px), areas and lines.
        ValueCase{"grid-template-columns: [a] 10px minmax(2em, 1fr) [b] auto 25% fit-content(50px)", Columns,
                  "10 (40,1fr) auto 25% (auto,50) "},
        ValueCase{"grid-template-columns: 1fr repeat(2, 5px max-content) repeat(auto-fit, minmax(10rem, 1fr))",
                  Columns, "(auto,1fr) 5 max 5 max fit@5:(160,1fr) "},
        ValueCase{"grid-template-columns: 1px; grid-template-columns: repeat(auto-fill, 1px) repeat(auto-fill, 2px)",
                  Columns, "1 "},
        ValueCase{"grid-template-columns: 1px; grid-template-columns: minmax(1fr, 2px)", Columns, "1 "},
        ValueCase{"grid-template: auto 1fr / 100px 1fr", Columns, "100 (auto,1fr) "},
        ValueCase{"grid-template-areas: 'a a b' 'c . b'", Areas, "2x3 a:0102 b:0223 c:1201"},
        ValueCase{"grid-template-areas: 'a'; grid-template-areas: 'a b' 'b a'", Areas, "1x1 a:0101"},
        ValueCase{"grid-template-areas: 'a'; grid-template-areas: 'a b' 'c'", Areas, "1x1 a:0101"},
        ValueCase{"grid-area: main", Placement, "main main main main"},
        ValueCase{"grid-area: 2 / 1 / span 2", Placement, "2 1 span2 auto"},
        ValueCase{"grid-row: side / 4; grid-column: -1", Placement, "side -1 4 auto"},
        ValueCase{"grid-column: span 3 / x; grid-row: 2 3", Placement, "auto span3 auto x"},
        ValueCase{"display: inline flow-root", Kinds, "4 0 0 0 0"},
        ValueCase{"overflow: hidden", Kinds, "2 0 0 1 1"},
        ValueCase{"overflow-x: hidden", Kinds, "2 0 0 1 2"},
        ValueCase{"overflow: visible scroll", Kinds, "2 0 0 2 3"},
        ValueCase{"position: sticky; top: 5%; inset: auto", Kinds, "2 0 1 0 0"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

INSTANTIATE_TEST_SUITE_P(
    Fonts, CssComputedValues,
    ::testing::Values(
        ValueCase{"font-size: 1.5em", FontSize, "30"}, ValueCase{"font-size: 150%", FontSize, "30"},
        ValueCase{"font-size: 2rem", FontSize, "32"}, ValueCase{"font-size: 12pt", FontSize, "16"},
        ValueCase{"font-size: x-large", FontSize, "24"}, ValueCase{"font-size: smaller", FontSize, "16.6667"},
        ValueCase{"font-size: larger", FontSize, "24"}, ValueCase{"font-size: -2px", FontSize, "20"},
        ValueCase{"font-size: 1e6em", FontSize, "10000"},
        ValueCase{"font: italic 700 10px/2 'Times New Roman', serif", Font,
                  "10 700 italic 'times new roman', serif"},
        ValueCase{"font: bold 10px Verdana,   ARIAL", Font, "10 700 verdana, arial"},
        ValueCase{"font-weight: bolder", Font, "20 700 "}, ValueCase{"font-weight: lighter", Font, "20 100 "},
        ValueCase{"font-weight: 1200", Font, "20 400 "},
        ValueCase{"font-style: oblique; font-family: monospace", Font, "20 400 italic monospace"},
        ValueCase{"line-height: 1.5", LineHeight, "1.5"}, ValueCase{"line-height: 150%", LineHeight, "30px"},
        ValueCase{"line-height: 2em", LineHeight, "40px"},
        ValueCase{"line-height: -1", LineHeight, "0normal"},
        ValueCase{"font: 10px/normal serif", LineHeight, "0normal"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

INSTANTIATE_TEST_SUITE_P(
    Colors, CssComputedValues,
    ::testing::Values(ValueCase{"background: #fff url(a.png)", Background, "#ffffff"},
                      ValueCase{"background-color: red; background: none", Background, "#00000000"},
                      ValueCase{"background-color: currentcolor", Background, "#010203"},
                      ValueCase{"background: rgba(0, 0, 0, 0.5)", Background, "#00000080"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

INSTANTIATE_TEST_SUITE_P(
    Text, CssComputedValues,
    ::testing::Values(ValueCase{"text-align: -webkit-center; text-indent: 2em", Text, "2 40 0 0 0"},
                      ValueCase{"text-align: end; text-transform: uppercase; vertical-align: middle", Text,
                                "1 0 1 4 0"},
                      ValueCase{"vertical-align: 3px; white-space: pre-wrap", Text, "0 0 0 0 3"},
                      ValueCase{"text-indent: 10%; white-space: break-spaces", Text, "0 10% 0 0 3"},
                      ValueCase{"list-style: square inside", List, "2 1"},
                      ValueCase{"list-style: none", List, "8 0"},
                      ValueCase{"list-style: upper-roman url(x.png)", List, "7 0"},
                      ValueCase{"list-style-type: lower-greek", List, "3 0"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

// --- Inheritance and decorations -------------------------------------------------------------

TEST(CssInheritance, InheritedPropertiesOnlyAndTheWideKeywords) {
  Styled page(
      "<div id=d style='color: red; margin: 5px; border: 3px solid; white-space: pre; line-height: 2; "
      "font-family: Arial; text-align: center; visibility: hidden'>"
      "t<span id=p>x</span><p id=i style='margin: inherit; border-width: inherit; border-style: inherit'>"
      "<p id=u style='color: unset; margin: unset; text-align: initial'>");
  const ComputedStyle& p = page["p"];
  EXPECT_EQ(Hex({255, 0, 0, 255}), Hex(p.color));
  EXPECT_EQ("0 0 0 0", Sides(p.margin));
  EXPECT_EQ("0 0 0 0", Sides(p.borderWidth));
  EXPECT_EQ(WhiteSpace::Pre, p.whiteSpace);
  EXPECT_EQ(LineHeightKind::Number, p.lineHeightKind);
  EXPECT_EQ("arial", p.fontFamily);
  EXPECT_EQ(TextAlign::Center, p.textAlign);
  EXPECT_EQ(Visibility::Hidden, p.visibility);
  EXPECT_EQ("5 5 5 5", Sides(page["i"].margin));
  EXPECT_EQ("3 3 3 3", Sides(page["i"].borderWidth));
  EXPECT_EQ(Hex({255, 0, 0, 255}), Hex(page["u"].color));
  EXPECT_EQ(TextAlign::Left, page["u"].textAlign);
  const ComputedStyle& text = page.TextOf("d");
  EXPECT_EQ(Display::Inline, text.display);
  EXPECT_EQ(Hex({255, 0, 0, 255}), Hex(text.color));
  EXPECT_EQ("0 0 0 0", Sides(text.margin));
}

TEST(CssInheritance, LineHeightsInheritAsComputed) {
  Styled page(
      "<div style='font-size: 10px; line-height: 150%'><p id=a style='font-size: 20px'></div>"
      "<div style='font-size: 10px; line-height: 1.5'><p id=b style='font-size: 20px'></div>");
  EXPECT_EQ("15px", LineHeight(page["a"])) << "a percentage is pixels where it is declared";
  EXPECT_EQ("1.5", LineHeight(page["b"])) << "a number scales with each font";
}

TEST(CssDecorations, PropagateToInFlowDescendants) {
  Styled page(
      "<p id=p style='text-decoration: underline; color: red'>a<span id=s style='color: blue; "
      "text-decoration: line-through'>b</span><b id=f style='float: left'>c</b><i id=ib style='display: "
      "inline-block'>d</i></p><p id=c style='text-decoration: overline blue; color: green'>"
      "<a id=a href=x>e</a></p>");
  EXPECT_EQ(kUnderline, page["p"].decorationsInEffect);
  EXPECT_EQ(kUnderline | kLineThrough, page["s"].decorationsInEffect);
  EXPECT_EQ(Hex({0, 0, 255, 255}), Hex(page["s"].decorationColor)) << "the nearest decorating box's colour";
  EXPECT_EQ(kUnderline | kLineThrough, page.TextOf("s").decorationsInEffect);
  EXPECT_EQ(kDecorationNone, page["s"].textDecoration & kUnderline)
      << "text-decoration itself is not inherited";
  EXPECT_EQ(kDecorationNone, page["f"].decorationsInEffect) << "floats are out of the flow";
  EXPECT_EQ(kDecorationNone, page["ib"].decorationsInEffect) << "nor into inline blocks";
  EXPECT_EQ(Hex({0, 0, 255, 255}), Hex(page["c"].decorationColor)) << "text-decoration-color wins over color";
  EXPECT_EQ(kOverline | kUnderline, page["a"].decorationsInEffect);
  EXPECT_EQ(Hex({0, 0, 0xee, 255}), Hex(page["a"].decorationColor));
}

// --- The browser's defaults ----------------------------------------------------------------

struct DefaultCase {
  const char* html;
  const char* key;
  std::function<std::string(const ComputedStyle&)> read;
  const char* expected;
};

class CssDefaults : public ::testing::TestWithParam<DefaultCase> {};

TEST_P(CssDefaults, OfElements) {
  EXPECT_EQ(GetParam().expected, GetParam().read(Styled(GetParam().html)[GetParam().key])) << GetParam().html;
}

auto Display_ = [](const ComputedStyle& s) { return Int(static_cast<int>(s.display)); };
auto BlockBox = [](const ComputedStyle& s) {
  return Int(static_cast<int>(s.display)) + " " + Sides(s.margin) + " / " + Sides(s.padding) + " / " +
         Str(s.fontSizePx) + " " + Int(s.fontWeight);
};

INSTANTIATE_TEST_SUITE_P(
    All, CssDefaults,
    ::testing::Values(
        DefaultCase{"<body>", "body", BlockBox, "2 8 8 8 8 / 0 0 0 0 / 16 400"},
        DefaultCase{"<p>", "p", BlockBox, "2 16 0 16 0 / 0 0 0 0 / 16 400"},
        DefaultCase{"<h1>", "h1", BlockBox, "2 21.44 0 21.44 0 / 0 0 0 0 / 32 700"},
        DefaultCase{"<h2>", "h2", BlockBox, "2 19.92 0 19.92 0 / 0 0 0 0 / 24 700"},
        DefaultCase{"<h6>", "h6", BlockBox, "2 24.9776 0 24.9776 0 / 0 0 0 0 / 10.72 700"},
        DefaultCase{"<body style='font-size: 10pt'><h1>", "h1", FontSize, "26.6667"},
        DefaultCase{"<ul><li>", "ul", BlockBox, "2 16 0 16 0 / 0 0 0 40 / 16 400"},
        DefaultCase{"<ul><li><ul id=t>", "t", BlockBox, "2 0 0 0 0 / 0 0 0 40 / 16 400"},
        DefaultCase{"<ul><li>", "li", BlockBox, "3 0 0 0 0 / 0 0 0 0 / 16 400"},
        DefaultCase{"<ul><li><ul id=t>", "t", List, "1 0"},
        DefaultCase{"<ol><li><ul><li><ul id=t>", "t", List, "2 0"},
        DefaultCase{"<ul><li><ol id=t>", "t", List, "3 0"},
        DefaultCase{"<dl><dd>", "dd", BlockBox, "2 0 0 0 40 / 0 0 0 0 / 16 400"},
        DefaultCase{"<blockquote>", "blockquote", Margin, "16 40 16 40"},
        DefaultCase{"<pre>", "pre", Font, "13 400 monospace"}, DefaultCase{"<pre>", "pre", Text, "0 0 0 0 2"},
        DefaultCase{"<p style='font-size: 20px'><code>", "code", FontSize, "20"},
        DefaultCase{"<h1><code>", "code", FontSize, "26"},
        DefaultCase{"<pre><span style='font-family: serif'>", "span", FontSize, "16"},
        DefaultCase{"<pre style='font-size: small'>", "pre", FontSize, "11"},
        DefaultCase{"<p><small>", "small", FontSize, "13.3333"},
        DefaultCase{"<p><sub>", "sub", Text, "0 0 0 1 0"}, DefaultCase{"<b>", "b", Font, "16 700 "},
        DefaultCase{"<h1><b>", "b", Font, "32 900 "}, DefaultCase{"<em>", "em", Font, "16 400 italic "},
        DefaultCase{"<table><tr><td>", "table", Display_, "5"},
        DefaultCase{"<table><tr><td>", "table",
                    [](const ComputedStyle& s) {
                      return Str(s.borderSpacingX) + " " + Int(static_cast<int>(s.boxSizing)) + " " +
                             Hex(s.borderColor[0]);
                    },
                    "2 1 #808080"},
        DefaultCase{"<table><caption>c</caption><tr><td>", "caption", Text, "2 0 0 0 0"},
        DefaultCase{"<table><tr><td>", "tbody", Display_, "10"},
        DefaultCase{"<table><thead><tr><td>", "thead", Display_, "11"},
        DefaultCase{"<table><tr><td>", "tr", Display_, "6"},
        DefaultCase{"<table><tr><td>", "td", Text, "0 0 0 4 0"},
        DefaultCase{"<table><tr><td>", "td", Padding, "1 1 1 1"},
        DefaultCase{"<table><tr><th>", "th", Text, "2 0 0 4 0"},
        DefaultCase{"<table><tr><th>", "th", Font, "16 700 "},
        DefaultCase{"<table><colgroup><col></table>", "col", Display_, "13"},
        DefaultCase{"<hr>", "hr",
                    [](const ComputedStyle& s) {
                      return Margin(s) + " / " + BorderWidths(s) + " " + Hex(s.borderColor[0]) + " " +
                             Int(static_cast<int>(s.borderStyle[0]));
                    },
                    "8 auto 8 auto / 1 1 1 1 #808080 8"},
        DefaultCase{"<a href=x>", "a", [](const ComputedStyle& s) { return Int(s.textDecoration); }, "1"},
        DefaultCase{"<center>", "center", Text, "2 0 0 0 0"},
        DefaultCase{"<head><title>", "head", Display_, "0"}, DefaultCase{"<dialog>", "dialog", Display_, "0"},
        DefaultCase{"<dialog open>", "dialog", Display_, "2"}, DefaultCase{"<span>", "html", Display_, "2"},
        DefaultCase{"<html style='display: inline'>", "html", Display_, "2"},
        DefaultCase{"<input>", "input", Display_, "4"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

// --- Presentational attributes --------------------------------------------------------------

TEST(CssPresentationalHints, TablesAndCells) {
  Styled page(
      "<table id=t border=2 cellpadding=4 cellspacing=0 width=50% align=center bgcolor=ffcc00>"
      "<tr valign=top><td id=c width=100 nowrap align=right>x<td id=d bgcolor=red height=0>"
      "<table id=inner><tr><td id=n></table></table>");
  const ComputedStyle& table = page["t"];
  EXPECT_EQ("2 2 2 2", Sides(table.borderWidth));
  EXPECT_EQ(BorderStyle::Outset, table.borderStyle[0]);
  EXPECT_EQ("50%", Str(table.width));
  EXPECT_EQ("0 auto 0 auto", Sides(table.margin));
  EXPECT_EQ(0, table.borderSpacingX);
  EXPECT_EQ("#ffcc00", Hex(table.backgroundColor));
  const ComputedStyle& cell = page["c"];
  EXPECT_EQ("4 4 4 4", Sides(cell.padding));
  EXPECT_EQ("1 1 1 1", Sides(cell.borderWidth));
  EXPECT_EQ(BorderStyle::Inset, cell.borderStyle[0]);
  EXPECT_EQ("100", Str(cell.width));
  EXPECT_EQ(WhiteSpace::Nowrap, cell.whiteSpace);
  EXPECT_EQ(TextAlign::Right, cell.textAlign);
  EXPECT_EQ(VerticalAlign::Top, cell.verticalAlign);
  EXPECT_EQ("#ff0000", Hex(page["d"].backgroundColor));
  EXPECT_EQ("auto", Str(page["d"].height)) << "a zero cell height is ignored";
  EXPECT_EQ("1 1 1 1", Sides(page["n"].padding)) << "a nested table's cells follow their own table";
}

TEST(CssPresentationalHints, LoseToThePageSheets) {
  Styled page(
      "<style>table { border-spacing: 10px } td { padding: 0 } img { width: 5px }</style>"
      "<table id=t cellspacing=3 cellpadding=7><tr><td id=c></table><img id=i width=100 height=50>");
  EXPECT_EQ(10, page["t"].borderSpacingX);
  EXPECT_EQ("0 0 0 0", Sides(page["c"].padding));
  EXPECT_EQ("5", Str(page["i"].width));
  EXPECT_EQ("50", Str(page["i"].height));
}

TEST(CssPresentationalHints, FontsBodiesImagesAndLists) {
  Styled page(
      "<body text=navy topmargin=0 marginwidth=3 bgcolor=white>"
      "<font id=a size=5 color=green face='Verdana, Arial'>a</font><font id=b size=+1>b</font>"
      "<font id=c size=-2>c</font><font id=d size=9>d</font><font id=e size=x>e</font>"
      "<img id=i align=left hspace=4 vspace=2 border=1 width=50%>"
      "<ol type=A id=o><li id=l type=i></ol><ul type=square id=u></ul><p align=justify id=p>"
      "<hr id=h noshade size=4 width=100 align=left>");
  EXPECT_EQ("#000080", Hex(page["body"].color));
  EXPECT_EQ("#ffffff", Hex(page["body"].backgroundColor));
  EXPECT_EQ("0 3 8 3", Sides(page["body"].margin));
  EXPECT_EQ("24 400 verdana, arial", Font(page["a"]));
  EXPECT_EQ("#008000", Hex(page["a"].color));
  EXPECT_EQ("18", FontSize(page["b"]));
  EXPECT_EQ("10", FontSize(page["c"]));
  EXPECT_EQ("48", FontSize(page["d"]));
  EXPECT_EQ("16", FontSize(page["e"]));
  const ComputedStyle& image = page["i"];
  EXPECT_EQ(Float::Left, image.floating);
  EXPECT_EQ(Display::Block, image.display) << "a floated image is a block";
  EXPECT_EQ("2 4 2 4", Sides(image.margin));
  EXPECT_EQ("1 1 1 1", Sides(image.borderWidth));
  EXPECT_EQ("50%", Str(image.width));
  EXPECT_EQ(ListStyleType::UpperAlpha, page["o"].listStyleType);
  EXPECT_EQ(ListStyleType::LowerRoman, page["l"].listStyleType);
  EXPECT_EQ(ListStyleType::Square, page["u"].listStyleType);
  EXPECT_EQ(TextAlign::Justify, page["p"].textAlign);
  const ComputedStyle& rule = page["h"];
  EXPECT_EQ("2 2 2 2", Sides(rule.borderWidth));
  EXPECT_EQ(BorderStyle::Solid, rule.borderStyle[0]);
  EXPECT_EQ("100", Str(rule.width));
  EXPECT_EQ("8 auto 8 0", Sides(rule.margin));
}

// --- Bad input -------------------------------------------------------------------------------

TEST(CssBadInput, ResolvesInBoundedTime) {
  std::vector<std::string> pages = {
      "<style>" + std::string(1 << 20, '{') + "</style><p>x",
      "<style>p { color: red</style><p style='margin: 1e999px; width: 99999999999px; font-size: 1e30px'>",
      "<p style='" + std::string(100000, ';') + "color: red'>",
      "<style>" + std::string(200000, '@') + "</style>",
  };
  std::string deep = "<style>";
  for (int i = 0; i < 3000; ++i) deep += "div ";
  deep += "p { color: red }</style>";
  for (int i = 0; i < 2000; ++i) deep += "<div>";
  pages.push_back(deep + "<p>x");
  std::string many = "<style>";
  for (int i = 0; i < 50; ++i) many += "div div div div div div div div p, ";
  many += "p { color: red }</style>";
  for (int i = 0; i < 300; ++i) many += "<div>";
  pages.push_back(many + "<p>x");
  for (const std::string& html : pages) {
    auto start = std::chrono::steady_clock::now();
    Styled page(html);
    // A pass that is quadratic in these inputs takes hours; a loaded machine or a sanitizer build
    // takes seconds.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30)) << html.substr(0, 60);
  }
  Styled huge("<p id=t style='margin-left: 1e30px; width: 1e30px; font-size: 1e30px; line-height: 1e30'>");
  EXPECT_EQ(10000, huge["t"].fontSizePx);
  EXPECT_LE(huge["t"].margin[kLeft].value, 1e7F);
}

}  // namespace
}  // namespace lectryn::engine::css

namespace lectryn::engine::css {
namespace {

// Pages without a standards doctype get tables that do not inherit the text's size and weight,
// which the text-to-speech page (no doctype, 10pt body) relies on to look as it always did.
TEST(QuirksMode, TablesDoNotInheritTextSizeWeightOrAlignment) {
  const char* body =
      "<style>body { font: bold 10pt serif; text-align: right; color: #800080 }</style>"
      "<body><table><tr><td id=cell>x</td></tr></table>";
  Styled quirks(body);
  EXPECT_FLOAT_EQ(16, quirks["cell"].fontSizePx);
  EXPECT_EQ(400, quirks["cell"].fontWeight);
  EXPECT_EQ(TextAlign::Left, quirks["cell"].textAlign);
  EXPECT_EQ((Color{0x80, 0, 0x80, 255}), quirks["cell"].color);  // colour still inherits

  Styled standards(std::string("<!DOCTYPE html>") + body);
  EXPECT_NEAR(13.33, standards["cell"].fontSizePx, 0.01);
  EXPECT_EQ(700, standards["cell"].fontWeight);
  EXPECT_EQ(TextAlign::Right, standards["cell"].textAlign);
}

}  // namespace
}  // namespace lectryn::engine::css
