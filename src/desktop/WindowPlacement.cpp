#include "desktop/WindowPlacement.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>

namespace lectryn::desktop {
namespace {

ScreenRect Intersection(const ScreenRect& a, const ScreenRect& b) {
  int left = std::max(a.x, b.x);
  int top = std::max(a.y, b.y);
  int right = std::min(a.Right(), b.Right());
  int bottom = std::min(a.Bottom(), b.Bottom());
  if (right <= left || bottom <= top) return {};
  return {left, top, right - left, bottom - top};
}

bool Contains(const ScreenRect& outer, const ScreenRect& inner) {
  return inner.x >= outer.x && inner.y >= outer.y && inner.Right() <= outer.Right() &&
         inner.Bottom() <= outer.Bottom();
}

ScreenRect Grown(const ScreenRect& rect, int by) {
  return {rect.x - by, rect.y - by, rect.width + 2 * by, rect.height + 2 * by};
}

// The largest free rectangles of the area once the taken ones are cut out: each cut splits a free
// rectangle into what lies left, right, above and below the cut, and a rectangle inside another
// one is dropped.
std::vector<ScreenRect> FreeRectangles(const ScreenRect& area, const std::vector<ScreenRect>& cuts) {
  std::vector<ScreenRect> free{area};
  for (const ScreenRect& cut : cuts) {
    std::vector<ScreenRect> next;
    for (const ScreenRect& piece : free) {
      if (Intersection(piece, cut).Empty()) {
        next.push_back(piece);
        continue;
      }
      ScreenRect parts[] = {
          {piece.x, piece.y, cut.x - piece.x, piece.height},
          {cut.Right(), piece.y, piece.Right() - cut.Right(), piece.height},
          {piece.x, piece.y, piece.width, cut.y - piece.y},
          {piece.x, cut.Bottom(), piece.width, piece.Bottom() - cut.Bottom()},
      };
      for (const ScreenRect& part : parts)
        if (!part.Empty()) next.push_back(part);
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
int64_t DistanceFromBeside(const ScreenRect& spot, const ScreenRect& anchor, int gapPx) {
  int64_t dx = std::max({0, anchor.x - spot.Right(), spot.x - anchor.Right()});
  int64_t dy = std::max({0, anchor.y - spot.Bottom(), spot.y - anchor.Bottom()});
  int64_t apart = dx * dx + dy * dy;
  int64_t fromBeside = std::abs(spot.x - (anchor.Right() + gapPx)) + std::abs(spot.y - anchor.y);
  return apart * 4096 + fromBeside;
}

// The window of the given size inside `room`, as near the spot beside the anchor as it gets.
ScreenRect NearestInside(const ScreenRect& room, int width, int height, const ScreenRect& anchor, int gapPx) {
  int x = std::clamp(anchor.Right() + gapPx, room.x, room.Right() - width);
  int y = std::clamp(anchor.y, room.y, room.Bottom() - height);
  return {x, y, width, height};
}

int64_t Covered(const ScreenRect& spot, const std::vector<ScreenRect>& taken) {
  int64_t covered = 0;
  for (const ScreenRect& window : taken) {
    ScreenRect both = Intersection(spot, window);
    covered += static_cast<int64_t>(both.width) * both.height;
  }
  return covered;
}

// No free room: the least covering of the spots that line up with the area's or a window's edges.
ScreenRect LeastCovering(const ScreenRect& area, const std::vector<ScreenRect>& taken,
                         const ScreenRect& anchor, int width, int height, int gapPx) {
  std::vector<int> xs{area.x, area.Right() - width, anchor.Right() + gapPx};
  std::vector<int> ys{area.y, area.Bottom() - height, anchor.y};
  for (const ScreenRect& window : taken) {
    // Covering changes its rate only where an edge meets an edge, so the least is at such a spot.
    xs.insert(xs.end(), {window.x, window.Right(), window.x - width, window.Right() - width,
                         window.Right() + gapPx, window.x - gapPx - width});
    ys.insert(ys.end(), {window.y, window.Bottom(), window.y - height, window.Bottom() - height,
                         window.Bottom() + gapPx, window.y - gapPx - height});
  }
  ScreenRect best;
  int64_t bestCovered = std::numeric_limits<int64_t>::max();
  int64_t bestDistance = 0;
  for (int x : xs) {
    for (int y : ys) {
      ScreenRect spot{std::clamp(x, area.x, area.Right() - width),
                      std::clamp(y, area.y, area.Bottom() - height), width, height};
      int64_t covered = Covered(spot, taken);
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

ScreenRect PlaceNewWindow(const ScreenRect& area, const std::vector<ScreenRect>& taken,
                          const ScreenRect& anchor, const WindowSizes& sizes, int gapPx) {
  int width = std::clamp(sizes.preferredWidth, 1, std::max(1, area.width));
  int height = std::clamp(sizes.preferredHeight, 1, std::max(1, area.height));
  int minimumWidth = std::min(sizes.minimumWidth, width);
  int minimumHeight = std::min(sizes.minimumHeight, height);

  std::vector<ScreenRect> cuts;
  for (const ScreenRect& window : taken) cuts.push_back(Grown(window, gapPx));
  std::vector<ScreenRect> free = FreeRectangles(area, cuts);

  // At the preferred size, the spot nearest the anchor.
  std::optional<ScreenRect> best;
  int64_t bestDistance = 0;
  for (const ScreenRect& room : free) {
    if (room.width < width || room.height < height) continue;
    ScreenRect spot = NearestInside(room, width, height, anchor, gapPx);
    int64_t distance = DistanceFromBeside(spot, anchor, gapPx);
    if (!best || distance < bestDistance) {
      best = spot;
      bestDistance = distance;
    }
  }
  if (best) return *best;

  // Smaller: the room that gives the largest window, then the nearest.
  int64_t bestArea = 0;
  for (const ScreenRect& room : free) {
    if (room.width < minimumWidth || room.height < minimumHeight) continue;
    int w = std::min(width, room.width);
    int h = std::min(height, room.height);
    ScreenRect spot = NearestInside(room, w, h, anchor, gapPx);
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
