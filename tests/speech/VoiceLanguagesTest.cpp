#include "speech/VoiceLanguages.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "speech/EspeakEngine.h"

namespace lectryn::speech {
namespace {

// Shaped like the voice data's own list: several voices claim "en", "fr" and "zh" at different
// priorities, and some languages go by names of their own ("cmn", "nb").
std::vector<VoiceEntry> SampleVoices() {
  return {
      {"gmw/en-029", {{5, "en-029"}, {10, "en"}}},
      {"gmw/en", {{2, "en-gb"}, {2, "en"}}},
      {"gmw/en-US", {{2, "en-us"}, {3, "en"}}},
      {"roa/fr-BE", {{5, "fr-be"}, {8, "fr"}}},
      {"roa/fr", {{5, "fr-fr"}, {5, "fr"}}},
      {"roa/pt", {{5, "pt"}, {5, "pt-pt"}}},
      {"roa/pt-BR", {{5, "pt-br"}, {6, "pt"}}},
      {"sit/cmn", {{5, "cmn"}, {5, "zh-cmn"}, {5, "zh"}}},
      {"sit/yue", {{5, "yue"}, {5, "zh-yue"}, {8, "zh"}}},
      {"sem/he", {{5, "he"}}},
      {"poz/id", {{5, "id"}}},
      {"gmq/nb", {{5, "nb"}, {5, "no"}}},
      {"sem/ar", {{5, "ar"}}},
  };
}

struct TagCase {
  const char16_t* tag;
  const char* voice;
};

void PrintTo(const TagCase& c, std::ostream* out) {
  *out << '"' << platform::ToUtf8(c.tag) << '"';
}

class VoiceForTag : public ::testing::TestWithParam<TagCase> {};

TEST_P(VoiceForTag, IsTheBestInstalledMatch) {
  VoiceLanguages languages(SampleVoices(), "fr-CA");
  EXPECT_EQ(GetParam().voice, languages.Choose(GetParam().tag));
}

INSTANTIATE_TEST_SUITE_P(
    Tags, VoiceForTag,
    ::testing::Values(TagCase{u"pt-BR", "roa/pt-BR"}, TagCase{u"PT_br", "roa/pt-BR"},
                      TagCase{u"pt", "roa/pt"}, TagCase{u"pt-AO", "roa/pt"}, TagCase{u"en", "gmw/en"},
                      TagCase{u"en-US", "gmw/en-US"}, TagCase{u"en-AU", "gmw/en"},
                      TagCase{u"fr-CH", "roa/fr"}, TagCase{u"zh", "sit/cmn"}, TagCase{u"zh-Hans", "sit/cmn"},
                      TagCase{u"zh-CN", "sit/cmn"}, TagCase{u"zh-TW", "sit/cmn"},
                      TagCase{u"zh-Hant", "sit/cmn"}, TagCase{u"zh-Hant-TW", "sit/cmn"},
                      TagCase{u"zh-HK", "sit/yue"}, TagCase{u"zh-Hant-HK", "sit/yue"},
                      TagCase{u"yue", "sit/yue"}, TagCase{u"iw", "sem/he"}, TagCase{u"in", "poz/id"},
                      TagCase{u"no", "gmq/nb"}, TagCase{u"nn-NO", "gmq/nb"}, TagCase{u"ar-EG", "sem/ar"},
                      // Nothing matches: the locale's language.
                      TagCase{u"tlh", "roa/fr"}, TagCase{u"ji", "roa/fr"}, TagCase{u"", "roa/fr"},
                      TagCase{u"-", "roa/fr"}, TagCase{u"fr\u00e9", "roa/fr"}));

struct LocaleCase {
  const char* lcAll;
  const char* lcMessages;
  const char* lang;
  const char* tag;
  const char* voice;
};

void PrintTo(const LocaleCase& c, std::ostream* out) {
  *out << c.lcAll << "|" << c.lcMessages << "|" << c.lang;
}

class LocaleDefault : public ::testing::TestWithParam<LocaleCase> {
 protected:
  void SetUp() override { Save(); }
  void TearDown() override {
    for (size_t i = 0; i < 3; ++i) Set(kNames[i], saved_[i]);
  }
  static void Set(const char* name, const std::string& value) {
    if (value.empty()) {
      ::unsetenv(name);
    } else {
      ::setenv(name, value.c_str(), 1);
    }
  }

 private:
  void Save() {
    for (size_t i = 0; i < 3; ++i) {
      const char* value = std::getenv(kNames[i]);
      saved_[i] = value ? value : "";
    }
  }
  static constexpr const char* kNames[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  std::string saved_[3];
};

TEST_P(LocaleDefault, FollowsTheFirstLocaleVariableSet) {
  Set("LC_ALL", GetParam().lcAll);
  Set("LC_MESSAGES", GetParam().lcMessages);
  Set("LANG", GetParam().lang);
  EXPECT_EQ(GetParam().tag, LocaleLanguageTag());
  VoiceLanguages languages(SampleVoices(), LocaleLanguageTag());
  EXPECT_EQ(GetParam().voice, languages.Default());
  EXPECT_EQ(GetParam().voice, languages.Choose(u""));
}

INSTANTIATE_TEST_SUITE_P(Environments, LocaleDefault,
                         ::testing::Values(LocaleCase{"", "", "pt_BR.UTF-8", "pt-BR", "roa/pt-BR"},
                                           LocaleCase{"", "fr_BE@euro", "pt_BR.UTF-8", "fr-BE", "roa/fr-BE"},
                                           LocaleCase{"zh_TW.UTF-8", "fr_FR", "pt_BR", "zh-TW", "sit/cmn"},
                                           LocaleCase{"C", "fr_FR", "pt_BR", "", "gmw/en"},
                                           LocaleCase{"", "", "POSIX", "", "gmw/en"},
                                           LocaleCase{"", "", "C.UTF-8", "", "gmw/en"},
                                           LocaleCase{"", "", "", "", "gmw/en"},
                                           LocaleCase{"", "", "xx_YY", "xx-YY", "gmw/en"}));

TEST(VoiceLanguagesDefault, WithoutEnglishIsTheFirstVoiceAndWithoutVoicesIsNone) {
  EXPECT_EQ("sem/he", VoiceLanguages({{"sem/he", {{5, "he"}}}, {"sem/ar", {{5, "ar"}}}}, "").Default());
  EXPECT_EQ("", VoiceLanguages({}, "fr").Choose(u"fr"));
}

// The installed voice data, as the engine lists it.
TEST(InstalledVoiceLanguages, CoverTheScriptsThatAreRead) {
  const VoiceLanguages& installed = EspeakEngine::Instance().Languages();
  VoiceLanguages languages(installed.Voices(), "");
  std::vector<std::pair<const char*, const char*>> expected = {
      {"en", "gmw/en"}, {"en-US", "gmw/en-US"}, {"pt-BR", "roa/pt-BR"}, {"fr", "roa/fr"},
      {"el", "grk/el"}, {"ru", "zle/ru"},       {"ar", "sem/ar"},       {"iw", "sem/he"},
      {"hi", "inc/hi"}, {"zh-Hant", "sit/cmn"}, {"zh-HK", "sit/yue"},   {"ja", "jpx/ja"},
      {"th", "tai/th"}, {"ko", "ko"},           {"no", "gmq/nb"},       {"tlh", "gmw/en"}};
  for (const auto& [tag, voice] : expected) {
    EXPECT_EQ(voice, languages.Choose(platform::FromUtf8(tag))) << tag;
  }
}

TEST(VoiceChoiceList, EachVoiceAndTheVariantsOfOneVoiceALanguageWithNamesForPeopleAndTags) {
  std::vector<VoiceEntry> voices{{"gmw/en-GB-x-rp", {{5, "en-gb-x-rp"}, {5, "en"}}},
                                 {"sit/cmn-Latn-pinyin", {{5, "cmn-latn-pinyin"}}},
                                 {"gmw/en-029", {{5, "en-029"}}}};
  std::vector<VariantEntry> variants{{"f2", "female2"}, {"Mr serious", "Mr serious"}};
  std::vector<platform::InstalledVoice> choices =
      VoiceChoices(voices, {"English_(Received_Pronunciation)", "Chinese (Mandarin, Pinyin)"}, variants);
  std::vector<std::string> dump;
  for (const platform::InstalledVoice& choice : choices) {
    std::string line = choice.identifier + " [" + platform::ToUtf8(choice.name) + "]";
    for (const std::string& tag : choice.languages) line += " " + tag;
    dump.push_back(line);
  }
  EXPECT_EQ((std::vector<std::string>{
                "gmw/en-GB-x-rp [English (Received Pronunciation)] en-GB-x-rp en",
                "gmw/en-GB-x-rp+f2 [English (Received Pronunciation), female 2] en-GB-x-rp en",
                "gmw/en-GB-x-rp+Mr serious [English (Received Pronunciation), Mr serious] en-GB-x-rp en",
                "sit/cmn-Latn-pinyin [Chinese (Mandarin, Pinyin)] cmn-Latn-pinyin",
                "sit/cmn-Latn-pinyin+f2 [Chinese (Mandarin, Pinyin), female 2] cmn-Latn-pinyin",
                "sit/cmn-Latn-pinyin+Mr serious [Chinese (Mandarin, Pinyin), Mr serious] cmn-Latn-pinyin",
                "gmw/en-029 [gmw/en-029] en-029",
            }),
            dump);
}

TEST(VoiceChoiceList, LanguageTagsTakeTheirUsualCase) {
  EXPECT_EQ("pt-BR", Bcp47Tag("pt-br"));
  EXPECT_EQ("sr-Latn-RS", Bcp47Tag("sr_latn_rs"));
  EXPECT_EQ("es-419", Bcp47Tag("es-419"));
  EXPECT_EQ("en-US-nyc", Bcp47Tag("en-us-nyc"));
  EXPECT_EQ("en-GB-x-gbcwmd", Bcp47Tag("en-gb-x-gbcwmd"));
  EXPECT_EQ("en-x-ab", Bcp47Tag("EN-X-AB"));
}

TEST(VoiceChoiceList, PrimaryLanguageOfATagOrOfTheDefaultVoice) {
  VoiceLanguages languages(SampleVoices(), "pt-BR");
  EXPECT_EQ("pt", languages.PrimaryLanguage(u""));
  EXPECT_EQ("zh", languages.PrimaryLanguage(u"zh-Hant-TW"));
  EXPECT_EQ("en", languages.PrimaryLanguage(u"EN_us"));
}

}  // namespace
}  // namespace lectryn::speech
