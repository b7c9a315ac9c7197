#pragma once
// Merging an export (user_data_export.h) into the bookmark and note pairs of
// a folder, all or nothing.
//
// The merged pairs are written beside the live ones as "<name>.import"
// (all four flushed), then the marker "import.commit" is written (aside,
// flushed, renamed: the commit point), then each ".import" file is renamed
// over its live file, the folder flushed and the marker removed. Whoever
// opens the stores first afterwards calls FinishImport, which finds one of:
//   no marker   not committed: stray ".import" files are removed; the old
//               pairs are intact;
//   the marker  committed: the ".import" files still there are renamed over
//               their live files, then the marker is removed.
// Both pairs' locks ("<data>.lock") are held throughout, so a reader that
// has the stores open blocks an import and an import blocks a reader.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "content/content_database.h"
#include "core/userdata/file_system.h"
#include "core/userdata/stored_pages.h"
#include "core/userdata/user_data_export.h"

namespace vrok {

// What to do with an imported note whose page already has a different note.
enum class NoteClash { kKeepBoth, kKeepNewer, kKeepExisting };

// An export read back. Items keep the order of the file.
struct ExportItem {
  NodeKey key{};
  std::vector<std::uint8_t> state;  // bookmarks
  std::u16string title;
  std::u16string text;        // notes
  std::u16string page;        // readable title of the page, as exported
  std::int64_t modified = 0;  // notes
};
struct ExportFile {
  std::vector<ExportItem> bookmarks;
  std::vector<ExportItem> notes;
};

enum class ImportError {
  kNone,
  kUnreadable,   // the file cannot be read
  kNotUtf8,      // not valid UTF-8
  kDamaged,      // not JSON: cut short or damaged
  kNotExport,    // JSON, but not an export of bookmarks and notes
  kNewer,        // from a newer format version
  kInUse,        // the stores are open in another reader
  kWriteFailed,  // the merged files could not be written; nothing changed
};
// The message for a failure (one sentence, plain).
std::u16string ImportErrorMessage(ImportError error);

// Reads an export; nothing, with the reason, when it is not one.
std::optional<ExportFile> ParseExport(std::span<const std::uint8_t> bytes, ImportError& error);

struct ImportReport {
  int bookmarksAdded = 0;
  int notesAdded = 0;
  int duplicates = 0;  // skipped: already there
  int clashes = 0;     // notes whose page had a different note
  int replaced = 0;    // existing notes replaced by newer imported ones
  // Titles of the imported items whose pages this edition does not have;
  // they are kept all the same, as the stores keep such entries.
  std::vector<std::u16string> notInEdition;
};
// A summary of the report, for the user.
std::u16string ImportSummary(const ImportReport& report);

// How many imported notes clash with the notes in folder now (to ask the
// user what to do before importing); -1 when the notes cannot be read.
int CountNoteClashes(const std::string& folder, const ExportFile& file,
                     FileSystem& files = RealFileSystem());

// Merges file into the pairs of folder. existingNotesTime is when the notes
// in the folder last changed (seconds since 1970), for kKeepNewer. Nothing
// changes unless the result is kNone.
ImportError ImportUserData(const std::string& folder, const ContentDatabase& content,
                           const ReservedKeys& reserved, const ExportFile& file, NoteClash clash,
                           std::int64_t existingNotesTime, ImportReport& report,
                           FileSystem& files = RealFileSystem());

// Completes or abandons an import cut short (see above). Does nothing while
// another process holds the pairs. Called before the stores open.
void FinishImport(const std::string& folder, FileSystem& files = RealFileSystem());

// Puts contents (one per file, in UserDataFiles order) in place of the
// four files at once, by the same path as an import. The stores must be
// closed. False when nothing changed.
bool ReplaceUserData(const std::string& folder,
                     const std::vector<std::vector<std::uint8_t>>& contents,
                     FileSystem& files = RealFileSystem());

// The four live files of the pairs, index and data of bookmarks, then of notes.
std::vector<std::string> UserDataFiles(const std::string& folder);

}  // namespace vrok
