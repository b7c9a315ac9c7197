#include "core/pages/grid_model.h"

#include <algorithm>

#include "content/node_cursor.h"
#include "core/pages/page_text.h"
#include "core/pages/titles.h"

namespace vrok {

std::optional<RowIndex> GridModel::GridTableOf(const ContentDatabase& db, RowIndex row) {
  NodeCursor c(db, row);
  if (!c.IsOpen() || (!c.FieldIs(u"table") && !c.ToAncestor(u"table"))) return std::nullopt;
  if (ChildTextOf(c, u"table type") != u"table") return std::nullopt;
  return c.Row().row;
}

void GridModel::SetTable(RowIndex table) {
  table_ = table;
  cache_.clear();
  NodeCursor t(db_, table);
  NodeCursor count = t;
  columns_ = count.ToChild(u"column count") ? count.Row().value : 0;
  NodeCursor rows = t;
  // The "row" children plus the header; a damaged follower count cannot
  // claim more rows than the book has.
  rows_ = rows.ToChild(u"row") ? std::min(rows.FollowerCount(), db_.RowCount()) + 2 : 0;
}

std::u16string GridModel::Title() const { return ShownName(db_, table_); }

std::u16string GridModel::Cell(std::uint32_t r, std::uint32_t c, RowIndex* contentRow) {
  if (contentRow) *contentRow = 0;
  if (r >= rows_ || c >= columns_) return {};
  const std::uint64_t index = std::uint64_t{columns_} * r + c;
  if (const auto it = cache_.find(index); it != cache_.end()) {
    if (contentRow) *contentRow = it->second;
    return TextOf(db_, it->second);
  }
  NodeCursor cell(db_, table_);
  const bool found = r == 0 ? cell.ToChildValue(u"column name", c)
                            : cell.ToChildValue(u"row", r - 1) && cell.ToChildValue(u"field", c);
  if (!found) return {};
  cache_[index] = cell.Row().row;
  if (contentRow) *contentRow = cell.Row().row;
  return TextOf(cell);
}

std::u16string GridModel::Footnotes() const {
  std::vector<NodeRow> notes;
  NodeCursor(db_, table_).CollectChildren(u"footnote", notes);
  std::u16string text;
  for (const NodeRow& n : notes) text += TextOf(NodeCursor(n)) + u"<BR>";
  return text;
}

GridMetrics GridMetrics::For(int dpiX, int dpiY, int fontHeight) {
  GridMetrics m;
  m.line = (dpiX + 48) / 96;
  m.inset = ((dpiX + 16) * 3) / 96;
  m.column = (dpiX * 70 + 48) / 96;
  m.scrollBar = (dpiX * 13 + 48) / 96;
  const int margin = 2 * ((dpiY + 48) / 96);
  m.rowHeight = fontHeight > 0 ? fontHeight + margin : margin + ((dpiY + 3) * 16) / 96;
  return m;
}

std::int64_t GridMetrics::TableWidth(std::uint32_t columns) const {
  return std::int64_t{column + 2 * inset + line} * columns + line;
}

std::int64_t GridMetrics::TableHeight(std::uint32_t rows) const {
  return std::int64_t{line + rowHeight} * rows + line;
}

ScrollBarsNeeded NeedScrollBars(std::int64_t tableWidth, std::int64_t tableHeight, int clientWidth,
                                int clientHeight, int barThickness) {
  ScrollBarsNeeded bars;
  bars.horizontal = tableWidth > clientWidth;
  bars.vertical = tableHeight > clientHeight - (bars.horizontal ? barThickness : 0);
  if (bars.vertical && !bars.horizontal) bars.horizontal = tableWidth > clientWidth - barThickness;
  return bars;
}

}  // namespace vrok
