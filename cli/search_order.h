#pragma once
// The order the index search needs. The search halves the lists it runs
// over, so each must be sorted by its entries' plain text (markup removed),
// letter case folded, compared code unit by code unit as unsigned 16-bit
// numbers, a text that is the beginning of another coming first; equal
// texts may follow each other. The lists are the "hierarchy item" children
// of a row whose own "table type" is "index" or "index with fields", and of
// a row whose "view mode" is "index" or "index with fields" inside a table
// of type "configurable tight hierarchy".

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "content/writer/book_records.h"
#include "content/writer/book_writer.h"

namespace vrok {

// The text an entry is ordered by: its plain text, case folded.
std::u16string SearchKey(std::u16string_view markup);

// A tree of rows laid out breadth first (a row's parent comes before it and
// a row's children follow one another).
class RowTree {
 public:
  virtual ~RowTree() = default;
  virtual std::uint32_t Count() const = 0;
  virtual std::uint32_t Parent(std::uint32_t row) const = 0;
  virtual std::u16string Field(std::uint32_t row) const = 0;
  virtual std::u16string Text(std::uint32_t row) const = 0;  // empty for a non-string row
  // Whether the table at this row keeps its lists' order on purpose.
  virtual bool KeepsOrder(std::uint32_t) const { return false; }
};

struct OrderProblem {
  std::uint32_t list = 0;   // the row whose items are out of order
  std::uint32_t table = 0;  // its table's row (the list itself for a table)
  std::uint32_t first = 0;  // the first of two neighbours out of order
  std::uint32_t second = 0;
  std::u16string firstText, secondText, tableName;
  bool keepOrder = false;  // the table says "sort": false: its order is meant
};

// The first pair out of order in each searched list, at most `limit`.
std::vector<OrderProblem> FindOrderProblems(
    const RowTree& tree, std::size_t limit = std::numeric_limits<std::size_t>::max());

// The rows of a laid-out book, for checking before it is written.
class LayoutTree : public RowTree {
 public:
  explicit LayoutTree(const BookLayout& layout) : layout_(layout) {}
  std::uint32_t Count() const override { return static_cast<std::uint32_t>(layout_.rows.size()); }
  std::uint32_t Parent(std::uint32_t row) const override { return layout_.rows[row].parent; }
  std::u16string Field(std::uint32_t row) const override {
    return layout_.fieldNames[layout_.rows[row].field];
  }
  std::u16string Text(std::uint32_t row) const override {
    const LaidOutRow& r = layout_.rows[row];
    return r.isString ? layout_.String(r.value) : std::u16string();
  }
  bool KeepsOrder(std::uint32_t row) const override { return layout_.rows[row].keepOrder; }

 private:
  const BookLayout& layout_;
};

// Sorts, stably, the searched lists of every table that asks for it
// ("sort": true), on the entries' texts as the source gives them.
void SortSearchLists(BookNode& root);
// The same on records: the new orders go into records.childOrder.
void SortSearchLists(BookRecords& records);

// One line for a message: which list, which two entries.
std::string DescribeProblem(const OrderProblem& p);

}  // namespace vrok
