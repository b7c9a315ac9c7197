#include "core/navigation/tab_for_page.h"

#include "content/schema.h"

namespace vrok {

int TabForPage(const ContentDatabase& db, PageNameMap& names, PageId page) {
  if (page >= db.RowCount()) return kTabNone;
  if (page == names[pages::kContents]) return kTabContents;
  if (page == names[pages::kIndex]) return kTabIndex;
  if (page == names[pages::kTools]) return kTabTools;
  // The table the page belongs to: the row itself when it is a table node,
  // else its nearest table ancestor (0 when there is none).
  const RowIndex table = FieldIs(db, page, names::kTable) ? page : TableRowOf(db, page);
  if (table != 0 && table == names[pages::kContents]) return kTabContents;
  if (table != 0 && table == names[pages::kIndex]) return kTabIndex;
  const auto type = TableType(db, table);
  if (type == u"flow chart" || type == u"questionarie") return kTabTools;
  return kTabContents;
}

}  // namespace vrok
