#include "desktop/QtFontMetrics.h"

#include <gtest/gtest.h>

#include <QFontDatabase>

#include "desktop/GuiApplication.h"

namespace lectryn::engine::layout {
void PrintTo(const FontDescription& font, std::ostream* out) {
  *out << "{\"" << font.family << "\" " << font.sizePx << "px " << font.weight
       << (font.italic ? " italic}" : "}");
}
}  // namespace lectryn::engine::layout

namespace lectryn::desktop {
namespace {

using engine::layout::FontDescription;

class QtFontMetricsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::EnsureGuiApplication(); }
  QtFontMetrics metrics_;
};

class EveryFont : public QtFontMetricsTest, public ::testing::WithParamInterface<FontDescription> {};

TEST_P(EveryFont, MeasuresConsistently) {
  FontDescription font = GetParam();
  auto vertical = metrics_.Vertical(font);
  EXPECT_GT(vertical.ascent, 0);
  EXPECT_GT(vertical.descent, 0);
  EXPECT_GE(vertical.lineSpacing, vertical.ascent + vertical.descent);
  EXPECT_LT(vertical.lineSpacing, 2 * font.sizePx);

  float hello = metrics_.Advance(font, u"Hello");
  EXPECT_GT(hello, 0);
  EXPECT_GT(metrics_.Advance(font, u"Hello world"), hello);
  EXPECT_EQ(metrics_.Advance(font, u"Hello"), hello) << "a cached advance differs";

  std::u16string text = u"Wave a\U0001F600b";  // a surrogate pair near the end
  std::vector<float> xs;
  metrics_.CaretPositions(font, text, xs);
  ASSERT_EQ(xs.size(), text.size() + 1);
  EXPECT_EQ(xs.front(), 0);
  EXPECT_FLOAT_EQ(xs.back(), metrics_.Advance(font, text));
  for (size_t i = 1; i < xs.size(); ++i) EXPECT_GE(xs[i], xs[i - 1]) << "at " << i;
  EXPECT_GT(xs[1], 0);
  EXPECT_EQ(xs[7], xs[6]) << "between the halves of the pair";
  EXPECT_GT(xs[8], xs[7]);
  EXPECT_FLOAT_EQ(xs[5], metrics_.Advance(font, u"Wave "));
}

INSTANTIATE_TEST_SUITE_P(Fonts, EveryFont,
                         ::testing::Values(FontDescription{}, FontDescription{"sans-serif", 13.333333F},
                                           FontDescription{"monospace", 13, 700},
                                           FontDescription{"verdana, arial", 10, 400, true},
                                           FontDescription{"\"dejavu serif\"", 32, 900}));

TEST_F(QtFontMetricsTest, FamilyListFallsBackAsBrowsersDo) {
  QString standard = metrics_.ResolveFamily("");
  EXPECT_FALSE(standard.isEmpty());
  EXPECT_EQ(metrics_.ResolveFamily("no such family"), standard);
  EXPECT_EQ(metrics_.ResolveFamily("serif"), standard);
  EXPECT_EQ(metrics_.ResolveFamily("no such family, monospace"), metrics_.ResolveFamily("monospace"));
  EXPECT_NE(metrics_.ResolveFamily("monospace"), standard);
  EXPECT_EQ(metrics_.ResolveFamily(" 'DejaVu Sans' , serif"), "DejaVu Sans");
  EXPECT_EQ(metrics_.ResolveFamily("\"dejavu   sans\""), "DejaVu Sans");
  // A family that is not installed is skipped, even where fontconfig would substitute another.
  if (!QFontDatabase::hasFamily("Verdana")) {
    EXPECT_EQ(metrics_.ResolveFamily("verdana, monospace"), metrics_.ResolveFamily("monospace"));
  }
  // Metric-compatible replacements are taken for the families they stand in for.
  EXPECT_EQ(metrics_.ResolveFamily("helvetica"), metrics_.ResolveFamily("arial"));
  EXPECT_EQ(metrics_.Advance({"no such family"}, u"Lorem ipsum"), metrics_.Advance({}, u"Lorem ipsum"));
}

TEST_F(QtFontMetricsTest, BoldAndSizeChangeWidth) {
  FontDescription regular{"sans-serif", 16};
  FontDescription bold = regular;
  bold.weight = 700;
  EXPECT_GT(metrics_.Advance(bold, u"Lorem ipsum"), metrics_.Advance(regular, u"Lorem ipsum"));
  // Fractional sizes are honoured, not rounded to whole pixels: 10pt is 13.33px.
  FontDescription tenPoint{"sans-serif", 40.0F / 3};
  EXPECT_NEAR(metrics_.Advance(tenPoint, u"Lorem ipsum dolor sit amet") /
                  metrics_.Advance(regular, u"Lorem ipsum dolor sit amet"),
              (40.0 / 3) / 16, 0.005);
}

// The figures a browser gives for fonts named by family, which every machine that builds the program
// has (the DejaVu and Liberation fonts): the width of a text and the normal line height. Generic
// families are left out here: which font they stand for is the machine's choice.
struct BrowserFigure {
  FontDescription font;
  std::u16string text;
  float width;
  float lineHeight;
};

void PrintTo(const BrowserFigure& figure, std::ostream* out) {
  engine::layout::PrintTo(figure.font, out);
  *out << " " << figure.text.size() << " units";
}

class MatchesBrowser : public QtFontMetricsTest, public ::testing::WithParamInterface<BrowserFigure> {};

TEST_P(MatchesBrowser, WidthAndNormalLineHeight) {
  const BrowserFigure& figure = GetParam();
  // Within 1/500 px a character: whole-pixel font sizes or advances rounded to 1/64 px fail.
  EXPECT_NEAR(metrics_.Advance(figure.font, figure.text), figure.width, 0.002 * figure.text.size());
  EXPECT_EQ(metrics_.Vertical(figure.font).lineSpacing, figure.lineHeight);
}

const std::u16string kSentence = u"The quick brown fox jumps over the lazy dog, 0123456789.";

INSTANTIATE_TEST_SUITE_P(
    Fonts, MatchesBrowser,
    ::testing::Values(BrowserFigure{{"Liberation Serif", 16}, kSentence, 384.375F, 18},
                      BrowserFigure{{"Liberation Serif", 13.333333F}, kSentence, 320.1875F, 16},
                      BrowserFigure{{"Liberation Sans", 16}, kSentence, 418.921875F, 18},
                      BrowserFigure{{"no such family, arial, helvetica", 16}, kSentence, 418.921875F, 18},
                      BrowserFigure{{"dejavu serif", 16}, kSentence, 481.734375F, 19},
                      BrowserFigure{{"DejaVu Sans Mono", 16}, kSentence, 539.4375F, 19},
                      BrowserFigure{{"Liberation Serif", 32}, kSentence, 768.75F, 37},
                      BrowserFigure{{"Liberation Serif", 16}, u"iiiiiiiiii", 44.45F, 18},
                      BrowserFigure{{"Liberation Serif", 44.0F / 3}, u"iiiiiiiiii", 40.73F, 17}));

// Generic families stand for fonts that the machine chooses: each is an installed family of its
// kind and measures as that family does by name.
TEST_F(QtFontMetricsTest, GenericFamiliesAreInstalledFamiliesOfTheirKind) {
  QStringList installed = QFontDatabase::families();
  for (const char* generic : {"", "serif", "sans-serif", "monospace", "cursive", "fantasy"}) {
    QString family = metrics_.ResolveFamily(generic);
    EXPECT_TRUE(installed.contains(family)) << generic << " as " << family.toStdString();
    for (float sizePx : {16.0F, 40.0F / 3}) {
      FontDescription asGeneric{generic, sizePx};
      FontDescription asNamed{"\"" + family.toStdString() + "\"", sizePx};
      EXPECT_EQ(metrics_.Advance(asGeneric, kSentence), metrics_.Advance(asNamed, kSentence))
          << generic << " as " << family.toStdString();
      EXPECT_EQ(metrics_.Vertical(asGeneric).lineSpacing, metrics_.Vertical(asNamed).lineSpacing)
          << generic << " as " << family.toStdString();
    }
  }
  FontDescription monospace{"monospace", 16};
  EXPECT_FLOAT_EQ(metrics_.Advance(monospace, u"iiiiiiii"), metrics_.Advance(monospace, u"MMMMMMMM"));
  FontDescription sansSerif{"sans-serif", 16};
  EXPECT_LT(metrics_.Advance(sansSerif, u"iiiiiiii"), metrics_.Advance(sansSerif, u"MMMMMMMM"));
}

}  // namespace
}  // namespace lectryn::desktop
