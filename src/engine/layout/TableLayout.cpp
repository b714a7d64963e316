// Tables with automatic layout (CSS 2.1 section 17.5.2, as browsers do it for HTML tables):
// cells go on a grid by their row and column spans, columns take widths between their cells'
// min- and max-content widths, and cells are aligned in their rows.
#include <algorithm>
#include <numeric>

#include "engine/layout/Layouter.h"

namespace lectryn::engine::layout {

using css::ComputedStyle;
using css::Display;
using dom::kNoNode;
using dom::NodeId;

namespace {

constexpr int32_t kMaxSpan = 1000;
constexpr int32_t kMaxColumns = 10000;

int32_t SpanAttribute(const dom::Tree& tree, NodeId cell, const char* name) {
  const std::u16string* value = tree.AttributeValue(cell, name);
  if (value == nullptr) return 1;
  int32_t span = 0;
  bool digits = false;
  for (char16_t c : *value) {
    if (c < u'0' || c > u'9') {
      if (digits || c != u' ') break;
      continue;
    }
    digits = true;
    span = std::min(kMaxSpan, span * 10 + (c - u'0'));
  }
  return digits ? span : 1;
}

}  // namespace

class TableFormatter {
 public:
  TableFormatter(Layouter& layouter, NodeId table) : l_(layouter), table_(table) { Build(); }

  IntrinsicWidths Intrinsic();
  void LayOut(int32_t box, const Containing& content, BlockFlow& flow);
  // Collapsed borders: each cell's share of the borders it meets, and the table's of its edges.
  void CollapseBorders();

 private:
  struct Cell {
    NodeId node = kNoNode;
    int32_t row = 0;
    int32_t column = 0;
    int32_t rowSpan = 1;
    int32_t columnSpan = 1;
    int32_t box = -1;
    float height = 0;    // of its content laid out at its width
    float baseline = 0;  // of its first line, from the top of its border box
  };
  struct Row {
    NodeId node = kNoNode;   // the row element; kNoNode for cells that stood in no row
    NodeId group = kNoNode;  // its row group
    int32_t groupEnd = 0;    // the row after its group's last: row spans end there
    float top = 0;
    float height = 0;
  };
  struct Column {
    float min = 0;
    float max = 0;
    float fixed = 0;    // px width asked by a cell
    float percent = 0;  // percent width asked by a cell
  };

  void Build();
  void AddColumns(NodeId parent);
  void EndRowSpans();
  void AddRow(NodeId row, NodeId group);
  void Place(NodeId cell, int32_t row);
  void MeasureColumns();
  std::vector<float> ColumnWidths(float width);
  float Spacing() const { return l_.Style(table_).borderCollapse ? 0 : l_.Style(table_).borderSpacingX; }
  float RowSpacing() const { return l_.Style(table_).borderCollapse ? 0 : l_.Style(table_).borderSpacingY; }
  void AlignCell(Cell& cell, float height);

  Layouter& l_;
  NodeId table_;
  std::vector<NodeId> captions_;
  std::vector<Row> rows_;
  std::vector<Cell> cells_;
  std::vector<Column> columns_;
  std::vector<int32_t> occupiedUntil_;  // by column: the first row free again below a row-spanning cell
  std::vector<css::Length> columnWidths_;  // by column: the width a <col> or <colgroup> asks for
  bool measured_ = false;
};

void TableFormatter::Build() {
  const dom::Tree& tree = l_.tree_;
  auto displayOf = [&](NodeId node) { return l_.Style(node).display; };
  NodeId strayRow = kNoNode;  // cells straight in the table or a group share one anonymous row
  auto visitRows = [&](NodeId parent, NodeId group) {
    for (NodeId child = tree[parent].firstChild; child != kNoNode; child = tree[child].nextSibling) {
      if (!tree[child].IsElement() || !l_.Rendered(child)) continue;
      Display display = displayOf(child);
      if (display == Display::TableRow) {
        AddRow(child, group);
        strayRow = kNoNode;
      } else if (display == Display::TableCell) {
        if (strayRow == kNoNode) {
          AddRow(kNoNode, group);
          strayRow = child;
        }
        Place(child, static_cast<int32_t>(rows_.size()) - 1);
      }
    }
  };
  for (NodeId child = tree[table_].firstChild; child != kNoNode; child = tree[child].nextSibling) {
    if (!tree[child].IsElement() || !l_.Rendered(child)) continue;
    Display display = displayOf(child);
    if (display == Display::TableCaption) {
      captions_.push_back(child);
    } else if (display == Display::TableColumnGroup || display == Display::TableColumn) {
      AddColumns(child);
    } else if (display == Display::TableRowGroup || display == Display::TableHeaderGroup ||
               display == Display::TableFooterGroup) {
      strayRow = kNoNode;
      EndRowSpans();
      visitRows(child, child);
      EndRowSpans();
      strayRow = kNoNode;
    } else if (display == Display::TableRow || display == Display::TableCell) {
      // Rows straight in the table: visit just this child as if the table were their group.
      if (display == Display::TableRow) {
        AddRow(child, kNoNode);
        strayRow = kNoNode;
      } else {
        if (strayRow == kNoNode) {
          AddRow(kNoNode, kNoNode);
          strayRow = child;
        }
        Place(child, static_cast<int32_t>(rows_.size()) - 1);
      }
    }
  }
  // Row spans end with their group; rows straight in the table between groups make one of their own.
  for (size_t r = rows_.size(); r-- > 0;) {
    const bool sameGroup = r + 1 < rows_.size() && rows_[r + 1].group == rows_[r].group;
    rows_[r].groupEnd = sameGroup ? rows_[r + 1].groupEnd : static_cast<int32_t>(r) + 1;
  }
  for (Cell& cell : cells_) cell.rowSpan = std::min(cell.rowSpan, rows_[static_cast<size_t>(cell.row)].groupEnd - cell.row);
}

// Cells spanning rows reach no further than their row group.
void TableFormatter::EndRowSpans() {
  for (int32_t& until : occupiedUntil_) until = std::min(until, static_cast<int32_t>(rows_.size()));
}

// A <colgroup> with <col>s gives their widths; one without, its own to each of its span.
void TableFormatter::AddColumns(NodeId parent) {
  const dom::Tree& tree = l_.tree_;
  auto add = [&](NodeId column, const css::Length& inherited) {
    const css::Length& width = l_.Style(column).width.IsAuto() ? inherited : l_.Style(column).width;
    for (int32_t i = SpanAttribute(tree, column, "span"); i > 0 && columnWidths_.size() < kMaxColumns; --i)
      columnWidths_.push_back(width);
  };
  bool hasColumns = false;
  if (l_.Style(parent).display == Display::TableColumnGroup) {
    for (NodeId child = tree[parent].firstChild; child != kNoNode; child = tree[child].nextSibling) {
      if (!tree[child].IsElement() || l_.Style(child).display != Display::TableColumn) continue;
      hasColumns = true;
      add(child, l_.Style(parent).width);
    }
  }
  if (!hasColumns) add(parent, css::Length{});
}

void TableFormatter::AddRow(NodeId row, NodeId group) {
  rows_.push_back({row, group, 0, 0});
  if (row == kNoNode) return;
  const dom::Tree& tree = l_.tree_;
  const auto index = static_cast<int32_t>(rows_.size()) - 1;
  for (NodeId child = tree[row].firstChild; child != kNoNode; child = tree[child].nextSibling) {
    if (tree[child].IsElement() && l_.Rendered(child) && l_.Style(child).display == Display::TableCell)
      Place(child, index);
  }
}

void TableFormatter::Place(NodeId cell, int32_t row) {
  // The first column at or after the row's last cell that no cell from a row above still covers.
  int32_t column = 0;
  for (auto it = cells_.rbegin(); it != cells_.rend() && it->row == row; ++it) {
    column = std::max(column, it->column + it->columnSpan);
    break;
  }
  while (column < static_cast<int32_t>(occupiedUntil_.size()) &&
         occupiedUntil_[static_cast<size_t>(column)] > row)
    ++column;
  if (column >= kMaxColumns) return;
  Cell placed;
  placed.node = cell;
  placed.row = row;
  placed.column = column;
  placed.columnSpan = std::min(SpanAttribute(l_.tree_, cell, "colspan"), kMaxColumns - column);
  placed.columnSpan = std::max(placed.columnSpan, 1);
  placed.rowSpan = std::max(1, SpanAttribute(l_.tree_, cell, "rowspan"));
  auto end = static_cast<size_t>(column + placed.columnSpan);
  if (occupiedUntil_.size() < end) occupiedUntil_.resize(end, 0);
  for (size_t c = static_cast<size_t>(column); c < end; ++c) occupiedUntil_[c] = row + placed.rowSpan;
  cells_.push_back(placed);
}

void TableFormatter::MeasureColumns() {
  if (measured_) return;
  measured_ = true;
  columns_.assign(occupiedUntil_.size(), Column{});
  std::vector<size_t> spanning;
  for (size_t i = 0; i < cells_.size(); ++i) {
    const Cell& cell = cells_[i];
    if (cell.columnSpan > 1) {
      spanning.push_back(i);
      continue;
    }
    IntrinsicWidths widths = l_.Intrinsic(cell.node);
    Column& column = columns_[static_cast<size_t>(cell.column)];
    column.min = std::max(column.min, widths.min);
    column.max = std::max(column.max, widths.max);
    const css::Length& width = l_.Style(cell.node).width;
    if (width.unit == css::LengthUnit::Px) column.fixed = std::max(column.fixed, widths.min);
    if (width.unit == css::LengthUnit::Percent) column.percent = std::max(column.percent, width.value);
  }
  // Cells spanning several columns widen them in proportion to what they already ask for.
  const float spacing = Spacing();
  for (size_t i : spanning) {
    const Cell& cell = cells_[i];
    IntrinsicWidths widths = l_.Intrinsic(cell.node);
    auto first = columns_.begin() + cell.column;
    auto last = first + cell.columnSpan;
    float inner = spacing * static_cast<float>(cell.columnSpan - 1);
    float min = inner;
    float max = inner;
    for (auto c = first; c != last; ++c) {
      min += c->min;
      max += c->max;
    }
    auto widen = [&](float Column::*field, float wanted, float have) {
      if (wanted <= have) return;
      float extra = wanted - have;
      float total = 0;
      for (auto c = first; c != last; ++c) total += c->max;
      for (auto c = first; c != last; ++c) {
        float share = total > 0 ? c->max / total : 1.0F / static_cast<float>(cell.columnSpan);
        (*c).*field += extra * share;
      }
    };
    widen(&Column::min, widths.min, min);
    widen(&Column::max, widths.max, max);
    for (auto c = first; c != last; ++c) c->max = std::max(c->max, c->min);
  }
  for (size_t c = 0; c < columns_.size() && c < columnWidths_.size(); ++c) {
    const css::Length& width = columnWidths_[c];
    if (width.unit == css::LengthUnit::Px) columns_[c].fixed = std::max(columns_[c].fixed, width.value);
    if (width.unit == css::LengthUnit::Percent) columns_[c].percent = std::max(columns_[c].percent, width.value);
  }
  for (Column& column : columns_) {
    if (column.fixed > 0) column.max = std::max(column.min, column.fixed);
  }
}

IntrinsicWidths TableFormatter::Intrinsic() {
  MeasureColumns();
  float spacing = Spacing() * static_cast<float>(columns_.size() + 1);
  IntrinsicWidths result{spacing, spacing};
  for (const Column& column : columns_) {
    result.min += column.min;
    result.max += column.max;
  }
  for (NodeId caption : captions_) result.min = std::max(result.min, l_.Intrinsic(caption).min);
  return result;
}

// Column widths that fill `width` (the table's content width without the spacing between cells).
std::vector<float> TableFormatter::ColumnWidths(float width) {
  std::vector<float> widths(columns_.size(), 0);
  float remaining = width;
  std::vector<size_t> autos;
  for (size_t i = 0; i < columns_.size(); ++i) {
    const Column& column = columns_[i];
    if (column.percent > 0) {
      widths[i] = std::max(column.min, width * column.percent / 100);
    } else if (column.fixed > 0) {
      widths[i] = std::max(column.min, column.fixed);
    } else {
      autos.push_back(i);
      continue;
    }
    remaining -= widths[i];
  }
  float minSum = 0;
  float maxSum = 0;
  for (size_t i : autos) {
    minSum += columns_[i].min;
    maxSum += columns_[i].max;
  }
  if (!autos.empty()) {
    if (remaining >= maxSum) {
      float extra = remaining - maxSum;
      for (size_t i : autos) {
        float share = maxSum > 0 ? columns_[i].max / maxSum : 1.0F / static_cast<float>(autos.size());
        widths[i] = columns_[i].max + extra * share;
      }
    } else if (remaining > minSum && maxSum > minSum) {
      float part = (remaining - minSum) / (maxSum - minSum);
      for (size_t i : autos) widths[i] = columns_[i].min + (columns_[i].max - columns_[i].min) * part;
    } else {
      for (size_t i : autos) widths[i] = columns_[i].min;
    }
    return widths;
  }
  // Only fixed and percentage columns: what is left over goes to all of them.
  float sum = std::accumulate(widths.begin(), widths.end(), 0.0F);
  if (sum > 0 && remaining > 0) {
    for (float& w : widths) w += remaining * w / sum;
  }
  return widths;
}

void TableFormatter::AlignCell(Cell& cell, float height) {
  Box& box = l_.Out(cell.box);
  const Edges& border = box.borderWidths;
  const Edges& padding = box.padding;
  float room = height - cell.height;
  float dy = 0;
  switch (l_.Style(cell.node).verticalAlign) {
    case css::VerticalAlign::Middle:
      dy = room / 2;
      break;
    case css::VerticalAlign::Bottom:
      dy = room;
      break;
    default:
      break;
  }
  (void)border;
  (void)padding;
  if (dy > 0) l_.Translate(cell.box + 1, box.end, 0, dy);
  box.border.h = height;
}

void TableFormatter::LayOut(int32_t tableBox, const Containing& content, BlockFlow& flow) {
  float y = flow.Resolve();
  for (NodeId caption : captions_) {
    BlockFlow captionFlow;
    captionFlow.cursorY = y;
    l_.LayOutBlock(caption, tableBox, content, captionFlow);
    y = captionFlow.cursorY + captionFlow.strut.Sum();
  }
  MeasureColumns();
  const float spacing = Spacing();
  const float rowSpacing = RowSpacing();
  const auto columnCount = static_cast<float>(columns_.size());
  std::vector<float> widths = ColumnWidths(std::max(0.0F, content.width - spacing * (columnCount + 1)));
  std::vector<float> xs(widths.size() + 1, content.x + spacing);
  for (size_t c = 0; c < widths.size(); ++c) xs[c + 1] = xs[c] + widths[c] + spacing;

  // Rows go in groups; a group box opens before its first row and closes after its last.
  size_t next = 0;
  int32_t groupBox = -1;
  NodeId group = kNoNode;
  std::vector<int32_t> rowBoxes(rows_.size(), -1);
  y += rowSpacing;
  for (size_t r = 0; r < rows_.size(); ++r) {
    Row& row = rows_[r];
    if (row.group != group) {
      if (groupBox >= 0) l_.CloseBox(groupBox);
      group = row.group;
      groupBox = group != kNoNode ? l_.OpenBox(BoxKind::Block, group, tableBox) : -1;
      if (groupBox >= 0) l_.Out(groupBox).border = {content.x, y, content.width, 0};
    }
    int32_t parent = groupBox >= 0 ? groupBox : tableBox;
    rowBoxes[r] =
        l_.OpenBox(row.node != kNoNode ? BoxKind::Block : BoxKind::AnonymousBlock, row.node, parent);
    row.top = y;
    float height = 0;
    if (row.node != kNoNode && l_.Style(row.node).height.unit == css::LengthUnit::Px)
      height = l_.Style(row.node).height.value;
    float baseline = 0;
    for (; next < cells_.size() && cells_[next].row == static_cast<int32_t>(r); ++next) {
      Cell& cell = cells_[next];
      auto first = static_cast<size_t>(cell.column);
      auto last = std::min(first + static_cast<size_t>(cell.columnSpan), widths.size());
      float width = xs[last] - xs[first] - spacing;
      BlockFlow cellFlow;
      cellFlow.cursorY = y;
      Containing at{xs[first], width, std::nullopt};
      cell.box = l_.LayOutBlock(cell.node, rowBoxes[r], at, cellFlow, BoxKind::Block, width);
      const Box& box = l_.Out(cell.box);
      cell.height = box.border.h;
      cell.baseline = box.border.h;
      for (int32_t b = cell.box + 1; b < box.end; ++b) {
        if (l_.Out(b).kind == BoxKind::Line && l_.Out(b).border.h > 0) {
          cell.baseline = l_.Out(b).baseline - box.border.y;
          break;
        }
      }
      if (l_.Style(cell.node).verticalAlign == css::VerticalAlign::Baseline)
        baseline = std::max(baseline, cell.baseline);
      if (cell.rowSpan == 1) height = std::max(height, cell.height);
    }
    // Baseline-aligned cells move down to the row's common baseline.
    for (size_t c = next; c-- > 0 && cells_[c].row == static_cast<int32_t>(r);) {
      Cell& cell = cells_[c];
      if (l_.Style(cell.node).verticalAlign != css::VerticalAlign::Baseline) continue;
      float dy = baseline - cell.baseline;
      if (dy <= 0) continue;
      Box& box = l_.Out(cell.box);
      l_.Translate(cell.box + 1, box.end, 0, dy);
      cell.height += dy;
      if (cell.rowSpan == 1) height = std::max(height, cell.height);
    }
    row.height = height;
    l_.Out(rowBoxes[r]).border = {content.x, y, content.width, height};
    l_.CloseBox(rowBoxes[r]);
    y += height + rowSpacing;
  }
  if (groupBox >= 0) l_.CloseBox(groupBox);
  // Cells spanning rows make their rows taller when they need it, each in proportion to its height
  // (evenly when they have none); whatever follows a row that grows, in its group and in the groups
  // after it, moves down. Then every cell stretches to its rows.
  for (Cell& cell : cells_) {
    if (cell.rowSpan <= 1) continue;
    const auto first = static_cast<size_t>(cell.row);
    const size_t last = std::min(rows_.size(), first + static_cast<size_t>(cell.rowSpan)) - 1;
    const float need = rows_[first].top + cell.height - (rows_[last].top + rows_[last].height);
    if (need <= 0) continue;
    float heights = 0;
    for (size_t r = first; r <= last; ++r) heights += rows_[r].height;
    for (size_t r = first; r <= last; ++r) {
      const float share = heights > 0 ? need * rows_[r].height / heights : need / static_cast<float>(last - first + 1);
      rows_[r].height += share;
      l_.Out(rowBoxes[r]).border.h += share;
      for (size_t below = r + 1; below < rows_.size(); ++below) rows_[below].top += share;
      l_.Translate(l_.Out(rowBoxes[r]).end, static_cast<int32_t>(l_.out_->boxes.size()), 0, share);
      y += share;
    }
  }
  for (Cell& cell : cells_) {
    size_t last = std::min(rows_.size(), static_cast<size_t>(cell.row + cell.rowSpan)) - 1;
    const Row& first = rows_[static_cast<size_t>(cell.row)];
    AlignCell(cell, rows_[last].top + rows_[last].height - first.top);
  }
  // Row groups span their rows.
  for (int32_t b = tableBox + 1; b < static_cast<int32_t>(l_.out_->boxes.size()); b = l_.Out(b).end) {
    Box& box = l_.Out(b);
    if (box.parent != tableBox || box.end <= b + 1) continue;
    if (box.node == kNoNode || l_.Style(box.node).display == Display::TableCaption) continue;
    float bottom = box.border.y;
    for (int32_t child = b + 1; child < box.end; child = l_.Out(child).end)
      bottom = l_.Out(child).border.Bottom();
    if (l_.Style(box.node).display != Display::TableRow) box.border.h = bottom - box.border.y;
  }
  flow.cursorY = y;
  flow.strut = {};
}

void TableFormatter::CollapseBorders() {
  // The cell at each slot of the grid.
  const auto columns = static_cast<int32_t>(occupiedUntil_.size());
  const auto rows = static_cast<int32_t>(rows_.size());
  if (columns == 0 || rows == 0 || static_cast<int64_t>(columns) * rows > 4'000'000) return;
  std::vector<int32_t> at(static_cast<size_t>(columns) * static_cast<size_t>(rows), -1);
  for (size_t i = 0; i < cells_.size(); ++i) {
    const Cell& cell = cells_[i];
    for (int32_t r = cell.row; r < std::min(rows, cell.row + cell.rowSpan); ++r)
      for (int32_t c = cell.column; c < std::min(columns, cell.column + cell.columnSpan); ++c)
        at[static_cast<size_t>(r) * static_cast<size_t>(columns) + static_cast<size_t>(c)] = static_cast<int32_t>(i);
  }
  auto cellAt = [&](int32_t r, int32_t c) -> const Cell* {
    if (r < 0 || c < 0 || r >= rows || c >= columns) return nullptr;
    int32_t i = at[static_cast<size_t>(r) * static_cast<size_t>(columns) + static_cast<size_t>(c)];
    return i < 0 ? nullptr : &cells_[static_cast<size_t>(i)];
  };
  const Edges table = Layouter::BorderOf(l_.Style(table_));
  auto side = [&](const Cell& cell, int which) {
    return Layouter::BorderOf(l_.Style(cell.node)).Side(which);
  };
  Edges tableEdges = table;
  for (const Cell& cell : cells_) {
    Edges widths = Layouter::BorderOf(l_.Style(cell.node));
    // Each side: the widest of the borders that meet there, the table's at its edges.
    for (int32_t c = cell.column; c < cell.column + cell.columnSpan; ++c) {
      const Cell* above = cellAt(cell.row - 1, c);
      const Cell* below = cellAt(cell.row + cell.rowSpan, c);
      widths.top = std::max(widths.top, above ? side(*above, css::kBottom) : table.top);
      widths.bottom = std::max(widths.bottom, below ? side(*below, css::kTop) : table.bottom);
    }
    for (int32_t r = cell.row; r < cell.row + cell.rowSpan && r < rows; ++r) {
      const Cell* left = cellAt(r, cell.column - 1);
      const Cell* right = cellAt(r, cell.column + cell.columnSpan);
      widths.left = std::max(widths.left, left ? side(*left, css::kRight) : table.left);
      widths.right = std::max(widths.right, right ? side(*right, css::kLeft) : table.right);
    }
    if (cell.row == 0) tableEdges.top = std::max(tableEdges.top, widths.top);
    if (cell.row + cell.rowSpan >= rows) tableEdges.bottom = std::max(tableEdges.bottom, widths.bottom);
    if (cell.column == 0) tableEdges.left = std::max(tableEdges.left, widths.left);
    if (cell.column + cell.columnSpan >= columns) tableEdges.right = std::max(tableEdges.right, widths.right);
    l_.collapsedBorders_[cell.node] = {widths.top / 2, widths.right / 2, widths.bottom / 2, widths.left / 2};
  }
  l_.collapsedBorders_[table_] = {tableEdges.top / 2, tableEdges.right / 2, tableEdges.bottom / 2, tableEdges.left / 2};
}

Edges Layouter::BordersOf(NodeId node) {
  const ComputedStyle& style = Style(node);
  if (style.borderCollapse && (style.display == Display::Table || style.display == Display::InlineTable) &&
      collapsedTables_.insert(node).second)
    TableFormatter(*this, node).CollapseBorders();
  auto found = collapsedBorders_.find(node);
  return found != collapsedBorders_.end() ? found->second : BorderOf(style);
}

void Layouter::LayOutTable(NodeId node, int32_t box, const Containing& content, BlockFlow& flow) {
  TableFormatter(*this, node).LayOut(box, content, flow);
}

IntrinsicWidths Layouter::IntrinsicOfTable(NodeId node) {
  return TableFormatter(*this, node).Intrinsic();
}

}  // namespace lectryn::engine::layout
