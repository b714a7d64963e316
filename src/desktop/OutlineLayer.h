#pragma once
// A window that can show the picker's outline: bands of inverted pixels drawn over its content
// after it paints. Toggling the same band twice removes it.
#include <QRect>
#include <QRegion>
#include <algorithm>
#include <vector>

namespace lectryn::desktop {

class OutlineLayer {
 public:
  virtual ~OutlineLayer() = default;
  // `rect` in window coordinates (origin at the window's outer top-left), `penWidth` in px.
  // Returns true when the band is shown now, false when this removed it.
  virtual bool ToggleOutline(QRect rect, int penWidth) = 0;
  virtual void ClearOutlines() = 0;
};

// The outlines drawn on a window and not drawn again yet: drawing one twice removes it.
class OutlineSet {
 public:
  // True when the outline shows now; `band` receives where it is drawn.
  bool Toggle(QRect rect, int penWidth, QRegion& band) {
    Outline outline{rect.normalized(), penWidth};
    band = Band(outline);
    auto it = std::find(outlines_.begin(), outlines_.end(), outline);
    if (it != outlines_.end()) {
      outlines_.erase(it);
      return false;
    }
    outlines_.push_back(outline);
    return true;
  }
  // Every band, removed; returns where they were.
  QRegion Clear() {
    QRegion all;
    for (const Outline& outline : outlines_) all += Band(outline);
    outlines_.clear();
    return all;
  }
  bool Empty() const { return outlines_.empty(); }
  // The pixels inverted an odd number of times: where two bands cross they cancel.
  QRegion Inverted() const {
    QRegion inverted;
    for (const Outline& outline : outlines_) inverted = inverted.xored(Band(outline));
    return inverted;
  }

 private:
  struct Outline {
    QRect rect;
    int penWidth;
    bool operator==(const Outline&) const = default;
  };
  // The frame of the pen inside the rectangle.
  static QRegion Band(const Outline& outline) {
    int pen = std::max(1, outline.penWidth);
    return QRegion(outline.rect).subtracted(QRegion(outline.rect.adjusted(pen, pen, -pen, -pen)));
  }

  std::vector<Outline> outlines_;
};

}  // namespace lectryn::desktop
