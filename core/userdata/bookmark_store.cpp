#include "core/userdata/bookmark_store.h"

#include <algorithm>

#include "core/userdata/user_data_import.h"

namespace vrok {

BookmarkStore::BookmarkStore(const std::string& programFolder, const ContentDatabase& content,
                             const ReservedKeys& reserved, FileSystem& files)
    // An import cut short is finished or undone before the pair opens.
    : UserStore(content, reserved, /*builtInPages=*/false,
                (FinishImport(programFolder, files), BookmarkFiles(programFolder)), files) {
  Reload();
}

Placement BookmarkStore::CanPlace(RowIndex page, std::span<const std::uint8_t> state) const {
  const auto key = pages_.KeyOf(page);
  if (!key) return Placement::kNotPlaceable;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (keys_[i] == *key && std::ranges::equal(entries_[i].state, state)) return Placement::kExists;
  }
  return Placement::kAllowed;
}

int BookmarkStore::Add(std::u16string_view title, RowIndex page,
                       std::span<const std::uint8_t> state) {
  if (CanPlace(page, state) != Placement::kAllowed) return -1;
  const int result = AddBookmark(file_, pages_.AsPageKeys(), page, state, title);
  if (result == 0) Reload();
  return result;
}

void BookmarkStore::Reload() {
  entries_.clear();
  records_.clear();
  keys_.clear();
  for (auto& stored : LoadBookmarks(file_, pages_.AsPageKeys())) {
    records_.push_back(stored.record);
    keys_.push_back(stored.value.key);
    entries_.push_back({std::move(stored.value.title), stored.page, std::move(stored.value.state)});
  }
}

}  // namespace vrok
