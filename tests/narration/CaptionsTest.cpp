#include <gtest/gtest.h>

#include "narration/Captions.h"
#include "platform/Text.h"
#include "sim/ScriptedVoice.h"

namespace lectryn::narration {
namespace {

// Feeds a text as a voice would: each word msPerWord after the one before, the end msPerWord after
// the last word.
void Speak(CaptionWriter& writer, const std::u16string& text, int64_t msPerWord,
           std::optional<int64_t> audioStartMs = std::nullopt) {
  writer.StartText(text, audioStartMs);
  int64_t at = 0;
  for (const sim::ScriptedWord& word : sim::SplitScriptedWords(text)) {
    writer.Word(word.position, word.length, at);
    at += msPerWord;
  }
  writer.EndText(at);
}

// "[start-end text]" per cue, times in ms.
std::string Dump(const std::vector<Cue>& cues) {
  std::string out;
  for (const Cue& cue : cues)
    out += "[" + std::to_string(cue.startMs) + "-" + std::to_string(cue.endMs) + " " +
           platform::ToUtf8(cue.text) + "]";
  return out;
}

std::string Sentences(const std::u16string& text) {
  std::string out;
  for (auto [begin, end] : SentencesOf(text))
    out += "[" + platform::ToUtf8(text.substr(begin, end - begin)) + "]";
  return out;
}

TEST(CaptionSentences, EndAtAMarkThatSpaceOrTheEndFollows) {
  EXPECT_EQ("[One two.][ Three!][ Four?][ five]", Sentences(u"One two. Three! Four? five"));
  // Marks inside a word or a number do not end a sentence.
  EXPECT_EQ("[It is 3.5 m, see e.g.x here.]", Sentences(u"It is 3.5 m, see e.g.x here."));
  // Closing quotes and repeated marks stay with their sentence.
  EXPECT_EQ("[\"Stop!\"][ he said...][ Then]", Sentences(u"\"Stop!\" he said... Then"));
  EXPECT_EQ("[Wait\u2026][ ok]", Sentences(u"Wait\u2026 ok"));
  // Full-width stops end a sentence without a space after them.
  EXPECT_EQ("[\u4e00\u3002][\u4e8c\uff1f][\u4e09]", Sentences(u"\u4e00\u3002\u4e8c\uff1f\u4e09"));
  EXPECT_EQ("[\u0647\u0644\u061f][ \u0646\u0639\u0645]", Sentences(u"\u0647\u0644\u061f \u0646\u0639\u0645"));
  EXPECT_EQ("", Sentences(u""));
}

TEST(CaptionCues, OnePerSentenceEndingAtTheNextOrAtTheEndOfTheAudio) {
  CaptionWriter writer;
  Speak(writer, u"One two. Three four five! Six", 100);
  EXPECT_EQ("[0-200 One two.][200-500 Three four five!][500-600 Six]", Dump(writer.Cues()));
  EXPECT_EQ(600, writer.AudioEndMs());
  ASSERT_EQ(3u, writer.Cues()[1].words.size());
  EXPECT_EQ(400, writer.Cues()[1].words[2].startMs);
  EXPECT_EQ(11, writer.Cues()[1].words[2].offsetUtf16);  // "five" in "Three four five!"
}

TEST(CaptionCues, NeverSpanTwoTextsAndFollowEachTextsPlaceInTheRecording) {
  CaptionWriter writer;
  Speak(writer, u"Alpha beta", 100);             // a sentence without a mark ends with its text
  Speak(writer, u"Gamma. Delta", 100);           // right after: at 200
  Speak(writer, u"Epsilon", 100, int64_t{900});  // the recording says where it starts
  EXPECT_EQ("[0-200 Alpha beta][200-300 Gamma.][300-400 Delta][900-1000 Epsilon]", Dump(writer.Cues()));
}

TEST(CaptionCues, SentenceHeardAgainGetsACueOfItsOwn) {
  CaptionWriter writer;
  writer.StartText(u"One two. Three four.", 0);
  writer.Word(0, 3, 0);
  writer.Word(4, 3, 100);
  writer.Word(9, 5, 200);
  writer.Word(9, 5, 300);  // back to the start of the sentence being heard
  writer.Word(15, 4, 400);
  writer.Word(0, 3, 500);  // back to the sentence before
  writer.EndText(900);
  EXPECT_EQ("[0-200 One two.][200-300 Three four.][300-500 Three four.][500-900 One two.]",
            Dump(writer.Cues()));
}

TEST(CaptionCues, StoppedTextEndsWhereTheNextBeginsAndStrayEventsAreIgnored) {
  CaptionWriter writer;
  writer.Word(0, 3, 0);  // before any text
  writer.StartText(u"  Line\r\none.\n Next", 0);
  writer.Word(2, 4, 0);
  writer.Word(8, 3, 150);
  writer.Word(400, 3, 160);  // past the text
  writer.StartText(u"Other", std::nullopt);
  writer.Word(0, 5, 20);
  writer.EndText(80);
  writer.EndText(500);  // a second end of the same text
  // The last word heard is all that is known of the stopped text's audio.
  EXPECT_EQ("[0-150 Line  one.][170-230 Other]", Dump(writer.Cues()));
  EXPECT_EQ(230, writer.AudioEndMs());
}

TEST(CaptionFiles, WebVttHasTheHeaderWordTimesAndEscapedText) {
  CaptionWriter writer;
  Speak(writer, u"Fish & chips <b>. Salt>pepper", 1240);
  EXPECT_EQ(
      "WEBVTT\n"
      "\n"
      "00:00:00.000 --> 00:00:03.720\n"
      "<c>Fish</c> &amp; <00:00:01.240><c>chips</c> &lt;<00:00:02.480><c>b</c>&gt;.\n"
      "\n"
      "00:00:03.720 --> 00:00:06.200\n"
      "<c>Salt</c>&gt;<00:00:04.960><c>pepper</c>\n",
      RenderCaptions(writer.Cues(), CaptionFormat::WebVtt));
}

TEST(CaptionFiles, SrtNumbersItsCuesAndWritesCommaMilliseconds) {
  CaptionWriter writer;
  Speak(writer, u"One <two>. Three", 500, int64_t{3'723'004});
  EXPECT_EQ(
      "1\n01:02:03,004 --> 01:02:04,004\nOne <two>.\n\n"
      "2\n01:02:04,004 --> 01:02:04,504\nThree\n\n",
      RenderCaptions(writer.Cues(), CaptionFormat::Srt));
  EXPECT_EQ("00:00:59.999", CaptionTime(59'999, CaptionFormat::WebVtt));
  EXPECT_EQ("100:00:00,000", CaptionTime(360'000'000, CaptionFormat::Srt));
}

TEST(CaptionFiles, FormatComesFromTheNameInAnyCase) {
  EXPECT_EQ(CaptionFormat::WebVtt, CaptionFormatOf("/a/reading.VTT"));
  EXPECT_EQ(CaptionFormat::Srt, CaptionFormatOf("reading.srt"));
  EXPECT_FALSE(CaptionFormatOf("reading.vtt.txt"));
  EXPECT_FALSE(CaptionFormatOf("vtt"));
}

}  // namespace
}  // namespace lectryn::narration
