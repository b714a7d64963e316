// Runs the built lectryn-read as a person would, and checks what it prints and how it exits.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/load/TempFolder.h"

extern char** environ;

namespace lectryn::engine {
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

Outcome RunReader(std::vector<std::string> arguments) {
  testing::TempFolder folder;
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
  EXPECT_EQ("lectryn-read: no page given\nusage: lectryn-read --print-text PAGE\n", outcome.err);
  EXPECT_EQ(2, RunReader({"--frobnicate", kSample}).exitCode);
  Outcome help = RunReader({"--help"});
  EXPECT_EQ(0, help.exitCode);
  EXPECT_EQ("usage: lectryn-read --print-text PAGE\n", help.out);
}

}  // namespace
}  // namespace lectryn::engine
