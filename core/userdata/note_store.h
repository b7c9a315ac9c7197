#pragma once
// The user's notes: at most one note (a title and a free text) per page. They
// live in the pair "notes.vsi"/"notes.vsd" of the program folder, one record
// per note in stored order (layout in user_records.h); every change is on
// disk before it returns, and the pair is compacted when the store is
// destroyed.
//
// Every page that has a stored key can hold a note (stored_pages.h): content
// rows whose key is not 0 and the built-in pages, which are stored under
// keys of their own so that a note on the bookmark list comes back there in
// a later edition of the content.
//
// When the pair cannot be used (its data file is missing, or a file of it
// is a link or cannot be read), the store is failed: the list is empty,
// adding and deleting give -1 and no file is touched. When it can be read
// but not written (another window has it, or the files cannot be written),
// the store is read-only: the list is shown, every change gives -1.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "content/types.h"
#include "core/userdata/user_store.h"

namespace vrok {

inline constexpr std::u16string_view kNotesCaption = u"Notes";
inline constexpr std::u16string_view kNoteNotPlaceableMessage = u"You can't place a note here.";
inline constexpr std::u16string_view kNoteTitleEmptyMessage =
    u"You can't save this note. \"Title\" field is empty.";
// Saving was allowed but the record could not be written.
inline constexpr std::u16string_view kNoteNotSavedMessage = u"This note could not be saved.";
// The editor shows a note typed but not saved before the last close.
inline constexpr std::u16string_view kNoteDraftBackMessage =
    u"This is the note you had not saved when Vrok closed.";
// Said at start when such a note is kept.
inline constexpr std::u16string_view kNoteDraftKeptMessage =
    u"A note you had not saved is kept. Add/Edit Note on its page shows it again.";

struct Note {
  std::u16string title;
  std::optional<RowIndex> page;  // nothing: the page is not in this edition
  std::u16string text;
};

class NoteStore : public UserStore<Note> {
 public:
  // Opens the pair in programFolder and loads every entry. content must
  // outlive the store.
  NoteStore(const std::string& programFolder, const ContentDatabase& content,
            const ReservedKeys& reserved = {}, FileSystem& files = RealFileSystem());

  // False for a page without a stored key (a content row whose key is 0).
  bool CanPlace(RowIndex page) const;
  // List position of the page's note (the last one, should there be
  // several), or -1.
  int Find(RowIndex page) const;

  // Saves the page's note, replacing any earlier note of the page; the new
  // one goes to the end of the list. The new note is written before the old
  // one is removed, so no failure loses both. 0, or -1 when the page cannot
  // hold a note or the note cannot be written (nothing changed), or when the
  // new note is saved but the old one could not be removed (both listed).
  int Add(std::u16string_view title, RowIndex page, std::u16string_view text);

  // The note being typed when the reader closed, kept unsaved as
  // "notes.draft" beside the record files (written aside, flushed, renamed)
  // so that the editor can offer it again. Not kept for a read-only pair
  // (another window has the notes). 0 or -1.
  int KeepDraft(std::u16string_view title, RowIndex page, std::u16string_view text);
  // The draft kept at an earlier close; nothing when none can be read.
  std::optional<Note> Draft() const;
  // Forgets the draft (saved, or cancelled in the editor); not for a
  // read-only pair.
  void DropDraft();

 private:
  void Reload() override;

  FileSystem& files_;
  std::string draftPath_;
};

}  // namespace vrok
