#pragma once
// Grid tables: a "table" of type "table" with a "column count", its
// "column name" rows (the header) and "row" rows whose "field" children are
// the cells. The model finds each cell once and remembers its row.

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

#include "content/content_database.h"

namespace vrok {

class GridModel {
 public:
  explicit GridModel(const ContentDatabase& db) : db_(db) {}

  // Whether a grid shows row P: the table node of P (P itself when it is a
  // "table" node) has the "table type" "table". Gives that table row.
  static std::optional<RowIndex> GridTableOf(const ContentDatabase& db, RowIndex row);

  void SetTable(RowIndex table);
  RowIndex Table() const { return table_; }
  std::uint32_t ColumnCount() const { return columns_; }
  std::uint32_t RowCount() const { return rows_; }  // the header row included
  std::u16string Title() const;

  // Row 0 is the header. Missing cells are empty and give row 0.
  std::u16string Cell(std::uint32_t r, std::uint32_t c, RowIndex* contentRow = nullptr);

  // Every "footnote" child's text followed by "<BR>".
  std::u16string Footnotes() const;

 private:
  const ContentDatabase& db_;
  RowIndex table_ = 0;
  std::uint32_t columns_ = 0;
  std::uint32_t rows_ = 0;
  // Cells found so far, by r * columns + c. A map rather than an array of
  // rows x columns: a damaged column count must not size an allocation.
  std::unordered_map<std::uint64_t, RowIndex> cache_;
};

// Pixel geometry of a grid at the given dots per inch.
struct GridMetrics {
  int line = 0;       // g
  int inset = 0;      // p
  int column = 0;     // w
  int scrollBar = 0;  // s
  int rowHeight = 0;  // h

  static GridMetrics For(int dpiX, int dpiY, int fontHeight);  // fontHeight 0: no font
  std::int64_t TableWidth(std::uint32_t columns) const;
  std::int64_t TableHeight(std::uint32_t rows) const;
};

struct ScrollBarsNeeded {
  bool horizontal = false;
  bool vertical = false;
};

// The bars a table needs in a client area: one when the table is larger
// than the room, the room for the other shrinking by a bar's thickness.
ScrollBarsNeeded NeedScrollBars(std::int64_t tableWidth, std::int64_t tableHeight, int clientWidth,
                                int clientHeight, int barThickness);

}  // namespace vrok
