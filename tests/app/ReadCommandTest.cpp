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
#include "settings/RegHelper.h"
#include "system/RegistryStore.h"

namespace lectryn::app {
namespace {

using testing::Outcome;
using testing::ReaderProcess;

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
  EXPECT_EQ("lectryn-read: no page given\n" + ReadUsage() + "\n", outcome.err);
  EXPECT_EQ(2, RunReader({"--frobnicate", kSample}).exitCode);
  Outcome help = RunReader({"--help"});
  EXPECT_EQ(0, help.exitCode);
  EXPECT_EQ(ReadUsage() + "\n", help.out);
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
    helper.WriteSetting("Rate", "300");
    helper.WriteSetting("Voice.fr", "roa/fr-BE");
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
