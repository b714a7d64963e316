// Input that must neither crash, hang nor exhaust the stack: random bytes, invalid UTF-8, deep
// nesting, huge words, unclosed constructs.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "PageText.h"
#include "engine/dom/DepthGuard.h"
#include "engine/text/WordBreaker.h"
#include "platform/Text.h"

namespace lectryn::engine {
namespace {

using testing::Page;

// Walks a range over the whole story by words, both ways, and searches in it.
void ExerciseRanges(Document& page) {
  auto range = page.body()->createTextRange();
  range->collapse(true);
  int steps = 0;
  while (range->moveEnd(u"word", 1) != 0 && ++steps < 5000) {
    range->parentElement();
    range->htmlText();
    range->collapse(false);
  }
  range->moveStart(u"word", -3);
  range->moveStart(u"sentence", -2);
  range->text();
  range->findText(u"a", 1, 0);
  range->findText(u"\u00E9", -1, 2);
  range->execCommand(u"SELECTALL", false);
  page.SelectionInBodyText();
}

TEST(BadInput, RandomBytes) {
  std::mt19937 random(20240611);
  for (int round = 0; round < 40; ++round) {
    std::string bytes(static_cast<size_t>(random() % 4000), '\0');
    for (char& c : bytes) c = static_cast<char>(random() % 256);
    auto page = Page(bytes);
    page->BodyText();
    ExerciseRanges(*page);
  }
}

TEST(BadInput, RandomMarkup) {
  const char* pieces[] = {"<p>",
                          "</p>",
                          "<div>",
                          "</div>",
                          "<b>",
                          "</i>",
                          "<br>",
                          "<img>",
                          "<table>",
                          "<tr>",
                          "<td>",
                          "</table>",
                          "<pre>",
                          "\n",
                          "  ",
                          "word",
                          "x.",
                          " y! ",
                          "&nbsp;",
                          "<!--",
                          "-->",
                          "<script>",
                          "</script>",
                          "<style>p{display:none}</style>",
                          "<span hidden>",
                          "\xff",
                          "\xc3",
                          "<select><option>o",
                          "<iframe>",
                          "<svg><path/>",
                          "\xF0\x9F\x98\x80"};
  std::mt19937 random(7);
  for (int round = 0; round < 60; ++round) {
    std::string markup;
    for (int k = 0; k < 300; ++k) markup += pieces[random() % std::size(pieces)];
    auto page = Page(markup);
    ExerciseRanges(*page);
    page->body()->insertAdjacentHTML(u"afterbegin", platform::FromUtf8(markup.substr(0, 200)));
    ExerciseRanges(*page);
  }
}

TEST(BadInput, UnclosedCommentAndConstructs) {
  EXPECT_EQ(u"a", Page("<p>a<!-- never closed <p>b")->BodyText());
  EXPECT_EQ(u"a", Page("<p>a<script>b")->BodyText());
  EXPECT_EQ(u"a", Page("<p>a<div")->BodyText());
  EXPECT_EQ(u"", Page("")->BodyText());
}

struct DeepCase {
  const char* name;
  const char* open;
  const char* close;
};

class DeepNesting : public ::testing::TestWithParam<DeepCase> {};

TEST_P(DeepNesting, HundredThousandLevels) {
  constexpr int kDepth = 100000;
  std::string markup;
  markup.reserve(static_cast<size_t>(kDepth) * 16);
  for (int i = 0; i < kDepth; ++i) markup += GetParam().open;
  markup += "deep";
  for (int i = 0; i < kDepth; ++i) markup += GetParam().close;
  markup += "<p>after</p>";
  auto page = Page(markup);
  std::u16string text = page->BodyText();
  EXPECT_EQ(0u, text.find(u"deep"));
  EXPECT_EQ(text.size() - 5, text.rfind(u"after"));
  auto range = page->body()->createTextRange();
  EXPECT_TRUE(range->findText(u"deep", 1, 0));
  auto parent = range->parentElement();
  // Unclosed elements hold what follows them too.
  EXPECT_EQ(0u, parent->innerText().find(u"deep"));
  range->moveToElementText(*parent);
  EXPECT_EQ(parent->innerText(), range->text());
  range->htmlText();
  ExerciseRanges(*page);
}

INSTANTIATE_TEST_SUITE_P(
    Elements, DeepNesting,
    ::testing::Values(DeepCase{"Divs", "<div>", "</div>"}, DeepCase{"Spans", "<span>", "</span>"},
                      DeepCase{"Bold", "<b>", "</b>"},
                      DeepCase{"Tables", "<table><tr><td>", "</td></tr></table>"},
                      DeepCase{"Unclosed", "<div><span>", ""}, DeepCase{"SelfClosingSyntax", "<div/>", ""},
                      DeepCase{"Lists", "<ul><li>", "</li></ul>"}, DeepCase{"Ruby", "<rb>", ""},
                      DeepCase{"Fonts", "<font size=1>", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DepthGuard, OrdinaryMarkupPassesUnchanged) {
  std::string out;
  EXPECT_FALSE(
      dom::LimitNesting("<html><body><div><p>a<p>b<ul><li>c<li>d</ul><table><tr><td>e</table></div>", out));
  std::string many;
  for (int i = 0; i < 5000; ++i) many += "<p>x<li>y<td>z<br><img>";
  EXPECT_FALSE(dom::LimitNesting(many, out)) << "elements that close themselves do not count";
}

TEST(DepthGuard, DeeperStartTagsAndTheirEndTagsAreLeftOut) {
  std::string out;
  ASSERT_TRUE(dom::LimitNesting("<div><div><div>a</div>b</div>c</div>d", out, 2));
  EXPECT_EQ("<div><div>ab</div>c</div>d", out);
  ASSERT_TRUE(dom::LimitNesting("<div><div><script>'<div><div><div>'</script><div>x", out, 2));
  EXPECT_EQ("<div><div><script>'<div><div><div>'</script>x", out) << "script text is not markup";
}

TEST(DepthGuard, UnknownElementsOfRewrittenMarkupKeepTheirNames) {
  // The parser names unknown elements from the markup it read: here the nesting limit's copy.
  std::string markup = "<my-note>a</my-note><div><x-deep>b</x-deep>";
  for (size_t i = 0; i < dom::kMaxNestingDepth + 100; ++i) markup += "<div>";
  markup += "c";
  auto page = Page(markup);
  std::vector<std::string> unknown;
  for (dom::NodeId id = 0; id < page->Tree().Size(); ++id) {
    const std::string& name = page->Tree()[id].name;
    if (name.find('-') != std::string::npos) unknown.push_back(name);
  }
  EXPECT_EQ((std::vector<std::string>{"my-note", "x-deep"}), unknown);
  EXPECT_EQ(u"a\r\nb\r\nc", page->BodyText());
}

TEST(DepthGuard, FormattingElementsReopenedInEveryParagraphAreCapped) {
  // Each paragraph would get a copy of every open formatting element: 200 x 20 000 nodes.
  std::string markup = "<p>";
  for (int i = 0; i < 200; ++i) markup += "<b id=" + std::to_string(i) + ">";
  for (int i = 0; i < 20000; ++i) markup += "x</p><p>";
  auto page = Page(markup);
  EXPECT_LT(page->Tree().Size(), 20000 * (static_cast<int>(dom::kMaxOpenFormatting) + 4));
  EXPECT_EQ(20000u * 3 - 2, page->BodyText().size());
}

TEST(HugeWord, TenMegabytesWithoutSpaces) {
  constexpr int kSize = 10 * 1024 * 1024;
  std::string markup = "<p>";
  markup.append(kSize, 'a');
  markup += "</p>";
  auto page = Page(markup);
  auto whole = std::dynamic_pointer_cast<TextRange>(page->body()->createTextRange());
  const int32_t end = whole->End();
  auto range = std::make_shared<TextRange>(page, end - 100, end - 100);
  // Word boundaries are searched in a bounded window: a run without any is cut.
  EXPECT_EQ(-1, range->moveStart(u"word", -1));
  EXPECT_GE(range->Start(), end - 100 - text::kMaxWordReach);
  EXPECT_EQ(1, range->moveEnd(u"word", 1));
  EXPECT_EQ(end, range->End());
  range->collapse(true);
  EXPECT_EQ(1, range->moveEnd(u"word", 1));
  EXPECT_LE(range->End() - range->Start(), text::kMaxWordReach);
  EXPECT_FALSE(range->findText(u"b", 1, 0));
  EXPECT_FALSE(range->findText(u"aaab", -1, 0));
  EXPECT_TRUE(range->findText(u"AAAA", -1, 0));
  EXPECT_EQ(end, range->End()) << "the last match backwards from the end";
}

}  // namespace
}  // namespace lectryn::engine
