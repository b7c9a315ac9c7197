#pragma once
// What the pages say for the handheld's HTML viewer, adapted for the
// desktop viewer widget: it knows no <MENU>, so menus become bulleted lists
// (which is how the handheld drew them), and the anchors that the index
// pages leave open at the end of a list item are closed there, so that a
// link does not run on over the rest of the page; a break just before the
// end of a list item, which draws nothing on the handheld, is dropped.
// Page text is untrusted, and the viewer's layout time grows with the square
// of element nesting (and faster still with nested tables, which also
// exhaust its stack): elements nested deeper than kMaxNesting, tables nested
// deeper than kMaxTableNesting and table parts outside any table are left
// out, tags only, their text kept. Nothing else changes.

#include <cstddef>
#include <string>
#include <string_view>

namespace vrok {

inline constexpr std::size_t kMaxNesting = 64;
inline constexpr std::size_t kMaxTableNesting = 4;

std::u16string ViewerHtml(std::u16string_view page);

// The nesting bound alone, for HTML that is already in the viewer's terms.
std::u16string BoundNesting(std::u16string_view html);

}  // namespace vrok
