#pragma once
// How the bookmark and note stores name pages on disk. A record keeps a
// stored key, never a page id, because rows move between editions of the
// content. Turning a page id into a key, first rule that applies:
//
//   1. the reserved keys handed over at start-up (page id -> key);
//   2. a content row (below RowCount): its NodeKey;
//   3. a built-in page (RowCount up), only where the store allows it (notes):
//      kBuiltInKeyBase + (page - RowCount). Built-in pages are numbered from
//      RowCount in a fixed order, so the offset names the same page in every
//      edition, however many rows the content has.
//
// A page whose key would be 0 has none and cannot be stored: key 0 is the
// root's and marks the rows that take no bookmark or note.
//
// Turning a key back into a page: the reverse of the reserved keys, else the
// content row that really has that key, else (where allowed) the built-in
// page of a key in the built-in block. Anything else, key 0 included, is a
// page that is not in this edition: the entry stays listed and on disk, and
// opening it shows kPageNotInEditionMessage.
//
// Why the built-in block cannot mis-file a note. Content keys are the
// book's own numbers (BookWriter keeps explicit keys and hashes the others to
// 32 bits), so one could fall in the block, though for a book of n rows the
// chance that any of the eight built-in keys is taken is about 8n / 2^32.
// The content always wins: a built-in page whose key some content row has
// takes no note in that edition, and such a key loads as that row.

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "content/book_files.h"
#include "content/types.h"
#include "core/userdata/record_file.h"
#include "core/userdata/user_records.h"

namespace vrok {

inline constexpr std::u16string_view kPageNotInEditionMessage =
    u"This page is not in this edition of the book.";

// Page id -> reserved key, as handed over at start-up (empty in the reader).
using ReservedKeys = std::map<std::uint32_t, std::uint32_t>;

inline constexpr std::uint32_t kBuiltInKeyBase = format::kReservedKeysFrom;
inline constexpr std::uint32_t kBuiltInKeyCount = 0x100;  // room for later built-in pages

// The content's keys: keyOfRow gives a row's key (0 from RowCount up);
// rowOfKey gives the row that has the key, nothing when no row has it.
PageKeys ContentPageKeys(const ContentDatabase& content);

// The rules above for one store.
class StoredPages {
 public:
  StoredPages(const ContentDatabase& content, const ReservedKeys& reserved, bool builtInPages);

  // Nothing when the page cannot be stored.
  std::optional<NodeKey> KeyOf(RowIndex page) const;
  // Nothing when the page is not in this edition.
  std::optional<RowIndex> PageOf(NodeKey key) const;
  // The same rules for the record helpers; keyOfRow gives 0 where KeyOf gives nothing.
  PageKeys AsPageKeys() const;

 private:
  std::uint32_t rowCount_;
  PageKeys content_;
  ReservedKeys byPage_;
  std::map<std::uint32_t, std::uint32_t> byKey_;
  bool builtInPages_;
};

// Removes the entries at the given list positions (records[p] is the record
// of position p) from the highest record down. Nothing is removed when a
// position is out of range. 0, or -1 when anything failed.
int RemoveEntries(RecordFile& file, const std::vector<int>& records,
                  std::span<const int> positions);

}  // namespace vrok
