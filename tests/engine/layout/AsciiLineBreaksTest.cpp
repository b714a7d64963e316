// Break opportunities between ASCII characters, checked against what a browser does with the
// same two or three characters in a zero-width box.
#include <gtest/gtest.h>

#include <string>

#include "engine/layout/AsciiLineBreaks.h"

namespace lectryn::engine::layout {
namespace {

struct BreakCase {
  const char* text;  // three characters: the one before the pair (or ' '), then the pair
  bool breaks;
};

class AsciiLineBreaksTest : public testing::TestWithParam<BreakCase> {};

TEST_P(AsciiLineBreaksTest, PairBreaksAsBrowsersDo) {
  const std::string text = GetParam().text;
  ASSERT_EQ(text.size(), 3U);
  char16_t first = text[0] == ' ' ? 0 : static_cast<char16_t>(text[0]);
  EXPECT_EQ(AsciiBreakBetween(first, static_cast<char16_t>(text[1]), static_cast<char16_t>(text[2])),
            GetParam().breaks);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, AsciiLineBreaksTest,
    testing::Values(BreakCase{" -D", true}, BreakCase{"a-b", true}, BreakCase{"a--", true},
                    BreakCase{"a-.", false}, BreakCase{"a-/", false}, BreakCase{"a-1", true},
                    BreakCase{" -1", false}, BreakCase{"c/s", false}, BreakCase{"a/.", false},
                    BreakCase{"${p", false}, BreakCase{"r[o", false}, BreakCase{"t]}", false},
                    BreakCase{"a)(", true}, BreakCase{"a,(", true}, BreakCase{"a,b", false},
                    BreakCase{"a.[", true}, BreakCase{"a'(", false}, BreakCase{"a?b", true},
                    BreakCase{"a?!", false}, BreakCase{"a?)", false}, BreakCase{"ab(", false},
                    BreakCase{"a:b", false}, BreakCase{"a|{", true}));

}  // namespace
}  // namespace lectryn::engine::layout
