#pragma once
// The bookmark list: an overlay over the page area headed "Bookmarks", one
// row per bookmark in stored order, and a delete button (id 123) for the
// ticked rows. A tap on a row hands its list position to the listener.

#include <functional>

#include "widgets/title_bar.h"

namespace vrok {

class BookmarkStore;
class TickedList;

class BookmarkListPanel : public TitledPane {
 public:
  static constexpr int kDeleteId = 123;

  BookmarkListPanel(QWidget* parent, BookmarkStore& store);

  void SetOpenListener(std::function<void(int position)> open);
  // Rebuilds the list from the store, nothing ticked.
  void Refresh();

  void Report(nlohmann::json& pane) const override;

 private:
  void DeleteTicked(const std::vector<int>& positions);

  BookmarkStore& store_;
  TickedList* list_ = nullptr;
};

}  // namespace vrok
