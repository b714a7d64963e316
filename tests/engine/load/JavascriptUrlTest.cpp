#include "engine/load/JavascriptUrl.h"

#include <gtest/gtest.h>

namespace lectryn::engine {
namespace {

struct LiteralCase {
  const char16_t* script;
  const char* value;  // nullptr: not a single string literal
};

class StringLiterals : public ::testing::TestWithParam<LiteralCase> {};

TEST_P(StringLiterals, GiveTheirValueOrNothing) {
  std::optional<std::string> value = StringLiteralValue(GetParam().script);
  if (GetParam().value == nullptr) {
    EXPECT_FALSE(value.has_value()) << *value;
  } else {
    EXPECT_EQ(GetParam().value, value.value_or("<none>"));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Javascript, StringLiterals,
    ::testing::Values(LiteralCase{u"'<b>x</b>'", "<b>x</b>"}, LiteralCase{u"\"it's\"", "it's"},
                      LiteralCase{u"  'a' ; ", "a"}, LiteralCase{u"''", ""},
                      LiteralCase{u"'a\\nb\\rc\\td'", "a\nb\rc\td"}, LiteralCase{u"'\\'\\\"\\\\'", "'\"\\"},
                      LiteralCase{u"'\\x41\\u00e9\\u{1F600}'", "A\xC3\xA9\xF0\x9F\x98\x80"},
                      LiteralCase{u"'\\uD83D\\uDE00'", "\xF0\x9F\x98\x80"},
                      LiteralCase{u"'\\uD83D'", "\xEF\xBF\xBD"},
                      LiteralCase{u"'a\\\nb\\\r\nc'", "abc"},  // line continuations
                      LiteralCase{u"'a' + 'b'", nullptr}, LiteralCase{u"'a'; 'b'", nullptr},
                      LiteralCase{u"'unclosed", nullptr}, LiteralCase{u"'a\nb'", nullptr},
                      LiteralCase{u"'\\x4'", nullptr}, LiteralCase{u"'\\u{110000}'", nullptr},
                      LiteralCase{u"alert(1)", nullptr}, LiteralCase{u"'a\"", nullptr},
                      LiteralCase{u"", nullptr}));

TEST(Javascript, OctalZeroKeepsItsNul) {
  EXPECT_EQ(std::string("A\0q", 3), StringLiteralValue(u"'\\101\\0\\q'").value());
}

TEST(Javascript, AddressesArePercentDecodedAndHashIsText) {
  EXPECT_EQ("<p style='color: #800080'>x y</p>",
            PageOfJavascriptUrl("javascript:\"<p style='color: #800080'>x%20y</p>\""));
  EXPECT_EQ("", PageOfJavascriptUrl("javascript:void(0)"));
  EXPECT_EQ("", PageOfJavascriptUrl("javascript:document.write('x')"));
  EXPECT_EQ("a", PageOfJavascriptUrl("JavaScript:%27a%27"));
}

}  // namespace
}  // namespace lectryn::engine
