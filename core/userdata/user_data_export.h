#pragma once
// Bookmarks and notes taken out of the record files into files a person can
// keep, move or read elsewhere:
//
//  - ExportJson: one JSON document, format "vrok-user-data" version 1:
//      {"format": "vrok-user-data", "version": 1,
//       "book": {"title": T, "stamps": [s1, s2, s3]},
//       "exported": "YYYY-MM-DDTHH:MM:SSZ",
//       "bookmarks": [{"key", "data" (hex of the page state), "page" (the
//                      page's readable title), "path" (titles of the tables
//                      above it, top first), "title", "in_edition"}],
//       "notes": [{"key", "page", "path", "title", "text", "modified",
//                  "in_edition"}]}
//    Texts are UTF-8. "modified" is the time the notes file last changed
//    (the records keep no time of their own).
//  - ExportHtml: a self-contained web page (no external resource), every
//    note under its page's title and path, every bookmark as one line.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "content/content_database.h"
#include "core/userdata/file_system.h"
#include "core/userdata/stored_pages.h"
#include "core/userdata/user_records.h"

namespace vrok {

inline constexpr const char* kExportFormat = "vrok-user-data";
inline constexpr int kExportVersion = 1;

// The records of both stores, as read from their files.
struct UserData {
  std::vector<BookmarkRecord> bookmarks;
  std::vector<NoteRecord> notes;
  std::int64_t notesModified = 0;  // seconds since 1970 (UTC), 0 when unknown
};

// Reads the bookmark and note pairs of folder. Records that cannot be
// decoded are left out. Nothing when either pair cannot be opened.
std::optional<UserData> ReadUserData(const std::string& folder,
                                     FileSystem& files = RealFileSystem());

// Where a stored key leads in this edition: its readable title and the
// titles of the tables above it; inEdition false when the page is missing.
struct PagePlace {
  bool inEdition = false;
  std::u16string title;
  std::vector<std::u16string> path;
};
PagePlace PlaceOfKey(const ContentDatabase& content, const StoredPages& pages, NodeKey key);

// The titles of the rows above row (the root left out), top first.
std::vector<std::u16string> PathOfRow(const ContentDatabase& content, RowIndex row);

// The book's title: the root's text, plain, or "Tarvessa" when it has none.
std::u16string BookTitle(const ContentDatabase& content);

std::string ExportJson(const ContentDatabase& content, const ReservedKeys& reserved,
                       const UserData& data, std::int64_t now);
std::string ExportHtml(const ContentDatabase& content, const ReservedKeys& reserved,
                       const UserData& data, std::int64_t now);

// "YYYY-MM-DDTHH:MM:SSZ" of seconds since 1970.
std::string IsoTime(std::int64_t seconds);
// The inverse; nothing for any other text.
std::optional<std::int64_t> ParseIsoTime(const std::string& text);

// Writes bytes to path crash-safely (aside, flushed, renamed). False on
// any failure; the file at path is then as it was.
bool SaveExport(const std::string& path, const std::string& bytes,
                FileSystem& files = RealFileSystem());

}  // namespace vrok
