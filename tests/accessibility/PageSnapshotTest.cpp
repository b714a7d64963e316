// Page snapshots: the text and elements our engine makes of a browser's tree, and where each
// character came from.
#include <gtest/gtest.h>

#include <functional>

#include "AxFixtures.h"
#include "accessibility/PageSnapshot.h"

namespace lectryn::accessibility {
namespace {

using testing::Box;
using testing::ChromiumParagraph;
using testing::Elements;
using testing::Hidden;
using testing::Origins;
using testing::Texted;

AxNode Document(std::vector<AxNode> children) {
  return Box(AxRole::Document, 1, std::move(children));
}

AxNode Heading(AxRef ref, int32_t level, const std::string& text) {
  AxNode heading = Texted(AxRole::Heading, ref, text, {}, {Texted(AxRole::Text, ref + 1, text)});
  heading.level = level;
  return heading;
}

AxNode ChromiumItem(AxRef ref, const std::string& text) {
  return Texted(AxRole::ListItem, ref, "\u2022 " + text, {},
                {Texted(AxRole::Text, ref + 1, "\u2022 "), Texted(AxRole::Text, ref + 2, text)});
}

struct SnapshotCase {
  const char* name;
  std::function<AxNode()> tree;
  const char* elements;
  const char* origins;
};

void PrintTo(const SnapshotCase& c, std::ostream* out) {
  *out << c.name;
}

class Snapshots : public ::testing::TestWithParam<SnapshotCase> {};

TEST_P(Snapshots, ElementsAndTextOrigins) {
  PageSnapshot snapshot = PageSnapshot::Build(GetParam().tree(), u"https://example.test/");
  EXPECT_EQ(GetParam().elements, Elements(snapshot));
  EXPECT_EQ(GetParam().origins, Origins(snapshot));
}

const SnapshotCase kSnapshots[] = {
    {"LinkInsideParagraphReadOnceFromItsOwnObject",
     [] {
       return Document({ChromiumParagraph(10, "The first paragraph has ", "a link inside", " and more.")});
     },
     "body#1(p#10(a#11))", "<10:0>The first paragraph has <11:0>a link inside<10:25> and more."},
    {"HeadingLevelsClampedAndDefaulted",
     [] {
       return Document({Heading(10, 3, "Three"), Heading(20, 0, "None"), Heading(30, 9, "Nine")});
     },
     "body#1(h3#10 h2#20 h6#30)", "<10:0>Three\n<20:0>None\n<30:0>Nine"},
    {"ListMarkersLeftOutOffsetsKept",
     [] {
       return Document({Box(AxRole::List, 10, {ChromiumItem(20, "First"), ChromiumItem(30, "Second")})});
     },
     "body#1(ul#10(li#20 li#30))", "<20:2>First\n<30:2>Second"},
    {"ChromiumTableOfSections",
     [] {
       auto cell = [](AxRef ref, const char* text) {
         return Box(AxRole::Cell, ref, {Texted(AxRole::Text, ref + 1, text)});
       };
       return Document({Box(AxRole::Table, 10,
                            {Box(AxRole::Row, 20, {cell(21, "a"), cell(23, "b")}),
                             Box(AxRole::Row, 30, {cell(31, "c"), cell(33, "d")})})});
     },
     "body#1(table#10(tbody(tr#20(td#21 td#23) tr#30(td#31 td#33))))", "<22:0>a\t<24:0>b\n<32:0>c\t<34:0>d"},
    {"FirefoxTableWithTextBetweenRowsAndARowGroup",
     [] {
       auto row = [](AxRef ref, const char* text) {
         return Texted(AxRole::Row, ref, "*", {0}, {Texted(AxRole::Cell, ref + 1, text)});
       };
       AxNode group = Texted(AxRole::Other, 15, "*", {0}, {row(30, "y")});
       return Document({Texted(AxRole::Table, 10, "*\n*", {0, 1}, {row(20, "x"), std::move(group)})});
     },
     "body#1(table#10(tbody(tr#20(td#21) tr#30(td#31))))", "<21:0>x\n<31:0>y"},
    {"TableWithACaptionWrittenAsDivisions",
     [] {
       return Document({Box(
           AxRole::Table, 10,
           {Texted(AxRole::Section, 11, "Caption"), Box(AxRole::Row, 20, {Texted(AxRole::Cell, 21, "x")})})});
     },
     "body#1(div#10(div#11 div#20(div#21)))", "<11:0>Caption\n<21:0>x"},
    {"NestedSectionsAndAParagraphHoldingAList",
     [] {
       AxNode list = Box(AxRole::List, 30, {Texted(AxRole::ListItem, 31, "item")});
       AxNode paragraph = Texted(AxRole::Paragraph, 20, "Intro *end", {0}, {std::move(list)});
       return Document({Box(AxRole::Section, 10, {Box(AxRole::Section, 11, {std::move(paragraph)})})});
     },
     "body#1(div#10(div#11(div#20(ul#30(li#31)))))", "<20:0>Intro \n<31:0>item\n<20:7>end"},
    {"ElementsTheParserWouldCloseEarly",
     [] {
       AxNode inner = Texted(AxRole::Link, 21, "in");
       AxNode outer = Texted(AxRole::Link, 20, "out *", {0}, {std::move(inner)});
       AxNode heading = Texted(AxRole::Heading, 30, "A*", {0}, {Texted(AxRole::Heading, 31, "B")});
       AxNode item = Texted(AxRole::ListItem, 40, "x*", {0}, {Texted(AxRole::ListItem, 41, "y")});
       return Document({std::move(outer), std::move(heading), std::move(item)});
     },
     "body#1(a#20 h2#30(div#31) li#40(div#41))", "<20:0>out <21:0>in\n<30:0>A\n<31:0>B\n<40:0>x\n<41:0>y"},
    {"EmbeddedIndexMissingOrOutOfRangeDropped",
     [] {
       return Document({Texted(AxRole::Paragraph, 10, "a*b*c*d", {-1, 7},
                               {Texted(AxRole::Link, 11, "never"), Texted(AxRole::Link, 12, "nor")})});
     },
     "body#1(p#10)", "<10:0>a<10:2>b<10:4>c<10:6>d"},
    {"FirefoxMarkAfterACharacterOutsideTheBmp",
     [] { return Document({Texted(AxRole::Paragraph, 10, "Second \U0001F600\uFEFF paragraph")}); },
     "body#1(p#10)", "<10:0>Second \U0001F600<10:9> paragraph"},
    {"HiddenAndPasswordLeftOut",
     [] {
       AxNode password = Texted(AxRole::Password, 12, "\u2022\u2022\u2022");
       AxNode secret = Texted(AxRole::Other, 13, "secret");
       secret.isProtected = true;
       return Document(
           {Texted(AxRole::Paragraph, 10, "Pin * ok *!", {0, 1}, {std::move(password), std::move(secret)}),
            Hidden(Texted(AxRole::Section, 20, "gone", {}, {Texted(AxRole::Link, 21, "x")}))});
     },
     "body#1(p#10)", "<10:0>Pin <10:5> ok <10:10>!"},
    {"LineBreaksInsideATextStay",
     [] { return Document({Texted(AxRole::Section, 10, "one\ntwo\r\nthree & <four>")}); }, "body#1(div#10)",
     "<10:0>one\ntwo\n<10:9>three & <four>"},
    {"FrameContentInADivision",
     [] {
       AxNode inner = Texted(AxRole::Document, 21, "*", {0}, {Texted(AxRole::Paragraph, 22, "framed")});
       return Document({Texted(AxRole::Paragraph, 10, "before"),
                        Texted(AxRole::Frame, 20, "*", {0}, {std::move(inner)})});
     },
     "body#1(p#10 div#20(p#22))", "<10:0>before\n<22:0>framed"},
    {"EmptyTree", [] { return Document({}); }, "body#1", ""},
};

INSTANTIATE_TEST_SUITE_P(BrowserTrees, Snapshots, ::testing::ValuesIn(kSnapshots),
                         [](const auto& info) { return std::string(info.param.name); });

// A place in the browser's text (a caret, a selection's end) found in the snapshot's text: on the
// character itself, on the next one that made text where it made none, after the object's last
// one past its end.
TEST(SnapshotPositions, ObjectOffsetsFindTheirUnits) {
  PageSnapshot snapshot = PageSnapshot::Build(
      Document({ChromiumParagraph(10, "The first paragraph has ", "a link inside", " and more.")}),
      u"https://example.test/");
  for (auto [object, offset] : {std::pair{10, 0}, {10, 4}, {11, 2}, {10, 26}}) {
    auto position = snapshot.PositionOf(object, offset);
    ASSERT_TRUE(position) << object << ":" << offset;
    auto origin = snapshot.OriginOfUnit(*position);
    ASSERT_TRUE(origin);
    EXPECT_EQ(object, origin->object);
    EXPECT_EQ(offset, origin->offset);
  }
  // Offset 24 is the link's U+FFFC: the link's own text stands there.
  auto embedded = snapshot.PositionOf(10, 24);
  ASSERT_TRUE(embedded);
  EXPECT_EQ(11, snapshot.OriginOfUnit(*embedded)->object);
  auto last = snapshot.PositionOf(10, 34);
  auto past = snapshot.PositionOf(10, 500);
  ASSERT_TRUE(last && past);
  EXPECT_EQ(*last + 1, *past);
  EXPECT_FALSE(snapshot.PositionOf(99, 0));
}

}  // namespace
}  // namespace lectryn::accessibility
