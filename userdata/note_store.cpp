#include "userdata/note_store.h"

#include "userdata/user_records.h"

namespace vrok {

NoteStore::NoteStore(const std::string& programFolder, const ContentDatabase& content,
                     const ReservedKeys& reserved, FileSystem& files)
    : pages_(content, reserved, /*builtInPages=*/true),
      file_(NoteFiles(programFolder).index, NoteFiles(programFolder).data, files) {
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

int NoteStore::Delete(std::span<const int> positions) {
  const int result = RemoveEntries(file_, records_, positions);
  Reload();
  return result;
}

const Note* NoteStore::Entry(int position) const {
  if (position < 0 || position >= Count()) return nullptr;
  return &entries_[static_cast<std::size_t>(position)];
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
