#include "core/pages/tree_model.h"

#include <algorithm>
#include <optional>

#include "content/node_cursor.h"
#include "content/schema.h"
#include "core/pages/markup.h"
#include "core/pages/page_text.h"

namespace vrok {

TreeDecision DecideTree(const ContentDatabase& db, RowIndex row) {
  constexpr std::u16string_view kLinked = u"linked tight hierarchy";
  TreeDecision d;
  NodeCursor c(db, row);
  if (!c.IsOpen()) return d;
  // The row's own table type, else its table's; each is read once.
  const std::optional<std::u16string> ownType = OwnTableType(db, row);
  std::optional<std::u16string> type = ownType;
  RowIndex table = row;
  if (!ownType) {
    NodeCursor up = c;
    if (!up.ToAncestor(u"table")) return d;
    table = up.Row().row;
    type = OwnTableType(db, table);
  }
  d.table = table;
  d.linked = type == kLinked;
  if (!d.linked && type != u"tight hierarchy") return d;
  d.accept = true;
  d.row = row;
  if (c.FieldIs(u"field") && c.ToParent()) {
    d.jumpToField = row;
    d.row = c.Row().row;
  }
  const bool rowLinked = d.row == row ? ownType == kLinked : OwnTableTypeIs(db, d.row, kLinked);
  d.listRoot = rowLinked ? d.row : d.table;
  return d;
}

std::u16string TreeItemModel::Label(RowIndex item) const { return PlainTextOf(TextOf(db_, item)); }

std::vector<RowIndex> TreeItemModel::Children(RowIndex item) const {
  std::vector<NodeRow> rows;
  NodeCursor(db_, item).CollectChildren(u"hierarchy item", rows);
  std::vector<RowIndex> children;
  children.reserve(rows.size());
  for (const NodeRow& r : rows) children.push_back(r.row);
  return children;
}

bool TreeItemModel::IsLeaf(RowIndex item) const {
  return !HasChild(db_, item, u"hierarchy item") ||
         (configurable_ && HasChild(db_, item, u"view mode"));
}

std::vector<RowIndex> TreeItemModel::RevealChain(RowIndex item) const {
  std::vector<RowIndex> chain{item};
  NodeCursor c(db_, item);
  while (c.ToParent() && c.FieldIs(u"hierarchy item")) {
    if (configurable_ && HasChild(db_, c.Row().row, u"view mode")) break;
    chain.push_back(c.Row().row);
  }
  std::reverse(chain.begin(), chain.end());
  return chain;
}

RowIndex TreeItemModel::Target(RowIndex item) const {
  NodeCursor c(db_, item);
  if (NodeCursor link = c; link.ToChild(u"link")) return link.Row().value;
  if (NodeCursor field = c; field.ToChild(u"field")) return field.Row().row;
  return item;
}

}  // namespace vrok
