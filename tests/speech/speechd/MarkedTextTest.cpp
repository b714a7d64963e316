#include "speech/speechd/MarkedText.h"

#include <gtest/gtest.h>

#include "speech/speechd/SpeechdVoice.h"

namespace lectryn::speech::speechd {
namespace {

TEST(MarkedText, MarksEveryWordAndEscapesTheRest) {
  // "&" and "/" are read aloud, so they are words with marks of their own.
  MarkedText text(u"Tom & \"Jerry\" <b>run</b>.", "en");
  EXPECT_EQ(
      "<speak><mark name=\"0\"/>Tom <mark name=\"1\"/>&amp; &quot;<mark name=\"2\"/>Jerry&quot; &lt;"
      "<mark name=\"3\"/>b&gt;<mark name=\"4\"/>run&lt;<mark name=\"5\"/>/<mark name=\"6\"/>b&gt;.</speak>",
      text.Ssml(0, text.WordCount()));
}

TEST(MarkedText, CarriesOnlyWhatXmlCan) {
  // Line breaks and control characters become spaces, a lone surrogate the replacement character, and
  // a character beyond the first plane stays whole.
  std::u16string raw = u"one\ntwo\x01three ";
  raw += char16_t(0xD800);
  raw += u" \U0001F600 ";
  raw += char16_t(0xFFFF);
  MarkedText text(raw, "");
  std::string ssml = text.Ssml(0, text.WordCount());
  EXPECT_EQ(std::string::npos, ssml.find('\n'));
  EXPECT_EQ(std::string::npos, ssml.find('\x01'));
  EXPECT_NE(std::string::npos, ssml.find("\xEF\xBF\xBD"));
  EXPECT_NE(std::string::npos, ssml.find("\xF0\x9F\x98\x80"));
  EXPECT_EQ(std::string::npos, ssml.find("\xEF\xBF\xBF"));
}

TEST(MarkedText, SentencesHoldWordsAndMessagesCoverThem) {
  MarkedText text(u"First one. Second, here!  ... Third?", "en");
  ASSERT_EQ(3, text.SentenceCount());
  EXPECT_EQ(0, text.FirstWordOf(0));
  EXPECT_EQ(2, text.FirstWordOf(1));
  EXPECT_EQ(4, text.FirstWordOf(2));
  EXPECT_EQ(5, text.EndWordOf(2));
  EXPECT_EQ(1, text.SentenceOf(3));
  // A message runs up to the next message's first word, so the sentence's own punctuation goes with it.
  EXPECT_EQ("<speak><mark name=\"2\"/>Second, <mark name=\"3\"/>here!  ... </speak>", text.Ssml(2, 4));
  EXPECT_EQ(static_cast<int32_t>(std::u16string(u"Second, here").size()), text.SpanUnits(2, 4));
}

TEST(MarkedText, TextWithoutWordsHasNoSentence) {
  MarkedText text(u" ... !? ", "");
  EXPECT_EQ(0, text.WordCount());
  EXPECT_EQ(0, text.SentenceCount());
  EXPECT_EQ("<speak></speak>", text.Ssml(0, 0));
}

TEST(MarkedText, MarkNamesAreWordIndexes) {
  EXPECT_EQ(12, WordOfMark("12"));
  EXPECT_EQ(-1, WordOfMark("__spd_1"));
  EXPECT_EQ(-1, WordOfMark("3x"));
  EXPECT_EQ(-1, WordOfMark(""));
  EXPECT_EQ(-1, WordOfMark("-1"));
}

TEST(SpeechdSettings, RatesMapAroundTheVoicesOwn) {
  EXPECT_FALSE(ServerRate(0, 175).has_value());
  EXPECT_EQ(0, ServerRate(175, 175));
  EXPECT_EQ(100, ServerRate(450, 175));
  EXPECT_EQ(-100, ServerRate(80, 175));
  EXPECT_EQ(-100, ServerRate(10, 175));  // clamped like every voice's speed
  EXPECT_LT(0, *ServerRate(250, 175));
  EXPECT_GT(0, *ServerRate(150, 175));
}

TEST(SpeechdSettings, IdentifiersNameModuleAndVoice) {
  EXPECT_EQ((SaySettings{}), SettingsOf("speechd:"));
  EXPECT_EQ((SaySettings{"festival", "", "", {}}), SettingsOf("speechd:festival:"));
  EXPECT_EQ((SaySettings{"espeak-ng", "French (Belgium)", "", {}}), SettingsOf("speechd:espeak-ng:French (Belgium)"));
  EXPECT_EQ((SaySettings{}), SettingsOf("gmw/en-GB"));  // the other engine's
  EXPECT_TRUE(ModuleLacksMarks("flite"));
  EXPECT_TRUE(ModuleLacksMarks("piper-generic"));
  EXPECT_FALSE(ModuleLacksMarks("espeak-ng"));
}

}  // namespace
}  // namespace lectryn::speech::speechd
