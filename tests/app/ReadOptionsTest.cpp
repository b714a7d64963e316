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

class ReadCommandLineErrors : public ::testing::TestWithParam<BadLine> {};

TEST_P(ReadCommandLineErrors, SayWhatIsWrong) {
  ParsedCommandLine parsed = Parse(GetParam().arguments);
  EXPECT_FALSE(parsed.ok);
  EXPECT_FALSE(parsed.help);
  EXPECT_EQ(GetParam().error, parsed.error);
}

INSTANTIATE_TEST_SUITE_P(
    ReadCommandLine, ReadCommandLineErrors,
    ::testing::Values(BadLine{{}, "no page given"}, BadLine{{"--print-text"}, "no page given"},
                      BadLine{{"a.htm"}, "say what to do with the page: --print-text"},
                      BadLine{{"--print-text", "a.htm", "b.htm"},
                              "more than one page given: a.htm and b.htm"},
                      BadLine{{"--print-txt", "a.htm"}, "unknown option --print-txt"},
                      BadLine{{"--print-text=yes", "a.htm"}, "--print-text takes no value"}));

TEST(ReadCommandLine, HelpAndUsage) {
  EXPECT_TRUE(Parse({"--help"}).help);
  EXPECT_TRUE(Parse({"a.htm", "-h", "--bogus"}).help);
  EXPECT_EQ("usage: lectryn-read --print-text PAGE", ReadUsage());
}

}  // namespace
}  // namespace lectryn::app
