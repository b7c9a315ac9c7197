#include "core/pages/tree_model.h"

#include <algorithm>

#include "content/node_cursor.h"
#include "content/schema.h"
#include "core/pages/markup.h"
#include "core/pages/page_text.h"

namespace vrok {

TreeDecision DecideTree(const ContentDatabase& db, RowIndex row) {
  TreeDecision d;
  NodeCursor c(db, row);
  if (!c.IsOpen()) return d;
  NodeCursor table = c;
  if (!HasChild(db, row, u"table type") && !table.ToAncestor(u"table")) return d;
  d.table = table.Row().row;
  d.linked = OwnTableTypeIs(db, d.table, u"linked tight hierarchy");
  if (!d.linked && !OwnTableTypeIs(db, d.table, u"tight hierarchy")) return d;
  d.accept = true;
  d.row = row;
  if (c.FieldIs(u"field") && c.ToParent()) {
    d.jumpToField = row;
    d.row = c.Row().row;
  }
  d.listRoot = OwnTableTypeIs(db, d.row, u"linked tight hierarchy") ? d.row : d.table;
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
