#include "core/userdata/stored_pages.h"

#include <limits>

#include "content/content_database.h"

namespace vrok {

PageKeys ContentPageKeys(const ContentDatabase& content) {
  const ContentDatabase* db = &content;
  return {[db](RowIndex row) { return row < db->RowCount() ? db->KeyOfRow(row) : NodeKey{0}; },
          [db](NodeKey key) -> std::optional<RowIndex> {
            // RowOfKey answers with the key itself when no row has it.
            const RowIndex row = db->RowOfKey(key);
            if (row < db->RowCount() && db->KeyOfRow(row) == key) return row;
            return std::nullopt;
          }};
}

StoredPages::StoredPages(const ContentDatabase& content, const ReservedKeys& reserved,
                         bool builtInPages)
    : rowCount_(content.RowCount()),
      content_(ContentPageKeys(content)),
      byPage_(reserved),
      builtInPages_(builtInPages) {
  for (const auto& [page, key] : byPage_) byKey_.emplace(key, page);
}

std::optional<NodeKey> StoredPages::KeyOf(RowIndex page) const {
  std::uint32_t key = 0;
  if (const auto it = byPage_.find(page); it != byPage_.end()) {
    key = it->second;
  } else if (page < rowCount_) {
    key = static_cast<std::uint32_t>(content_.keyOfRow(page));
  } else if (builtInPages_ && page - rowCount_ < kBuiltInKeyCount) {
    key = kBuiltInKeyBase + (page - rowCount_);
    if (content_.rowOfKey(NodeKey{key})) return std::nullopt;  // the content has it
  }
  if (key == 0) return std::nullopt;
  return NodeKey{key};
}

std::optional<RowIndex> StoredPages::PageOf(NodeKey key) const {
  const auto k = static_cast<std::uint32_t>(key);
  if (k == 0) return std::nullopt;
  if (const auto it = byKey_.find(k); it != byKey_.end()) return it->second;
  if (auto row = content_.rowOfKey(key)) return row;
  if (builtInPages_ && k >= kBuiltInKeyBase &&
      k - kBuiltInKeyBase <= std::numeric_limits<std::uint32_t>::max() - rowCount_) {
    return rowCount_ + (k - kBuiltInKeyBase);
  }
  return std::nullopt;
}

PageKeys StoredPages::AsPageKeys() const {
  return {[this](RowIndex page) { return KeyOf(page).value_or(NodeKey{0}); },
          [this](NodeKey key) { return PageOf(key); }};
}

int RemoveEntries(RecordFile& file, const std::vector<int>& records,
                  std::span<const int> positions) {
  std::vector<int> doomed;
  doomed.reserve(positions.size());
  for (const int p : positions) {
    if (p < 0 || static_cast<std::size_t>(p) >= records.size()) return -1;
    doomed.push_back(records[static_cast<std::size_t>(p)]);
  }
  return RemoveRecords(file, std::move(doomed));
}

}  // namespace vrok
