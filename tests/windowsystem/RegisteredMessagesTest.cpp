// Registered message names: one number per name in any letter case, numbers in the platform's
// range, nothing for an empty name or once the range is used up.
#include "windowsystem/RegisteredMessages.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace lectryn::windowsystem {
namespace {

TEST(RegisteredMessages, NamesKeepTheirNumberInAnyLetterCase) {
  RegisteredMessages messages;
  uint32_t getObject = messages.Register("WM_HTML_GETOBJECT");
  uint32_t other = messages.Register("WM_OTHER");
  EXPECT_GE(getObject, RegisteredMessages::kFirst);
  EXPECT_LE(getObject, RegisteredMessages::kLast);
  EXPECT_NE(getObject, other);
  EXPECT_EQ(getObject, messages.Register("wm_html_getobject"));
  EXPECT_EQ(getObject, messages.Register("Wm_Html_GetObject"));
  EXPECT_EQ(other, messages.Register("WM_OTHER"));

  EXPECT_TRUE(messages.Is(getObject, "WM_HTML_GETOBJECT"));
  EXPECT_TRUE(messages.Is(getObject, "wm_html_getobject"));
  EXPECT_FALSE(messages.Is(other, "WM_HTML_GETOBJECT"));
  EXPECT_FALSE(messages.Is(getObject, "WM_NEVER_REGISTERED"));
  EXPECT_FALSE(messages.Is(0, ""));
}

TEST(RegisteredMessages, NamesThatOnlyLookAlikeAreDifferentMessages) {
  RegisteredMessages messages;
  std::set<uint32_t> numbers;
  // A prefix, a longer name, one character apart, and letters outside ASCII, which keep their case.
  for (std::string name : {"WM_A", "WM_AB", "WM_A ", "WM_B", "WM_\xC4", "WM_\xE4", "WM_@", "WM_`"})
    EXPECT_TRUE(numbers.insert(messages.Register(name)).second) << name;
  EXPECT_EQ(0u, numbers.count(0));
}

TEST(RegisteredMessages, EmptyNameRegistersNothing) {
  RegisteredMessages messages;
  EXPECT_EQ(0u, messages.Register(""));
  EXPECT_FALSE(messages.Known(0));
  EXPECT_FALSE(messages.Known(RegisteredMessages::kFirst)) << "the empty name took no number";
  uint32_t first = messages.Register("WM_FIRST");
  EXPECT_TRUE(messages.Known(first));
  EXPECT_EQ(0u, messages.Register(""));
  EXPECT_FALSE(messages.Is(0, ""));
}

TEST(RegisteredMessages, OnlyGivenNumbersAreKnown) {
  RegisteredMessages messages;
  uint32_t a = messages.Register("WM_A");
  uint32_t b = messages.Register("WM_B");
  messages.Register("wm_a");  // the same message again takes no number
  EXPECT_TRUE(messages.Known(a));
  EXPECT_TRUE(messages.Known(b));
  std::set<uint32_t> given{a, b};
  for (uint32_t msg : {0u, 0x1234u, RegisteredMessages::kFirst - 1, RegisteredMessages::kFirst + 2,
                       RegisteredMessages::kLast, 0xFFFFFFFFu})
    EXPECT_EQ(given.contains(msg), messages.Known(msg)) << std::hex << msg;
}

TEST(RegisteredMessages, UsedUpRangeGivesNothingButKeepsTheNamesItHas) {
  RegisteredMessages messages;
  const uint32_t count = RegisteredMessages::kLast - RegisteredMessages::kFirst + 1;
  std::set<uint32_t> numbers;
  for (uint32_t i = 0; i < count; ++i) numbers.insert(messages.Register("WM_" + std::to_string(i)));
  EXPECT_EQ(count, numbers.size());
  EXPECT_EQ(RegisteredMessages::kFirst, *numbers.begin());
  EXPECT_EQ(RegisteredMessages::kLast, *numbers.rbegin());
  EXPECT_EQ(0u, messages.Register("WM_ONE_TOO_MANY"));
  EXPECT_FALSE(messages.Known(RegisteredMessages::kLast + 1));
  EXPECT_NE(0u, messages.Register("wm_7")) << "a name given a number keeps it";
}

}  // namespace
}  // namespace lectryn::windowsystem
