#include "app/ReadOptions.h"

#include <gtest/gtest.h>

namespace lectryn::app {
namespace {

ParsedCommandLine Parse(std::vector<std::string> arguments) {
  return ParseReadOptions(arguments);
}

TEST(ReadCommandLine, PrintTextTakesOnePageInAnyOrder) {
  for (auto arguments : {std::vector<std::string>{"--print-text", "page.htm"},
                         std::vector<std::string>{"page.htm", "--print-text"}}) {
    ParsedCommandLine parsed = Parse(arguments);
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(ReadMode::PrintText, parsed.options.mode);
    EXPECT_EQ("page.htm", parsed.options.page);
  }
}

TEST(ReadCommandLine, DoubleDashLetsAPageStartWithADash) {
  ParsedCommandLine parsed = Parse({"--print-text", "--", "--odd.htm"});
  ASSERT_TRUE(parsed.ok) << parsed.error;
  EXPECT_EQ("--odd.htm", parsed.options.page);
}

struct BadLine {
  std::vector<std::string> arguments;
  std::string error;
};

const std::string kSpeechdFile =
    "--audio FILE writes audio with the espeak-ng voice; leave out --voice speechd, which speaks through "
    "speech-dispatcher";

class ReadCommandLineErrors : public ::testing::TestWithParam<BadLine> {};

TEST_P(ReadCommandLineErrors, SayWhatIsWrong) {
  ParsedCommandLine parsed = Parse(GetParam().arguments);
  EXPECT_FALSE(parsed.ok);
  EXPECT_FALSE(parsed.help);
  EXPECT_EQ(GetParam().error, parsed.error);
}

INSTANTIATE_TEST_SUITE_P(
    ReadCommandLine, ReadCommandLineErrors,
    ::testing::Values(
        BadLine{{}, "no page given"}, BadLine{{"--print-text"}, "no page given"},
        BadLine{{"--voice", "robot", "a.htm"}, "--voice takes espeak, speechd or scripted, not robot"},
        BadLine{{"--voice", "speechd", "--audio", "out.ogg", "a.htm"}, kSpeechdFile},
        BadLine{{"--audio", "nnone", "a.htm"},
                "--audio takes auto, none or a file name ending in .wav, .ogg or .opus, not nnone"},
        BadLine{{"--audio", ".ogg", "a.htm"},
                "--audio takes auto, none or a file name ending in .wav, .ogg or .opus, not .ogg"},
        BadLine{{"--voice=scripted", "--audio=out.wav", "a.htm"},
                "--audio out.wav needs the espeak voice: the scripted voice makes no sound"},
        BadLine{{"--rate", "79", "a.htm"}, "--rate takes words per minute from 80 to 450, not 79"},
        BadLine{{"--rate=451", "a.htm"}, "--rate takes words per minute from 80 to 450, not 451"},
        BadLine{{"--rate", "200x", "a.htm"}, "--rate takes words per minute from 80 to 450, not 200x"},
        BadLine{{"--rate", "", "a.htm"}, "--rate needs WPM"},
        BadLine{{"--rate=-100", "a.htm"}, "--rate takes words per minute from 80 to 450, not -100"},
        BadLine{{"a.htm", "--rate"}, "--rate needs WPM"},
        BadLine{{"a.htm", "--element"}, "--element needs ID"},
        BadLine{{"--print-text", "a.htm", "b.htm"}, "more than one page given: a.htm and b.htm"},
        BadLine{{"--print-txt", "a.htm"}, "unknown option --print-txt"},
        BadLine{{"--print-text=yes", "a.htm"}, "--print-text takes no value"},
        BadLine{{"--captions", "out.txt", "a.htm"},
                "--captions takes a file name ending in .vtt or .srt, not out.txt"}));

TEST(ReadCommandLine, HelpAndUsage) {
  EXPECT_TRUE(Parse({"--help"}).help);
  EXPECT_TRUE(Parse({"a.htm", "-h", "--bogus"}).help);
  for (const char* option :
       {"--print-text", "--element ID", "--voice", "--audio", "--trace", "--quiet", "--rate WPM"})
    EXPECT_NE(std::string::npos, ReadUsage().find(option)) << option;
}

TEST(ReadCommandLine, ReadingAloudIsTheDefaultWithTheRealVoiceAndSound) {
  ParsedCommandLine parsed = Parse({"page.htm"});
  ASSERT_TRUE(parsed.ok) << parsed.error;
  EXPECT_EQ(ReadMode::ReadAloud, parsed.options.mode);
  EXPECT_EQ(VoiceKind::Espeak, parsed.options.voice);
  EXPECT_EQ(AudioKind::Auto, parsed.options.audio);
  EXPECT_FALSE(parsed.options.trace);
  EXPECT_NE(std::string::npos, ReadUsage().find("--voice espeak|speechd|scripted"));
  EXPECT_FALSE(parsed.options.element);

  parsed = Parse(
      {"--element=intro", "--voice", "scripted", "--audio", "none", "--trace", "-", "--quiet", "p.htm"});
  ASSERT_TRUE(parsed.ok) << parsed.error;
  EXPECT_EQ("intro", parsed.options.element);
  EXPECT_EQ(VoiceKind::Scripted, parsed.options.voice);
  EXPECT_EQ(AudioKind::None, parsed.options.audio);
  EXPECT_EQ("-", parsed.options.trace);
  EXPECT_TRUE(parsed.options.quiet);

  EXPECT_FALSE(parsed.options.rate) << "no --rate: the stored speed";

  for (const char* file : {"Out.WAV", "book.ogg", "dir/x.Opus"}) {
    parsed = Parse({"--audio", file, "p.htm"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(AudioKind::File, parsed.options.audio);
    EXPECT_EQ(file, parsed.options.audioPath);
  }
  for (int32_t rate : {80, 175, 450}) {
    parsed = Parse({"--rate", std::to_string(rate), "p.htm"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(rate, parsed.options.rate);
  }
}

TEST(DesktopCommandLine, TakesAnyNumberOfPagesAndOnlyTheVoiceAudioAndTraceOptions) {
  ParsedCommandLine parsed = ParseDesktopOptions({});
  ASSERT_TRUE(parsed.ok) << parsed.error;
  EXPECT_TRUE(parsed.options.pages.empty());
  EXPECT_FALSE(parsed.options.voiceGiven) << "no --voice: the engine chosen last";
  EXPECT_TRUE(ParseDesktopOptions({"--voice=espeak"}).options.voiceGiven);

  parsed =
      ParseDesktopOptions({"--voice", "scripted", "a.htm", "--audio=none", "--trace", "t.jsonl", "b.htm"});
  ASSERT_TRUE(parsed.ok) << parsed.error;
  EXPECT_EQ((std::vector<std::string>{"a.htm", "b.htm"}), parsed.options.pages);
  EXPECT_EQ(VoiceKind::Scripted, parsed.options.voice);
  EXPECT_EQ("t.jsonl", parsed.options.trace);

  for (const char* reader : {"--element", "--print-text", "--quiet"}) {
    parsed = ParseDesktopOptions({reader, "x", "a.htm"});
    EXPECT_FALSE(parsed.ok) << reader;
    EXPECT_EQ("unknown option " + std::string(reader), parsed.error);
    EXPECT_EQ(std::string::npos, DesktopUsage().find(reader));
  }
  EXPECT_FALSE(ParseDesktopOptions({"--voice", "scripted", "--audio", "o.wav"}).ok);
  EXPECT_TRUE(ParseDesktopOptions({"--audio", "o.wav"}).ok);
  EXPECT_EQ("--audio takes a file name ending in .wav here, not o.ogg",
            ParseDesktopOptions({"--audio", "o.ogg"}).error);
  EXPECT_EQ("unknown option --rate", ParseDesktopOptions({"--rate", "200"}).error);
  EXPECT_NE(std::string::npos, DesktopUsage().find("[PAGE...]"));
}

// A second start hands one command to the running copy; only the desktop program takes them.
TEST(DesktopCommandLine, TakesOneCommandForTheRunningCopyWithoutPages) {
  for (const system::CommandSpelling& spelling : system::kCommands) {
    std::string option = "--" + std::string(spelling.name);
    ParsedCommandLine parsed = ParseDesktopOptions({option});
    ASSERT_TRUE(parsed.ok) << option << ": " << parsed.error;
    EXPECT_EQ(spelling.command, parsed.options.command) << option;
    EXPECT_NE(std::string::npos, DesktopUsage().find(option)) << option;
    EXPECT_EQ(std::string::npos, ReadUsage().find(option)) << option;
    EXPECT_EQ("unknown option " + option, ParseReadOptions({option, "a.htm"}).error);
    EXPECT_EQ(option + " takes no value", ParseDesktopOptions({option + "=1"}).error);
  }
  EXPECT_FALSE(ParseDesktopOptions({}).options.command) << "no command: the program itself";

  // Starting the program to read the selection takes the options it starts with.
  ParsedCommandLine parsed =
      ParseDesktopOptions({"--voice", "scripted", "--read-selection", "--trace=t.jsonl"});
  ASSERT_TRUE(parsed.ok) << parsed.error;
  EXPECT_EQ(system::Command::ReadSelection, parsed.options.command);
  EXPECT_EQ(VoiceKind::Scripted, parsed.options.voice);

  EXPECT_EQ("--pause and --stop given: give one command at a time",
            ParseDesktopOptions({"--pause", "--stop"}).error);
  EXPECT_EQ("--pause and --pause given: give one command at a time",
            ParseDesktopOptions({"--pause", "--pause"}).error);
  EXPECT_EQ("--next-sentence goes to the running Lectryn and opens no page; leave out a.htm",
            ParseDesktopOptions({"a.htm", "--next-sentence"}).error);
  EXPECT_EQ("unknown option --pauses", ParseDesktopOptions({"--pauses"}).error);
  parsed = ParseDesktopOptions({"--", "--pause"});
  ASSERT_TRUE(parsed.ok) << parsed.error;
  EXPECT_FALSE(parsed.options.command) << "after --, a page of that name";
}

// The speech server plays what it says itself: both programs take its voice only with the sound as it is,
// whichever order the options come in.
TEST(VoiceOption, SpeechdIsTakenByBothProgramsOnlyWithTheirOwnSound) {
  for (auto parse : {ParseReadOptions, ParseDesktopOptions}) {
    ParsedCommandLine parsed = parse({"--voice", "speechd", "a.htm"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(VoiceKind::Speechd, parsed.options.voice);
    EXPECT_TRUE(parse({"--voice=speechd", "--audio=auto", "a.htm"}).ok);
    EXPECT_EQ(kSpeechdFile, parse({"--audio=out.wav", "a.htm", "--voice=speechd"}).error);
    EXPECT_EQ(
        "--audio none reads silently with the espeak-ng voice; leave out --voice speechd, which speaks "
        "through speech-dispatcher",
        parse({"--voice", "speechd", "--audio", "none", "a.htm"}).error);
  }
}

}  // namespace
}  // namespace lectryn::app
