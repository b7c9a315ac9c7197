#include "support/walk.h"

#include <algorithm>
#include <vector>

#include "content/node_cursor.h"
#include "content/schema.h"

namespace vrok::test {

std::uint64_t WalkEverything(const ContentDatabase& db, std::uint32_t maxRows) {
  std::uint64_t sum = db.RowCount();
  const std::uint32_t rows = std::min(db.RowCount(), maxRows);
  std::u16string text;
  std::vector<NodeRow> run;
  const auto& fields = db.FieldNames();
  for (RowIndex r = 0; r < rows; ++r) {
    NodeRow row;
    if (!db.ReadRow(r, row)) continue;
    sum += row.value + row.parent + row.field + row.type;
    NodeCursor c(row);
    if (c.ReadString(text)) sum += text.size();
    NodeCursor up = c;
    while (up.ToParent()) ++sum;
    NodeCursor anc = c;
    if (anc.ToAncestor(u"table")) sum += anc.Row().row;
    NodeCursor down = c;
    if (down.ToFirstChild()) {
      sum += down.Row().row;
      for (int k = 0; k < 8 && down.ToNextSibling(); ++k) ++sum;
    }
    for (std::size_t f = 0; f < std::min<std::size_t>(fields.size(), 8); ++f) {
      NodeCursor child = c;
      if (child.ToChild(fields[f])) {
        sum += child.FollowerCount();
        child.ToRunOffset(1);
        child.ToNextNamed(fields[f]);
      }
      run.clear();
      c.CollectChildren(fields[f], run, 64);
      sum += run.size();
      sum += db.FindChild(r, static_cast<FieldId>(f));
    }
    sum += db.RowOfKey(row.key);
    sum += TableTypeIs(db, r, u"html") + IsDefinitionsTable(db, r);
    sum += FootnotesRowOf(db, r) + TableRowOf(db, r);
    text.clear();
    AppendFootnotes(db, r, text);
    TableNameOf(db, r, text);
    sum += text.size();
  }
  for (std::uint32_t s = 0; s < std::min<std::uint32_t>(db.Geometry().stringCount, maxRows); ++s) {
    if (db.ReadString(StringId{s}, text)) sum += text.size();
    sum += db.StringByteLength(StringId{s});
  }
  for (std::uint32_t i = 0; i < std::min<std::uint32_t>(db.Geometry().itemCount, 64); ++i) {
    const std::uint32_t size = db.BinaryItemSize(i);
    if (size > (1u << 20)) continue;
    std::vector<std::uint8_t> bytes(size);
    if (db.ReadBinary(i, bytes, 0)) sum += bytes.empty() ? 0 : bytes.front();
  }
  return sum;
}

}  // namespace vrok::test
