#pragma once
// Shows one engine document: paints its display list at the document's scroll offsets, keeps the
// document's view size and scroll offsets in step with the scroll bars, repaints what a selection
// change or a scroll request changed, forwards link clicks, and draws an outline layer of inverted
// pixel bands over the page. The view decides nothing about the page: the engine lays it out.
//
// Coordinates of the view are those of its viewport (the view has no frame), in device px, which
// are CSS px at scale 1.
#include <QAbstractScrollArea>
#include <QRect>
#include <QRegion>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "desktop/OutlineLayer.h"
#include "desktop/QtFontMetrics.h"
#include "engine/Document.h"

namespace lectryn::desktop {

class PageView : public QAbstractScrollArea, public OutlineLayer {
 public:
  // `fonts` is shared by every view of the program, so that fonts are measured once.
  explicit PageView(std::shared_ptr<QtFontMetrics> fonts, QWidget* parent = nullptr);
  ~PageView() override;

  // Shows `document` (null: an empty white view). The view sets its font metrics and view size.
  void SetDocument(std::shared_ptr<engine::Document> document);
  const std::shared_ptr<engine::Document>& Document() const { return document_; }

  // Called with the absolute address of a link the user clicked (the page window navigates).
  void SetLinkHandler(std::function<void(const QString& address)> onLink) { onLink_ = std::move(onLink); }

  // Inverts the band of width `penWidth` px that lies inside `rect` (view coordinates); toggling
  // the same band again removes it.
  bool ToggleOutline(QRect rect, int penWidth) override;
  void ClearOutlines() override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool Showing() const { return document_ && !document_->Discarded(); }
  void OnDocumentChanged();
  void SyncScrollBars();
  QRegion SelectionRegion(const std::optional<engine::text::Span>& units);
  void PaintPage(QPainter& painter, const QRect& exposed);
  void InvertOutlines(QPainter& painter, const QRegion& exposed);
  std::optional<QString> LinkAt(QPoint viewPoint);

  std::shared_ptr<QtFontMetrics> fonts_;
  std::shared_ptr<engine::Document> document_;
  int observer_ = 0;  // token of Document::Observe, 0 when none
  // What the view shows now, to tell what a notification changed.
  std::optional<engine::text::Span> shownSelection_;
  engine::layout::Point shownScroll_;
  bool syncingBars_ = false;  // the bars are being set from the document, not by the user
  OutlineSet outlines_;
  std::function<void(const QString&)> onLink_;
  std::optional<QPoint> pressedAt_;  // where the left button went down, view coordinates
};

}  // namespace lectryn::desktop
