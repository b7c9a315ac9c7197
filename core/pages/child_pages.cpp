#include "core/pages/child_pages.h"

#include <optional>

#include "content/node_cursor.h"
#include "core/pages/page_text.h"

namespace vrok {

std::u16string ChildTextPage::BuildPage(std::uint32_t row) {
  NodeCursor c(db_, row);
  if (!childName_.empty()) c.ToChild(childName_);  // stays on the row when absent
  return std::u16string(skeleton::kPageOpen) + TextOf(c) + std::u16string(skeleton::kPageClose);
}

std::u16string ChildListPage::TargetOf(RowIndex item, const NodeCursor& firstChild) {
  // Forward from the first child: the runs of other fields are hopped over,
  // a read each, where a search from the item would cost a dozen or more.
  const auto run = [&](std::u16string_view name) -> std::optional<NodeRow> {
    NodeCursor c = firstChild;
    if (c.FieldIs(name) || c.ToNextNamed(name)) return c.Row();
    return std::nullopt;
  };
  if (run(u"hierarchy item")) return Decimal(item);
  if (const auto field = run(u"field")) return Decimal(field->row);
  if (const auto link = run(u"link")) return Decimal(link->value);
  return {};
}

std::u16string ChildListPage::BuildPage(std::uint32_t row) {
  std::vector<NodeRow> items;
  NodeCursor(db_, row).CollectChildren(childName_, items);
  std::u16string page(skeleton::kPageOpen);
  for (const NodeRow& item : items) {
    if (NodeCursor child(item); child.ToFirstChild()) {
      page += u"\u2022 <A HREF='" + TargetOf(item.row, child) + u"'>" + TextOf(NodeCursor(item)) +
              u"</A><BR>";
    } else {
      page += TextOf(NodeCursor(item)) + u"<BR>";
    }
  }
  return page + std::u16string(skeleton::kPageClose);
}

void FieldListPage::Load(RowIndex row, bool showTitle) {
  columns_.clear();
  showTitle_ = showTitle;
  NodeCursor table(db_, row);
  if (!table.FieldIs(u"table") && !table.ToAncestor(u"table")) return;
  std::vector<NodeRow> names;
  table.CollectChildren(u"field name", names);
  for (const NodeRow& n : names) columns_.push_back(TextOf(NodeCursor(n)));
}

std::u16string FieldListPage::BuildPage(std::uint32_t row) {
  // This page's frame spells the face "PPC_font2"; font names match
  // without regard to case.
  std::u16string page = u"<HTML><BODY><FONT FACE='PPC_font2'>";
  if (showTitle_) page += TextOf(db_, row) + u"<BR><BR>";
  std::vector<NodeRow> fields;
  NodeCursor(db_, row).CollectChildren(u"field", fields);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (fields[i].value == 0) continue;
    const std::u16string column = i < columns_.size() ? columns_[i] : std::u16string();
    page += u"<B><A NAME=" + Decimal(fields[i].row) + u">" + column + u"</A></B>";
    if (!column.empty()) page += u"<BR>";
    page += TextOf(NodeCursor(fields[i])) + u"<BR>";
  }
  return page + u"</FONT></BODY></HTML>";
}

}  // namespace vrok
