// Runs the built lectryn-read as a person would, and checks what it prints and how it exits.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/ReadOptions.h"
#include "engine/load/TempFolder.h"

extern char** environ;

namespace lectryn::app {
namespace {

struct Outcome {
  int exitCode = -1;
  std::string out;
  std::string err;
};

std::string ReadWhole(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream content;
  content << file.rdbuf();
  return content.str();
}

// Runs the reader; interruptWhen, if given, is asked with what it printed so far (every 20 ms, at
// most 20 s) and the reader gets Ctrl+C once it says yes.
Outcome RunReader(std::vector<std::string> arguments,
                  const std::function<bool(const std::string&)>& interruptWhen = {}) {
  engine::testing::TempFolder folder;
  std::string outPath = folder.Path("out");
  std::string errPath = folder.Path("err");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  arguments.insert(arguments.begin(), LECTRYN_READ_BINARY);
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  Outcome outcome;
  pid_t child = 0;
  if (posix_spawn(&child, LECTRYN_READ_BINARY, &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    if (interruptWhen) {
      for (int tries = 0; tries < 1000; ++tries) {
        if (interruptWhen(ReadWhole(outPath))) {
          kill(child, SIGINT);
          break;
        }
        usleep(20'000);
      }
    }
    waitpid(child, &status, 0);
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  outcome.out = ReadWhole(outPath);
  outcome.err = ReadWhole(errPath);
  return outcome;
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
  for (std::string line; std::getline(in, line);) lines.push_back(line);
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
  Outcome outcome = RunReader(
      {"--audio", "none", "--quiet", "--trace", "-", std::string(LECTRYN_TEST_PAGES_DIR) + "/reading.htm"},
      [](const std::string& out) { return out.find("\"word\"") != std::string::npos; });
  EXPECT_EQ(130, outcome.exitCode) << outcome.err;
  std::vector<std::string> lines = Lines(outcome.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(R"({"event":"stop","reason":"interrupted"})", lines.back());
  EXPECT_EQ(std::string::npos, outcome.out.find("Last one")) << "reading went on after Ctrl+C";
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
