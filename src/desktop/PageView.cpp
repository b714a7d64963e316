#include "desktop/PageView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

#include "desktop/DisplayListPainter.h"
#include "engine/Element.h"
#include "engine/load/Address.h"
#include "platform/Text.h"

namespace lectryn::desktop {

namespace layout = engine::layout;

namespace {

constexpr int kLineStepPx = 40;  // an arrow key or a wheel line, as browsers scroll
// A region of more rectangles is painted as its bounding box: one display list is cheaper than many.
constexpr int kMostPaintRects = 4;
// Glyphs may reach a little outside the line box that holds them (italics, accents).
constexpr int kGlyphOverhangPx = 2;

bool SameSpan(const std::optional<engine::text::Span>& a, const std::optional<engine::text::Span>& b) {
  if (!a || !b) return a.has_value() == b.has_value();
  return a->start == b->start && a->end == b->end;
}

// The smallest rectangle of whole pixels that holds `rect`.
QRect Enclosing(const layout::Rect& rect) {
  auto left = static_cast<int>(std::floor(rect.x)), top = static_cast<int>(std::floor(rect.y));
  auto right = static_cast<int>(std::ceil(rect.Right())), bottom = static_cast<int>(std::ceil(rect.Bottom()));
  return {left, top, right - left, bottom - top};
}

int ScrollRange(float extentPx, float viewPx) {
  return std::max(0, static_cast<int>(std::ceil(extentPx - viewPx)));
}

}  // namespace

PageView::PageView(std::shared_ptr<QtFontMetrics> fonts, QWidget* parent)
    : QAbstractScrollArea(parent), fonts_(std::move(fonts)) {
  setFrameShape(QFrame::NoFrame);  // view coordinates are the viewport's
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);  // every exposed pixel is painted
  horizontalScrollBar()->setSingleStep(kLineStepPx);
  verticalScrollBar()->setSingleStep(kLineStepPx);
}

PageView::~PageView() {
  if (document_ && observer_ != 0) document_->Unobserve(observer_);
}

void PageView::SetDocument(std::shared_ptr<engine::Document> document) {
  if (document_ && observer_ != 0) document_->Unobserve(observer_);
  observer_ = 0;
  document_ = std::move(document);
  if (Showing()) {
    document_->SetFontMetrics(fonts_);
    document_->SetViewSize(static_cast<float>(viewport()->width()), static_cast<float>(viewport()->height()));
    observer_ = document_->Observe([this] { OnDocumentChanged(); });
    shownSelection_ = document_->SelectionUnits();
    shownScroll_ = document_->ViewScroll();
  }
  SyncScrollBars();
  viewport()->update();
}

void PageView::OnDocumentChanged() {
  if (!Showing()) return;
  layout::Point scroll = document_->ViewScroll();
  std::optional<engine::text::Span> selection = document_->SelectionUnits();
  if (scroll != shownScroll_) {
    shownScroll_ = scroll;
    shownSelection_ = selection;
    SyncScrollBars();
    viewport()->update();
    return;
  }
  if (SameSpan(selection, shownSelection_)) return;
  viewport()->update(SelectionRegion(shownSelection_) + SelectionRegion(selection));
  shownSelection_ = selection;
}

// The view's pixels that the selection's highlight covers at the current scroll offsets.
QRegion PageView::SelectionRegion(const std::optional<engine::text::Span>& units) {
  QRegion region;
  if (!units || units->start < 0 || units->end <= units->start) return region;
  layout::Point scroll = document_->ViewScroll();
  for (const layout::Rect& rect : document_->RangeRects(units->start, units->end)) {
    QRect pixels = Enclosing(rect.Translated(-scroll.x, -scroll.y));
    region += pixels.adjusted(-kGlyphOverhangPx, -kGlyphOverhangPx, kGlyphOverhangPx, kGlyphOverhangPx);
  }
  return region & viewport()->rect();
}

void PageView::SyncScrollBars() {
  bool wasSyncing = syncingBars_;
  syncingBars_ = true;
  QScrollBar* horizontal = horizontalScrollBar();
  QScrollBar* vertical = verticalScrollBar();
  if (!Showing()) {
    horizontal->setRange(0, 0);
    vertical->setRange(0, 0);
  } else {
    layout::Rect extent = document_->ScrollExtent();
    layout::Point view = document_->ViewSize();
    layout::Point scroll = document_->ViewScroll();
    horizontal->setRange(0, ScrollRange(extent.w, view.x));
    horizontal->setPageStep(viewport()->width());
    horizontal->setValue(static_cast<int>(std::lround(scroll.x)));
    vertical->setRange(0, ScrollRange(extent.h, view.y));
    vertical->setPageStep(viewport()->height());
    vertical->setValue(static_cast<int>(std::lround(scroll.y)));
  }
  syncingBars_ = wasSyncing;
}

void PageView::resizeEvent(QResizeEvent* /*event*/) {
  if (!Showing()) return;
  document_->SetViewSize(static_cast<float>(viewport()->width()), static_cast<float>(viewport()->height()));
  layout::Point scroll = document_->ViewScroll();
  document_->SetViewScroll(scroll.x, scroll.y);  // clamps into the new extent
  SyncScrollBars();
}

// The user moved a bar (dragging, wheel or keys): the document scrolls, and its notification
// repaints.
void PageView::scrollContentsBy(int /*dx*/, int /*dy*/) {
  if (syncingBars_ || !Showing()) return;
  document_->SetViewScroll(static_cast<float>(horizontalScrollBar()->value()),
                           static_cast<float>(verticalScrollBar()->value()));
}

void PageView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Home) {
    verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
  } else if (event->key() == Qt::Key_End) {
    verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
  } else {
    QAbstractScrollArea::keyPressEvent(event);  // arrows, PageUp and PageDown
  }
}

void PageView::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  const QRegion& region = event->region();
  if (region.rectCount() > kMostPaintRects) {
    PaintPage(painter, region.boundingRect());
  } else {
    for (const QRect& rect : region) PaintPage(painter, rect);
  }
  InvertOutlines(painter, region);
}

void PageView::PaintPage(QPainter& painter, const QRect& exposed) {
  if (!Showing()) {
    painter.fillRect(exposed, Qt::white);
    return;
  }
  layout::Point scroll = document_->ViewScroll();
  layout::DisplayList list = document_->Paint(
      {scroll.x + static_cast<float>(exposed.x()), scroll.y + static_cast<float>(exposed.y()),
       static_cast<float>(exposed.width()), static_cast<float>(exposed.height())});
  DisplayListPainter(*fonts_).Paint(painter, list, scroll, QRectF(exposed));
}

// The outline layer: the bands' pixels of what was just painted are inverted (white difference),
// so a band drawn twice cancels out, as the picker expects.
void PageView::InvertOutlines(QPainter& painter, const QRegion& exposed) {
  if (outlines_.Empty()) return;
  painter.save();
  painter.setClipRegion(exposed);
  painter.setCompositionMode(QPainter::CompositionMode_Difference);
  for (const QRect& rect : outlines_.Inverted()) painter.fillRect(rect, Qt::white);
  painter.restore();
}

bool PageView::ToggleOutline(QRect rect, int penWidth) {
  QRegion band;
  bool shown = outlines_.Toggle(rect, penWidth, band);
  viewport()->update(band);
  return shown;
}

void PageView::ClearOutlines() {
  viewport()->update(outlines_.Clear());
}

void PageView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) pressedAt_ = event->position().toPoint();
  QAbstractScrollArea::mousePressEvent(event);
}

// A click is a press and a release at (nearly) the same place, as on a browser's links.
void PageView::mouseReleaseEvent(QMouseEvent* event) {
  QAbstractScrollArea::mouseReleaseEvent(event);
  if (event->button() != Qt::LeftButton || !pressedAt_) return;
  QPoint at = event->position().toPoint();
  bool click = (at - *pressedAt_).manhattanLength() < QApplication::startDragDistance();
  pressedAt_.reset();
  if (!click || !onLink_) return;
  if (std::optional<QString> address = LinkAt(at)) onLink_(*address);
}

// The address of the A element with an href under the point, resolved against the page's address.
std::optional<QString> PageView::LinkAt(QPoint viewPoint) {
  if (!Showing()) return std::nullopt;
  auto element =
      std::dynamic_pointer_cast<engine::Element>(document_->elementFromPoint(viewPoint.x(), viewPoint.y()));
  if (!element) return std::nullopt;
  const engine::dom::Tree& tree = document_->Tree();
  for (engine::dom::NodeId node = element->Node(); node != engine::dom::kNoNode; node = tree[node].parent) {
    if (!tree[node].IsElement() || tree[node].name != "a") continue;
    const std::u16string* href = tree.AttributeValue(node, "href");
    if (href == nullptr) continue;
    // Resolved as the engine resolves frames, so a link and a frame with one address agree.
    std::optional<std::string> address =
        engine::ResolveAddress(platform::ToUtf8(document_->URL()), platform::ToUtf8(*href));
    if (!address) return std::nullopt;
    return QString::fromStdString(*address);
  }
  return std::nullopt;
}

}  // namespace lectryn::desktop
