#include "core/pages/hierarchy_rules.h"

#include <optional>
#include <vector>

#include "content/node_cursor.h"
#include "content/schema.h"
#include "core/pages/page_text.h"
#include "core/pages/titles.h"

namespace vrok {

namespace {

bool IsListTable(const ContentDatabase& db, RowIndex table) {
  return OwnTableTypeIs(db, table, u"html list") ||
         OwnTableTypeIs(db, table, u"configurable tight hierarchy");
}

}  // namespace

RowIndex RecordRedirect(const ContentDatabase& db, RowIndex row, RowIndex& jumpToField) {
  jumpToField = 0;
  NodeCursor c(db, row);
  if (!c.IsOpen()) return 0;
  // Only an item or a field can be redirected: anything else is decided
  // from its field name alone, before any search.
  const bool field = c.FieldIs(u"field");
  const bool item = !field && row != 0 && c.FieldIs(u"hierarchy item");
  if (!item && !field) return 0;
  // Neither an item nor a field is a table node: its table is its nearest
  // table ancestor.
  const RowIndex table = TableRowOf(db, row);
  if (table == 0 || HasChild(db, row, u"view mode") || !IsListTable(db, table)) return 0;
  if (item) return HasChild(db, row, u"field") ? row : 0;
  jumpToField = row;
  return c.ToParent() ? c.Row().row : 0;
}

std::u16string AncestorPathTitle(const ContentDatabase& db, RowIndex row,
                                 const HierarchyPages& pages, bool includeSelf) {
  std::vector<RowIndex> chain;
  NodeCursor c(db, row);
  if (!c.IsOpen()) return {};
  if (includeSelf && row != 0) chain.push_back(row);
  while (c.ToParent() && c.Row().row != 0) chain.push_back(c.Row().row);
  std::u16string title;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    if (*it == pages.aZInBrief || *it == pages.aZInDetail) continue;
    if (!title.empty()) title += u" - ";
    title += TextOf(db, *it);
  }
  return title;
}

namespace {

// A page's own title: with readable titles, a page inside a table (a
// record too) is named by its own text, a table by its title; otherwise by
// its table's name.
std::u16string OwnTitle(const ContentDatabase& db, RowIndex row) {
  if (ReadableTitles()) {
    std::u16string text = ShownName(db, row);
    if (!text.empty()) return text;
    if (const RowIndex table = TableRowOf(db, row); table != 0) return ShownName(db, table);
  }
  std::u16string title;
  TableNameOf(db, row, title);
  return title;
}

}  // namespace

HierarchyDecision DecideHierarchy(const ContentDatabase& db, RowIndex row,
                                  const HierarchyPages& pages) {
  HierarchyDecision d;
  if (row >= db.RowCount()) return d;
  RowIndex jump = 0;
  const RowIndex redirected = RecordRedirect(db, row, jump);
  // Every view asks on every navigation: the table's type and the row's
  // own are read once each, then compared with each name.
  const std::optional<std::u16string> type = TableType(db, row);
  const std::optional<std::u16string> own = OwnTableType(db, row);
  const bool f = (type == u"index with fields" && own != u"index with fields") ||
                 (type == u"configurable tight hierarchy" && !HasChild(db, row, u"view mode") &&
                  HasChild(db, row, u"field"));

  bool list = false, extended = false;
  // A redirected row is taken whatever its type; the types read are those
  // of the row as asked, which is the row the rest of this block decides.
  const bool taken = redirected != 0 || f || own == u"html";
  if (redirected != 0) row = redirected;
  if (!taken) {
    list = type == u"configurable tight hierarchy" && ViewModeIs(db, row, u"html list");
    if (!list) extended = type == u"extended html";
    if (!list && !extended && row != pages.calculators) return d;
  }

  d.accept = true;
  d.row = row;
  d.jumpToField = jump;
  if (redirected != 0 || f || extended) {
    d.recordPage = true;
    d.source = extended ? HierarchySource::kExtendedRecord : HierarchySource::kRecord;
    if (extended || ReadableTitles()) {
      d.title = OwnTitle(db, row);
    } else {
      std::uint8_t path = 0;
      const bool pathTable = IsPath(db, row, path) && path != 0;
      d.title = AncestorPathTitle(db, row, pages, pathTable);
    }
    return d;
  }
  d.title = OwnTitle(db, row);
  if (row == pages.calculators) {
    d.source = HierarchySource::kCalculators;
  } else if (list) {
    d.source = HierarchySource::kChildList;
  }
  return d;
}

}  // namespace vrok
