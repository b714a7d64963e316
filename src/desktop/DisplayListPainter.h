#pragma once
// Paints the engine's display lists with QPainter. Everything is in CSS px, which are device px
// at scale 1; text is drawn with the QFont its measurement used, so that what the layout placed
// is what appears.
#include <QPainter>
#include <QRectF>

#include "desktop/QtFontMetrics.h"
#include "engine/layout/DisplayList.h"

namespace lectryn::desktop {

class DisplayListPainter {
 public:
  explicit DisplayListPainter(QtFontMetrics& fonts) : fonts_(fonts) {}

  // Paints the items of `list` that intersect `exposed` (view coordinates) onto a view scrolled to
  // `scroll`: the page point p lands at p - scroll. The exposed area is first filled with the
  // canvas colour; nothing is drawn outside it.
  void Paint(QPainter& painter, const engine::layout::DisplayList& list, engine::layout::Point scroll,
             const QRectF& exposed);

 private:
  void PaintItem(QPainter& painter, const engine::layout::FillRectItem& item);
  void PaintItem(QPainter& painter, const engine::layout::BorderItem& item);
  void PaintItem(QPainter& painter, const engine::layout::ShadowItem& item);
  void PaintItem(QPainter& painter, const engine::layout::TextItem& item);
  void PaintItem(QPainter& painter, const engine::layout::MarkerItem& item);
  void PaintItem(QPainter& painter, const engine::layout::ImageItem& item);
  void PaintDecorations(QPainter& painter, const engine::layout::TextItem& item);
  void PaintBorderSide(QPainter& painter, const engine::layout::BorderItem& item, int side);

  QtFontMetrics& fonts_;
};

}  // namespace lectryn::desktop
