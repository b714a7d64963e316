// What a drop opens, the same for the main window and page windows: links before text, local
// files as paths, every non-blank line of dropped text.
#include "desktop/DroppedAddresses.h"

#include <gtest/gtest.h>

#include <QMimeData>
#include <QUrl>

#include "desktop/GuiApplication.h"

namespace lectryn::desktop {
namespace {

using Addresses = std::vector<std::u16string>;

TEST(DroppedAddresses, LinksComeFirstAndLocalFilesOpenByTheirPaths) {
  EXPECT_EQ((Addresses{u"/tmp/a b/\u00E9#1?.htm", u"/x/y.htm", u"http://example.org/a%20b?q=1#top",
                       u"file://server/share/p.htm"}),
            DroppedAddresses({"file:///tmp/a%20b/%C3%A9%231%3F.htm", " file://localhost/x/y.htm\r\n",
                              "http://example.org/a%20b?q=1#top", "file://server/share/p.htm", ""},
                             u"ignored when there are links"));
}

TEST(DroppedAddresses, TextGivesEachLineThatIsNotBlank) {
  EXPECT_EQ((Addresses{u"example.org/a", u"/tmp/b c.htm"}),
            DroppedAddresses({}, u"\r\n  example.org/a \r\n\t\r\n/tmp/b c.htm"));
  EXPECT_EQ(Addresses{}, DroppedAddresses({}, u" \n\t\r\n"));
  EXPECT_EQ(Addresses{}, DroppedAddresses({""}, u""));
}

// Qt hands over the drop's links as QUrls: a file name with characters that mean something in an
// address must come back as that same file.
TEST(DroppedAddresses, QtDropsOfFilesAndText) {
  testing::EnsureGuiApplication();
  QMimeData files;
  files.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/50% off #2?.htm")),
                 QUrl(QStringLiteral("https://example.org/d\u00E9j\u00E0"))});
  files.setText(QStringLiteral("/tmp/other.htm"));
  EXPECT_EQ((Addresses{u"/tmp/50% off #2?.htm", u"https://example.org/d%C3%A9j%C3%A0"}),
            DroppedAddresses(files));

  QMimeData text;
  text.setText(QStringLiteral("  /tmp/one.htm\n\nhttp://example.org/two  "));
  EXPECT_EQ((Addresses{u"/tmp/one.htm", u"http://example.org/two"}), DroppedAddresses(text));
  EXPECT_EQ(Addresses{}, DroppedAddresses(QMimeData()));
}

}  // namespace
}  // namespace lectryn::desktop
