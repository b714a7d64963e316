#include "engine/load/Charset.h"

#include <gtest/gtest.h>

namespace lectryn::engine {
namespace {

const std::string kEAcuteUtf8 = "\xC3\xA9";
const std::string kReplacementUtf8 = "\xEF\xBF\xBD";

TEST(Charsets, ByteOrderMarkWinsOverEverything) {
  DecodedPage page = DecodeToUtf8("\xEF\xBB\xBF<p>\xC3\xA9</p>", "text/html; charset=windows-1252");
  EXPECT_EQ("UTF-8", page.charset);
  EXPECT_EQ("<p>" + kEAcuteUtf8 + "</p>", page.utf8);

  std::string utf16le("\xFF\xFE<\0p\0>\0\xE9\0", 10);
  page = DecodeToUtf8(utf16le, "text/html; charset=utf-8");
  EXPECT_EQ("<p>" + kEAcuteUtf8, page.utf8);

  std::string utf16be("\xFE\xFF\0<\0p\0>\0\xE9", 10);
  EXPECT_EQ("<p>" + kEAcuteUtf8, DecodeToUtf8(utf16be, "").utf8);
}

TEST(Charsets, HeaderWinsOverMeta) {
  DecodedPage page = DecodeToUtf8("<meta charset=utf-8><p>\xE9</p>", "text/html; Charset=\"ISO-8859-1\"");
  EXPECT_EQ("windows-1252", page.charset);
  EXPECT_EQ("<meta charset=utf-8><p>" + kEAcuteUtf8 + "</p>", page.utf8);
}

TEST(Charsets, MetaDeclarationsInTheFirstKilobyte) {
  EXPECT_EQ("windows-1252", PrescanCharset("<head><meta charset='windows-1252'>"));
  EXPECT_EQ("shift_jis",
            PrescanCharset("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=Shift_JIS\">"));
  EXPECT_EQ("koi8-r",
            PrescanCharset("<meta content='text/html;charset = \"koi8-r\"' http-equiv=content-type>"));
  // Not declarations: a comment, an attribute value of another tag, content without http-equiv.
  EXPECT_EQ("", PrescanCharset("<!-- <meta charset=koi8-r> --><p>"));
  EXPECT_EQ("", PrescanCharset("<a title='<meta charset=koi8-r>'>"));
  EXPECT_EQ("", PrescanCharset("<meta content='text/html; charset=koi8-r'>"));
  EXPECT_EQ("", PrescanCharset(std::string(1100, ' ') + "<meta charset=koi8-r>"));
  // An ASCII-readable page that claims UTF-16 is UTF-8.
  EXPECT_EQ("UTF-8", PrescanCharset("<meta charset=utf-16>"));
  // An unknown name is skipped for a later good one.
  EXPECT_EQ("koi8-r", PrescanCharset("<meta charset=no-such-thing><meta charset=koi8-r>"));
}

TEST(Charsets, ConvertsWhatIcuKnows) {
  EXPECT_EQ("<p>\xE3\x81\x82</p>", DecodeToUtf8("<p>\x82\xA0</p>", "text/html; charset=Shift_JIS").utf8);
  EXPECT_EQ("\xD0\x90", DecodeToUtf8("<meta charset=koi8-r>\xE1", "").utf8.substr(21));
  // 0x80 is the euro sign in windows-1252, which Latin-1 labels mean on the web.
  EXPECT_EQ("\xE2\x82\xAC", DecodeToUtf8("\x80", "text/html; charset=latin1").utf8);
}

TEST(Charsets, UnknownAndUnsafeNamesFallBackToUtf8) {
  EXPECT_EQ("UTF-8", DecodeToUtf8("x", "text/html; charset=no-such-charset").charset);
  EXPECT_EQ("", ConverterNameOf("utf-7"));
  EXPECT_EQ("", ConverterNameOf("UTF-32"));
  EXPECT_EQ("+ADw-", DecodeToUtf8("+ADw-", "text/html; charset=utf-7").utf8);
}

TEST(Charsets, InvalidBytesBecomeReplacementCharacters) {
  EXPECT_EQ("a" + kReplacementUtf8 + "b", DecodeToUtf8("a\xFF"
                                                       "b",
                                                       "")
                                              .utf8);
  EXPECT_EQ("a" + kReplacementUtf8 + "b", RepairUtf8("a\xC3"
                                                     "b"));                            // truncated
  EXPECT_EQ(kReplacementUtf8 + kReplacementUtf8, RepairUtf8("\xC0\xAF\xED\xA0\x80"));  // overlong, surrogate
  EXPECT_EQ(kReplacementUtf8, RepairUtf8("\xF4\x90\x80\x80"));                         // past U+10FFFF
  EXPECT_EQ("\xF0\x9F\x98\x80", RepairUtf8("\xF0\x9F\x98\x80"));
  // Bytes that Shift_JIS does not map: replacement characters too, not ICU's U+001A.
  std::string decoded = DecodeToUtf8("\x82\xFF!", "text/html; charset=Shift_JIS").utf8;
  EXPECT_NE(std::string::npos, decoded.find(kReplacementUtf8)) << decoded;
  EXPECT_EQ(std::string::npos, decoded.find('\x1A'));
  EXPECT_TRUE(decoded.ends_with("!"));
}

TEST(Charsets, ContentTypeParameters) {
  EXPECT_EQ("utf-8", CharsetOfContentType("text/html;charset=utf-8"));
  EXPECT_EQ("x", CharsetOfContentType("text/html; q=1; CHARSET = \"x\" "));
  EXPECT_EQ("", CharsetOfContentType("text/html"));
}

}  // namespace
}  // namespace lectryn::engine
