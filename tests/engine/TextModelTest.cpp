// The rendered text of pages: units, white space, breaks between blocks, what is not rendered.
#include <gtest/gtest.h>

#include "PageText.h"

namespace lectryn::engine {
namespace {

using testing::BodyText;
using testing::Page;
using testing::Story;

struct TextCase {
  const char* name;
  const char* html;
  const char* story;  // "\n" BREAK, "*" OBJECT
};

class RenderedText : public ::testing::TestWithParam<TextCase> {};

TEST_P(RenderedText, StoryOfTheBody) {
  auto page = Page(GetParam().html);
  EXPECT_EQ(GetParam().story, Story(*page));
}

INSTANTIATE_TEST_SUITE_P(
    WhiteSpace, RenderedText,
    ::testing::Values(TextCase{"RunsCollapse", "<p>a  \t b</p>", "a b"},
                      TextCase{"NewlineBecomesSpace", "<p>a \n  b</p>", "a b"},
                      TextCase{"AcrossInlineBoundaries", "<p>a <b> b</b> <i> c</i></p>", "a b c"},
                      TextCase{"LeadingSpaceDropped", "<p>   a</p>", "a"},
                      TextCase{"SpaceBeforeBlockEndDropped", "<p>a   </p><p>b</p>", "a\nb"},
                      TextCase{"SpaceBeforeBrDropped", "<p>a <br> b</p>", "a\nb"},
                      TextCase{"NbspKept", "<p>&nbsp;a&nbsp;&nbsp;b</p>", "\u00A0a\u00A0\u00A0b"},
                      TextCase{"PreKeepsSpaces", "<pre>  a \tb\nc\r\nd</pre>", "  a \tb\nc\nd"},
                      TextCase{"PreDropsFirstNewline", "<pre>\nx</pre>", "x"},
                      TextCase{"PreLine", "<p style='white-space: pre-line'>a  b  \n  c</p>", "a b\nc"},
                      TextCase{"NowrapCollapses", "<p style='white-space:nowrap'>a   b</p>", "a b"},
                      TextCase{"PreFromSheet",
                               "<style>.code { white-space: pre }</style><p class=code>a  b</p>", "a  b"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Breaks, RenderedText,
    ::testing::Values(
        TextCase{"OneBreakPerParagraph", "<p>a</p><p>b</p>", "a\nb"},
        TextCase{"NestedBlocksCollapse", "<div><div><p>a</p></div></div><div><h1>b</h1></div>", "a\nb"},
        TextCase{"NoneAtStartOrEnd", "<div><p>a</p></div>", "a"}, TextCase{"TwoBrs", "a<br><br>b", "a\n\nb"},
        TextCase{"BrEndsTheBlock", "<div>a<br></div><div>b</div>", "a\nb"},
        TextCase{"EmptyLineDiv", "<div>a</div><div><br></div><div>b</div>", "a\n\nb"},
        TextCase{"TextBetweenBlocks", "a<div>b</div>c", "a\nb\nc"},
        TextCase{"TableCellsAndRows", "<table><tr><td>a</td><td>b</td></tr><tr><td>c</td></tr></table>",
                 "a\tb\nc"},
        TextCase{"ObjectsAreOneUnit", "<p>a<img src=x>b<input><textarea>no</textarea></p>", "a*b**"},
        TextCase{"FramesAreObjects", "<p>x<iframe src=a.htm>fallback</iframe></p>", "x*"},
        TextCase{"BlockByStyle", "<span style='display:block'>a</span><span>b</span>", "a\nb"},
        // The layout draws the spaces around an inline block that holds blocks from these units.
        TextCase{"SpacesAroundAListBox", "<p>x <select><option>a<option>b</select> y</p>", "x \na\nb\n y"},
        TextCase{"SpaceAfterAnEmptyInlineBlock", "<div>a</div><span style='display:inline-block'></span> b",
                 "a\nb"},
        TextCase{"InlineTableBetweenSpaces",
                 "a <table style='display:inline-table'><tr><td>b</td></tr></table> c", "a b c"},
        TextCase{"InlineByStyle", "<div style='display:inline'>a</div><div style='display:inline'>b</div>",
                 "ab"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    NotRendered, RenderedText,
    ::testing::Values(
        TextCase{"CommentsAndScripts", "<p>a<!-- no --><script>no()</script><style>p{}</style>b</p>", "ab"},
        TextCase{"DisplayNoneAttribute", "<p>a<span style='display: none'>no</span>b</p>", "ab"},
        TextCase{"DisplayNoneSheet",
                 "<style>div.x span { display:none }</style><div class='x'>a<span>no</span></div>", "a"},
        TextCase{"SheetIdAndUniversal", "<style>#k * {display:none}</style><p id=k>a<b>no</b></p>", "a"},
        TextCase{"HiddenAttribute", "<p>a</p><p hidden>no</p><p>b</p>", "a\nb"},
        TextCase{"VisibilityHiddenKeepsVisibleChildren",
                 "<p style='visibility:hidden'>no<b style='visibility:visible'>yes</b></p>", "yes"},
        TextCase{"InputHidden", "<p>a<input type=hidden>b</p>", "ab"},
        TextCase{"StyleAttributeBeatsSheet",
                 "<style>b {display:none}</style><p>a<b style='display:inline'>b</b></p>", "ab"},
        TextCase{"ImportantSheetBeatsAttribute",
                 "<style>b {display:none !important}</style><p>a<b style='display:inline'>b</b></p>", "a"},
        TextCase{"RuleWithAnUnknownSelectorDroppedWhole",
                 "<style>p:bogus, i {display:none}</style><p>a<b>b</b><i>c</i></p>", "abc"},
        TextCase{"ChildCombinator", "<style>p > b {display:none}</style><p>a<b>b</b><i><b>c</b></i></p>",
                 "ac"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BodyText, BreaksAreCrLf) {
  auto page = Page("<p>one</p><p>two<br>three</p>");
  EXPECT_EQ(u"one\r\ntwo\r\nthree", page->BodyText());
}

TEST(BodyText, TextToSpeechPageAfterInsert) {
  auto page = Page(
      "<HTML><HEAD><TITLE>Lectryn Text-to-Speech</TITLE></HEAD><style>body { font-family: Verdana; color: "
      "#800080 "
      "}</style></HTML>");
  EXPECT_EQ(u"", page->BodyText());
  page->body()->insertAdjacentHTML(
      u"afterbegin",
      u"<table border='0' width='100%'><tr><td width='100%'>Hello</span><br><span>\nWorld</td></tr></table>");
  EXPECT_EQ(u"Hello\r\nWorld", page->BodyText());
}

TEST(BodyText, TypedTextWithEmptyLinesAndMarkup) {
  auto page = Page("<html><head><title>t</title></head></html>");
  // Carriage returns became "</span><br><span>"; line feeds stay as white space.
  page->body()->insertAdjacentHTML(u"afterbegin",
                                   u"<table border='0' width='100%'><tr><td width='100%'>You can enter "
                                   u"text.</span><br><span>\n</span><br><span>\n"
                                   u"Paste <b>bold</b> & more. </span><br><span>\n</td></tr></table>");
  EXPECT_EQ(u"You can enter text.\r\n\r\nPaste bold & more.\r\n", page->BodyText());
}

TEST(BodyText, InvalidUtf8BecomesReplacementCharacter) {
  auto page = Page("<p>a\xff\xfe b\xc3</p>");
  EXPECT_EQ("a\xEF\xBF\xBD\xEF\xBF\xBD b\xEF\xBF\xBD", BodyText(*page));
}

}  // namespace
}  // namespace lectryn::engine
