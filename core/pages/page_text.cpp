#include "core/pages/page_text.h"

#include "core/pages/link_target.h"

namespace vrok {

std::u16string TextOf(const NodeCursor& row) {
  std::u16string text;
  if (row.IsOpen() && row.Row().value != 0 && !row.ReadString(text)) text.clear();
  return text;
}

std::u16string TextOf(const ContentDatabase& db, RowIndex row) {
  return TextOf(NodeCursor(db, row));
}

std::u16string ChildTextOf(NodeCursor row, std::u16string_view field) {
  return row.ToChild(field) ? TextOf(row) : std::u16string();
}

std::u16string Decimal(std::int64_t n) {
  const std::string s = std::to_string(n);
  return std::u16string(s.begin(), s.end());
}

std::u16string AnchorFor(RowIndex row) { return u"<A NAME=\"" + Decimal(row) + u"\"></A>"; }

std::uint32_t LeadingNumber(std::u16string_view text) { return ParseLinkTarget(text).page; }

}  // namespace vrok
