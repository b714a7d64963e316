#include "desktop/OverlayOutline.h"

#include <QPainter>
#include <algorithm>

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
  Outline outline{rect.normalized(), penWidth};
  auto it = std::find(outlines_.begin(), outlines_.end(), outline);
  bool shown = it == outlines_.end();
  if (shown)
    outlines_.push_back(outline);
  else
    outlines_.erase(it);
  Reshape();
  return shown;
}

void OverlayOutline::ClearOutlines() {
  outlines_.clear();
  Reshape();
}

// The window's shape is the bands alone, so nothing else of the other window is covered.
void OverlayOutline::Reshape() {
  QRegion bands;
  for (const Outline& outline : outlines_) bands = bands.xored(OutlineBand(outline.rect, outline.penWidth));
  bands_ = bands;
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
