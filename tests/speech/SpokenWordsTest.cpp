#include "speech/SpokenWords.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Text.h"
#include "speech/SpeechText.h"

namespace lectryn::speech {
namespace {

// The text with each word in brackets: "[One] [two]."
std::string Bracketed(const std::u16string& text) {
  std::u16string out;
  size_t at = 0;
  for (const TextWord& word : SplitSpokenWords(text)) {
    out +=
        text.substr(at, word.startUtf16 - at) + u"[" + text.substr(word.startUtf16, word.lengthUtf16) + u"]";
    at = word.startUtf16 + word.lengthUtf16;
  }
  return platform::ToUtf8(out + text.substr(at));
}

struct SplitCase {
  const char* text;
  const char* expected;
};

class SpokenWordsSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SpokenWordsSplit, MarksTheWordsAListenerHears) {
  EXPECT_EQ(GetParam().expected, Bracketed(platform::FromUtf8(GetParam().text)));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SpokenWordsSplit,
    ::testing::Values(SplitCase{"One two. Three, four!", "[One] [two]. [Three], [four]!"},
                      SplitCase{"Don't stop 'quoted' words", "[Don't] [stop] '[quoted]' [words]"},
                      SplitCase{"In 1999, 3.14 and 1,000.", "[In] [1999], [3.14] [and] [1,000]."},
                      SplitCase{"$5 & 10% a/b x+y=z", "[$][5] [&] [10][%] [a][/][b] [x][+][y][=][z]"},
                      SplitCase{"déjà vu 𝄞 note", "[déjà] [vu] 𝄞 [note]"},
                      SplitCase{"<b>bold</b> text", "<[b]>[bold]<[/][b]> [text]"},
                      SplitCase{"a\r\nb\r\n\r\nc -- ...", "[a]\r\n[b]\r\n\r\n[c] -- ..."},
                      SplitCase{"naïve 東京 Ελλάδα", "[naïve] [東京] [Ελλάδα]"}, SplitCase{"", ""}));

TEST(SpokenWordsLookup, FindsTheWordHoldingAnOffsetAndNoneBetweenWords) {
  auto words = SplitSpokenWords(u"one, two");
  EXPECT_EQ(0, WordHolding(words, 0));
  EXPECT_EQ(0, WordHolding(words, 2));
  EXPECT_EQ(-1, WordHolding(words, 3));
  EXPECT_EQ(-1, WordHolding(words, 4));
  EXPECT_EQ(1, WordHolding(words, 5));
  EXPECT_EQ(-1, WordHolding(words, 8));
  EXPECT_EQ(1, FirstWordFrom(words, 3));
  EXPECT_EQ(2, FirstWordFrom(words, 6));
}

TEST(SpeechTextPositions, MapsCodePointsToUtf16AcrossSurrogatePairs) {
  SpeechText text(u"a𝄞b\r\nc");
  EXPECT_EQ(6, text.CodePoints());
  EXPECT_EQ(0, text.Utf16AtPosition(1));
  EXPECT_EQ(1, text.Utf16AtPosition(2));  // the pair
  EXPECT_EQ(3, text.Utf16AtPosition(3));  // "b" after two units
  EXPECT_EQ(6, text.Utf16AtPosition(6));  // CR and LF count one each
  EXPECT_EQ(7, text.Utf16AtPosition(7));  // the end
  EXPECT_EQ(7, text.Utf16AtPosition(500));
  EXPECT_EQ(0, text.Utf16AtPosition(0));
}

TEST(SpeechTextPositions, FeedsLoneSurrogatesAsReplacementAndNulAsSpace) {
  std::u16string input = u"one";
  input += char16_t{0};
  input += u"two ";
  input += char16_t{0xD800};
  input += u" three";
  SpeechText text(input);
  EXPECT_EQ("one two \xEF\xBF\xBD three", text.Utf8());
  EXPECT_EQ(input.size(), text.Utf8().size() - 2);  // only U+FFFD grew, by two bytes
  EXPECT_EQ(10, text.Utf16AtPosition(11));          // "three" after the lone surrogate
}

}  // namespace
}  // namespace lectryn::speech
