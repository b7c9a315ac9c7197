#pragma once
// What a page view plugs into its HTML pane: a source that builds the
// page's HTML and answers the viewer's picture requests.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vrok {

// The cookie of an answer without a picture: it matches no request, so the
// viewer leaves that picture empty.
inline constexpr std::uint32_t kNoPictureCookie = 1133;

struct ImageReply {
  std::uint32_t cookie = kNoPictureCookie;
  std::vector<std::uint8_t> encoded;  // the picture's file bytes (PNG, JPEG, GIF ...)
};

class PageSource {
 public:
  virtual ~PageSource() = default;
  virtual std::u16string BuildPage(std::uint32_t page) = 0;
  virtual ImageReply SupplyImage(std::u16string_view source, std::uint32_t cookie) {
    (void)source;
    (void)cookie;
    return {};
  }
};

}  // namespace vrok
