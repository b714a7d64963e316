#include "desktop/WindowPlacement.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>

namespace lectryn::desktop {
namespace {

using platform::RECT;

int Width(const RECT& r) {
  return r.right - r.left;
}

int Height(const RECT& r) {
  return r.bottom - r.top;
}

bool IsEmpty(const RECT& r) {
  return r.right <= r.left || r.bottom <= r.top;
}

RECT Sized(int left, int top, int width, int height) {
  return {left, top, left + width, top + height};
}

int64_t OverlapArea(const RECT& a, const RECT& b) {
  int64_t w = std::min(a.right, b.right) - std::max(a.left, b.left);
  int64_t h = std::min(a.bottom, b.bottom) - std::max(a.top, b.top);
  return w > 0 && h > 0 ? w * h : 0;
}

bool Contains(const RECT& outer, const RECT& inner) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

// The largest free rectangles of the area once the cuts are taken out: each cut splits a free
// rectangle it meets into what lies left, right, above and below it, and a rectangle inside
// another one is dropped.
std::vector<RECT> FreeRectangles(const RECT& area, const std::vector<RECT>& cuts) {
  std::vector<RECT> free{area};
  for (const RECT& cut : cuts) {
    std::vector<RECT> next;
    for (const RECT& piece : free) {
      if (OverlapArea(piece, cut) == 0) {
        next.push_back(piece);
        continue;
      }
      RECT parts[] = {{piece.left, piece.top, cut.left, piece.bottom},
                      {cut.right, piece.top, piece.right, piece.bottom},
                      {piece.left, piece.top, piece.right, cut.top},
                      {piece.left, cut.bottom, piece.right, piece.bottom}};
      for (const RECT& part : parts)
        if (!IsEmpty(part)) next.push_back(part);
    }
    free.clear();
    for (size_t i = 0; i < next.size(); ++i) {
      bool inside = false;
      for (size_t j = 0; j < next.size() && !inside; ++j)
        inside = j != i && Contains(next[j], next[i]) && (next[j] != next[i] || j < i);
      if (!inside) free.push_back(next[i]);
    }
  }
  return free;
}

// How far a spot is from where the window would best open: right beside the anchor, tops level.
int64_t DistanceFromBeside(const RECT& spot, const RECT& anchor, int gapPx) {
  int64_t dx = std::max({0, anchor.left - spot.right, spot.left - anchor.right});
  int64_t dy = std::max({0, anchor.top - spot.bottom, spot.top - anchor.bottom});
  int64_t fromBeside = std::abs(spot.left - (anchor.right + gapPx)) + std::abs(spot.top - anchor.top);
  return (dx * dx + dy * dy) * 4096 + fromBeside;
}

// The window of the given size inside `room`, as near the spot beside the anchor as it gets.
RECT NearestInside(const RECT& room, int width, int height, const RECT& anchor, int gapPx) {
  return Sized(std::clamp(anchor.right + gapPx, room.left, room.right - width),
               std::clamp(anchor.top, room.top, room.bottom - height), width, height);
}

// No free room: the least covering spot. Covering changes its rate only where an edge of the spot
// meets an edge of a window or of the area, so the least is at such a spot.
RECT LeastCovering(const RECT& area, const std::vector<RECT>& taken, const RECT& anchor, int width,
                   int height, int gapPx) {
  std::vector<int> xs{area.left, area.right - width, anchor.right + gapPx};
  std::vector<int> ys{area.top, area.bottom - height, anchor.top};
  for (const RECT& window : taken) {
    xs.insert(xs.end(), {window.left, window.right, window.left - width, window.right - width,
                         window.right + gapPx, window.left - gapPx - width});
    ys.insert(ys.end(), {window.top, window.bottom, window.top - height, window.bottom - height,
                         window.bottom + gapPx, window.top - gapPx - height});
  }
  RECT best;
  int64_t bestCovered = std::numeric_limits<int64_t>::max();
  int64_t bestDistance = 0;
  for (int x : xs) {
    for (int y : ys) {
      RECT spot = Sized(std::clamp(x, area.left, area.right - width),
                        std::clamp(y, area.top, area.bottom - height), width, height);
      int64_t covered = CoveredArea(spot, taken);
      int64_t distance = DistanceFromBeside(spot, anchor, gapPx);
      if (covered < bestCovered || (covered == bestCovered && distance < bestDistance)) {
        best = spot;
        bestCovered = covered;
        bestDistance = distance;
      }
    }
  }
  return best;
}

}  // namespace

int64_t CoveredArea(const RECT& spot, const std::vector<RECT>& windows) {
  int64_t covered = 0;
  for (const RECT& window : windows) covered += OverlapArea(spot, window);
  return covered;
}

RECT PlaceNewWindow(const RECT& area, const std::vector<RECT>& taken, const RECT& anchor,
                    const WindowSizes& sizes, int gapPx) {
  int width = std::clamp(sizes.preferredWidth, 1, std::max(1, Width(area)));
  int height = std::clamp(sizes.preferredHeight, 1, std::max(1, Height(area)));
  int minimumWidth = std::min(sizes.minimumWidth, width);
  int minimumHeight = std::min(sizes.minimumHeight, height);

  std::vector<RECT> cuts;
  for (const RECT& window : taken)
    cuts.push_back({window.left - gapPx, window.top - gapPx, window.right + gapPx, window.bottom + gapPx});
  std::vector<RECT> free = FreeRectangles(area, cuts);

  // At the preferred size, the spot nearest the anchor.
  std::optional<RECT> best;
  int64_t bestDistance = 0;
  for (const RECT& room : free) {
    if (Width(room) < width || Height(room) < height) continue;
    RECT spot = NearestInside(room, width, height, anchor, gapPx);
    int64_t distance = DistanceFromBeside(spot, anchor, gapPx);
    if (!best || distance < bestDistance) {
      best = spot;
      bestDistance = distance;
    }
  }
  if (best) return *best;

  // Smaller: the room that gives the largest window, then the nearest.
  int64_t bestArea = 0;
  for (const RECT& room : free) {
    if (Width(room) < minimumWidth || Height(room) < minimumHeight) continue;
    int w = std::min(width, Width(room));
    int h = std::min(height, Height(room));
    RECT spot = NearestInside(room, w, h, anchor, gapPx);
    int64_t size = static_cast<int64_t>(w) * h;
    int64_t distance = DistanceFromBeside(spot, anchor, gapPx);
    if (!best || size > bestArea || (size == bestArea && distance < bestDistance)) {
      best = spot;
      bestArea = size;
      bestDistance = distance;
    }
  }
  if (best) return *best;
  return LeastCovering(area, taken, anchor, width, height, gapPx);
}

}  // namespace lectryn::desktop
