#include "cli/json_text.h"

#include <cstdio>

namespace vrok {

std::string JsonString(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out.push_back('"');
  for (const char16_t u : text) {
    if (u >= 0x20 && u <= 0x7E && u != u'"' && u != u'\\') {
      out.push_back(static_cast<char>(u));
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(u));
      out += buf;
    }
  }
  out.push_back('"');
  return out;
}

}  // namespace vrok
