#include "content/schema.h"

#include <optional>

#include "content/node_cursor.h"

namespace vrok {

namespace {

std::optional<NodeCursor> CursorAt(const ContentDatabase& db, RowIndex row) {
  NodeCursor c;
  if (!c.Open(db, row)) return std::nullopt;
  return c;
}

// The row itself when it is a "table" node, else its nearest table ancestor.
std::optional<NodeCursor> TableNodeOf(const ContentDatabase& db, RowIndex row) {
  auto c = CursorAt(db, row);
  if (!c || c->FieldIs(names::kTable) || c->ToAncestor(names::kTable)) return c;
  return std::nullopt;
}

// The "table type" text under the cursor: none without the child, empty
// when its text cannot be read.
std::optional<std::u16string> TypeBelow(std::optional<NodeCursor> c) {
  if (!c || !c->ToChild(names::kTableType)) return std::nullopt;
  std::u16string text;
  if (!c->ReadString(text)) text.clear();
  return text;
}

// The string of the cursor's child with that field, compared exactly.
bool ChildStringIs(NodeCursor c, std::u16string_view field, std::u16string_view expected) {
  std::u16string text;
  return c.ToChild(field) && c.ReadString(text) && text == expected;
}

bool ReadIfField(const ContentDatabase& db, RowIndex row, std::u16string_view field,
                 std::u16string& text) {
  const auto c = CursorAt(db, row);
  return c && c->FieldIs(field) && c->ReadString(text);
}

}  // namespace

bool FieldIs(const ContentDatabase& db, RowIndex row, std::u16string_view fieldName) {
  const auto c = CursorAt(db, row);
  return c && c->FieldIs(fieldName);
}

bool HasChild(const ContentDatabase& db, RowIndex row, std::u16string_view fieldName) {
  auto c = CursorAt(db, row);
  return c && c->ToChild(fieldName);
}

bool StringOf(const ContentDatabase& db, RowIndex row, std::u16string& text) {
  const auto c = CursorAt(db, row);
  return c && c->ReadString(text);
}

bool TableNameIs(const ContentDatabase& db, RowIndex row, std::u16string_view name) {
  const auto table = TableNodeOf(db, row);
  std::u16string text;
  return table && table->ReadString(text) && text == name;
}

bool TableNameOf(const ContentDatabase& db, RowIndex row, std::u16string& text) {
  const auto table = TableNodeOf(db, row);
  return table && table->ReadString(text);
}

bool TableTypeIs(const ContentDatabase& db, RowIndex row, std::u16string_view type) {
  const auto table = TableNodeOf(db, row);
  return table && ChildStringIs(*table, names::kTableType, type);
}

std::optional<std::u16string> TableType(const ContentDatabase& db, RowIndex row) {
  return TypeBelow(TableNodeOf(db, row));
}

std::optional<std::u16string> OwnTableType(const ContentDatabase& db, RowIndex row) {
  return TypeBelow(CursorAt(db, row));
}

bool OwnTableTypeIs(const ContentDatabase& db, RowIndex row, std::u16string_view type) {
  const auto c = CursorAt(db, row);
  return c && ChildStringIs(*c, names::kTableType, type);
}

bool ViewModeIs(const ContentDatabase& db, RowIndex row, std::u16string_view mode) {
  const auto c = CursorAt(db, row);
  return c && ChildStringIs(*c, names::kViewMode, mode);
}

bool IsDefinitionsTable(const ContentDatabase& db, RowIndex row) {
  auto c = CursorAt(db, row);
  if (!c) return false;
  c->ToAncestor(names::kTable);  // stays on the row when there is none
  return ChildStringIs(*c, names::kTableType, names::kDefinitions);
}

bool IsPath(const ContentDatabase& db, RowIndex row, std::uint8_t& flag) {
  auto c = CursorAt(db, row);
  if (!c) return false;
  if (!c->FieldIs(names::kTable)) c->ToAncestor(names::kTable);
  if (!c->ToChild(names::kIsPath)) return false;
  flag = static_cast<std::uint8_t>(c->Row().value & 0xFF);
  return true;
}

RowIndex TableRowOf(const ContentDatabase& db, RowIndex row) {
  auto c = CursorAt(db, row);
  return c && c->ToAncestor(names::kTable) ? c->Row().row : 0;
}

RowIndex FootnotesRowOf(const ContentDatabase& db, RowIndex row) {
  auto c = CursorAt(db, row);
  if (!c) return 0;
  NodeCursor table = *c;
  if (table.ToAncestor(names::kTable) && table.ToChild(names::kFootnotes)) return table.Row().row;
  return c->ToChild(names::kFootnotes) ? c->Row().row : 0;
}

bool AppendFootnotes(const ContentDatabase& db, RowIndex row, std::u16string& text) {
  const auto c = CursorAt(db, row);
  if (!c || !c->FieldIs(names::kFootnotes)) return false;
  std::vector<NodeRow> footnotes;
  c->CollectChildren(names::kFootnote, footnotes);
  for (const NodeRow& f : footnotes) {
    std::u16string one;
    if (NodeCursor(f).ReadString(one)) text += one;
    text += u"<BR><BR>";
  }
  return true;
}

bool FootnoteText(const ContentDatabase& db, RowIndex row, std::u16string& text) {
  return ReadIfField(db, row, names::kFootnote, text);
}

bool PopupText(const ContentDatabase& db, RowIndex row, std::u16string& text) {
  return ReadIfField(db, row, names::kPopup, text);
}

}  // namespace vrok
