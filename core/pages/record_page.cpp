#include "core/pages/record_page.h"

#include "content/node_cursor.h"
#include "core/pages/page_text.h"
#include "core/pages/titles.h"

namespace vrok {

namespace {

// The "field" children of a row, in order.
std::vector<NodeRow> FieldsOf(const ContentDatabase& db, RowIndex row) {
  std::vector<NodeRow> fields;
  NodeCursor(db, row).CollectChildren(u"field", fields);
  return fields;
}

}  // namespace

std::u16string RecordPage::Heading(RowIndex row, bool pathTable) const {
  const NodeCursor record(db_, row);
  if (!pathTable) return u"<B>" + TextOf(record) + u"</B><BR><BR>";
  std::u16string line = ChildTextOf(record, u"pre label") + TextOf(record) + u":" +
                        ChildTextOf(record, u"post label");
  // Ancestors below the root, outermost first, each a link named as its
  // page is (a table by its readable title on the desktop).
  NodeCursor a = record;
  while (a.ToParent() && a.Row().row != 0) {
    line = ChildTextOf(a, u"html prelabel") + u"<A HREF='" + Decimal(a.Row().row) + u"'>" +
           ShownName(db_, a.Row().row) + u"</A>" + ChildTextOf(a, u"post label") + u" - " + line;
  }
  return line + u"<BR>";
}

std::u16string RecordPage::BuildPage(std::uint32_t row) {
  columns_.clear();
  NodeCursor table(db_, row);
  bool pathTable = false;
  if (table.IsOpen() && table.ToAncestor(u"table")) {
    std::vector<NodeRow> names;
    table.CollectChildren(u"field name", names);
    for (const NodeRow& n : names) columns_.push_back(TextOf(NodeCursor(n)));
    NodeCursor isPath = table;
    pathTable = isPath.ToChild(u"is path") && isPath.Row().value == 1;
  }
  if (cachedRow_ == row) return cachedPage_;

  std::u16string page(skeleton::kPageOpen);
  page += Heading(row, pathTable);
  sections_.clear();
  const std::vector<NodeRow> fields = FieldsOf(db_, row);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const NodeCursor f(fields[i]);
    if (!db_.IsStringType(fields[i].type) || fields[i].value == 0) continue;
    page += u"<BR>";
    if (i < columns_.size() && !columns_[i].empty()) {
      page += AnchorFor(fields[i].row) + u"<B>" + columns_[i] + u":</B><BR>" + TextOf(f);
      sections_.push_back({columns_[i], fields[i].row});
    } else {
      page += TextOf(f);
    }
  }
  page += skeleton::kPageClose;
  cachedRow_ = row;
  cachedPage_ = page;
  return page;
}

ImageReply RecordPage::SupplyImage(std::u16string_view source, std::uint32_t cookie) {
  ImageReply reply;
  auto picture = LoadPictureBytes(db_, LeadingNumber(source), screen_);
  if (!picture) return reply;
  reply.cookie = cookie;
  reply.encoded = std::move(picture->encoded);
  return reply;
}

std::vector<SectionEntry> RecordPage::SectionsFor(RowIndex row) {
  if (cachedRow_ != row) BuildPage(row);
  return sections_;
}

std::u16string ExtendedRecordPage::BuildPage(std::uint32_t row) {
  if (cachedRow_ == row) return cachedPage_;
  sections_.clear();
  std::u16string page(skeleton::kPageOpen);
  for (const NodeRow& field : FieldsOf(db_, row)) {
    NodeCursor html(field);
    if (!html.ToChild(u"html")) continue;
    const std::u16string block = TextOf(html);
    if (block.empty()) continue;
    const std::u16string label = TextOf(NodeCursor(field));
    if (!label.empty()) {
      page += AnchorFor(field.row) + u"<B>" + label + u":</B> <BR>" + block + u"<BR>";
      sections_.push_back({label, field.row});
    } else {
      page += block + u"<BR>";
    }
  }
  page += skeleton::kPageClose;
  cachedRow_ = row;
  cachedPage_ = page;
  return page;
}

std::vector<SectionEntry> ExtendedRecordPage::SectionsFor(RowIndex row) {
  if (cachedRow_ != row) BuildPage(row);
  return sections_;
}

}  // namespace vrok
