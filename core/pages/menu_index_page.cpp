#include "core/pages/menu_index_page.h"

#include "content/node_cursor.h"
#include "core/pages/page_text.h"

namespace vrok {

std::u16string MenuIndexPage::Title(RowIndex row) const { return TextOf(db_, row); }

void MenuIndexPage::AppendEntries(RowIndex parent, int depth, std::u16string& page) const {
  NodeCursor c(db_, parent);
  if (!c.ToFirstChild()) return;
  do {
    if (NodeCursor link = c; link.ToChild(u"link")) {
      // The link's target is not quoted and the anchor is never closed.
      page += u"<LI><A HREF=" + Decimal(link.Row().value) + u">" + TextOf(c) + u"<BR></LI>";
      continue;
    }
    page += u"<LI>" + TextOf(c) + u"<BR></LI>";
    if (depth < kMaxDepth && NodeCursor(c).ToFirstChild()) {
      page += u"<MENU>";
      AppendEntries(c.Row().row, depth + 1, page);
      page += u"</MENU>";
    }
  } while (c.ToNextSibling());
}

std::u16string MenuIndexPage::BuildPage(std::uint32_t row) {
  std::u16string page(skeleton::kMenuOpen);
  AppendEntries(row, 0, page);
  return page + std::u16string(skeleton::kMenuClose);
}

}  // namespace vrok
