#include "core/userdata/note_store.h"

#include "core/userdata/user_data_import.h"
#include "core/userdata/user_records.h"

namespace vrok {

NoteStore::NoteStore(const std::string& programFolder, const ContentDatabase& content,
                     const ReservedKeys& reserved, FileSystem& files)
    // An import cut short is finished or undone before the pair opens.
    : UserStore(content, reserved, /*builtInPages=*/true,
                (FinishImport(programFolder, files), NoteFiles(programFolder)), files),
      files_(files),
      draftPath_(NoteDraftFile(programFolder)) {
  Reload();
}

bool NoteStore::CanPlace(RowIndex page) const { return pages_.KeyOf(page).has_value(); }

int NoteStore::Find(RowIndex page) const {
  for (int p = Count() - 1; p >= 0; --p) {
    if (entries_[static_cast<std::size_t>(p)].page == page) return p;
  }
  return -1;
}

int NoteStore::Add(std::u16string_view title, RowIndex page, std::u16string_view text) {
  if (!CanPlace(page)) return -1;
  std::vector<int> earlier;
  for (int p = 0; p < Count(); ++p) {
    if (entries_[static_cast<std::size_t>(p)].page == page) earlier.push_back(p);
  }
  if (AddNote(file_, pages_.AsPageKeys(), page, title, text) != 0) return -1;
  const int result = RemoveEntries(file_, records_, earlier);
  Reload();
  return result;
}

int NoteStore::KeepDraft(std::u16string_view title, RowIndex page, std::u16string_view text) {
  const auto key = pages_.KeyOf(page);
  if (!key || file_.ReadOnly()) return -1;
  const auto bytes = EncodeNote(NoteRecord{*key, std::u16string(title), std::u16string(text)});
  return bytes && WriteWhole(files_, draftPath_, *bytes) ? 0 : -1;
}

std::optional<Note> NoteStore::Draft() const {
  const auto bytes = ReadWhole(files_, draftPath_);
  const auto record = bytes ? DecodeNote(*bytes) : std::nullopt;
  if (!record) return std::nullopt;
  return Note{record->title, pages_.AsPageKeys().rowOfKey(record->key), record->text};
}

void NoteStore::DropDraft() {
  if (file_.ReadOnly()) return;  // the window that has the notes keeps it
  if (files_.KindOf(draftPath_).value_or(FileSystem::Kind::kMissing) == FileSystem::Kind::kMissing)
    return;
  if (files_.Remove(draftPath_)) files_.SyncFolderOf(draftPath_);
}

void NoteStore::Reload() {
  entries_.clear();
  records_.clear();
  for (auto& stored : LoadNotes(file_, pages_.AsPageKeys())) {
    records_.push_back(stored.record);
    entries_.push_back({std::move(stored.value.title), stored.page, std::move(stored.value.text)});
  }
}

}  // namespace vrok
