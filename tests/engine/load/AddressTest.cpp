#include "engine/load/Address.h"

#include <gtest/gtest.h>

#include "platform/AddressText.h"
#include "platform/Text.h"

namespace lectryn::engine {
namespace {

struct ResolveCase {
  const char* base;
  const char* reference;
  const char* expected;  // nullptr: no result
};

class Resolving : public ::testing::TestWithParam<ResolveCase> {};

TEST_P(Resolving, FrameSourcesAgainstTheirPage) {
  const ResolveCase& c = GetParam();
  std::optional<std::string> resolved = ResolveAddress(c.base, c.reference);
  if (c.expected == nullptr) {
    EXPECT_FALSE(resolved.has_value()) << *resolved;
  } else {
    EXPECT_EQ(c.expected, resolved.value_or("<none>"));
  }
}

INSTANTIATE_TEST_SUITE_P(Addresses, Resolving,
                         ::testing::Values(ResolveCase{"http://a/b/c/d;p?q", "g", "http://a/b/c/g"},
                                           ResolveCase{"http://a/b/c/d;p?q", "./g/", "http://a/b/c/g/"},
                                           ResolveCase{"http://a/b/c/d;p?q", "/g", "http://a/g"},
                                           ResolveCase{"http://a/b/c/d;p?q", "//g", "http://g"},
                                           ResolveCase{"http://a/b/c/d;p?q", "?y", "http://a/b/c/d;p?y"},
                                           ResolveCase{"http://a/b/c/d;p?q", "#s", "http://a/b/c/d;p?q#s"},
                                           ResolveCase{"http://a/b/c/d;p?q", "../../g", "http://a/g"},
                                           ResolveCase{"http://a/b/c/d;p?q", "../../../../g", "http://a/g"},
                                           ResolveCase{"http://a/b/c/d;p?q", "..", "http://a/b/"},
                                           ResolveCase{"http://a", "f.htm", "http://a/f.htm"},
                                           ResolveCase{"file:///home/u/pages/top.htm", "inner/f.htm",
                                                       "file:///home/u/pages/inner/f.htm"},
                                           ResolveCase{"file:///home/u/top.htm", "  \tf\n.htm ",
                                                       "file:///home/u/f.htm"},
                                           ResolveCase{"http://a/b", "HTTPS://x/./y/../z", "https://x/z"},
                                           ResolveCase{"about:blank", "f.htm", nullptr},
                                           ResolveCase{"http://a/b", "   ", nullptr}));

TEST(Addresses, KindsAndPlainPaths) {
  EXPECT_EQ(AddressKind::File, KindOf("/tmp/a.htm"));
  EXPECT_EQ(AddressKind::File, KindOf("pages/a:b.htm"));
  EXPECT_EQ(AddressKind::File, KindOf("FILE:///tmp/a.htm"));
  EXPECT_EQ(AddressKind::Http, KindOf("HTTPS://example.org/"));
  EXPECT_EQ(AddressKind::AboutBlank, KindOf("About:Blank"));
  EXPECT_EQ(AddressKind::Javascript, KindOf("JavaScript:'x'"));
  EXPECT_EQ(AddressKind::Unsupported, KindOf("ftp://example.org/"));
  EXPECT_EQ(AddressKind::Unsupported, KindOf("about:config"));
}

TEST(Addresses, FileUrlsRoundTripAndDecode) {
  EXPECT_EQ("file:///a%20b/%23c%3F/%C3%A9.htm", FileUrlFromPath("/a b/#c?/\xC3\xA9.htm"));
  EXPECT_EQ("/a b/#c?/\xC3\xA9.htm", PathFromFileUrl(FileUrlFromPath("/a b/#c?/\xC3\xA9.htm")).value());
  EXPECT_EQ("/x/y.htm", PathFromFileUrl("file://localhost/x/y.htm#top").value());
  EXPECT_EQ("/x/y.htm", PathFromFileUrl("file:///x/y.htm?q=1").value());
  EXPECT_FALSE(PathFromFileUrl("file://server/share/y.htm").has_value());
  EXPECT_FALSE(PathFromFileUrl("http://a/y.htm").has_value());
  EXPECT_EQ("100%", PercentDecode("100%"));
  EXPECT_EQ("%zz%4", PercentDecode("%zz%4"));
}

TEST(Addresses, PlainPathsBecomeAbsoluteFileUrls) {
  EXPECT_EQ("file:///tmp/a%20b.htm", NormalizeAddress("/tmp/x/../a b.htm"));
  std::string relative = NormalizeAddress("a.htm");
  EXPECT_TRUE(relative.starts_with("file:///")) << relative;
  EXPECT_TRUE(relative.ends_with("/a.htm")) << relative;
  EXPECT_EQ("http://a/b", NormalizeAddress("http://a/b"));
  // A program folder joined with a backslash and "Help.htm" still names the file.
  EXPECT_EQ("file:///opt/lectryn/Help.htm", NormalizeAddress("file:///opt/lectryn\\Help.htm"));
  EXPECT_EQ("/opt/lectryn/Help.htm", PathFromFileUrl("file:///opt/lectryn\\Help.htm").value());
  EXPECT_EQ("http://a/b/c?x=\\", NormalizeAddress("http://a\\b\\c?x=\\"));
  EXPECT_EQ("javascript:'\\n'", NormalizeAddress("javascript:'\\n'"));
  EXPECT_EQ("file:///tmp/a%5Cb.htm", NormalizeAddress("/tmp/a\\b.htm"));  // a plain path keeps its backslash
}

TEST(Addresses, FramesShareTheirPagesOrigin) {
  EXPECT_TRUE(SameOrigin("http://127.0.0.1:8080/a", "http://127.0.0.1:8080/b/c"));
  EXPECT_TRUE(SameOrigin("http://Host/a", "http://host:80/b"));
  EXPECT_FALSE(SameOrigin("http://127.0.0.1:8080/a", "http://localhost:8080/a"));
  EXPECT_FALSE(SameOrigin("http://127.0.0.1:8080/a", "http://127.0.0.1:8081/a"));
  EXPECT_FALSE(SameOrigin("http://host/a", "https://host/a"));
  EXPECT_FALSE(SameOrigin("http://user@evil:1@host/a", "http://evil/a"));
  EXPECT_TRUE(SameOrigin("file:///a/top.htm", "file:///b/frame.htm"));
  EXPECT_FALSE(SameOrigin("http://host/a", "file:///etc/passwd"));
  EXPECT_FALSE(SameOrigin("file:///a/top.htm", "http://host/a"));
  EXPECT_TRUE(SameOrigin("http://host/a", "about:blank"));
}

// What every reader of typed, dropped and linked addresses relies on.
TEST(AddressText, SchemesHostNamesAndTrimming) {
  EXPECT_EQ("https", platform::SchemeOf("HTTPS://example.org/"));
  EXPECT_EQ("view-source+x.y", platform::SchemeOf("view-source+x.y:a"));
  EXPECT_EQ("mailto", platform::SchemeOf("mailto:me@example.com"));
  EXPECT_EQ("", platform::SchemeOf("c:/pages/a.htm"));  // a drive letter
  EXPECT_EQ("", platform::SchemeOf("localhost:8080/page"));
  EXPECT_EQ("", platform::SchemeOf("example.com:80"));
  EXPECT_EQ("", platform::SchemeOf("pages/a:b.htm"));
  EXPECT_EQ("", platform::SchemeOf("1x:y"));
  EXPECT_EQ("", platform::SchemeOf(":x"));

  EXPECT_TRUE(platform::StartsWithHostName("www.example.com"));
  EXPECT_TRUE(platform::StartsWithHostName("localhost:8080/a"));
  EXPECT_TRUE(platform::StartsWithHostName("intranet/page"));
  EXPECT_FALSE(platform::StartsWithHostName("intranet"));
  EXPECT_FALSE(platform::StartsWithHostName("-x.example.com/a"));
  EXPECT_FALSE(platform::StartsWithHostName("host:port/a"));
  EXPECT_FALSE(platform::StartsWithHostName("a b/c"));
  EXPECT_FALSE(platform::StartsWithHostName("/tmp/a.htm"));

  EXPECT_EQ("a b", platform::TrimAsciiSpace("\t\r\n a b \f\v\x01"));
  EXPECT_EQ("", platform::TrimAsciiSpace(" \n "));
  // Bytes of UTF-8 characters are not white space, whatever the sign of char.
  EXPECT_EQ("\xC3\xA9", platform::TrimAsciiSpace(" \xC3\xA9 "));
  EXPECT_EQ(u"\u00A0x\u2003", platform::TrimAsciiSpace(u"\n\u00A0x\u2003\t"));
}

}  // namespace
}  // namespace lectryn::engine
