#pragma once
// Search-as-you-type over a sorted list: the first entry that begins with
// the typed letters, ignoring letter case, found by halving; when none
// begins with them, the last entry that sorts before them (or the first
// entry when they sort before every entry).

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vrok {

// The list being searched, in ascending order of its (marked-up) texts.
class SearchEntries {
 public:
  virtual ~SearchEntries() = default;
  virtual std::uint32_t Count() const = 0;
  virtual std::u16string Text(std::uint32_t index) const = 0;
};

// Letter case folded for comparing (ASCII, Latin-1, Latin Extended-A,
// Greek and Cyrillic).
char16_t FoldCase(char16_t c);

// The entry to select for the typed text and whether it begins with it.
struct PrefixHit {
  std::uint32_t index = 0;
  bool begins = false;
};

// The entry to select for the typed text; nothing for an empty text or an
// empty list. Entries are compared on their plain text. `probes`, when
// given, counts the entries read.
std::optional<PrefixHit> FindPrefix(const SearchEntries& entries, std::u16string_view typed,
                                    std::uint32_t* probes = nullptr);

// FindPrefix's index alone.
std::optional<std::uint32_t> PrefixSearch(const SearchEntries& entries, std::u16string_view typed,
                                          std::uint32_t* probes = nullptr);

}  // namespace vrok
