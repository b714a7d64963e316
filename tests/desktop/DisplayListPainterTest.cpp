#include "desktop/DisplayListPainter.h"

#include <gtest/gtest.h>

#include <QImage>

#include "desktop/GuiApplication.h"

namespace lectryn::desktop {
namespace {

namespace layout = engine::layout;
namespace css = engine::css;

constexpr css::Color kRed{255, 0, 0, 255};
constexpr css::Color kBlue{0, 0, 255, 255};
constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kGreen = 0xFF00FF00;

class DisplayListPainterTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::EnsureGuiApplication(); }

  // Paints onto a 100 x 100 green image, exposing `exposed` (the whole image by default).
  QImage Render(const layout::DisplayList& list, layout::Point scroll = {},
                QRectF exposed = {0, 0, 100, 100}) {
    QImage image(100, 100, QImage::Format_ARGB32);
    image.fill(kGreen);
    QPainter painter(&image);
    DisplayListPainter(fonts_).Paint(painter, list, scroll, exposed);
    return image;
  }
  static layout::DisplayList List(std::vector<layout::DisplayItem> items) {
    layout::DisplayList list;
    list.area = {0, 0, 100, 100};
    list.items = std::move(items);
    return list;
  }
  // How many pixels of the area have exactly that colour.
  static int Count(const QImage& image, QRect area, QRgb color) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
      for (int x = area.left(); x <= area.right(); ++x) count += image.pixel(x, y) == color ? 1 : 0;
    return count;
  }

  QtFontMetrics fonts_;
};

TEST_F(DisplayListPainterTest, FillsExactlyTheRectAtTheScrollOffset) {
  auto list = List({layout::FillRectItem{{10, 10, 20, 20}, kRed}});
  QImage still = Render(list);
  EXPECT_EQ(Count(still, {10, 10, 20, 20}, qRgb(255, 0, 0)), 400);
  EXPECT_EQ(Count(still, {0, 0, 100, 100}, qRgb(255, 0, 0)), 400);
  EXPECT_EQ(still.pixel(9, 9), kWhite) << "the canvas colour under everything";

  QImage scrolled = Render(list, {5, 8});
  EXPECT_EQ(Count(scrolled, {5, 2, 20, 20}, qRgb(255, 0, 0)), 400);
  EXPECT_EQ(scrolled.pixel(26, 15), kWhite);
}

TEST_F(DisplayListPainterTest, PaintsNothingOutsideTheExposedRectOrAClip) {
  auto list = List({layout::PushClipItem{{0, 0, 15, 100}}, layout::FillRectItem{{10, 10, 20, 20}, kRed},
                    layout::PopClipItem{}, layout::FillRectItem{{50, 50, 10, 10}, kBlue}});
  QImage clipped = Render(list);
  EXPECT_EQ(Count(clipped, {0, 0, 100, 100}, qRgb(255, 0, 0)), 5 * 20);
  EXPECT_EQ(Count(clipped, {50, 50, 10, 10}, qRgb(0, 0, 255)), 100) << "the clip ends at its pop";

  QImage exposed = Render(list, {}, {0, 0, 55, 100});
  EXPECT_EQ(Count(exposed, {55, 0, 45, 100}, kGreen), 45 * 100);
  EXPECT_EQ(Count(exposed, {50, 50, 5, 10}, qRgb(0, 0, 255)), 50);
}

TEST_F(DisplayListPainterTest, SelectedTextShowsInTheSelectionColours) {
  layout::SelectionColors selection;
  layout::FontDescription font{"sans-serif", 40};
  float width = fonts_.Advance(font, u"H");
  layout::TextItem plain{.x = 5,
                         .baseline = 40,
                         .width = width,
                         .font = font,
                         .color = {0, 0, 0, 255},
                         .text = u"H",
                         .decorationColor = {}};
  layout::TextItem selected = plain;
  selected.x = 55;
  selected.color = selection.text;
  auto list = List({plain, layout::FillRectItem{{55, 5, width, 46}, selection.background}, selected});
  QImage image = Render(list);
  QRgb background = qRgb(selection.background.r, selection.background.g, selection.background.b);
  QRgb text = qRgb(selection.text.r, selection.text.g, selection.text.b);
  QRect plainArea(5, 5, static_cast<int>(width), 46), selectedArea(56, 5, static_cast<int>(width) - 1, 46);
  EXPECT_GT(Count(image, plainArea, qRgb(0, 0, 0)), 50) << "black glyph pixels";
  EXPECT_EQ(Count(image, plainArea, background), 0);
  EXPECT_GT(Count(image, selectedArea, background), 200);
  EXPECT_GT(Count(image, selectedArea, text), 50) << "glyph pixels in the selection's text colour";
  EXPECT_EQ(Count(image, {55, 60, 45, 40}, background), 0) << "nothing below the selection";
}

TEST_F(DisplayListPainterTest, BordersAndMarkersKeepTheirShapes) {
  layout::BorderItem solid{{10, 10, 30, 30}, {3, 3, 3, 3}, {}, {kRed, kRed, kRed, kRed}};
  solid.styles.fill(css::BorderStyle::Solid);
  layout::BorderItem dashed{{50, 10, 40, 20}, {2, 0, 0, 0}, {}, {kBlue, kBlue, kBlue, kBlue}};
  dashed.styles.fill(css::BorderStyle::Dashed);
  auto list = List({solid, dashed, layout::MarkerItem{{10, 60, 10, 10}, css::ListStyleType::Disc, kBlue},
                    layout::MarkerItem{{30, 60, 10, 10}, css::ListStyleType::Square, kBlue}});
  QImage image = Render(list);
  QRgb red = qRgb(255, 0, 0), blue = qRgb(0, 0, 255);
  EXPECT_EQ(image.pixel(11, 25), red);
  EXPECT_EQ(image.pixel(38, 12), red);
  EXPECT_EQ(Count(image, {13, 13, 24, 24}, kWhite), 24 * 24) << "the inside stays unpainted";
  int dashes = Count(image, {50, 10, 40, 2}, blue);
  EXPECT_GT(dashes, 20);
  EXPECT_LT(dashes, 70) << "dashes leave gaps";
  EXPECT_EQ(Count(image, {50, 12, 40, 18}, blue), 0) << "sides of width 0 are not drawn";
  EXPECT_EQ(image.pixel(15, 65), blue);
  EXPECT_EQ(image.pixel(10, 60), kWhite) << "a disc is round";
  EXPECT_EQ(image.pixel(30, 60), blue);
}

}  // namespace
}  // namespace lectryn::desktop
