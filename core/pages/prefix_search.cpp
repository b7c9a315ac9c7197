#include "core/pages/prefix_search.h"

#include <algorithm>
#include <cstdint>

#include "core/pages/markup.h"

namespace vrok {

char16_t FoldCase(char16_t c) {
  if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 32);
  if (c < 0xC0) return c;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return static_cast<char16_t>(c + 32);
  if (c == 0x178) return 0xFF;
  if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 &&
      c != 0x17F) {
    // Latin Extended-A pairs upper and lower case, even then odd, except
    // for a stretch in the middle that pairs odd then even.
    const bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (oddUpper) return (c % 2 == 1) ? static_cast<char16_t>(c + 1) : c;
    return (c % 2 == 0) ? static_cast<char16_t>(c + 1) : c;
  }
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return static_cast<char16_t>(c + 32);  // Greek
  if (c >= 0x410 && c <= 0x42F) return static_cast<char16_t>(c + 32);                // Cyrillic
  if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 80);
  return c;
}

namespace {

// Compares the first n characters of an entry's text with the typed text,
// without regard to case: below zero when the entry is smaller.
int ComparePrefix(std::u16string_view entry, std::u16string_view typed) {
  const std::u16string_view head = entry.substr(0, typed.size());
  for (std::size_t i = 0; i < std::min(head.size(), typed.size()); ++i) {
    const char16_t a = FoldCase(head[i]), b = FoldCase(typed[i]);
    if (a != b) return a < b ? -1 : 1;
  }
  if (head.size() == typed.size()) return 0;
  return head.size() < typed.size() ? -1 : 1;
}

}  // namespace

std::optional<std::uint32_t> PrefixSearch(const SearchEntries& entries, std::u16string_view typed,
                                          std::uint32_t* probes) {
  const std::uint32_t count = entries.Count();
  if (typed.empty() || count == 0) return std::nullopt;
  const auto plain = [&](std::int64_t i) {
    if (probes) ++*probes;
    return PlainTextOf(entries.Text(static_cast<std::uint32_t>(i)));
  };
  std::int64_t lo = 0, hi = std::int64_t{count} - 1, m = 0;
  std::u16string atM;
  while (lo <= hi) {
    m = (lo + hi) / 2;
    atM = plain(m);
    if (ComparePrefix(atM, typed) < 0) {
      lo = m + 1;
    } else {
      hi = m - 1;
    }
  }
  if (ComparePrefix(atM, typed) != 0 && m + 1 < count && ComparePrefix(plain(m + 1), typed) == 0) {
    ++m;
  }
  return static_cast<std::uint32_t>(m);
}

}  // namespace vrok
