#pragma once
// What the bookmark and note screens tell the user about their record
// files: what the opening found (damage repaired and where the copies are,
// files missing or refused) and why changes are refused.

#include <string>
#include <string_view>
#include <vector>

#include "core/userdata/record_file.h"

namespace vrok {

// The store's name as the messages use it.
struct StoreWords {
  std::u16string_view heading;  // "Bookmarks", "Notes"
  std::u16string_view items;    // "bookmarks", "notes"
  std::u16string_view one;      // "bookmark", "note"
};
inline constexpr StoreWords kBookmarkWords{u"Bookmarks", u"bookmarks", u"bookmark"};
inline constexpr StoreWords kNoteWords{u"Notes", u"notes", u"note"};

// One message per thing the opening found, and the reason for a read-only
// pair last; nothing when all was well.
std::vector<std::u16string> OpeningMessages(const RecordFile& file, const StoreWords& words);
// Why no change is possible; empty when the pair is not read-only.
std::u16string ReadOnlyMessage(const RecordFile& file, const StoreWords& words);
// A deletion that could not be written ("This note could not be deleted.").
std::u16string NotDeletedMessage(const StoreWords& words, std::size_t count);

}  // namespace vrok
