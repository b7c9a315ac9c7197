#pragma once
// What the pages say for the handheld's HTML viewer, adapted for the
// desktop viewer widget: it knows no <MENU>, so menus become bulleted lists
// (which is how the handheld drew them), and the anchors that the index
// pages leave open at the end of a list item are closed there, so that a
// link does not run on over the rest of the page; a break just before the
// end of a list item, which draws nothing on the handheld, is dropped.
// Nothing else changes.

#include <string>
#include <string_view>

namespace vrok {

std::u16string ViewerHtml(std::u16string_view page);

}  // namespace vrok
