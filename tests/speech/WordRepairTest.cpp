#include "speech/WordRepair.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Text.h"

namespace lectryn::speech {
namespace {

using Kind = RawWordEvent::Kind;

// "word@sample" for each repaired word, space separated.
std::string Dump(const std::u16string& text, const std::vector<TimedWord>& repaired) {
  auto words = SplitSpokenWords(text);
  std::string out;
  for (const TimedWord& word : repaired) {
    if (!out.empty()) out += ' ';
    const TextWord& w = words[word.index];
    out += platform::ToUtf8(text.substr(w.startUtf16, w.lengthUtf16)) + "@" + std::to_string(word.sample);
  }
  return out;
}

struct RepairCase {
  const char* name;
  const char16_t* text;
  std::vector<RawWordEvent> events;
  int64_t endSample;
  RunStart start;
  const char* expected;
};

void PrintTo(const RepairCase& c, std::ostream* out) {
  *out << c.name;
}

class WordRepairTable : public ::testing::TestWithParam<RepairCase> {};

TEST_P(WordRepairTable, ReportsEveryWordOnceInOrder) {
  const RepairCase& c = GetParam();
  auto words = SplitSpokenWords(c.text);
  EXPECT_EQ(c.expected, Dump(c.text, RepairWordEvents(words, c.events, c.endSample, c.start)));
}

INSTANTIATE_TEST_SUITE_P(
    RawEvents, WordRepairTable,
    ::testing::Values(
        RepairCase{"clean",
                   u"One two three",
                   {{Kind::Word, 0, 0}, {Kind::Word, 4, 100}, {Kind::Word, 8, 200}},
                   300,
                   RunStart::TextStart,
                   "One@0 two@100 three@200"},
        RepairCase{"number read as several words",
                   u"In 1999 the",
                   {{Kind::Word, 0, 0},
                    {Kind::Word, 3, 100},
                    {Kind::Word, 4, 200},
                    {Kind::Word, 4, 300},
                    {Kind::Word, 8, 400}},
                   500,
                   RunStart::TextStart,
                   "In@0 1999@100 the@400"},
        RepairCase{"function word merged into the one before",
                   u"cost of the car",
                   {{Kind::Word, 0, 0}, {Kind::Word, 5, 100}, {Kind::Word, 12, 300}},
                   400,
                   RunStart::TextStart,
                   "cost@0 of@100 the@180 car@300"},
        RepairCase{"second word of a phrase one past the first",
                   u"such as this",
                   {{Kind::Word, 0, 0}, {Kind::Word, 1, 100}, {Kind::Word, 8, 200}},
                   300,
                   RunStart::TextStart,
                   "such@0 as@133 this@200"},
        RepairCase{"stale position steps back",
                   u"a b c d",
                   {{Kind::Word, 0, 0},
                    {Kind::Word, 2, 100},
                    {Kind::Word, 0, 150},
                    {Kind::Word, 4, 200},
                    {Kind::Word, 6, 300}},
                   400,
                   RunStart::TextStart,
                   "a@0 b@100 c@200 d@300"},
        RepairCase{"last words without events",
                   u"one two three",
                   {{Kind::Word, 0, 0}},
                   1100,
                   RunStart::TextStart,
                   "one@0 two@300 three@600"},
        RepairCase{"no events at all", u"alpha beta", {}, 1000, RunStart::TextStart, "alpha@0 beta@555"},
        RepairCase{"first words without events",
                   u"Well then go",
                   {{Kind::Word, 10, 300}},
                   400,
                   RunStart::TextStart,
                   "Well@0 then@150 go@300"},
        RepairCase{"event on punctuation",
                   u"one, two",
                   {{Kind::Word, 0, 0}, {Kind::Word, 3, 50}, {Kind::Word, 5, 100}},
                   200,
                   RunStart::TextStart,
                   "one@0 two@100"},
        RepairCase{"samples going back are held",
                   u"one two",
                   {{Kind::Word, 0, 100}, {Kind::Word, 4, 50}},
                   200,
                   RunStart::TextStart,
                   "one@100 two@100"},
        RepairCase{"run from a later sentence",
                   u"One two. Three four.",
                   {{Kind::Sentence, 9, 0}, {Kind::Word, 9, 0}, {Kind::Word, 15, 100}},
                   200,
                   RunStart::FirstSentence,
                   "Three@0 four@100"},
        RepairCase{"later sentence missing its first word",
                   u"One two. Three four.",
                   {{Kind::Sentence, 9, 40}, {Kind::Word, 15, 100}},
                   200,
                   RunStart::FirstSentence,
                   "Three@40 four@100"},
        RepairCase{"later sentence without a sentence event",
                   u"One two. Three four.",
                   {{Kind::Word, 15, 100}},
                   200,
                   RunStart::FirstSentence,
                   "four@100"},
        RepairCase{"skipped past the last sentence", u"One two.", {}, 0, RunStart::FirstSentence, ""},
        RepairCase{"sentence start closes the words before it",
                   u"One two three. Four five.",
                   {{Kind::Word, 0, 0}, {Kind::Sentence, 15, 300}, {Kind::Word, 20, 400}},
                   500,
                   RunStart::TextStart,
                   "One@0 two@81 three@163 Four@300 five@400"},
        RepairCase{"one event for a phrase of several words",
                   u"我们今天去学校",
                   {{Kind::Word, 0, 0, 4}, {Kind::Word, 4, 400, 5}},
                   700,
                   RunStart::TextStart,
                   "我们@0 今天@200 去@400 学校@500"},
        RepairCase{"one event per character",
                   u"我们今天",
                   {{Kind::Word, 0, 0, 1},
                    {Kind::Word, 1, 100, 2},
                    {Kind::Word, 2, 200, 3},
                    {Kind::Word, 3, 300, 4}},
                   400,
                   RunStart::TextStart,
                   "我们@0 今天@200"},
        RepairCase{"every event at the phrase start",
                   u"私は東京",
                   {{Kind::Word, 0, 0, 4}, {Kind::Word, 0, 100, 4}, {Kind::Word, 0, 200, 4}},
                   400,
                   RunStart::TextStart,
                   "私@0 は@100 東京@200"}));

TEST(WordRepairStream, HoldsFilledWordsBackOnlyUntilTheNextEvent) {
  std::u16string text = u"cost of the car";
  auto words = SplitSpokenWords(text);
  WordRepair repair(words, RunStart::TextStart);
  std::vector<TimedWord> out;
  repair.Add(0, 0, out);
  repair.Add(5, 100, out);
  EXPECT_EQ("cost@0 of@100", Dump(text, out));  // anchors go out at once
  repair.Add(12, 300, out);
  EXPECT_EQ("cost@0 of@100 the@180 car@300", Dump(text, out));
  repair.Finish(400, out);
  EXPECT_EQ(4u, out.size());
}

TEST(WordRepairStream, IsUnsureWhileAnEventSpeaksForWordsNotYetTimed) {
  std::u16string text = u"我们今天去学校";  // 我们 今天 去 学校
  auto words = SplitSpokenWords(text);
  WordRepair repair(words, RunStart::TextStart);
  std::vector<TimedWord> out;
  EXPECT_TRUE(repair.Unsure());  // no event yet
  repair.Add(0, 0, out, 4);
  EXPECT_TRUE(repair.Unsure());  // the event covers 今天 as well
  repair.Add(4, 400, out, 5);
  EXPECT_FALSE(repair.Unsure());
  EXPECT_EQ("我们@0 今天@200 去@400", Dump(text, out));
  repair.Finish(700, out);
  EXPECT_FALSE(repair.Unsure());
}

TEST(WordRepairStream, WordByWordEventsLeaveNothingUnsure) {
  std::u16string text = u"cost of the car";
  auto words = SplitSpokenWords(text);
  WordRepair repair(words, RunStart::TextStart);
  std::vector<TimedWord> out;
  repair.Add(0, 0, out, 4);
  EXPECT_FALSE(repair.Unsure());
  WordRepair skipping(words, RunStart::FirstSentence);
  EXPECT_FALSE(skipping.Unsure());
}

}  // namespace
}  // namespace lectryn::speech
