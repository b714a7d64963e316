#include "speech/SpokenWords.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Text.h"

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

void PrintTo(const SplitCase& c, std::ostream* out) {
  *out << c.text;
}

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
                      SplitCase{"naïve 東京 Ελλάδα", "[naïve] [東京] [Ελλάδα]"}, SplitCase{"", ""},
                      // Scripts without spaces: dictionary words.
                      SplitCase{"我们今天去学校。", "[我们][今天][去][学校]。"},
                      SplitCase{"私は東京で日本語を勉強しています。",
                                "[私][は][東京][で][日本語][を][勉強][し][てい][ます]。"},
                      SplitCase{"ฉันไปโรงเรียน เมื่อวานนี้", "[ฉัน][ไป][โรงเรียน] [เมื่อ][วาน][นี้]"},
                      SplitCase{"Tokyo東京タワー2020年, ok", "[Tokyo][東京タワー][2020][年], [ok]"},
                      // Spaced scripts keep whole words, marks included.
                      SplitCase{"나는 학교에 갔습니다.", "[나는] [학교에] [갔습니다]."},
                      SplitCase{"मैं बाज़ार गया।", "[मैं] [बाज़ार] [गया]।"},
                      SplitCase{"ذهب الولد، إلى", "[ذهب] [الولد]، [إلى]"}));

}  // namespace
}  // namespace lectryn::speech
