#pragma once
// The pages visited, for Back, Forward and the History menu. At most 50
// entries; each keeps its own copy of the page's data block.

#include <cstdint>
#include <string>
#include <vector>

#include "core/navigation/page_view.h"

namespace vrok {

// Where the history sends the pages it shows again.
class Navigator {
 public:
  virtual ~Navigator() = default;
  virtual void Navigate(PageId page, const std::uint8_t* data, std::uint32_t length) = 0;
};

class HistoryList {
 public:
  static constexpr std::size_t kMaxEntries = 50;

  struct Entry {
    PageId page = 0;
    std::vector<std::uint8_t> data;  // empty for "no data"
    std::u16string title;
  };

  explicit HistoryList(Navigator* navigator = nullptr) : navigator_(navigator) {}
  void SetNavigator(Navigator* navigator) { navigator_ = navigator; }

  // Appends a visit after the current position (dropping the forward
  // entries), unless it repeats the current entry. While a page of the
  // history itself is being shown, the next call only re-arms recording.
  void Record(PageId page, const std::uint8_t* data, std::uint32_t length, std::u16string title);
  // Back from an overlay returns to the page under it without moving.
  void Back();
  void Forward();
  void GoTo(int position);  // ignored for the current or an invalid position
  void ReplaceShownData(const std::uint8_t* data, std::uint32_t length);
  void SetOverlayShown(bool shown) { overlayShown_ = shown; }

  bool CanGoBack() const { return current_ >= 1 || overlayShown_; }
  bool CanGoForward() const { return current_ < static_cast<int>(entries_.size()) - 1; }
  bool HasMenu() const { return entries_.size() >= 2; }
  std::vector<std::u16string> Titles() const;

  const std::vector<Entry>& Entries() const { return entries_; }
  int CurrentPosition() const { return current_; }
  int ShownPosition() const { return shown_; }
  bool OverlayShown() const { return overlayShown_; }

  // Shows the current entry again without recording a visit (the forward
  // entries stay).
  void ShowCurrent();

 private:

  std::vector<Entry> entries_;
  Navigator* navigator_ = nullptr;
  bool recordEnabled_ = true;
  int current_ = -1;
  int shown_ = -1;
  bool overlayShown_ = false;
};

}  // namespace vrok
