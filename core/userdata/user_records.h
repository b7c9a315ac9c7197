#pragma once
// The records of the bookmark and note stores, as kept in their RecordFile
// (record 0 is the version record; the stores' entries are records 1 up).
// All numbers little-endian.
//
//   bookmark  +0 u32 key  +4 u32 S  +8 u32 T  +12 S bytes page state, then T bytes title
//   note      +0 u32 key  +4 u32 T  +8 u32 X  +12 T bytes title, then X bytes note text
//
// Titles are at most 255 bytes. Text is written as UTF-8; text that is not
// valid UTF-8 (written by the handheld) is read as Windows-1252. A record
// stores the page's NodeKey, never its row, so that it survives a new
// edition of the content.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "content/types.h"
#include "core/userdata/record_file.h"

namespace vrok {

inline constexpr std::size_t kMaxTitleBytes = 255;

// UTF-8 of text, at most maxBytes long, cut only between characters. Lone
// surrogates are written as U+FFFD.
std::string EncodeStoredText(std::u16string_view text, std::size_t maxBytes = SIZE_MAX);
// UTF-8, or Windows-1252 when the bytes are not valid UTF-8.
std::u16string DecodeStoredText(std::span<const std::uint8_t> bytes);

struct BookmarkRecord {
  NodeKey key{};
  std::vector<std::uint8_t> state;  // the navigation data of the page, unchanged
  std::u16string title;
};

struct NoteRecord {
  NodeKey key{};
  std::u16string title;
  std::u16string text;
};

// Encoding cuts the title to kMaxTitleBytes; nothing when a part is too
// long for its 32-bit length. Decoding gives nothing when the lengths do not
// fit the record.
std::optional<std::vector<std::uint8_t>> EncodeBookmark(const BookmarkRecord& record);
std::optional<BookmarkRecord> DecodeBookmark(std::span<const std::uint8_t> bytes);
std::optional<std::vector<std::uint8_t>> EncodeNote(const NoteRecord& record);
std::optional<NoteRecord> DecodeNote(std::span<const std::uint8_t> bytes);

// The length of the bookmark or note record that starts with head (at
// least its 12 bytes), left bytes before the end of the file; 0 when those
// bytes cannot start one. The scanner of the stores' record files.
std::uint64_t StoredRecordLength(std::span<const std::uint8_t> head, std::uint64_t left);

// Conversions between page ids and stored keys, supplied by the content.
// rowOfKey gives nothing for a key this edition does not have.
struct PageKeys {
  std::function<NodeKey(RowIndex page)> keyOfRow;
  std::function<std::optional<RowIndex>(NodeKey key)> rowOfKey;
};

// A store entry as loaded: its record number (for Remove), the page it
// belongs to (nothing when the content no longer has it) and its contents.
template <typename Record>
struct StoredEntry {
  int record = 0;
  std::optional<RowIndex> page;
  Record value;
};

// Every readable entry from record 1 up. Records that cannot be read or
// decoded are skipped; record numbers stay those of the file.
std::vector<StoredEntry<BookmarkRecord>> LoadBookmarks(RecordFile& file, const PageKeys& keys);
std::vector<StoredEntry<NoteRecord>> LoadNotes(RecordFile& file, const PageKeys& keys);

// Appends an entry for page. 0 or -1.
int AddBookmark(RecordFile& file, const PageKeys& keys, RowIndex page,
                std::span<const std::uint8_t> state, std::u16string_view title);
int AddNote(RecordFile& file, const PageKeys& keys, RowIndex page, std::u16string_view title,
            std::u16string_view text);

// Removes several records, the highest first so that the others keep their
// numbers. Record 0 is never removed. 0, or -1 when any removal failed.
int RemoveRecords(RecordFile& file, std::vector<int> records);

struct StoreFiles {
  std::string index;
  std::string data;
};
// The pair of a store in the program folder: "bookmarks.vsi"/"bookmarks.vsd"
// and "notes.vsi"/"notes.vsd".
StoreFiles BookmarkFiles(const std::string& programFolder);
StoreFiles NoteFiles(const std::string& programFolder);
// The unsaved note kept at the last close: "notes.draft".
std::string NoteDraftFile(const std::string& programFolder);

}  // namespace vrok
