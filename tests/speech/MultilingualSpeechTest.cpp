#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Text.h"
#include "speech/EspeakVoiceFactory.h"
#include "speech/SpokenWords.h"
#include "system/PlainUiLoop.h"

namespace lectryn::speech {
namespace {

using platform::FromUtf8;
using platform::ToUtf8;

// Words, their UTF-16 places and stream times as the voice reports them, and the stream's end.
class Listener : public platform::VoiceEvents {
 public:
  void pVoice_Word(int32_t, int64_t streamMs, int32_t position, int32_t length) override {
    words.push_back({position, length});
    times.push_back(streamMs);
  }
  void pVoice_EndStream(int32_t, int64_t streamMs) override {
    endMs = streamMs;
    ++ends;
  }

  std::vector<TextWord> words;
  std::vector<int64_t> times;
  int64_t endMs = -1;
  int ends = 0;
};

std::string Bracketed(const std::u16string& text, const std::vector<TextWord>& words) {
  std::u16string out;
  for (const TextWord& word : words) out += u"[" + text.substr(word.startUtf16, word.lengthUtf16) + u"]";
  return ToUtf8(out);
}

class SpeechInLanguages : public ::testing::Test {
 protected:
  // Speaks text in the language and waits for its end.
  void Say(const char* tag, const char* utf8) {
    text = FromUtf8(utf8);
    heard = Listener();
    auto voice = factory.CreateVoice(heard);
    voice->SetLanguage(FromUtf8(tag));
    voice->Speak(text, platform::SVSFlagsAsync);
    auto guard = loop.StartTimer(60000, [&] { loop.Quit(); });
    bool ended = loop.Run([&] { return heard.ends > 0; });
    loop.StopTimer(guard);
    ASSERT_TRUE(ended) << "no end of speech";
    factory.WaitUntilIdle();
    loop.DoEvents();
  }

  system::PlainUiLoop loop;
  EspeakVoiceFactory factory{loop, AudioChoice::Silent(100)};
  std::u16string text;
  Listener heard;
};

struct ScriptCase {
  const char* tag;
  const char* text;
};

void PrintTo(const ScriptCase& c, std::ostream* out) {
  *out << c.tag;
}

class ScriptWords : public SpeechInLanguages, public ::testing::WithParamInterface<ScriptCase> {};

TEST_P(ScriptWords, EachWordIsReportedOnceInOrderAtItsPlace) {
  Say(GetParam().tag, GetParam().text);
  EXPECT_EQ(Bracketed(text, SplitSpokenWords(text)), Bracketed(text, heard.words));
  EXPECT_EQ(SplitSpokenWords(text), heard.words);
  ASSERT_FALSE(heard.times.empty());
  for (size_t i = 1; i < heard.times.size(); ++i) EXPECT_LT(heard.times[i - 1], heard.times[i]) << i;
  EXPECT_LT(heard.times.back(), heard.endMs);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, ScriptWords,
    ::testing::Values(ScriptCase{"fr", "Ça été très différent à l'école."},
                      ScriptCase{"el", "Η γλώσσα μας είναι πολύ όμορφη."},
                      ScriptCase{"ru", "Мы пошли в школу вчера утром."},
                      ScriptCase{"ar", "ذهب الولد إلى المدرسة في الصباح."},
                      ScriptCase{"he", "הילד הלך לבית הספר היום."}, ScriptCase{"hi", "मैं कल बाज़ार गया था।"},
                      ScriptCase{"zh", "我们今天去学校学习中文。"},
                      ScriptCase{"ja", "私は東京で日本語を勉強しています。"},
                      ScriptCase{"th", "ฉันไปโรงเรียนเมื่อวานนี้"}, ScriptCase{"ko", "나는 어제 학교에 갔습니다."},
                      ScriptCase{"zh-HK", "我哋今日去學校。"},
                      ScriptCase{"en", "The word 東京 means eastern capital, and Ελλάδα is Greece."}));

constexpr const char* kArabic = "ذهب الولد إلى المدرسة في الصباح.";
constexpr const char* kChinese = "我们今天去学校学习中文。";

// Read with a voice of another language, the letters are spelt out one by one: far longer.
TEST_F(SpeechInLanguages, EachScriptIsReadByItsOwnLanguage) {
  Say("ar", kArabic);
  int64_t arabicMs = heard.endMs;
  Say("en", kArabic);
  int64_t arabicAsEnglishMs = heard.endMs;
  Say("cmn", kChinese);
  int64_t chineseMs = heard.endMs;
  Say("en", kChinese);
  int64_t chineseAsEnglishMs = heard.endMs;
  RecordProperty("arabic_ms",
                 std::to_string(arabicMs) + " (ar), " + std::to_string(arabicAsEnglishMs) + " (en)");
  RecordProperty("chinese_ms",
                 std::to_string(chineseMs) + " (cmn), " + std::to_string(chineseAsEnglishMs) + " (en)");
  EXPECT_LT(arabicMs * 3, arabicAsEnglishMs);
  EXPECT_LT(chineseMs * 3 / 2, chineseAsEnglishMs);
}

TEST_F(SpeechInLanguages, LanguageSetWhileSpeakingWaitsForTheNextSpeakEvenAcrossASkip) {
  text = FromUtf8("ذهب الولد إلى المدرسة. في الصباح الباكر.");
  auto voice = factory.CreateVoice(heard);
  voice->SetLanguage(u"ar");
  voice->Speak(text, platform::SVSFlagsAsync);
  voice->SetLanguage(u"en");
  voice->Skip(u"SENTENCE", 1);
  auto guard = loop.StartTimer(60000, [&] { loop.Quit(); });
  ASSERT_TRUE(loop.Run([&] { return heard.ends > 0; }));
  loop.StopTimer(guard);
  factory.WaitUntilIdle();
  EXPECT_EQ("[في][الصباح][الباكر]", Bracketed(text, heard.words));
  // Arabic reads the sentence in under two seconds; English letter names take many times that.
  EXPECT_LT(heard.endMs, 2500);
}

}  // namespace
}  // namespace lectryn::speech
