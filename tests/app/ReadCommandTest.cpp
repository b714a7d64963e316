// Runs the built lectryn-read as a person would, and checks what it prints and how it exits.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/ReadOptions.h"
#include "app/ReaderProcess.h"
#include "app/Trace.h"
#include "platform/Text.h"
#include "settings/ListenerSettings.h"
#include "settings/RegHelper.h"
#include "system/RegistryStore.h"

namespace lectryn::app {
namespace {

using testing::Outcome;
using testing::ReaderProcess;
using testing::ReadWhole;

// Runs the reader; interruptWhen, if given, is asked with what it printed so far (every 20 ms, at
// most 20 s) and the reader gets Ctrl+C once it says yes. prepare may set up its folder first.
Outcome RunReader(std::vector<std::string> arguments,
                  const std::function<bool(const std::string&)>& interruptWhen = {},
                  const std::function<void(ReaderProcess&)>& prepare = {}) {
  ReaderProcess reader;
  if (prepare) prepare(reader);
  if (!reader.Start(std::move(arguments))) {
    ADD_FAILURE() << "cannot start the reader";
    return {};
  }
  if (interruptWhen && ReaderProcess::WaitFor([&] { return interruptWhen(reader.Out()); }))
    reader.Signal(SIGINT);
  return reader.Finish();
}

// A trace line without its time, and the time.
std::string WithoutTime(const std::string& line) {
  size_t t = line.rfind(",\"t\":");
  return t == std::string::npos ? line : line.substr(0, t) + "}";
}
int64_t TimeOf(const std::string& line) {
  size_t t = line.rfind(",\"t\":");
  return t == std::string::npos ? -1 : std::stoll(line.substr(t + 5));
}

// Runs another program to its end (20 s at most).
Outcome RunProgram(const char* program, std::vector<std::string> arguments) {
  ReaderProcess process;
  if (!process.Start(std::move(arguments), program)) {
    ADD_FAILURE() << "cannot start " << program;
    return {};
  }
  return process.Finish();
}

const std::string kSample = std::string(LECTRYN_TEST_PAGES_DIR) + "/load/sample.htm";

TEST(ReadCommand, PrintsTheBodyTextOfAPageWithCrLfBreaks) {
  Outcome outcome = RunReader({"--print-text", kSample});
  EXPECT_EQ(0, outcome.exitCode) << outcome.err;
  EXPECT_EQ("Caf\xC3\xA9 news\r\nFirst paragraph, with bold words.\r\nSecond paragraph.\r\n", outcome.out);
  EXPECT_EQ("", outcome.err);
}

TEST(ReadCommand, AMissingPageIsOneLineOnStandardErrorAndExitOne) {
  Outcome outcome = RunReader({"--print-text", "/nonexistent/page.htm"});
  EXPECT_EQ(1, outcome.exitCode);
  EXPECT_EQ("", outcome.out);
  EXPECT_EQ("lectryn-read: cannot read /nonexistent/page.htm: no such file\n", outcome.err);
}

TEST(ReadCommand, UsageErrorsExitTwo) {
  Outcome outcome = RunReader({"--print-text"});
  EXPECT_EQ(2, outcome.exitCode);
  EXPECT_EQ("", outcome.out);
  EXPECT_EQ("lectryn-read: no page given\n" + ReadUsage(), outcome.err);
  EXPECT_EQ(2, RunReader({"--frobnicate", kSample}).exitCode);
  Outcome help = RunReader({"--help"});
  EXPECT_EQ(0, help.exitCode);
  EXPECT_EQ(ReadUsage(), help.out);
}

// The trace as lines; the reading of the sample page with the scripted voice.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(WithoutTime(line));
  return lines;
}

TEST(ReadCommand, ReadsFromAnElementToTheEndWithEachWordSelected) {
  std::string page = std::string(LECTRYN_TEST_PAGES_DIR) + "/reading.htm";
  Outcome outcome = RunReader(
      {"--voice", "scripted", "--audio", "none", "--quiet", "--trace", "-", "--element", "second", page});
  ASSERT_EQ(0, outcome.exitCode) << outcome.err;
  std::vector<std::string> lines = Lines(outcome.out);
  ASSERT_EQ(10u, lines.size()) << outcome.out;
  EXPECT_EQ(R"({"event":"speak","text":"Second piece here."})", lines[0]);
  EXPECT_EQ(R"({"event":"word","position":0,"length":6,"word":"Second","selection":"Second",)"
            R"("selectionStart":26,"selectionEnd":32,"audioMs":0})",
            lines[1]);
  EXPECT_EQ(R"({"event":"word","position":13,"length":4,"word":"here","selection":"here",)"
            R"("selectionStart":39,"selectionEnd":43,"audioMs":500})",
            lines[3]);
  EXPECT_EQ(R"({"event":"end"})", lines[4]);
  EXPECT_EQ(R"({"event":"speak","text":"Last one"})", lines[5]);
  EXPECT_EQ(R"({"event":"end"})", lines[8]);
  EXPECT_EQ(R"({"event":"stop","reason":"end-of-page"})", lines[9]);
}

// A string field of a trace line (none of the texts here holds a quote).
std::string Field(const std::string& line, const std::string& name) {
  std::string key = "\"" + name + "\":\"";
  size_t start = line.find(key);
  if (start == std::string::npos) return "";
  start += key.size();
  return line.substr(start, line.find('"', start) - start);
}

// Milliseconds of audio in a WAV file: its data chunk over the byte rate of its format chunk.
int64_t WavMs(const std::string& bytes) {
  auto number = [&](size_t at, int size) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
  };
  uint32_t byteRate = 0;
  for (size_t at = 12; at + 8 <= bytes.size(); at += 8 + number(at + 4, 4)) {
    if (bytes.compare(at, 4, "fmt ") == 0) byteRate = number(at + 16, 4);
    if (bytes.compare(at, 4, "data") == 0 && byteRate > 0)
      return int64_t{number(at + 4, 4)} * 1000 / byteRate;
  }
  return -1;
}

int64_t Number(const std::string& line, const std::string& name) {
  size_t at = line.find("\"" + name + "\":");
  return at == std::string::npos ? -1 : std::stoll(line.substr(at + name.size() + 3));
}

// One reading of a page by the real voice into a WAV file, with its trace and captions.
class CaptionsOfARecording : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new engine::testing::TempFolder;
    outcome_ = new Outcome(
        RunReader({"--audio", folder_->Path("out.wav"), "--quiet", "--trace", "-", "--captions",
                   folder_->Path("out.vtt"), std::string(LECTRYN_TEST_PAGES_DIR) + "/reading.htm"}));
  }
  static void TearDownTestSuite() {
    delete outcome_;
    delete folder_;
  }
  // The texts spoken and the audioMs of each of their words, from the trace.
  static void Pieces(std::vector<std::string>& texts, std::vector<std::vector<int64_t>>& words) {
    for (const std::string& line : Lines(outcome_->out)) {
      if (line.starts_with(R"({"event":"speak")")) {
        texts.push_back(Field(line, "text"));
        words.emplace_back();
      } else if (line.starts_with(R"({"event":"word")") && !words.empty()) {
        words.back().push_back(Number(line, "audioMs"));
      }
    }
  }
  static inline engine::testing::TempFolder* folder_ = nullptr;
  static inline Outcome* outcome_ = nullptr;
};

// The captions' times are the file's: the last cue ends where the audio does.
TEST_F(CaptionsOfARecording, LastCueEndsWithTheAudioFile) {
  ASSERT_EQ(0, outcome_->exitCode) << outcome_->err;
  std::string captions = ReadWhole(folder_->Path("out.vtt"));
  ASSERT_TRUE(captions.starts_with("WEBVTT\n")) << captions;
  size_t arrow = captions.rfind(" --> ");
  ASSERT_NE(std::string::npos, arrow) << captions;
  std::string end = captions.substr(arrow + 5, 12);  // hh:mm:ss.mmm
  int64_t endMs = std::stoll(end.substr(0, 2)) * 3'600'000 + std::stoll(end.substr(3, 2)) * 60'000 +
                  std::stoll(end.substr(6, 2)) * 1000 + std::stoll(end.substr(9, 3));
  int64_t wavMs = WavMs(ReadWhole(folder_->Path("out.wav")));
  ASSERT_GT(wavMs, 1000);
  EXPECT_NEAR(wavMs, endMs, 10);
}

// A parser we did not write reads the captions: Chromium's, through a <track> of a local page. Its
// cues hold the texts spoken, sentence by sentence, and its word times are the trace's, each text
// placed after the audio of the texts before it.
TEST_F(CaptionsOfARecording, ChromiumReadsTheCuesWithTheTracesWordTimes) {
  ASSERT_EQ(0, outcome_->exitCode) << outcome_->err;
  const char* chromium = "/usr/bin/chromium";
  if (access(chromium, X_OK) != 0) GTEST_SKIP() << "no " << chromium;
  std::u16string captions = platform::FromUtf8(ReadWhole(folder_->Path("out.vtt")));
  std::string page =
      folder_->Write("captions.htm", R"(<!DOCTYPE html><body><video></video><pre id="out">pending</pre>
<script>
const track = document.createElement('track');
track.kind = 'captions';
track.default = true;
track.src = URL.createObjectURL(new Blob([)" +
                                         JsonString(captions) + R"(], {type: 'text/vtt'}));
document.querySelector('video').appendChild(track);
track.track.mode = 'hidden';
const show = text => { document.getElementById('out').textContent = text; };
const seconds = t => t.split(':').reduce((sum, part) => sum * 60 + Number(part), 0);
const ms = s => Math.round(s * 1000);
track.onerror = () => show('error');
track.onload = () => {
  const lines = [];
  for (const cue of track.track.cues) {
    let time = cue.startTime;
    const words = [];
    const walker = document.createTreeWalker(cue.getCueAsHTML(), NodeFilter.SHOW_ALL);
    for (let n = walker.nextNode(); n; n = walker.nextNode()) {
      if (n.nodeType === Node.PROCESSING_INSTRUCTION_NODE) time = seconds(n.data);
      else if (n.nodeType === Node.TEXT_NODE && n.parentNode.nodeName === 'SPAN') words.push(ms(time));
    }
    lines.push([ms(cue.startTime), ms(cue.endTime), cue.getCueAsHTML().textContent, words.join(' ')].join('|'));
  }
  show('cues ' + track.track.cues.length + '\n' + lines.join('\n'));
};
</script>)");
  Outcome dump = RunProgram(
      "/usr/bin/timeout", {"60", chromium, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                           "--disable-background-networking", "--disable-component-update", "--disable-sync",
                           "--user-data-dir=" + folder_->Path("profile"), "--virtual-time-budget=10000",
                           "--dump-dom", "file://" + page});
  size_t start = dump.out.find("<pre id=\"out\">");
  ASSERT_NE(std::string::npos, start) << dump.out << dump.err;
  std::vector<std::string> cues =
      Lines(dump.out.substr(start + 14, dump.out.find("</pre>", start) - start - 14));
  ASSERT_FALSE(cues.empty());
  ASSERT_EQ("cues 4", cues[0])
      << dump.out;  // "First piece", "Skipped?", "No: Second piece here.", "Last one"

  std::vector<std::string> texts;
  std::vector<std::vector<int64_t>> traced;
  Pieces(texts, traced);
  std::string spoken, captioned;
  std::vector<int64_t> wordMs;
  for (size_t i = 1; i < cues.size(); ++i) {
    std::vector<std::string> fields;
    std::istringstream line(cues[i]);
    for (std::string field; std::getline(line, field, '|');) fields.push_back(field);
    ASSERT_EQ(4u, fields.size()) << cues[i];
    EXPECT_LT(std::stoll(fields[0]), std::stoll(fields[1])) << cues[i];
    captioned += (captioned.empty() ? "" : " ") + fields[2];
    std::istringstream times(fields[3]);
    for (int64_t ms; times >> ms;) wordMs.push_back(ms);
  }
  for (const std::string& text : texts) spoken += (spoken.empty() ? "" : " ") + text;
  EXPECT_EQ(spoken, captioned);

  size_t next = 0;
  int64_t pieceEndsAfterMs = 0;  // the last word of the text before, in the recording
  for (size_t piece = 0; piece < traced.size(); ++piece) {
    ASSERT_LE(next + traced[piece].size(), wordMs.size()) << "fewer words in the captions than traced";
    int64_t offset = wordMs[next] - traced[piece].front();
    if (piece == 0) {
      EXPECT_NEAR(0, offset, 10);
    } else {
      EXPECT_GT(offset, pieceEndsAfterMs)
          << "text " << piece << " starts before the audio of the one before ends";
    }
    for (int64_t audioMs : traced[piece])
      EXPECT_NEAR(offset + audioMs, wordMs[next++], 10) << "text " << piece;
    pieceEndsAfterMs = offset + traced[piece].back();
  }
  EXPECT_EQ(next, wordMs.size()) << "more words in the captions than traced";
}

// The real voice into a WAV file: every piece names its language, and every word spoken in any
// script is the word selected in the page.
TEST(ReadCommand, ReadsAPageOfManyLanguagesEachPieceInItsOwnWithExactSelections) {
  engine::testing::TempFolder folder;
  std::string page = std::string(LECTRYN_TEST_PAGES_DIR) + "/languages.htm";
  Outcome outcome = RunReader({"--audio", folder.Path("out.wav"), "--quiet", "--trace", "-", page});
  ASSERT_EQ(0, outcome.exitCode) << outcome.err;
  std::vector<std::string> languages;
  std::vector<int> words;
  int mismatches = 0;
  for (const std::string& line : Lines(outcome.out)) {
    if (line.starts_with(R"({"event":"speak")")) {
      languages.push_back(Field(line, "lang"));
      words.push_back(0);
    } else if (line.starts_with(R"({"event":"word")")) {
      ASSERT_FALSE(words.empty()) << line;
      ++words.back();
      if (Field(line, "word") != Field(line, "selection")) ++mismatches;
    }
  }
  EXPECT_EQ((std::vector<std::string>{"en", "fr", "el", "ru", "ar", "he", "hi", "zh-Hans", "ja", "th", "ko",
                                      "de", "de-CH", "tlh", "en"}),
            languages);
  for (size_t i = 0; i < words.size(); ++i) EXPECT_GT(words[i], 1) << "piece " << i << " in " << languages[i];
  EXPECT_EQ(0, mismatches) << outcome.out;
}

TEST(ReadCommand, CtrlCStopsTheRealVoiceAndExits130) {
  auto started = std::chrono::steady_clock::now();
  Outcome outcome = RunReader(
      {"--audio", "none", "--quiet", "--trace", "-", std::string(LECTRYN_TEST_PAGES_DIR) + "/reading.htm"},
      [](const std::string& out) { return out.find("\"word\"") != std::string::npos; });
  auto tookMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started)
          .count();
  EXPECT_EQ(130, outcome.exitCode) << outcome.err;
  // Times count from the program's start: never back, and never past how long it ran.
  int64_t last = 0;
  std::istringstream in(outcome.out);
  for (std::string line; std::getline(in, line);) {
    EXPECT_GE(TimeOf(line), last) << line;
    last = TimeOf(line);
  }
  EXPECT_LE(last, tookMs);
  std::vector<std::string> lines = Lines(outcome.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(R"({"event":"stop","reason":"interrupted"})", lines.back());
  EXPECT_EQ(std::string::npos, outcome.out.find("Last one")) << "reading went on after Ctrl+C";
}

TEST(ReadCommand, FollowsTheStoredSpeedAndVoicesUnlessTheRateIsGiven) {
  auto storeSettings = [](ReaderProcess& reader) {
    system::RegistryStore store(reader.Folder().Path("config/lectryn"), reader.Folder().Path("machine"));
    settings::RegHelper helper(store);
    helper.WriteSetting(settings::kRateSetting, settings::SettingOfRate(300));
    // The German choice is of the desktop's voices, which this reading does not use.
    helper.WriteSetting(settings::kVoicesSetting,
                        settings::SettingOfVoiceChoices({{"fr", "roa/fr-BE"}, {"de", "speechd:festival:"}}));
  };
  std::string page = std::string(LECTRYN_TEST_PAGES_DIR) + "/languages.htm";
  for (const char* rate : {"", "120"}) {
    std::vector<std::string> arguments = {"--voice", "scripted", "--quiet", "--trace", "-", page};
    if (*rate) arguments.insert(arguments.end(), {"--rate", rate});
    Outcome outcome = RunReader(arguments, {}, storeSettings);
    ASSERT_EQ(0, outcome.exitCode) << outcome.err;
    std::vector<std::string> lines = Lines(outcome.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(std::string(R"({"event":"rate","wpm":)") + (*rate ? rate : "300") + "}", lines[0]);
    auto french = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
      return line.find(R"("lang":"fr"})") != std::string::npos;
    });
    ASSERT_NE(lines.end(), french) << outcome.out;
    ASSERT_NE(lines.end(), french + 1);
    EXPECT_EQ(R"({"event":"voice","lang":"fr","identifier":"roa/fr-BE"})", *(french + 1));
    EXPECT_EQ(1, std::count_if(lines.begin(), lines.end(),
                               [](const std::string& line) {
                                 return line.find(R"("event":"voice")") != std::string::npos;
                               }))
        << "only French has a voice of the user's";
  }
}

// Long enough that a recording of it takes a while to make.
std::string LongPage(const engine::testing::TempFolder& folder) {
  std::string html = "<!DOCTYPE html><body>";
  for (int i = 1; i <= 150; ++i)
    html +=
        "<p>Paragraph " + std::to_string(i) + " of the recording has two sentences. This is the second.</p>";
  return folder.Write("long.htm", html + "</body>");
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ReadCommand, RecordsAWholeReadingOrNothing) {
  engine::testing::TempFolder folder;
  std::string ogg = folder.Path("out/reading.ogg");
  std::filesystem::create_directory(folder.Path("out"));
  Outcome whole = RunReader(
      {"--audio", ogg, "--quiet", "--trace", "-", std::string(LECTRYN_TEST_PAGES_DIR) + "/reading.htm"});
  ASSERT_EQ(0, whole.exitCode) << whole.err;
  EXPECT_EQ(R"({"event":"stop","reason":"end-of-page"})", Lines(whole.out).back());
  EXPECT_EQ(std::vector<std::string>{"reading.ogg"}, FilesIn(folder.Path("out")));
  EXPECT_TRUE(testing::ReadWhole(ogg).starts_with("OggS"));

  std::string wav = folder.Path("out/long.wav");
  Outcome interrupted =
      RunReader({"--audio", wav, "--quiet", "--trace", "-", LongPage(folder)},
                [](const std::string& out) { return out.find("\"word\"") != std::string::npos; });
  EXPECT_EQ(130, interrupted.exitCode) << interrupted.err;
  EXPECT_EQ("lectryn-read: nothing was written to " + wav + ": the reading did not end\n", interrupted.err);
  EXPECT_EQ(std::vector<std::string>{"reading.ogg"}, FilesIn(folder.Path("out")));
}

// The events of a trace, in order: "word", "end", ...
std::vector<std::string> Events(const std::vector<std::string>& lines) {
  std::vector<std::string> events;
  for (const std::string& line : lines) events.push_back(Field(line, "event"));
  return events;
}

// The voice loses its speech server in the second piece: the reading ends there, said once on standard
// error and in the trace, and the exit status is a failure.
TEST(ReadCommand, AVoiceThatFailsEndsTheReadingSaidOnceAndExitsOne) {
  std::string page = std::string(LECTRYN_TEST_PAGES_DIR) + "/reading.htm";
  Outcome outcome =
      RunReader({"--voice", "scripted", "--quiet", "--trace", "-", page}, {}, [](ReaderProcess& reader) {
        reader.SetEnvironment("LECTRYN_SCRIPTED_FAILURE=3:the speech server went away");
      });
  EXPECT_EQ(1, outcome.exitCode);
  EXPECT_EQ("lectryn-read: the speech server went away\n", outcome.err);
  std::vector<std::string> lines = Lines(outcome.out);
  EXPECT_EQ((std::vector<std::string>{"speak", "word", "word", "end", "speak", "word", "failed", "stop"}),
            Events(lines))
      << outcome.out;
  ASSERT_EQ(8u, lines.size());
  EXPECT_EQ(R"({"event":"failed","message":"the speech server went away"})", lines[6]);
  EXPECT_EQ(R"({"event":"stop","reason":"voice-failure"})", lines[7]);
}

// Desktop voices whose server cannot be reached: the reading ends at once with the reason said and
// traced, and a failure status.
TEST(ReadCommand, DesktopVoicesOutOfReachEndTheReadingWithAFailure) {
  std::string page = std::string(LECTRYN_TEST_PAGES_DIR) + "/reading.htm";
  Outcome outcome =
      RunReader({"--voice", "speechd", "--quiet", "--trace", "-", page}, {}, [](ReaderProcess& reader) {
        // Under a plain file no server can make its socket, whoever runs the test.
        std::string file = reader.Folder().Write("plain-file", "");
        reader.SetEnvironment("SPEECHD_ADDRESS=unix_socket:" + file + "/speechd.sock");
      });
  EXPECT_EQ(1, outcome.exitCode) << outcome.err;
  std::vector<std::string> lines = Lines(outcome.out);
  ASSERT_GE(lines.size(), 2u) << outcome.out;
  EXPECT_EQ(R"({"event":"stop","reason":"voice-failure"})", lines.back());
  std::vector<std::string> events = Events(lines);
  EXPECT_EQ(0, std::count(events.begin(), events.end(), "word")) << outcome.out;
  auto failed = std::find(events.begin(), events.end(), "failed");
  ASSERT_NE(events.end(), failed) << outcome.out;
  std::string message = Field(lines[failed - events.begin()], "message");
  EXPECT_FALSE(message.empty());
  EXPECT_NE(std::string::npos, outcome.err.find("lectryn-read: " + message + "\n")) << outcome.err;
}

TEST(ReadCommand, UnknownElementsAndMissingPagesAreOneLineErrors) {
  std::string page = std::string(LECTRYN_TEST_PAGES_DIR) + "/reading.htm";
  Outcome unknown = RunReader({"--voice", "scripted", "--quiet", "--element", "nope", page});
  EXPECT_EQ(1, unknown.exitCode);
  EXPECT_EQ("lectryn-read: no element with the id \"nope\" in file://" + page + "\n", unknown.err);
  Outcome missing = RunReader({"--voice", "scripted", "--quiet", "/nonexistent/page.htm"});
  EXPECT_EQ(1, missing.exitCode);
  EXPECT_EQ("lectryn-read: cannot read /nonexistent/page.htm: no such file\n", missing.err);
}

}  // namespace
}  // namespace lectryn::app
