#pragma once
// A position in the node tree. Rows are sorted by parent and, among one
// parent's children, by field; children of one parent with the same field
// form a run. Every move re-reads rows from the data file; a move that fails
// leaves the cursor where it was.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "content/content_database.h"

namespace vrok {

class NodeCursor {
 public:
  NodeCursor() = default;
  // Convenience: a cursor opened on row (check IsOpen when unsure of it).
  NodeCursor(const ContentDatabase& db, RowIndex row) { Open(db, row); }
  // A cursor on a row already read (for example one of CollectChildren).
  explicit NodeCursor(const NodeRow& row) : row_(row) {}

  // Sets the database and reads the row; false when the row is out of range.
  bool Open(const ContentDatabase& db, RowIndex row);
  bool IsOpen() const { return row_.db != nullptr; }

  const NodeRow& Row() const { return row_; }
  std::uint32_t FollowerCount() const { return row_.followers; }

  bool ToParent();
  bool ToAncestor(std::u16string_view fieldName);  // nearest proper ancestor
  bool ToFirstChild();
  bool ToNextSibling();
  bool ToChild(std::u16string_view fieldName);      // first row of the run
  bool ToNextNamed(std::u16string_view fieldName);  // next sibling with that field
  bool ToRunOffset(std::uint32_t n);
  bool ToChildValue(std::u16string_view fieldName, std::uint32_t n);

  // Appends the rows of the run of children with that field, at most max.
  void CollectChildren(std::u16string_view fieldName, std::vector<NodeRow>& list,
                       std::uint32_t max = 2147483647) const;

  // The row's string when its type is "string"; otherwise false and text
  // stays as it was.
  bool ReadString(std::u16string& text) const;

  // The field name and value-type name of the current row.
  bool FieldIs(std::u16string_view fieldName) const;
  const std::u16string& TypeName() const;

 private:
  const ContentDatabase* db() const { return row_.db; }
  bool MoveTo(RowIndex row);

  NodeRow row_;
};

}  // namespace vrok
