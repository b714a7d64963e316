#include "system/Hive.h"

#include <gtest/gtest.h>

#include <string>

namespace lectryn::system {
namespace {

using platform::REG_BINARY;
using platform::REG_DWORD;
using platform::REG_SZ;

Hive Parsed(const std::string& text) {
  Hive hive;
  HiveParse parse = Hive::Parse(text, hive);
  EXPECT_EQ(HiveParse::Outcome::Parsed, parse.outcome) << parse.problem;
  return hive;
}

TEST(HiveText, RoundTripKeepsAwkwardNamesTypesAndBytes) {
  Hive hive;
  bool created = false;
  HiveKey& key = hive.CreateKey("Software\\A b%c@d\\1.00b", created);
  key.denied = 0x3F;
  key.values.push_back({"", REG_SZ, {'x', 0}});
  key.values.push_back({"two words\nand\ttab", REG_BINARY, {0, 0xFF, 0x25}});
  key.values.push_back({"@", 4242, {}});
  key.values.push_back({"caf\xc3\xa9", REG_DWORD, {1, 2, 3, 4, 5, 6, 7, 8}});
  HiveKey& root = hive.CreateKey("", created);
  root.values.push_back({"atRoot", REG_SZ, {}});

  EXPECT_EQ(hive, Parsed(hive.Serialize()));
}

TEST(HiveText, IsOneReadableLinePerItemAndAcceptsCommentsAndCrLf) {
  Hive hive = Parsed(
      "lectryn-hive 1\r\n"
      "# written by the administrator\r\n"
      "\r\n"
      "key SOFTWARE\\Shared%20Tools\\MSINFO\r\n"
      "deny 0x2\r\n"
      "value PATH REG_SZ 2f62696e2f747275650000\r\n"
      "end\r\n");
  const HiveKey* key = hive.FindKey("software\\shared tools\\msinfo");
  ASSERT_NE(nullptr, key);
  EXPECT_EQ("SOFTWARE\\Shared Tools\\MSINFO", key->path);
  EXPECT_EQ(0x2u, key->denied);
  ASSERT_NE(nullptr, key->FindValue("path"));
  EXPECT_EQ(11u, key->FindValue("path")->data.size());
  // Parents of a key exist as keys of their own.
  EXPECT_NE(nullptr, hive.FindKey("Software\\Shared Tools"));
}

TEST(HiveKeys, CreateKeepsTheFirstSpellingAndFindsAnyCase) {
  Hive hive;
  bool created = false;
  hive.CreateKey("Software\\Corvath", created);
  EXPECT_TRUE(created);
  hive.CreateKey("SOFTWARE\\corvath", created);
  EXPECT_FALSE(created);
  ASSERT_NE(nullptr, hive.FindKey("software\\CORVATH"));
  EXPECT_EQ("Software\\Corvath", hive.FindKey("software\\CORVATH")->path);
  EXPECT_EQ(nullptr, hive.FindKey("Software\\Corvat"));
}

struct PathCase {
  const char* subKey;
  bool valid;
  const char* joined;
};

class KeyPaths : public ::testing::TestWithParam<PathCase> {};

TEST_P(KeyPaths, AreCheckedAndJoined) {
  std::string joined;
  EXPECT_EQ(GetParam().valid, JoinKeyPath("Software", GetParam().subKey, joined));
  if (GetParam().valid) {
    EXPECT_EQ(GetParam().joined, joined);
  }
}

INSTANTIATE_TEST_SUITE_P(Hive, KeyPaths,
                         ::testing::Values(PathCase{"", true, "Software"},
                                           PathCase{"A\\B", true, "Software\\A\\B"},
                                           PathCase{"A\\", true, "Software\\A"}, PathCase{"\\A", false, ""},
                                           PathCase{"A\\\\B", false, ""}, PathCase{"\\", true, "Software"}));

TEST(KeyPaths, RejectNulAndOverlongComponents) {
  std::string joined;
  EXPECT_FALSE(JoinKeyPath("", std::string("a\0b", 3), joined));
  EXPECT_TRUE(JoinKeyPath("", std::string(kMaxKeyNameBytes, 'k'), joined));
  EXPECT_FALSE(JoinKeyPath("", std::string(kMaxKeyNameBytes + 1, 'k'), joined));
}

class DamagedHiveText : public ::testing::TestWithParam<const char*> {};

TEST_P(DamagedHiveText, IsRejectedWhole) {
  Hive hive;
  HiveParse parse = Hive::Parse(GetParam(), hive);
  EXPECT_EQ(HiveParse::Outcome::Damaged, parse.outcome);
  EXPECT_FALSE(parse.problem.empty());
  EXPECT_TRUE(hive.Keys().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Hive, DamagedHiveText,
    ::testing::Values("", "garbage\n", "lectryn-hive 1\n", "lectryn-hive 1\nkey A\nvalue x REG_SZ 3100\nen",
                      "lectryn-hive 1\nkey A\nvalue x REG_SZ 3100\n",  // cut off before the end line
                      "lectryn-hive 1\nkey A\nvalue x REG_SZ 310\nend\n",
                      "lectryn-hive 1\nkey A\nvalue x REG_SZ zz\nend\n",
                      "lectryn-hive 1\nkey A\nvalue x REG_WHAT 31\nend\n",
                      "lectryn-hive 1\nvalue x REG_SZ 31\nend\n",  // value outside a key
                      "lectryn-hive 1\nkey A\nvalue x REG_SZ 31\nvalue X REG_SZ 32\nend\n",
                      "lectryn-hive 1\nkey A\\\\B\nend\n", "lectryn-hive 1\nkey A%2\nend\n",
                      "lectryn-hive 1\nkey A\nfuture-line 1\nend\n", "lectryn-hive 1\nend\nkey B\n",
                      "lectryn-hive 0\nend\n",
                      "\x7f"
                      "ELF\x02\x01\n"));

TEST(HiveText, NewerFormatIsToldApartFromDamage) {
  Hive hive;
  HiveParse parse = Hive::Parse("lectryn-hive 2\nsomething new\n", hive);
  EXPECT_EQ(HiveParse::Outcome::NewerFormat, parse.outcome);
}

}  // namespace
}  // namespace lectryn::system
