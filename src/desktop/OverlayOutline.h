#pragma once
// The picker's outline over another program's window, which we cannot paint into: a topmost
// window that lets every click through, shaped to the outline's bands and filled with the pen's
// colour. Toggling the same band twice removes it, as on our own windows.
#include <QColor>
#include <QRect>
#include <QWidget>

#include "desktop/OutlineLayer.h"

namespace lectryn::desktop {

class OverlayOutline : public QWidget, public OutlineLayer {
 public:
  OverlayOutline();

  // Covers the other window's inside, in the screen's own pixels (Qt's scaled pixels times
  // `devicePixelRatio`); the bands are drawn relative to it, in the same pixels.
  void Cover(QRect deviceRect, qreal devicePixelRatio);
  QRect Covered() const { return covered_; }
  QRegion Bands() const { return bands_; }

  // OutlineLayer: `rect` relative to the covered window's top-left.
  bool ToggleOutline(QRect rect, int penWidth) override;
  void ClearOutlines() override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void Reshape();

  OutlineSet outlines_;
  QRegion bands_;  // where the outlines' bands show: inverting twice cancels
  QRect covered_;
  qreal ratio_ = 1.0;
};

// The picker's pen.
inline const QColor kOverlayOutlineColour(0, 255, 0);

}  // namespace lectryn::desktop
