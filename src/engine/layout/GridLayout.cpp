// Grid containers: items placed on the lines of a grid (by number, span, area name or the
// auto-placement cursor), tracks sized from their sizing functions and their items' content,
// then each item laid out in its area and aligned there. Columns are sized before rows, so an
// item's height is known at its column's width.
#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/layout/Layouter.h"

namespace lectryn::engine::layout {

using css::Align;
using css::ComputedStyle;
using css::GridLine;
using css::TrackBreadth;
using css::TrackSize;
using dom::kNoNode;
using dom::NodeId;
using Kind = css::TrackBreadth::Kind;

namespace {

constexpr float kInfinite = std::numeric_limits<float>::infinity();
constexpr int kMaxLines = 1000;  // the grid never grows beyond this many tracks a side

struct GridItem {
  NodeId node = kNoNode;  // kNoNode: an anonymous item, the text of [first, last]
  NodeId first = kNoNode;
  NodeId last = kNoNode;
  int start[2] = {-1, -1};  // by axis (0 columns, 1 rows): the first track, -1 while auto
  int span[2] = {1, 1};
  Edges margin;
  float minContribution[2] = {};  // outer sizes: min- and max-content
  float maxContribution[2] = {};
  int32_t box = -1;
  int32_t boxEnd = -1;
};

struct Track {
  TrackSize size;
  float base = 0;
  float limit = kInfinite;
  float position = 0;
  bool Flexible() const { return size.max.kind == Kind::Fr; }
};

// A breadth's pixels, or -1 when it is not a definite length here.
float Fixed(const TrackBreadth& breadth, float available) {
  if (breadth.kind == Kind::Px) return breadth.value;
  if (breadth.kind == Kind::Percent && std::isfinite(available)) return available * breadth.value / 100.0F;
  return -1;
}

// The explicit tracks of one axis, an automatic repetition repeated as often as it fits.
std::vector<TrackSize> ExplicitTracks(const css::GridTracks* tracks, float available, float gap) {
  if (tracks == nullptr) return {};
  std::vector<TrackSize> out = tracks->tracks;
  if (tracks->repeat.empty()) return out;
  auto size = [&](const TrackSize& t) {
    float max = Fixed(t.max, available);
    float min = Fixed(t.min, available);
    return std::max(0.0F, max >= 0 ? std::max(max, min) : min);
  };
  float fixed = 0;
  for (const TrackSize& t : out) fixed += size(t) + gap;
  float repeat = 0;
  for (const TrackSize& t : tracks->repeat) repeat += size(t) + gap;
  int count = 1;
  if (std::isfinite(available) && repeat > 0)
    count = std::max(1, static_cast<int>(std::floor((available - fixed + gap) / repeat)));
  count = std::min(count, kMaxLines / static_cast<int>(tracks->repeat.size()));
  std::vector<TrackSize> repeated;
  for (int i = 0; i < count; ++i) repeated.insert(repeated.end(), tracks->repeat.begin(), tracks->repeat.end());
  out.insert(out.begin() + static_cast<std::ptrdiff_t>(std::min(tracks->repeatAt, out.size())), repeated.begin(),
             repeated.end());
  return out;
}

// Where an item's lines fall on one axis: its first track and span, the first -1 when auto.
void ResolveLines(const GridLine& startLine, const GridLine& endLine, const css::GridAreas* areas, bool rows,
                  int explicitLines, int* start, int* span) {
  auto lineOf = [&](const GridLine& line, bool isStart) -> int {
    if (line.line > 0) return line.line - 1;
    if (line.line < 0) return std::max(0, explicitLines + line.line);
    if (!line.name.empty() && areas != nullptr) {
      std::string_view name = line.name;
      bool wantStart = isStart;
      if (name.ends_with("-start")) {
        name.remove_suffix(6);
        wantStart = true;
      } else if (name.ends_with("-end")) {
        name.remove_suffix(4);
        wantStart = false;
      }
      for (const css::GridArea& area : areas->areas) {
        if (area.name != name) continue;
        if (rows) return wantStart ? area.rowStart : area.rowEnd;
        return wantStart ? area.columnStart : area.columnEnd;
      }
    }
    return -1;
  };
  int from = startLine.span > 0 ? -1 : lineOf(startLine, true);
  int to = endLine.span > 0 ? -1 : lineOf(endLine, false);
  *span = 1;
  *start = -1;
  if (from >= 0 && to >= 0) {
    if (to < from) std::swap(from, to);
    *start = from;
    *span = std::max(1, to - from);
  } else if (from >= 0) {
    *start = from;
    *span = std::max(1, endLine.span);
  } else if (to >= 0) {
    *span = std::max(1, startLine.span);
    *start = std::max(0, to - *span);
  } else {
    *span = std::max({1, startLine.span, endLine.span});
  }
  *span = std::min(*span, kMaxLines);
  if (*start >= kMaxLines) *start = kMaxLines - 1;
}

// Sizes the tracks of one axis to `available` (infinite when indefinite) from their items'
// contributions, in the steps of the grid sizing algorithm, simplified: items spanning several
// tracks spread what they need evenly over the intrinsic ones.
void SizeTracks(std::vector<Track>& tracks, const std::vector<GridItem>& items, int axis, float available,
                float gap, bool stretch) {
  for (Track& t : tracks) {
    float min = Fixed(t.size.min, available);
    float max = Fixed(t.size.max, available);
    t.base = std::max(0.0F, min);
    t.limit = max >= 0 ? std::max(max, t.base) : t.Flexible() ? kInfinite : -1;  // -1: from the items
  }
  // Items in one track first, then those spanning more, as the algorithm does.
  std::vector<const GridItem*> ordered;
  for (const GridItem& item : items) ordered.push_back(&item);
  std::stable_sort(ordered.begin(), ordered.end(),
                   [&](const GridItem* a, const GridItem* b) { return a->span[axis] < b->span[axis]; });
  for (const GridItem* item : ordered) {
    const int first = item->start[axis];
    const int count = item->span[axis];
    bool flexible = false;
    for (int i = first; i < first + count; ++i) flexible = flexible || tracks[static_cast<size_t>(i)].Flexible();
    if (flexible && count > 1) continue;  // sized by the flexible step
    auto spread = [&](float needed, auto member, auto accepts) {
      float have = gap * static_cast<float>(count - 1);
      int takers = 0;
      for (int i = first; i < first + count; ++i) {
        Track& t = tracks[static_cast<size_t>(i)];
        float value = t.*member;
        have += value < 0 ? t.base : value;
        takers += accepts(t) ? 1 : 0;
      }
      if (needed <= have || takers == 0) {
        for (int i = first; i < first + count; ++i) {
          Track& t = tracks[static_cast<size_t>(i)];
          if (t.*member < 0 && accepts(t)) t.*member = t.base;
        }
        return;
      }
      const float extra = (needed - have) / static_cast<float>(takers);
      for (int i = first; i < first + count; ++i) {
        Track& t = tracks[static_cast<size_t>(i)];
        if (!accepts(t)) continue;
        float& value = t.*member;
        value = (value < 0 ? t.base : value) + extra;
      }
    };
    // Minimums: auto and min-content tracks take the min-content contribution, max-content
    // ones the max-content contribution.
    spread(item->minContribution[axis], &Track::base,
           [](const Track& t) { return t.size.min.kind == Kind::Auto || t.size.min.kind == Kind::MinContent; });
    spread(item->maxContribution[axis], &Track::base,
           [](const Track& t) { return t.size.min.kind == Kind::MaxContent; });
    if (flexible) continue;
    spread(item->minContribution[axis], &Track::limit,
           [](const Track& t) { return t.size.max.kind == Kind::MinContent; });
    spread(item->maxContribution[axis], &Track::limit, [](const Track& t) {
      return t.size.max.kind == Kind::Auto || t.size.max.kind == Kind::MaxContent;
    });
  }
  for (Track& t : tracks) {
    if (t.limit < 0) t.limit = t.base;
    if (!t.Flexible()) t.limit = std::max(t.limit, t.base);
  }
  const float gaps = gap * static_cast<float>(tracks.size() > 0 ? tracks.size() - 1 : 0);
  auto used = [&] {
    float sum = gaps;
    for (const Track& t : tracks) sum += t.base;
    return sum;
  };
  // Grow the tracks towards their limits: all the way when the size is indefinite.
  if (!std::isfinite(available)) {
    for (Track& t : tracks)
      if (!t.Flexible()) t.base = t.limit;
  } else {
    for (int round = 0; round < 8; ++round) {
      float free = available - used();
      int growing = 0;
      for (const Track& t : tracks) growing += !t.Flexible() && t.base < t.limit ? 1 : 0;
      if (free <= 0.01F || growing == 0) break;
      float share = free / static_cast<float>(growing);
      for (Track& t : tracks)
        if (!t.Flexible() && t.base < t.limit) t.base = std::min(t.limit, t.base + share);
    }
  }
  // Flexible tracks share what is left by their fr, none below its base.
  float fr = 0;
  for (const Track& t : tracks)
    if (t.Flexible()) fr += t.size.max.value;
  bool anyFlexible = std::any_of(tracks.begin(), tracks.end(), [](const Track& t) { return t.Flexible(); });
  if (anyFlexible) {
    float frSize = 0;
    if (std::isfinite(available)) {
      std::vector<bool> inflexible(tracks.size(), false);
      for (int round = 0; round < 4; ++round) {
        float leftover = available - gaps;
        float factors = 0;
        for (size_t i = 0; i < tracks.size(); ++i) {
          if (tracks[i].Flexible() && !inflexible[i])
            factors += tracks[i].size.max.value;
          else
            leftover -= tracks[i].base;
        }
        frSize = leftover / std::max(factors, 1.0F);
        bool changed = false;
        for (size_t i = 0; i < tracks.size(); ++i) {
          if (tracks[i].Flexible() && !inflexible[i] && tracks[i].size.max.value * frSize < tracks[i].base) {
            inflexible[i] = true;
            changed = true;
          }
        }
        if (!changed) break;
      }
    } else {
      for (const Track& t : tracks)
        if (t.Flexible() && t.size.max.value > 0) frSize = std::max(frSize, t.base / std::max(t.size.max.value, 1.0F));
      for (const GridItem& item : items) {
        int first = item.start[axis];
        float factors = 0;
        float fixed = gap * static_cast<float>(item.span[axis] - 1);
        for (int i = first; i < first + item.span[axis]; ++i) {
          const Track& t = tracks[static_cast<size_t>(i)];
          if (t.Flexible())
            factors += t.size.max.value;
          else
            fixed += t.base;
        }
        if (factors > 0) frSize = std::max(frSize, (item.maxContribution[axis] - fixed) / std::max(factors, 1.0F));
      }
    }
    for (Track& t : tracks)
      if (t.Flexible()) t.base = std::max(t.base, t.size.max.value * std::max(0.0F, frSize));
  }
  // Auto tracks stretch into the rest.
  if (stretch && std::isfinite(available)) {
    float free = available - used();
    int autos = 0;
    for (const Track& t : tracks) autos += t.size.max.kind == Kind::Auto ? 1 : 0;
    if (free > 0 && autos > 0) {
      for (Track& t : tracks)
        if (t.size.max.kind == Kind::Auto) t.base += free / static_cast<float>(autos);
    }
  }
}

// Places the tracks from `offset`, spreading free space as justify- or align-content says.
void Position(std::vector<Track>& tracks, Align align, float available, float gap) {
  float used = gap * static_cast<float>(tracks.empty() ? 0 : tracks.size() - 1);
  for (const Track& t : tracks) used += t.base;
  float start = 0;
  float between = 0;
  const float free = std::isfinite(available) ? available - used : 0;
  const auto count = static_cast<float>(tracks.size());
  switch (align) {
    case Align::End:
      start = free;
      break;
    case Align::Center:
      start = free / 2;
      break;
    case Align::SpaceBetween:
      if (free > 0 && tracks.size() > 1) between = free / (count - 1);
      break;
    case Align::SpaceAround:
      if (free > 0) {
        between = free / count;
        start = between / 2;
      }
      break;
    case Align::SpaceEvenly:
      if (free > 0) {
        between = free / (count + 1);
        start = between;
      }
      break;
    default:
      break;
  }
  float at = start;
  for (Track& t : tracks) {
    t.position = at;
    at += t.base + gap + between;
  }
}

}  // namespace

// The grid's items and their places: `columns` and `rows` come back sized to the grid.
struct Layouter::GridPlan {
  std::vector<GridItem> items;
  std::vector<Track> columns, rows;
};

void Layouter::PlanGrid(NodeId node, float width, std::optional<float> height, GridPlan& plan) {
  const ComputedStyle& style = Style(node);
  const float columnGap = std::max(0.0F, style.columnGap.Resolve(width));
  const float rowGap = std::max(0.0F, style.rowGap.Resolve(height.value_or(0)));
  std::vector<TrackSize> columns = ExplicitTracks(style.gridColumns.get(), width, columnGap);
  std::vector<TrackSize> rows = ExplicitTracks(style.gridRows.get(), height.value_or(kInfinite), rowGap);
  const css::GridAreas* areas = style.gridAreas.get();
  if (areas != nullptr) {
    if (static_cast<int>(columns.size()) < areas->columns) columns.resize(static_cast<size_t>(areas->columns), style.gridAutoColumns);
    if (static_cast<int>(rows.size()) < areas->rows) rows.resize(static_cast<size_t>(areas->rows), style.gridAutoRows);
  }
  const int explicitColumns = static_cast<int>(columns.size());
  const int explicitRows = static_cast<int>(rows.size());

  // The items: element children and the runs of text between them.
  NodeId runFirst = kNoNode;
  NodeId runLast = kNoNode;
  auto flush = [&] {
    if (runFirst != kNoNode) {
      GridItem item;
      item.first = runFirst;
      item.last = runLast;
      plan.items.push_back(item);
    }
    runFirst = runLast = kNoNode;
  };
  for (NodeId child = tree_[node].firstChild; child != kNoNode; child = tree_[child].nextSibling) {
    if (!Rendered(child)) continue;
    if (tree_[child].IsElement() && BlockLevel(child)) {
      flush();
      if (OutOfFlow(child)) continue;
      GridItem item;
      item.node = child;
      const ComputedStyle& s = Style(child);
      ResolveLines(s.gridColumnStart, s.gridColumnEnd, areas, false, explicitColumns + 1, &item.start[0], &item.span[0]);
      ResolveLines(s.gridRowStart, s.gridRowEnd, areas, true, explicitRows + 1, &item.start[1], &item.span[1]);
      plan.items.push_back(item);
    } else if (runFirst != kNoNode || !Blank(child)) {
      if (runFirst == kNoNode) runFirst = child;
      runLast = child;
    }
  }
  flush();

  // Auto-placement along the flow's axis (major) across the other (minor), whose count is fixed.
  const int major = (style.gridAutoFlow & css::kFlowColumn) != 0 ? 0 : 1;
  const int minor = 1 - major;
  const bool dense = (style.gridAutoFlow & css::kFlowDense) != 0;
  int minorCount = major == 1 ? explicitColumns : explicitRows;
  for (const GridItem& item : plan.items)
    minorCount = std::max(minorCount, (item.start[minor] >= 0 ? item.start[minor] : 0) + item.span[minor]);
  minorCount = std::clamp(minorCount, 1, kMaxLines);
  std::vector<std::vector<bool>> taken;  // [major][minor]
  auto fits = [&](int at, int across, const GridItem& item) {
    if (across + item.span[minor] > minorCount || at + item.span[major] > kMaxLines) return false;
    for (int a = at; a < at + item.span[major] && a < static_cast<int>(taken.size()); ++a)
      for (int b = across; b < across + item.span[minor]; ++b)
        if (taken[static_cast<size_t>(a)][static_cast<size_t>(b)]) return false;
    return true;
  };
  auto take = [&](GridItem& item, int at, int across) {
    item.start[major] = at;
    item.start[minor] = across;
    while (static_cast<int>(taken.size()) < at + item.span[major]) taken.emplace_back(static_cast<size_t>(minorCount), false);
    for (int a = at; a < at + item.span[major]; ++a)
      for (int b = across; b < std::min(across + item.span[minor], minorCount); ++b)
        taken[static_cast<size_t>(a)][static_cast<size_t>(b)] = true;
  };
  for (GridItem& item : plan.items) {
    if (item.start[0] >= 0 && item.start[1] >= 0) take(item, item.start[major], item.start[minor]);
  }
  // Items fixed on the major axis find their place along it.
  std::vector<int> cursorOf(kMaxLines, 0);
  for (GridItem& item : plan.items) {
    if (item.start[major] < 0 || item.start[minor] >= 0) continue;
    const int at = item.start[major];
    int across = dense ? 0 : cursorOf[static_cast<size_t>(at)];
    while (across < minorCount && !fits(at, across, item)) ++across;
    if (across >= minorCount) across = 0;
    take(item, at, across);
    cursorOf[static_cast<size_t>(at)] = across + item.span[minor];
  }
  int cursorMajor = 0;
  int cursorMinor = 0;
  for (GridItem& item : plan.items) {
    if (item.start[major] >= 0) continue;
    if (dense) cursorMajor = cursorMinor = 0;
    if (item.start[minor] >= 0) {
      if (!dense && item.start[minor] < cursorMinor) ++cursorMajor;
      while (!fits(cursorMajor, item.start[minor], item)) ++cursorMajor;
      take(item, cursorMajor, item.start[minor]);
      cursorMinor = item.start[minor] + item.span[minor];
      continue;
    }
    while (true) {
      if (cursorMinor + item.span[minor] > minorCount) {
        ++cursorMajor;
        cursorMinor = 0;
      }
      if (fits(cursorMajor, cursorMinor, item) || cursorMajor >= kMaxLines) break;
      ++cursorMinor;
    }
    take(item, cursorMajor, cursorMinor);
    cursorMinor += item.span[minor];
  }

  // The tracks: the explicit ones, then implicit ones for items beyond them.
  int columnCount = std::max(explicitColumns, 1);
  int rowCount = explicitRows;
  for (const GridItem& item : plan.items) {
    columnCount = std::max(columnCount, item.start[0] + item.span[0]);
    rowCount = std::max(rowCount, item.start[1] + item.span[1]);
  }
  columnCount = std::min(columnCount, kMaxLines);
  rowCount = std::min(rowCount, kMaxLines);
  for (GridItem& item : plan.items) {
    for (int axis = 0; axis < 2; ++axis) {
      int count = axis == 0 ? columnCount : rowCount;
      item.start[axis] = std::clamp(item.start[axis], 0, std::max(0, count - 1));
      item.span[axis] = std::clamp(item.span[axis], 1, count - item.start[axis]);
    }
  }
  plan.columns.assign(static_cast<size_t>(columnCount), Track{});
  for (int i = 0; i < columnCount; ++i)
    plan.columns[static_cast<size_t>(i)].size = i < explicitColumns ? columns[static_cast<size_t>(i)] : style.gridAutoColumns;
  plan.rows.assign(static_cast<size_t>(rowCount), Track{});
  for (int i = 0; i < rowCount; ++i)
    plan.rows[static_cast<size_t>(i)].size = i < explicitRows ? rows[static_cast<size_t>(i)] : style.gridAutoRows;

  // Widths each item would take.
  for (GridItem& item : plan.items) {
    IntrinsicWidths widths;
    if (item.node == kNoNode) {
      widths = IntrinsicOfInline(item.first, item.last);
    } else {
      widths = Intrinsic(item.node);
      const ComputedStyle& s = Style(item.node);
      item.margin = MarginOf(s, width);
      float margins = 0;
      for (int side : {css::kLeft, css::kRight})
        if (s.margin[static_cast<size_t>(side)].unit == css::LengthUnit::Px) margins += s.margin[static_cast<size_t>(side)].value;
      widths.min += margins;
      widths.max += margins;
    }
    item.minContribution[0] = widths.min;
    item.maxContribution[0] = widths.max;
  }
}

IntrinsicWidths Layouter::IntrinsicOfGrid(NodeId node) {
  GridPlan plan;
  PlanGrid(node, kInfinite, std::nullopt, plan);
  const float gap = Style(node).columnGap.unit == css::LengthUnit::Px ? Style(node).columnGap.value : 0;
  std::vector<Track> minTracks = plan.columns;
  std::vector<GridItem> minItems = plan.items;
  for (GridItem& item : minItems) item.maxContribution[0] = item.minContribution[0];
  SizeTracks(minTracks, minItems, 0, kInfinite, gap, false);
  SizeTracks(plan.columns, plan.items, 0, kInfinite, gap, false);
  IntrinsicWidths widths;
  const float gaps = gap * static_cast<float>(plan.columns.size() - 1);
  widths.min = gaps;
  widths.max = gaps;
  for (const Track& t : minTracks) widths.min += t.base;
  for (const Track& t : plan.columns) widths.max += t.base;
  widths.max = std::max(widths.max, widths.min);
  return widths;
}

void Layouter::LayOutGrid(NodeId node, int32_t box, const Containing& content, BlockFlow& flow) {
  const ComputedStyle& style = Style(node);
  const float contentTop = flow.cursorY;
  for (NodeId child = tree_[node].firstChild; child != kNoNode; child = tree_[child].nextSibling) {
    if (Rendered(child) && tree_[child].IsElement() && OutOfFlow(child)) LayOutAbsolute(child, box, content, contentTop);
  }
  GridPlan plan;
  PlanGrid(node, content.width, content.height, plan);
  const float columnGap = std::max(0.0F, style.columnGap.Resolve(content.width));
  const float rowGap = std::max(0.0F, style.rowGap.Resolve(content.height.value_or(0)));
  const bool stretchColumns = style.justifyContent == Align::Normal || style.justifyContent == Align::Stretch;
  const bool stretchRows = style.alignContent == Align::Normal || style.alignContent == Align::Stretch;
  SizeTracks(plan.columns, plan.items, 0, content.width, columnGap, stretchColumns);
  Position(plan.columns, style.justifyContent, content.width, columnGap);

  auto areaWidth = [&](const GridItem& item) {
    const Track& first = plan.columns[static_cast<size_t>(item.start[0])];
    const Track& last = plan.columns[static_cast<size_t>(item.start[0] + item.span[0] - 1)];
    return last.position + last.base - first.position;
  };
  auto selfAlign = [&](const GridItem& item, int axis) {
    if (item.node == kNoNode) return Align::Stretch;
    const ComputedStyle& s = Style(item.node);
    Align self = axis == 0 ? (s.justifySelf == Align::Auto ? style.justifyItems : s.justifySelf)
                           : (s.alignSelf == Align::Auto ? style.alignItems : s.alignSelf);
    if (self == Align::Normal) return ReplacedKindOf(item.node) == ReplacedKind::None ? Align::Stretch : Align::Start;
    return self;
  };
  auto stretches = [&](const GridItem& item, int axis) {
    if (selfAlign(item, axis) != Align::Stretch) return false;
    if (item.node == kNoNode) return true;
    const ComputedStyle& s = Style(item.node);
    const auto& size = axis == 0 ? s.width : s.height;
    const int before = axis == 0 ? css::kLeft : css::kTop;
    const int after = axis == 0 ? css::kRight : css::kBottom;
    return size.IsAuto() && !s.margin[static_cast<size_t>(before)].IsAuto() && !s.margin[static_cast<size_t>(after)].IsAuto();
  };
  // Each item's border-box width in its area.
  std::vector<float> widths(plan.items.size(), -1);
  for (size_t i = 0; i < plan.items.size(); ++i) {
    GridItem& item = plan.items[i];
    const float area = std::max(0.0F, areaWidth(item) - item.margin.left - item.margin.right);
    if (item.node == kNoNode || stretches(item, 0))
      widths[i] = area;
    else if (Style(item.node).width.IsAuto())
      widths[i] = ShrinkToFitWidth(item.node, area);
  }
  const Checkpoint start = Mark();
  ++flexNesting_;
  auto layOut = [&](GridItem& item, float width, std::optional<float> height) {
    const Track& column = plan.columns[static_cast<size_t>(item.start[0])];
    const float x = content.x + column.position + item.margin.left;
    if (item.node == kNoNode)
      return LayOutAnonymousItem(item.first, item.last, box, x, width, contentTop, height, &item.box, &item.boxEnd);
    BlockFlow itemFlow;
    itemFlow.cursorY = contentTop;
    const Containing cb{content.x + column.position, areaWidth(item), std::nullopt};
    item.box = LayOutBlock(item.node, box, cb, itemFlow, BoxKind::Block,
                           width >= 0 ? std::optional(width) : std::nullopt, height);
    item.boxEnd = Out(item.box).end;
    return Out(item.box).border.h;
  };
  for (size_t i = 0; i < plan.items.size(); ++i) {
    GridItem& item = plan.items[i];
    const float height = layOut(item, widths[i], std::nullopt) + item.margin.top + item.margin.bottom;
    item.minContribution[1] = item.maxContribution[1] = height;
  }
  SizeTracks(plan.rows, plan.items, 1, content.height.value_or(kInfinite), rowGap, stretchRows);
  Position(plan.rows, style.alignContent, content.height.value_or(kInfinite), rowGap);

  auto areaHeight = [&](const GridItem& item) {
    const Track& first = plan.rows[static_cast<size_t>(item.start[1])];
    const Track& last = plan.rows[static_cast<size_t>(item.start[1] + item.span[1] - 1)];
    return last.position + last.base - first.position;
  };
  // Stretched items take their area's height; those whose content depends on it are laid out again.
  std::vector<float> heights(plan.items.size(), -1);
  bool again = false;
  for (size_t i = 0; i < plan.items.size(); ++i) {
    GridItem& item = plan.items[i];
    if (item.box < 0 || !stretches(item, 1)) continue;
    heights[i] = std::max(0.0F, areaHeight(item) - item.margin.top - item.margin.bottom);
    if (item.node != kNoNode) {
      const Box& placed = Out(item.box);
      const float edges = placed.borderWidths.top + placed.borderWidths.bottom + placed.padding.top + placed.padding.bottom;
      heights[i] = edges + ClampHeight(Style(item.node), content, std::max(0.0F, heights[i] - edges));
    }
    again = again || (std::abs(heights[i] - Out(item.box).border.h) > 0.01F && DependsOnHeight(item.node));
  }
  const auto laidOut = static_cast<int64_t>(out_->boxes.size() - start.boxes);
  if (again && relayoutBudget_ >= laidOut) {
    relayoutBudget_ -= laidOut;
    Rollback(start);
    for (size_t i = 0; i < plan.items.size(); ++i)
      layOut(plan.items[i], widths[i], heights[i] >= 0 ? std::optional(heights[i]) : std::nullopt);
  }
  if (--flexNesting_ == 0) counterLog_.clear();

  for (size_t i = 0; i < plan.items.size(); ++i) {
    GridItem& item = plan.items[i];
    if (item.box < 0) continue;
    Box& placed = Out(item.box);
    if (heights[i] >= 0) placed.border.h = heights[i];
    const Track& column = plan.columns[static_cast<size_t>(item.start[0])];
    const Track& row = plan.rows[static_cast<size_t>(item.start[1])];
    auto offset = [&](int axis, float area, float size, float before, float after, bool autoBefore, bool autoAfter) {
      const float free = area - size - before - after;
      if (autoBefore || autoAfter) return before + (free <= 0 ? 0 : autoBefore && autoAfter ? free / 2 : autoBefore ? free : 0);
      switch (selfAlign(item, axis)) {
        case Align::End:
          return before + free;
        case Align::Center:
          return before + free / 2;
        default:
          return before;
      }
    };
    bool autoMargin[4] = {};
    if (item.node != kNoNode)
      for (int side = 0; side < 4; ++side) autoMargin[side] = Style(item.node).margin[static_cast<size_t>(side)].IsAuto();
    const float x = content.x + column.position +
                    offset(0, areaWidth(item), placed.border.w, item.margin.left, item.margin.right, autoMargin[css::kLeft],
                           autoMargin[css::kRight]);
    const float y = contentTop + row.position +
                    offset(1, areaHeight(item), placed.border.h, item.margin.top, item.margin.bottom, autoMargin[css::kTop],
                           autoMargin[css::kBottom]);
    Translate(item.box, item.boxEnd, x - placed.border.x, y - placed.border.y);
  }

  float height = 0;
  if (!plan.rows.empty()) height = plan.rows.back().position + plan.rows.back().base;
  flow.strut = {};
  flow.cursorY = contentTop + std::max(0.0F, height);
  if (!flow.firstContentY) flow.firstContentY = contentTop;
}

}  // namespace lectryn::engine::layout
