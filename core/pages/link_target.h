#pragma once
// Link targets written by the page builders: the decimal page id, optionally
// followed by "#" and an anchor name ("120#a2"). Targets that begin with
// "http" are web links, which the reader leaves inert.

#include <cstdint>
#include <string>
#include <string_view>

namespace vrok {

struct ParsedLink {
  std::uint32_t page = 0;  // leading decimal digits; 0 when there are none
  std::u16string anchor;   // text after the first "#", empty when none
};

// True for targets that begin with the four characters "http" (lower case).
bool IsWebLink(std::u16string_view target);

// Reads the leading digits as the page id; a number too large for 32 bits
// is clamped to 4294967295 rather than wrapped onto some unrelated page.
ParsedLink ParseLinkTarget(std::u16string_view target);

// The text a navigation carries as its data (a link's anchor, the search
// text of "index_search"): UTF-16 code units, low byte first, up to the
// first zero unit; an odd last byte is ignored. Empty for no data.
std::u16string NavigationText(const std::uint8_t* data, std::uint32_t length);

}  // namespace vrok
