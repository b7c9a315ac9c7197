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

std::optional<PrefixHit> FindPrefix(const SearchEntries& entries, std::u16string_view typed,
                                    std::uint32_t* probes) {
  const std::uint32_t count = entries.Count();
  if (typed.empty() || count == 0) return std::nullopt;
  const auto plain = [&](std::int64_t i) {
    if (probes) ++*probes;
    return PlainTextOf(entries.Text(static_cast<std::uint32_t>(i)));
  };
  // Halving leaves lo at the first entry that does not sort before the
  // typed text (count when every entry does); that entry was the last one
  // probed that did not sort before, so its order is already known.
  std::int64_t lo = 0, hi = std::int64_t{count} - 1;
  int lastNotBefore = 1;
  while (lo <= hi) {
    const std::int64_t mid = (lo + hi) / 2;
    const int order = ComparePrefix(plain(mid), typed);
    if (order < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      lastNotBefore = order;
    }
  }
  if (lo < count && lastNotBefore == 0) return PrefixHit{static_cast<std::uint32_t>(lo), true};
  // No entry begins with the text: the last one sorting before it, or the
  // first when the text sorts before every entry.
  return PrefixHit{static_cast<std::uint32_t>(lo > 0 ? lo - 1 : 0), false};
}

std::optional<std::uint32_t> PrefixSearch(const SearchEntries& entries, std::u16string_view typed,
                                          std::uint32_t* probes) {
  const auto hit = FindPrefix(entries, typed, probes);
  if (!hit) return std::nullopt;
  return hit->index;
}

}  // namespace vrok
