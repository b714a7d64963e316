// The reader on a terminal of its own: keys act on the reading, and the terminal gets its mode back
// however the program ends.
#include <gtest/gtest.h>
#include <termios.h>

#include <csignal>
#include <functional>
#include <string>

#include "app/ReaderKeys.h"
#include "app/ReaderProcess.h"

namespace lectryn::app {
namespace {

using testing::OnTerminal;
using testing::Outcome;
using testing::ReaderProcess;

const std::string kReading = std::string(LECTRYN_TEST_PAGES_DIR) + "/reading.htm";

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

int Count(const std::string& text, const std::string& part) {
  int count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

std::string LongPage(const engine::testing::TempFolder& folder) {
  std::string html = "<!DOCTYPE html><body>";
  for (int i = 1; i <= 20; ++i)
    html += "<p>Paragraph " + std::to_string(i) + " is read aloud. It has two sentences.</p>";
  return folder.Write("long.htm", html + "</body>");
}

TEST(ReaderOnATerminal, KeysChangeTheSpeedAndParagraphAndQuitEndsLikeCtrlC) {
  ReaderProcess reader(OnTerminal::Yes);
  std::string trace = reader.Folder().Path("trace.jsonl");
  ASSERT_TRUE(reader.Start({"--audio", "none", "--trace", trace, LongPage(reader.Folder())}));
  auto traced = [&](const std::string& part, int times = 1) {
    return ReaderProcess::WaitFor([&] {
      reader.Out();
      return Count(testing::ReadWhole(trace), part) >= times;
    });
  };
  ASSERT_TRUE(traced(R"("event":"word")"));
  reader.Type("+");
  EXPECT_TRUE(traced(R"("event":"rate","wpm":)"));
  reader.Type("\x1b[B");
  EXPECT_TRUE(traced(R"("text":"Paragraph 2 is read aloud)"));
  reader.Type("q");
  Outcome outcome = reader.Finish();
  EXPECT_EQ(130, outcome.exitCode) << outcome.err;
  std::string lines = testing::ReadWhole(trace);
  EXPECT_TRUE(Has(lines, R"({"event":"stop","reason":"interrupted")")) << lines;
  EXPECT_FALSE(Has(lines, "Paragraph 3")) << "reading went on after q";
  EXPECT_EQ(0, Count(lines, R"("event":"end")")) << "paragraph 1 was not cut short by the key: " << lines;
  EXPECT_TRUE(Has(outcome.out, kReaderKeysHelp)) << outcome.out;
  termios mode = reader.TerminalMode();
  EXPECT_TRUE((mode.c_lflag & ICANON) && (mode.c_lflag & ECHO))
      << "the terminal was left without line editing or echo";
}

struct Ending {
  const char* name;
  std::vector<std::string> arguments;  // the page comes last
  bool interrupt;                      // Ctrl+C once a word is shown
  int exitCode;
};

void PrintTo(const Ending& ending, std::ostream* out) {
  *out << ending.name;
}

class ReaderEndings : public ::testing::TestWithParam<Ending> {};

TEST_P(ReaderEndings, GiveTheTerminalItsModeBack) {
  ReaderProcess reader(OnTerminal::Yes);
  termios before = reader.TerminalMode();
  std::vector<std::string> arguments = GetParam().arguments;
  arguments.push_back(kReading);
  ASSERT_TRUE(reader.Start(arguments));
  if (GetParam().interrupt) {
    ASSERT_TRUE(ReaderProcess::WaitFor([&] { return Has(reader.Out(), "\x1b[7m"); }));
    reader.Signal(SIGINT);
  }
  Outcome outcome = reader.Finish();
  EXPECT_EQ(GetParam().exitCode, outcome.exitCode) << outcome.err;
  EXPECT_TRUE(Has(outcome.out, kReaderKeysHelp)) << "the keys were not taken: " << outcome.out;
  termios after = reader.TerminalMode();
  EXPECT_EQ(before.c_lflag, after.c_lflag);
  EXPECT_EQ(before.c_cc[VMIN], after.c_cc[VMIN]);
}

INSTANTIATE_TEST_SUITE_P(
    Endings, ReaderEndings,
    ::testing::Values(Ending{"AtTheEndOfThePage", {"--voice", "scripted"}, false, 0},
                      Ending{"OnCtrlC", {"--audio", "none"}, true, 130},
                      Ending{"OnAnError", {"--voice", "scripted", "--element", "nope"}, false, 1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lectryn::app
