#include "desktop/OverlayOutline.h"

#include <QPainter>

namespace lectryn::desktop {

OverlayOutline::OverlayOutline()
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus |
                           Qt::X11BypassWindowManagerHint | Qt::Tool) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_QuitOnClose, false);
  setObjectName(QStringLiteral("outlineOverlay"));
}

void OverlayOutline::Cover(QRect screenRect) {
  if (screenRect == covered_) return;
  covered_ = screenRect;
  setGeometry(screenRect);
}

bool OverlayOutline::ToggleOutline(QRect rect, int penWidth) {
  QRegion band;
  bool shown = outlines_.Toggle(rect, penWidth, band);
  Reshape();
  return shown;
}

void OverlayOutline::ClearOutlines() {
  outlines_.Clear();
  Reshape();
}

// The window's shape is the bands alone, so nothing else of the other window is covered.
void OverlayOutline::Reshape() {
  bands_ = outlines_.Inverted();
  if (bands_.isEmpty()) {
    hide();
    return;
  }
  setMask(bands_);
  if (!isVisible()) show();
  raise();
  update();
}

void OverlayOutline::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  for (const QRect& rect : bands_) painter.fillRect(rect, kOverlayOutlineColour);
}

}  // namespace lectryn::desktop
