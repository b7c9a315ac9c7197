#include "core/pages/link_target.h"

#include <limits>

namespace vrok {

bool IsWebLink(std::u16string_view target) { return target.starts_with(u"http"); }

ParsedLink ParseLinkTarget(std::u16string_view target) {
  ParsedLink result;
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint32_t>::max();
  std::uint64_t page = 0;
  for (char16_t c : target) {
    if (c < u'0' || c > u'9') break;
    page = page * 10 + static_cast<std::uint64_t>(c - u'0');
    if (page > kMax) page = kMax;  // saturate; stays below 2^36, no overflow
  }
  result.page = static_cast<std::uint32_t>(page);
  if (const auto hash = target.find(u'#'); hash != std::u16string_view::npos) {
    result.anchor = target.substr(hash + 1);
  }
  return result;
}

std::u16string NavigationText(const std::uint8_t* data, std::uint32_t length) {
  std::u16string text;
  if (data == nullptr) return text;
  for (std::uint32_t i = 0; i + 1 < length; i += 2) {
    const auto c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (c == 0) break;
    text.push_back(c);
  }
  return text;
}

}  // namespace vrok
