// The body's innerText for the snippets of text/inner-text.tsv, which scripts/compare-text also
// checks against Chromium; and where case changes leave the units of the text.
#include <gtest/gtest.h>

#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "PageText.h"
#include "engine/Element.h"
#include "engine/TextRange.h"
#include "platform/Text.h"

namespace lectryn::engine {
namespace {

using testing::Page;

// Rows that wait for flex and grid items to be made blocks by the style builder; switch on when
// they are.
constexpr bool kFlexItemsAreBlocks = true;

struct InnerTextCase {
  std::string name;
  std::string html;
  std::string text;
  std::string waits;
};

void PrintTo(const InnerTextCase& row, std::ostream* out) {
  *out << row.name;
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      char next = text[++i];
      out.push_back(next == 'n' ? '\n' : next == 't' ? '\t' : next);
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

std::vector<std::string> Cells(const std::string& line) {
  std::vector<std::string> cells(1);
  for (char c : line) {
    if (c == '\t')
      cells.emplace_back();
    else
      cells.back().push_back(c);
  }
  cells.resize(std::max<size_t>(cells.size(), 5));
  return cells;
}

std::vector<InnerTextCase> ReadCases() {
  std::vector<InnerTextCase> cases;
  std::ifstream file(LECTRYN_INNER_TEXT_CASES);
  std::string line;
  while (std::getline(file, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> cells = Cells(line);
    cases.push_back({cells[0], cells[1], Unescape(cells[2]), cells[4]});
  }
  if (cases.empty()) cases.push_back({"TableMissing", "", "no rows in " LECTRYN_INNER_TEXT_CASES, ""});
  return cases;
}

// As scripts/compare-text: CRLF becomes LF, spaces at line ends go, runs of line breaks become one.
std::string Normalised(std::string text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (text[i] == '\n') {
      while (!out.empty() && out.back() == ' ') out.pop_back();
      if (out.empty() || out.back() != '\n') out.push_back('\n');
      while (i + 1 < text.size() && text[i + 1] == ' ') ++i;
      continue;
    }
    out.push_back(text[i]);
  }
  return out;
}

class InnerText : public ::testing::TestWithParam<InnerTextCase> {};

TEST_P(InnerText, OfTheBody) {
  const InnerTextCase& row = GetParam();
  if (row.waits == "flex" && !kFlexItemsAreBlocks) GTEST_SKIP() << "flex and grid items are not blocks yet";
  auto page = Page(row.html);
  EXPECT_EQ(Normalised(row.text), Normalised(platform::ToUtf8(page->BodyText()))) << row.html;
}

INSTANTIATE_TEST_SUITE_P(Table, InnerText, ::testing::ValuesIn(ReadCases()),
                         [](const auto& info) { return info.param.name; });

TEST(InnerTextNormalised, AsTheBrowserCheckDoesIt) {
  EXPECT_EQ("a\nb", Normalised("a \r\n\r\n  b"));
  EXPECT_EQ("a\tb\n", Normalised("a\tb\n\n"));
  EXPECT_EQ(" a b ", Normalised(" a b "));
}

// Each unit of a page's text as "unit@offset in its text node", "-" for units of no text node.
std::string UnitsWithOffsets(Document& page) {
  const text::TextModel& model = page.Model();
  std::string out;
  for (int32_t p = 0; p < model.Length(); ++p) {
    std::u16string unit(1, model.Unit(p));
    out += (unit[0] == text::kBreakUnit ? "\\n" : platform::ToUtf8(unit)) + "@";
    out += model.OffsetInNode(p) < 0 ? "-" : std::to_string(model.OffsetInNode(p));
    out += p + 1 < model.Length() ? " " : "";
  }
  return out;
}

TEST(CaseChange, UnitsPointAtTheCharacterTheyCameFrom) {
  auto page = Page(
      "<p style='text-transform:uppercase'>aß  ﬁ</p><p lang=tr style='text-transform:uppercase'>i</p>"
      "<p style='text-transform:lowercase'>İx</p>");
  EXPECT_EQ("A@0 S@1 S@1  @2 F@4 I@4 \\n@- İ@0 \\n@- i@0 ̇@0 x@1", UnitsWithOffsets(*page));
}

TEST(CaseChange, CollapsedSpacesAndPreservedBreaksKeepTheirOffsets) {
  auto page = Page("<p>a \n b</p><pre>c\nd</pre>");
  EXPECT_EQ("a@0  @1 b@4 \\n@- c@0 \\n@1 d@2", UnitsWithOffsets(*page));
}

// A highlight of the word after a word that grew must land on that word: the layout draws the
// model's units, 8px each in the default fixed metrics.
TEST(CaseChange, ALongerWordLeavesTheNextWordItsPlace) {
  auto page = Page("<p style='text-transform:uppercase'>straße <b id=w>und</b> mehr</p>");
  auto word = page->getElementById(u"w");
  EXPECT_EQ(u"UND", word->innerText());
  text::Span units = page->Model().SpanOf(dynamic_cast<Element&>(*word).Node());
  auto rects = page->RangeRects(units.start, units.end);
  ASSERT_EQ(1U, rects.size());
  EXPECT_FLOAT_EQ(8 + 8 * 8, rects[0].x);  // the body's margin, then "STRASSE "
  EXPECT_FLOAT_EQ(3 * 8, rects[0].w);
}

TEST(Controls, ACaptionIsItsInputInMarkup) {
  auto page = Page("<p>x<input type=submit value=Go>y</p>");
  EXPECT_EQ(u"x<INPUT type=\"submit\" value=\"Go\">y", testing::RangeAt(page, "[xGoy]")->htmlText());
  EXPECT_EQ(u"<INPUT type=\"submit\" value=\"Go\">", testing::RangeAt(page, "x[Go]y")->htmlText());
}

TEST(Controls, OptionsAndButtonsHaveTheirText) {
  auto page = Page("<p>x<select id=s><option id=o>one<option>two</select><button id=b>Send</button></p>");
  EXPECT_EQ(u"one", page->getElementById(u"o")->innerText());
  EXPECT_EQ(u"one\r\ntwo", page->getElementById(u"s")->innerText());
  EXPECT_EQ(u"Send", page->getElementById(u"b")->innerText());
}

TEST(ElementInnerText, LeavesOutTheBreaksOfBlocksAtItsEnds) {
  auto page = Page("x<span id=s><div>a</div></span>y<span id=t>b<br></span><pre id=p>\n\nc\n</pre>");
  EXPECT_EQ(u"a", page->getElementById(u"s")->innerText());
  EXPECT_EQ(u"b\r\n", page->getElementById(u"t")->innerText());
  EXPECT_EQ(u"\r\nc\r\n", page->getElementById(u"p")->innerText());
}

}  // namespace
}  // namespace lectryn::engine
