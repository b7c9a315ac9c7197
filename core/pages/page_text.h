#pragma once
// Pieces shared by the page builders: the page skeletons and the small
// texts every generated page is made of.

#include <cstdint>
#include <string>
#include <string_view>

#include "content/node_cursor.h"

namespace vrok {

// The skeletons every page is built in. The menu and pop-up closings are
// deliberately out of order ("</HTML></BODY>", "</FONT>" twice): pages are
// compared byte for byte with these texts, and the viewer accepts them.
namespace skeleton {
inline constexpr std::u16string_view kPageOpen =
    u"<HTML><HEAD></HEAD><BODY><FONT FACE='PPC_Font2'>";
inline constexpr std::u16string_view kPageClose = u"</FONT></BODY></HTML>";
inline constexpr std::u16string_view kMenuOpen =
    u"<HTML><HEAD></HEAD><BODY><FONT FACE='PPC_Font2'><MENU>";
inline constexpr std::u16string_view kMenuClose = u"</MENU></FONT></HTML></BODY>";
inline constexpr std::u16string_view kPopupOpen = u"<HTML><BODY><FONT FACE='PPC_Font2'>";
inline constexpr std::u16string_view kPopupClose = u"</FONT></BODY></FONT>";
}  // namespace skeleton

// A row's text: its string when it is a "string" row with a non-zero value,
// else the empty text.
std::u16string TextOf(const NodeCursor& row);
std::u16string TextOf(const ContentDatabase& db, RowIndex row);

// The text of the row's child with that field; empty when there is none.
std::u16string ChildTextOf(NodeCursor row, std::u16string_view field);

// A number as written into links and anchors ("%d").
std::u16string Decimal(std::int64_t n);

// <A NAME="row"></A>
std::u16string AnchorFor(RowIndex row);

// The leading decimal digits of a text (an image source, a link target) as
// a row; 0 when there are none, clamped rather than wrapped when too large.
std::uint32_t LeadingNumber(std::u16string_view text);

}  // namespace vrok
