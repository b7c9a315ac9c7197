#pragma once
// The book-wide search index: built from the book's documents into one
// file (a single-file Xapian database), stamped with the book's three
// stamps, and queried with ranked results (BM25), English stemming, both
// British and American spellings, the last word as a prefix while typing,
// index entries as synonyms of their pages and spelling suggestions from
// the book's own words. Nothing here throws: failures are results.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "content/content_database.h"

namespace vrok::search {

// The name of the index file beside the content files.
inline constexpr const char* kIndexSuffix = "-Search.idx";

// The book's stamps as the index records them ("s1-s2-s3").
std::string StampsOf(const ContentDatabase& db);

// Builds the index of the book into `file` (written aside and renamed into
// place). progress, when given, hears the share done (0 to 1). False with
// a reason on failure; nothing is left at `file` then.
bool BuildIndex(const ContentDatabase& db, const std::string& file, std::string& error,
                const std::function<void(double)>& progress = {});

struct SearchHit {
  std::uint32_t page = 0;
  std::vector<std::uint8_t> data;
  std::u16string title;
  std::vector<std::u16string> path;
  std::u16string section;  // the record section it opens at, if any
  std::u16string snippet;                                 // plain text
  std::vector<std::pair<std::size_t, std::size_t>> bold;  // [begin, end) in snippet
};

struct SearchAnswer {
  bool ok = false;  // false: the index could not be read
  std::uint32_t total = 0;  // an estimate for large result sets
  std::optional<std::u16string> suggestion;
  bool corrected = false;  // the hits are for the suggestion
  std::vector<SearchHit> hits;
  // The words that matched, for highlighting in the page (folded keys).
  std::vector<std::string> keys;
  std::optional<std::string> lastPrefix;  // the last word, matched as a prefix
};

// Opens an index file whose header and checksum hold, positioned at its
// database (for a Xapian database made from the descriptor); -1 otherwise.
int OpenSealedIndex(const std::string& file);

class BookIndex {
 public:
  BookIndex();
  ~BookIndex();
  BookIndex(const BookIndex&) = delete;
  BookIndex& operator=(const BookIndex&) = delete;
  BookIndex(BookIndex&&) noexcept;
  BookIndex& operator=(BookIndex&&) noexcept;

  // Opens an index file; false when it is missing, damaged, or made for
  // other stamps (when stamps is not empty).
  bool Open(const std::string& file, const std::string& stamps);
  bool IsOpen() const;
  std::uint32_t DocumentCount() const;

  // The best `max` hits for a query as typed. A query ending in a space
  // matches its last word whole; otherwise as a prefix.
  SearchAnswer Query(std::u16string_view typed, std::uint32_t max = 20) const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Whether a word of a page (its folded key) is one the answer matched.
bool KeyMatches(const SearchAnswer& answer, const std::string& key);

}  // namespace vrok::search
