// Word, character, sentence and textedit moves, written as marked stories.
#include <gtest/gtest.h>

#include <algorithm>

#include "PageText.h"
#include "platform/Failure.h"

namespace lectryn::engine {
namespace {

using testing::Marked;
using testing::Page;
using testing::RangeAt;

// Repeats moveEnd("word", 1) from an empty range at the start and records each range.
std::vector<std::string> EndByWords(const char* html) {
  auto page = Page(html);
  auto range = page->body()->createTextRange();
  range->collapse(true);
  std::vector<std::string> seen;
  while (range->moveEnd(u"word", 1) == 1) seen.push_back(Marked(*range));
  EXPECT_EQ(0, range->moveEnd(u"word", 1)) << "a move at the end changes nothing";
  return seen;
}

TEST(WordMoves, SegmentsOfASentence) {
  EXPECT_EQ((std::vector<std::string>{"[Hello], world. Next", "[Hello, ]world. Next", "[Hello, world]. Next",
                                      "[Hello, world. ]Next", "[Hello, world. Next]"}),
            EndByWords("<p>Hello, world.  Next</p>"));
}

TEST(WordMoves, BreakIsASegmentAlone) {
  EXPECT_EQ((std::vector<std::string>{"[one ]two\nthree.", "[one two]\nthree.", "[one two\n]three.",
                                      "[one two\nthree].", "[one two\nthree.]"}),
            EndByWords("<p>one two</p><p>three.</p>"));
}

TEST(WordMoves, ObjectIsASegmentAlone) {
  EXPECT_EQ((std::vector<std::string>{"[a ]* b", "[a *] b", "[a * ]b", "[a * b]"}),
            EndByWords("<p>a <img> b</p>"));
}

TEST(WordMoves, IcuJoinsApostrophesAndUnderscores) {
  EXPECT_EQ((std::vector<std::string>{"[can't ]snake_case", "[can't snake_case]"}),
            EndByWords("<p>can't snake_case</p>"));
}

TEST(WordMoves, NoBreakSpacesAndTabsAreSpaces) {
  EXPECT_EQ((std::vector<std::string>{"[a\u00A0\u00A0]b\tc", "[a\u00A0\u00A0b\t]c", "[a\u00A0\u00A0b\tc]"}),
            EndByWords("<pre>a&nbsp;&nbsp;b\tc</pre>"));
}

TEST(WordMoves, SpacesAfterABreakAreASegment) {
  EXPECT_EQ((std::vector<std::string>{"[a]\n  b", "[a\n]  b", "[a\n  ]b", "[a\n  b]"}),
            EndByWords("<pre>a\n  b</pre>"));
}

TEST(WordMoves, BackwardMatchesForward) {
  auto page = Page("<p>It's 3.14, isn't it?</p><p>\u4E2D\u6587 text_x!!</p>");
  auto range = page->body()->createTextRange();
  range->collapse(true);
  std::vector<std::string> forward;
  while (range->move(u"word", 1) == 1) forward.push_back(Marked(*range));
  std::vector<std::string> backward;
  backward.push_back(Marked(*range));
  while (range->move(u"word", -1) == -1) backward.push_back(Marked(*range));
  backward.pop_back();  // the story start
  std::reverse(backward.begin(), backward.end());
  EXPECT_EQ(forward, backward);
  EXPECT_EQ("It's |3.14, isn't it?\n\u4E2D\u6587 text_x!!", forward.at(0)) << "ICU keeps it's whole";
  EXPECT_EQ("It's 3.14|, isn't it?\n\u4E2D\u6587 text_x!!", forward.at(1)) << "and the number";
}

TEST(WordMoves, PunctuationRunIsOneSegment) {
  EXPECT_EQ((std::vector<std::string>{"[a]...! b", "[a...! ]b", "[a...! b]"}), EndByWords("<p>a...! b</p>"));
}

struct MoveCase {
  const char* html;
  const char* before;
  const char* which;  // "start", "end" or "move"
  const char* unit;
  int count;
  int moved;
  const char* after;
};

class Moves : public ::testing::TestWithParam<MoveCase> {};

TEST_P(Moves, MovesTheEndPoint) {
  const MoveCase& c = GetParam();
  auto page = Page(c.html);
  auto range = RangeAt(page, c.before);
  std::u16string unit(c.unit, c.unit + std::char_traits<char>::length(c.unit));
  std::string which = c.which;
  int32_t moved = which == "start" ? range->moveStart(unit, c.count)
                  : which == "end" ? range->moveEnd(unit, c.count)
                                   : range->move(unit, c.count);
  EXPECT_EQ(c.after, Marked(*range));
  EXPECT_EQ(c.moved, moved);
}

INSTANTIATE_TEST_SUITE_P(Word, Moves,
                         ::testing::Values(MoveCase{"<p>Hello, world.  Next</p>", "[Hello, world. ]Next",
                                                    "start", "word", 1, 1, "Hello[, world. ]Next"},
                                           MoveCase{"<p>Hello, world.  Next</p>", "Hello, w[or]ld. Next",
                                                    "start", "word", -1, -1, "Hello, [wor]ld. Next"},
                                           MoveCase{"<p>Hello, world.  Next</p>", "Hello, wo|rld. Next",
                                                    "end", "Word", -1, -1, "Hello, |world. Next"},
                                           MoveCase{"<p>Hello, world.  Next</p>", "Hello, |world. Next",
                                                    "start", "WORD", 4, 3, "Hello, world. Next|"},
                                           MoveCase{"<p>Hello, world.  Next</p>", "[Hello], world. Next",
                                                    "start", "word", 2, 2, "Hello, |world. Next"},
                                           MoveCase{"<p>Hello, world.  Next</p>", "Hello, [world]. Next",
                                                    "end", "word", -4, -3, "|Hello, world. Next"},
                                           MoveCase{"<p>Hello, world.  Next</p>", "Hello, [world]. Next",
                                                    "move", "word", 1, 1, "Hello, world|. Next"}));

INSTANTIATE_TEST_SUITE_P(
    Character, Moves,
    ::testing::Values(MoveCase{"<p>ab</p><p>c</p>", "|ab\nc", "end", "character", 3, 3, "[ab\n]c"},
                      MoveCase{"<p>a<img>b</p>", "a|*b", "end", "character", 1, 1, "a[*]b"},
                      MoveCase{"<p>ab</p>", "a|b", "end", "character", 5, 1, "a[b]"},
                      MoveCase{"<p>ab</p>", "a[b]", "start", "character", -5, -1, "[ab]"},
                      MoveCase{"<p>abc</p>", "a[b]c", "end", "character", -2, -2, "|abc"},
                      MoveCase{"<p>abc</p>", "a[b]c", "move", "character", 2, 2, "abc|"},
                      MoveCase{"<p>a\xF0\x9F\x98\x80</p>", "a|\xF0\x9F\x98\x80", "end", "character", 1, 1,
                               "a[\xF0\x9F\x98\x80]"}));

INSTANTIATE_TEST_SUITE_P(
    SentenceAndTextEdit, Moves,
    ::testing::Values(
        MoveCase{"<p>One two. Three! Four</p>", "|One two. Three! Four", "end", "sentence", 1, 1,
                 "[One two. ]Three! Four"},
        MoveCase{"<p>One two. Three! Four</p>", "|One two. Three! Four", "end", "sentence", 2, 2,
                 "[One two. Three! ]Four"},
        MoveCase{"<p>One (\"two.\") Three</p>", "|One (\"two.\") Three", "end", "sentence", 1, 1,
                 "[One (\"two.\") ]Three"},
        MoveCase{"<p>v1.2 is out</p>", "|v1.2 is out", "end", "sentence", 1, 1, "[v1.2 is out]"},
        MoveCase{"<p>One</p><p>Two</p>", "One\nTw|o", "start", "sentence", -1, -1, "One\n[Tw]o"},
        MoveCase{"<p>One</p><p>Two</p>", "O|ne\nTwo", "end", "textedit", 1, 1, "O[ne\nTwo]"},
        MoveCase{"<p>One</p><p>Two</p>", "O[ne\nTwo]", "end", "textedit", 1, 0, "O[ne\nTwo]"},
        MoveCase{"<p>One</p><p>Two</p>", "O[ne\nTw]o", "start", "textedit", -1, -1, "[One\nTw]o"}));

TEST(Moves, StartPassingTheEndTakesTheEndAlong) {
  auto page = Page("<p>one two three</p>");
  auto range = RangeAt(page, "[one] two three");
  EXPECT_EQ(2, range->moveStart(u"word", 2));
  EXPECT_EQ("one two |three", Marked(*range));
  range = RangeAt(page, "one two [three]");
  EXPECT_EQ(-2, range->moveEnd(u"word", -2));
  EXPECT_EQ("one |two three", Marked(*range));
}

TEST(Moves, UnknownUnitFails) {
  auto page = Page("<p>one</p>");
  auto range = page->body()->createTextRange();
  EXPECT_THROW(range->moveEnd(u"paragraph", 1), platform::Failure);
  EXPECT_THROW(range->move(u"", 1), platform::Failure);
}

}  // namespace
}  // namespace lectryn::engine
