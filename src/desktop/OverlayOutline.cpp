#include "desktop/OverlayOutline.h"

#include <QPainter>
#include <QTransform>

namespace lectryn::desktop {

OverlayOutline::OverlayOutline()
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus |
                           Qt::X11BypassWindowManagerHint | Qt::Tool) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_QuitOnClose, false);
  setObjectName(QStringLiteral("outlineOverlay"));
}

void OverlayOutline::Cover(QRect deviceRect, qreal devicePixelRatio) {
  if (deviceRect == covered_ && devicePixelRatio == ratio_) return;
  covered_ = deviceRect;
  ratio_ = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
  QTransform toScaled = QTransform::fromScale(1 / ratio_, 1 / ratio_);
  setGeometry(toScaled.mapRect(deviceRect));
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
  setMask(QTransform::fromScale(1 / ratio_, 1 / ratio_).map(bands_));
  if (!isVisible()) show();
  raise();
  update();
}

void OverlayOutline::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.scale(1 / ratio_, 1 / ratio_);
  for (const QRect& rect : bands_) painter.fillRect(rect, kOverlayOutlineColour);
}

}  // namespace lectryn::desktop
