#pragma once
// A window that can show the picker's outline: bands of inverted pixels drawn over its content
// after it paints. Toggling the same band twice removes it.
#include <QRect>
#include <QRegion>
#include <algorithm>

namespace lectryn::desktop {

class OutlineLayer {
 public:
  virtual ~OutlineLayer() = default;
  // `rect` in window coordinates (origin at the window's outer top-left), `penWidth` in px.
  // Returns true when the band is shown now, false when this removed it.
  virtual bool ToggleOutline(QRect rect, int penWidth) = 0;
  virtual void ClearOutlines() = 0;
};

// The frame of an outline's pen inside its rectangle.
inline QRegion OutlineBand(QRect rect, int penWidth) {
  int pen = std::max(1, penWidth);
  return QRegion(rect).subtracted(QRegion(rect.adjusted(pen, pen, -pen, -pen)));
}

}  // namespace lectryn::desktop
