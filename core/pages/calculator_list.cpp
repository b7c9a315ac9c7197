#include "core/pages/calculator_list.h"

#include "content/node_cursor.h"
#include "core/pages/page_text.h"

namespace vrok {

std::u16string CalculatorListSource::BuildPage(std::uint32_t row) {
  std::u16string page = u"<B>Formulas:</B><BR><MENU>";
  std::vector<NodeRow> calculators;
  NodeCursor(db_, row).CollectChildren(u"calculator", calculators);
  for (const NodeRow& c : calculators) {
    std::u16string title;
    NodeCursor(c).ReadString(title);
    page += u"<LI><A HREF=\"" + Decimal(c.row) + u"\"><B>" + title + u"</B></A>";
  }
  return page;
}

}  // namespace vrok
