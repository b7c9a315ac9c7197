#include "core/navigation/history_list.h"

#include <algorithm>

namespace vrok {

namespace {
std::vector<std::uint8_t> CopyOf(const std::uint8_t* data, std::uint32_t length) {
  if (data == nullptr || length == 0) return {};
  return std::vector<std::uint8_t>(data, data + length);
}
}  // namespace

namespace {

// A block that says no more than where the page was scrolled: empty, or a
// zero 32-bit word followed by the position (an anchor starts non-zero).
bool OnlyPosition(const std::vector<std::uint8_t>& data) {
  return data.empty() ||
         (data.size() == 8 && data[0] == 0 && data[1] == 0 && data[2] == 0 && data[3] == 0);
}

}  // namespace

void HistoryList::Record(PageId page, const std::uint8_t* data, std::uint32_t length,
                         std::u16string title) {
  if (!recordEnabled_) {
    recordEnabled_ = true;
    return;
  }
  const int count = static_cast<int>(entries_.size());
  if (current_ >= 0 && current_ < count - 1)
    entries_.resize(static_cast<std::size_t>(current_) + 1);
  std::vector<std::uint8_t> copy = CopyOf(data, length);
  if (current_ >= 0) {
    Entry& at = entries_[static_cast<std::size_t>(current_)];
    if (at.page == page && at.data == copy) {
      overlayShown_ = false;
      return;
    }
    // The page already current, shown again from its top or at a scroll
    // position (as after the note editor closes, or a tap on its own tab):
    // the same visit, which takes the new state, not a second entry.
    if (at.page == page && OnlyPosition(at.data) && OnlyPosition(copy)) {
      at.data = std::move(copy);
      overlayShown_ = false;
      return;
    }
  }
  entries_.push_back(Entry{page, std::move(copy), std::move(title)});
  if (entries_.size() > kMaxEntries) entries_.erase(entries_.begin());
  overlayShown_ = false;
  current_ = shown_ = static_cast<int>(entries_.size()) - 1;
}

void HistoryList::Back() {
  if (entries_.empty() || (current_ < 1 && !overlayShown_)) return;
  if (!overlayShown_) --current_;
  overlayShown_ = false;
  ShowCurrent();
}

void HistoryList::Forward() {
  if (current_ < static_cast<int>(entries_.size()) - 1) {
    ++current_;
    ShowCurrent();
  }
}

void HistoryList::GoTo(int position) {
  if (position == current_ || position < 0 || position >= static_cast<int>(entries_.size())) return;
  current_ = position;
  ShowCurrent();
}

void HistoryList::ReplaceShownData(const std::uint8_t* data, std::uint32_t length) {
  if (shown_ >= 0 && shown_ < static_cast<int>(entries_.size()))
    entries_[static_cast<std::size_t>(shown_)].data = CopyOf(data, length);
}

std::vector<std::u16string> HistoryList::Titles() const {
  std::vector<std::u16string> titles;
  titles.reserve(entries_.size());
  for (const Entry& e : entries_) titles.push_back(e.title);
  return titles;
}

void HistoryList::ShowCurrent() {
  if (current_ < 0 || current_ >= static_cast<int>(entries_.size())) return;
  recordEnabled_ = false;
  // A copy: the navigation may run views that touch the history.
  const Entry entry = entries_[static_cast<std::size_t>(current_)];
  if (navigator_ != nullptr)
    navigator_->Navigate(entry.page, entry.data.empty() ? nullptr : entry.data.data(),
                         static_cast<std::uint32_t>(entry.data.size()));
  overlayShown_ = false;
  shown_ = current_;
}

}  // namespace vrok
