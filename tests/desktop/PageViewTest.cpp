#include "desktop/PageView.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QScrollBar>
#include <cmath>

#include "desktop/GuiApplication.h"

namespace lectryn::desktop {
namespace {

namespace layout = engine::layout;

constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kHighlight = 0xFF3399FF;  // the engine's selection background
constexpr int kViewWidth = 400;
constexpr int kViewHeight = 300;
constexpr float kSpacerPx = 2000;

const char* const kPage = R"(<!DOCTYPE html><html><body style="font-family: sans-serif; font-size: 16px">
<p>Alpha Bravo Charlie</p>
<p>Delta <a href="other.htm#x">Echo <b>Foxtrot</b></a> Golf</p>
<div style="height: 2000px"></div>
<p>Hotel India</p>
<div style="height: 2000px"></div>
</body></html>)";

// Records the regions the viewport is asked to paint.
class PaintRecorder : public QObject {
 public:
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() == QEvent::Paint) painted += static_cast<QPaintEvent*>(event)->region();
    return false;
  }
  QRegion painted;
};

int Count(const QImage& image, const QRect& area, const std::function<bool(QRgb)>& matches) {
  int count = 0;
  QRect inside = area & image.rect();
  for (int y = inside.top(); y <= inside.bottom(); ++y)
    for (int x = inside.left(); x <= inside.right(); ++x) count += matches(image.pixel(x, y)) ? 1 : 0;
  return count;
}

bool IsDark(QRgb pixel) {
  return qGray(pixel) < 128;
}

class PageViewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::EnsureGuiApplication(); }

  void SetUp() override {
    fonts_ = std::make_shared<QtFontMetrics>();
    view_ = std::make_unique<PageView>(fonts_);
    view_->resize(kViewWidth, kViewHeight);
    document_ = engine::Document::Parse(kPage, u"file:///pages/dir/page.htm");
    view_->SetDocument(document_);
    view_->show();
    Settle();

    view_->viewport()->installEventFilter(&recorder_);
  }

  static void Settle() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  }
  QImage Grab() { return view_->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }

  // Selects the first whole-word match of `word` after the start as the highlighter does; returns
  // its rectangles in view coordinates.
  platform::TxtRangePtr Find(const std::u16string& word) {
    platform::TxtRangePtr range = document_->body()->createTextRange();
    EXPECT_TRUE(range->findText(word, 1, 2));
    return range;
  }
  std::vector<QRectF> SelectionRects() {
    auto units = document_->SelectionUnits();
    layout::Point scroll = document_->ViewScroll();
    std::vector<QRectF> rects;
    for (const layout::Rect& rect : document_->RangeRects(units->start, units->end))
      rects.emplace_back(rect.x - scroll.x, rect.y - scroll.y, rect.w, rect.h);
    return rects;
  }
  std::vector<QRectF> RectsOf(const std::u16string& word) {
    Find(word)->select();
    auto rects = SelectionRects();
    document_->SetSelection(0, 0);
    return rects;
  }

  PaintRecorder recorder_;
  std::shared_ptr<QtFontMetrics> fonts_;
  std::shared_ptr<engine::Document> document_;
  std::unique_ptr<PageView> view_;
};

TEST_F(PageViewTest, TextAppearsWhereTheLayoutPutIt) {
  Settle();
  QImage image = Grab();
  QRectF line;
  for (const auto* word : {u"Alpha", u"Bravo", u"Charlie"}) {
    QRectF rect = RectsOf(word).at(0);
    EXPECT_GT(Count(image, rect.toRect(), IsDark), 20) << "ink of the word";
    line |= rect;
  }
  // Above the second paragraph, ink lies only on the first line.
  QRect aboveSecond(0, 0, image.width(), static_cast<int>(RectsOf(u"Delta").at(0).top()));
  QRect allowed = line.toAlignedRect().adjusted(-2, -2, 2, 2);
  EXPECT_EQ(Count(image, aboveSecond, IsDark), Count(image, allowed & aboveSecond, IsDark));
}

TEST_F(PageViewTest, SelectionPaintsOnlyTheWordAndRepaintsOnlyOldAndNewWords) {
  QRect bravo = RectsOf(u"Bravo").at(0).toAlignedRect();
  QRect golf = RectsOf(u"Golf").at(0).toAlignedRect();
  Settle();
  recorder_.painted = {};  // grabbing paints too: record only what the selection repaints

  Find(u"Bravo")->select();
  Settle();
  QRegion painted = recorder_.painted;
  QImage image = Grab();
  auto isHighlight = [](QRgb pixel) { return pixel == kHighlight; };
  EXPECT_EQ(Count(image, image.rect(), isHighlight), Count(image, bravo, isHighlight));
  EXPECT_GT(Count(image, bravo, isHighlight), bravo.width() * bravo.height() / 2);
  EXPECT_TRUE(painted.subtracted(bravo.adjusted(-3, -3, 3, 3)).isEmpty());

  recorder_.painted = {};
  Find(u"Golf")->select();
  Settle();
  painted = recorder_.painted;
  QRegion both = QRegion(bravo.adjusted(-3, -3, 3, 3)) + golf.adjusted(-3, -3, 3, 3);
  EXPECT_TRUE(painted.subtracted(both).isEmpty());
  EXPECT_TRUE(painted.intersects(bravo) && painted.intersects(golf));
  image = Grab();
  EXPECT_EQ(Count(image, bravo, isHighlight), 0) << "the old word is unhighlighted";
  EXPECT_EQ(Count(image, image.rect(), isHighlight), Count(image, golf, isHighlight));
}

// On a scrolled page too, a new selection repaints where the old and the new word are on screen:
// what the screen shows is built from the repainted regions alone, as a window system keeps it.
TEST_F(PageViewTest, SelectionOnAScrolledPageRepaintsTheWordsWhereTheyAreShown) {
  view_->verticalScrollBar()->setValue(static_cast<int>(RectsOf(u"Hotel").at(0).top()) - kViewHeight / 3);
  Settle();
  ASSERT_GT(document_->ViewScroll().y, kSpacerPx / 2);
  QRect hotel = RectsOf(u"Hotel").at(0).toAlignedRect();
  QRect india = RectsOf(u"India").at(0).toAlignedRect();
  ASSERT_TRUE(view_->viewport()->rect().contains(hotel) && view_->viewport()->rect().contains(india));
  Settle();
  QImage screen = Grab();
  auto select = [&](const std::u16string& word) {
    recorder_.painted = {};
    Find(word)->select();
    Settle();
    QRegion painted = recorder_.painted;
    // An empty region would render the whole view, which the screen never receives. The region's
    // corner goes to the target offset.
    if (!painted.isEmpty()) view_->viewport()->render(&screen, painted.boundingRect().topLeft(), painted);
    return painted;
  };
  auto isHighlight = [](QRgb pixel) { return pixel == kHighlight; };
  auto margin = [](const QRect& rect) { return rect.adjusted(-3, -3, 3, 3); };

  QRegion painted = select(u"Hotel");
  EXPECT_TRUE(painted.intersects(hotel));
  EXPECT_TRUE(painted.subtracted(margin(hotel)).isEmpty());
  EXPECT_GT(Count(screen, hotel, isHighlight), hotel.width() * hotel.height() / 2);
  EXPECT_EQ(Count(screen, screen.rect(), isHighlight), Count(screen, hotel, isHighlight));

  painted = select(u"India");
  EXPECT_TRUE(painted.intersects(hotel) && painted.intersects(india));
  EXPECT_TRUE(painted.subtracted(QRegion(margin(hotel)) + margin(india)).isEmpty());
  EXPECT_EQ(Count(screen, hotel, isHighlight), 0) << "the old word's highlight stays on screen";
  EXPECT_GT(Count(screen, india, isHighlight), india.width() * india.height() / 2);
  EXPECT_EQ(Count(screen, screen.rect(), isHighlight), Count(screen, india, isHighlight));
}

TEST_F(PageViewTest, ScrollBarsFollowTheDocumentBothWays) {
  QScrollBar* bar = view_->verticalScrollBar();
  layout::Rect extent = document_->ScrollExtent();
  EXPECT_GT(extent.h, 2 * kSpacerPx);
  EXPECT_EQ(bar->maximum(), static_cast<int>(std::ceil(extent.h)) - view_->viewport()->height());
  EXPECT_EQ(document_->ViewSize().y, static_cast<float>(view_->viewport()->height()));

  platform::TxtRangePtr hotel = Find(u"Hotel");
  hotel->select();
  hotel->scrollIntoView(true);
  Settle();
  EXPECT_GT(bar->value(), 1000);
  EXPECT_NEAR(SelectionRects().at(0).top(), 0, 1) << "the word's top is at the view's top";
  EXPECT_EQ(bar->value(), std::lround(document_->ViewScroll().y));
  EXPECT_GT(Count(Grab(), QRect(0, 0, kViewWidth, 30), [](QRgb p) { return p == kHighlight; }), 50);

  bar->setValue(120);
  EXPECT_EQ(document_->ViewScroll().y, 120);
  QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::NoModifier);
  QCoreApplication::sendEvent(view_.get(), &end);
  EXPECT_EQ(document_->ViewScroll().y, static_cast<float>(bar->maximum()));
  QKeyEvent pageUp(QEvent::KeyPress, Qt::Key_PageUp, Qt::NoModifier);
  QCoreApplication::sendEvent(view_.get(), &pageUp);
  EXPECT_EQ(document_->ViewScroll().y, static_cast<float>(bar->maximum() - bar->pageStep()));

  view_->resize(kViewWidth, kViewHeight + 100);  // a taller view scrolls less far
  Settle();
  EXPECT_EQ(bar->maximum(), static_cast<int>(std::ceil(extent.h)) - view_->viewport()->height());
}

TEST_F(PageViewTest, OutlinesInvertTheirBandAndToggleBack) {
  Find(u"Bravo")->select();  // colours under the band
  Settle();
  QImage before = Grab();
  QRect rect(5, 3, 120, 40);
  constexpr int kPen = 3;
  recorder_.painted = {};
  EXPECT_TRUE(view_->ToggleOutline(rect, kPen));
  Settle();
  QRegion band = QRegion(rect).subtracted(QRegion(rect.adjusted(kPen, kPen, -kPen, -kPen)));
  EXPECT_TRUE(recorder_.painted.subtracted(band).isEmpty()) << "only the band is repainted";
  QImage outlined = Grab();
  int inverted = 0, changedOutside = 0;
  for (int y = 0; y < before.height(); ++y) {
    for (int x = 0; x < before.width(); ++x) {
      QRgb was = before.pixel(x, y), now = outlined.pixel(x, y);
      if (band.contains(QPoint(x, y))) {
        inverted += (now & 0xFFFFFF) == (~was & 0xFFFFFF) ? 1 : 0;
      } else {
        changedOutside += now != was ? 1 : 0;
      }
    }
  }
  EXPECT_EQ(inverted, (120 * 40) - (114 * 34));
  EXPECT_EQ(changedOutside, 0);

  EXPECT_FALSE(view_->ToggleOutline(rect, kPen));
  Settle();
  EXPECT_EQ(Grab(), before);

  view_->ToggleOutline(rect, kPen);
  view_->ClearOutlines();
  Settle();
  EXPECT_EQ(Grab(), before);
}

TEST_F(PageViewTest, ClickOnALinkGivesItsResolvedAddress) {
  std::vector<QString> addresses;
  view_->SetLinkHandler([&](const QString& address) { addresses.push_back(address); });
  auto click = [&](const QRectF& rect) {
    QPointF at = rect.center();
    QMouseEvent press(QEvent::MouseButtonPress, at, view_->viewport()->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, view_->viewport()->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view_->viewport(), &press);
    QCoreApplication::sendEvent(view_->viewport(), &release);
  };
  click(RectsOf(u"Foxtrot").at(0));  // inside an element inside the link
  click(RectsOf(u"Golf").at(0));     // after the link
  click(RectsOf(u"Echo").at(0));
  EXPECT_EQ(addresses,
            (std::vector<QString>{"file:///pages/dir/other.htm#x", "file:///pages/dir/other.htm#x"}));

  view_->verticalScrollBar()->setValue(10);  // clicks are in view coordinates
  click(RectsOf(u"Echo").at(0));
  EXPECT_EQ(addresses.size(), 3U);
}

TEST_F(PageViewTest, ADocumentLetGoIsNoLongerObservedAndNoDocumentIsWhite) {
  auto other = engine::Document::Parse("<p>Other page</p>", u"file:///other.htm");
  view_->SetDocument(other);
  Settle();
  recorder_.painted = {};
  Find(u"Bravo")->select();  // the first document is not shown any more
  Settle();
  EXPECT_TRUE(recorder_.painted.isEmpty());

  view_->SetDocument(nullptr);
  QImage image = Grab();
  EXPECT_EQ(Count(image, image.rect(), [](QRgb p) { return p != kWhite; }), 0);
  EXPECT_EQ(view_->verticalScrollBar()->maximum(), 0);

  view_->SetDocument(document_);
  view_.reset();
  Find(u"Golf")->select();  // the view is gone and must not be told
}

}  // namespace
}  // namespace lectryn::desktop
