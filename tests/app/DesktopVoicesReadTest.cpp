// lectryn-read with the desktop's voices, against a private speech-dispatcher: a whole page read with
// the selection on each spoken word, and a server that dies in the middle of a reading.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/ReaderProcess.h"
#include "speech/speechd/SpeechServer.h"

namespace lectryn::app {
namespace {

using speech::speechd::SpeechServer;
using testing::ReaderProcess;

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

// A string or number member of a trace line; empty when absent.
std::string Member(const std::string& line, const std::string& name) {
  size_t at = line.find("\"" + name + "\":");
  if (at == std::string::npos) return {};
  at += name.size() + 3;
  if (line[at] == '"') return line.substr(at + 1, line.find('"', at + 1) - at - 1);
  return line.substr(at, line.find_first_of(",}", at) - at);
}

std::vector<std::string> WordLines(const std::string& trace) {
  std::vector<std::string> words;
  for (const std::string& line : LinesOf(trace))
    if (Member(line, "event") == "word") words.push_back(line);
  return words;
}

TEST(DesktopVoicesRead, AWholePageWithTheSelectionOnEachSpokenWord) {
  SpeechServer server("espeak-ng");
  ASSERT_TRUE(server.Ready()) << server.Problem();
  std::string page = std::string(LECTRYN_TEST_PAGES_DIR) + "/reading.htm";
  auto read = [&](const std::vector<std::string>& voice) {
    ReaderProcess reader;
    reader.SetEnvironment("SPEECHD_ADDRESS=" + server.Address());
    std::vector<std::string> arguments = voice;
    for (const char* argument : {"--quiet", "--trace", "-"}) arguments.push_back(argument);
    arguments.push_back(page);
    EXPECT_TRUE(reader.Start(arguments));
    return reader.Finish();
  };
  auto desktop = read({"--voice", "speechd"});
  ASSERT_EQ(0, desktop.exitCode) << desktop.err;
  auto scripted = read({"--voice", "scripted", "--audio", "none"});
  std::vector<std::string> heard;
  std::vector<std::string> expected;
  for (const std::string& line : WordLines(desktop.out)) {
    heard.push_back(Member(line, "word"));
    EXPECT_EQ(Member(line, "word"), Member(line, "selection")) << line;
    EXPECT_EQ(std::string(), Member(line, "estimated")) << line;
  }
  for (const std::string& line : WordLines(scripted.out)) expected.push_back(Member(line, "word"));
  EXPECT_FALSE(heard.empty());
  EXPECT_EQ(expected, heard);
  EXPECT_EQ("end-of-page", Member(LinesOf(desktop.out).back(), "reason"));
}

TEST(DesktopVoicesRead, AServerThatDiesEndsTheReadingWithOneMessage) {
  SpeechServer server("espeak-ng");
  ASSERT_TRUE(server.Ready()) << server.Problem();
  ReaderProcess reader;
  std::string text;
  for (int i = 1; i <= 150; ++i) text += "This is sentence " + std::to_string(i) + " of a long page. ";
  std::string page = reader.Folder().Write("long.htm", "<p>" + text + "</p>");
  reader.SetEnvironment("SPEECHD_ADDRESS=" + server.Address());
  ASSERT_TRUE(reader.Start({"--voice", "speechd", "--quiet", "--trace", "-", page}));
  ASSERT_TRUE(ReaderProcess::WaitFor([&] { return WordLines(reader.Out()).size() >= 5; })) << reader.Out();
  server.Kill();
  auto outcome = reader.Finish();
  EXPECT_EQ(1, outcome.exitCode);
  std::vector<std::string> lines = LinesOf(outcome.out);
  auto failed = std::find_if(lines.begin(), lines.end(), [](const auto& l) { return Member(l, "event") == "failed"; });
  ASSERT_NE(lines.end(), failed) << outcome.out;
  EXPECT_NE(std::string::npos, Member(*failed, "message").find("speech-dispatcher"));
  // The words stop with the server; the failure follows within a second of the last one.
  std::vector<std::string> words = WordLines(outcome.out);
  ASSERT_FALSE(words.empty());
  EXPECT_LT(std::stoll(Member(*failed, "t")) - std::stoll(Member(words.back(), "t")), 1000);
  EXPECT_LT(words.size(), 900u);  // it did not read on to the end
  EXPECT_EQ(1, std::count(outcome.err.begin(), outcome.err.end(), '\n')) << outcome.err;
  EXPECT_EQ("voice-failure", Member(lines.back(), "reason"));
}

}  // namespace
}  // namespace lectryn::app
