#include "content/node_cursor.h"

#include <algorithm>

namespace vrok {

bool NodeCursor::Open(const ContentDatabase& db, RowIndex row) {
  NodeRow r;
  if (!db.ReadRow(row, r)) return false;
  row_ = r;
  return true;
}

bool NodeCursor::MoveTo(RowIndex row) {
  NodeRow r;
  if (!IsOpen() || !db()->ReadRow(row, r)) return false;
  row_ = r;
  return true;
}

bool NodeCursor::ToParent() {
  // A parent always comes before its child; anything else is damage (and
  // could loop), so it fails like the root does.
  if (!IsOpen() || row_.row == 0 || row_.parent >= row_.row) return false;
  return MoveTo(row_.parent);
}

bool NodeCursor::ToAncestor(std::u16string_view fieldName) {
  if (!IsOpen()) return false;
  const FieldId f = db()->FieldIdOf(fieldName);
  if (f == kNoField) return false;
  NodeRow r = row_;
  while (r.row != 0 && r.parent < r.row) {
    if (!db()->ReadRow(r.parent, r)) return false;
    if (r.field == f) {
      row_ = r;
      return true;
    }
  }
  return false;
}

bool NodeCursor::ToFirstChild() {
  if (!IsOpen()) return false;
  const std::int64_t current = row_.row;
  const std::int64_t count = db()->RowCount();
  std::int64_t lo = current + 1;
  std::int64_t hi = count - 1;
  std::int64_t m = 0;
  ContentDatabase::RowPlace place;
  while (lo <= hi) {
    m = (lo + hi) / 2;
    if (!db()->ReadPlace(static_cast<RowIndex>(m), place)) return false;
    if (place.parent >= row_.row) {
      hi = m - 1;
      if (lo + hi < 2) break;
    } else {
      lo = m + 1;
    }
  }
  NodeRow r;
  for (const std::int64_t candidate : {m, m + 1}) {
    if (candidate > current && candidate < count &&
        db()->ReadRow(static_cast<RowIndex>(candidate), r) && r.parent == row_.row) {
      row_ = r;
      return true;
    }
  }
  return false;
}

bool NodeCursor::ToNextSibling() {
  NodeRow r;
  if (!IsOpen() || !db()->ReadRow(row_.row + 1, r) || r.parent != row_.parent) return false;
  row_ = r;
  return true;
}

bool NodeCursor::ToChild(std::u16string_view fieldName) {
  if (!IsOpen()) return false;
  const FieldId f = db()->FieldIdOf(fieldName);
  if (f == kNoField) return false;
  const RowIndex r = db()->FindChild(row_.row, f);
  return r != 0 && MoveTo(r);
}

bool NodeCursor::ToNextNamed(std::u16string_view fieldName) {
  if (!IsOpen()) return false;
  const FieldId f = db()->FieldIdOf(fieldName);
  if (f == kNoField) return false;
  NodeRow r;
  for (std::uint64_t next = std::uint64_t{row_.row} + 1; next < db()->RowCount();) {
    if (!db()->ReadRow(static_cast<RowIndex>(next), r)) return false;
    if (r.parent != row_.parent || r.field > f) return false;
    if (r.field == f) {
      row_ = r;
      return true;
    }
    // A row of an earlier field: its followers count at most the rows left
    // in its run, so the jump stays inside the run or lands just past it.
    next += std::uint64_t{r.followers} + 1;
  }
  return false;
}

bool NodeCursor::ToRunOffset(std::uint32_t n) {
  if (!IsOpen()) return false;
  const std::uint64_t target = std::uint64_t{row_.row} + n;
  NodeRow r;
  if (target >= db()->RowCount() || !db()->ReadRow(static_cast<RowIndex>(target), r) ||
      r.parent != row_.parent || r.field != row_.field) {
    return false;
  }
  row_ = r;
  return true;
}

bool NodeCursor::ToChildValue(std::u16string_view fieldName, std::uint32_t n) {
  const NodeRow saved = row_;
  if (ToChild(fieldName) && ToRunOffset(n)) return true;
  row_ = saved;
  return false;
}

void NodeCursor::CollectChildren(std::u16string_view fieldName, std::vector<NodeRow>& list,
                                 std::uint32_t max) const {
  if (!IsOpen() || max == 0) return;
  const FieldId f = db()->FieldIdOf(fieldName);
  if (f == kNoField) return;
  const RowIndex first = db()->FindChild(row_.row, f);
  NodeRow head;
  if (first == 0 || !db()->ReadRow(first, head)) return;
  list.push_back(head);
  // The rest of the run in one read; damaged follower counts are bounded by
  // the table's end and by where the run really ends.
  const std::uint32_t n = std::min({head.followers, max - 1, db()->RowCount() - 1 - first});
  if (n == 0) return;
  std::vector<NodeRow> rest;
  rest.reserve(n);
  if (!db()->ReadRows(first + 1, n, rest)) return;
  for (const NodeRow& r : rest) {
    if (r.parent != head.parent || r.field != head.field) break;
    list.push_back(r);
  }
}

bool NodeCursor::ReadString(std::u16string& text) const {
  return IsOpen() && db()->IsStringType(row_.type) &&
         db()->ReadString(StringId{row_.value}, text);
}

bool NodeCursor::FieldIs(std::u16string_view fieldName) const {
  if (!IsOpen()) return false;
  const FieldId f = db()->FieldIdOf(fieldName);
  return f != kNoField && f == row_.field;
}

const std::u16string& NodeCursor::TypeName() const {
  static const std::u16string kNone;
  return IsOpen() ? db()->TypeName(row_.type) : kNone;
}

}  // namespace vrok
