#include <gtest/gtest.h>

#include "narration/Narration.h"

namespace lectryn::narration {
namespace {

struct TrimCase {
  const char16_t* in;
  const char16_t* out;
};

class TrimLineBreaksTest : public ::testing::TestWithParam<TrimCase> {};

TEST_P(TrimLineBreaksTest, RemovesSpacesAndLineBreaksAtBothEndsOnly) {
  EXPECT_EQ(std::u16string(GetParam().out), TrimLineBreaks(GetParam().in));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TrimLineBreaksTest,
    ::testing::Values(TrimCase{u"  \r\nword\r\n  ", u"word"}, TrimCase{u"word\n", u"word"},
                      TrimCase{u"\rword", u"word"}, TrimCase{u"one\r\ntwo", u"one\r\ntwo"},
                      TrimCase{u"\tword\t", u"\tword\t"}, TrimCase{u"", u""}, TrimCase{u" \r\n \n\r  ", u""},
                      TrimCase{u" \r\n a b \r\n ", u"a b"}, TrimCase{u"\u00A0x\u00A0", u"\u00A0x\u00A0"}));

TEST(JoinLineBreaks, EachCrLfPairBecomesOneSpaceLoneBreaksStay) {
  EXPECT_EQ(u"one two", JoinLineBreaks(u"one\r\ntwo"));
  EXPECT_EQ(u"a  b", JoinLineBreaks(u"a\r\n\r\nb"));
  EXPECT_EQ(u"a\r b\n", JoinLineBreaks(u"a\r\r\nb\n"));
  EXPECT_EQ(u"", JoinLineBreaks(u""));
}

}  // namespace
}  // namespace lectryn::narration
