#pragma once
// The small note mark at the right end of a page's title bar, shown while
// the page on screen has a note; pressing it opens that note (Add/Edit
// Note). It is a child of the main window laid over the title, not a pane.

#include <QPointer>
#include <cstdint>
#include <functional>

#include "widgets/picture_button.h"

namespace vrok {

class MainWindow;

class NoteMark {
 public:
  // hasNote says whether a page has a note; open runs when the mark is
  // pressed.
  NoteMark(MainWindow& main, std::function<bool(std::uint32_t page)> hasNote,
           std::function<void()> open);
  ~NoteMark();
  NoteMark(const NoteMark&) = delete;
  NoteMark& operator=(const NoteMark&) = delete;

  // After every page shown: the mark shows when the page has a note and
  // its pane a title to sit in, and hides otherwise (and under overlays).
  void Update(bool overlay);
  bool Shown() const;

 private:
  MainWindow& main_;
  std::function<bool(std::uint32_t)> hasNote_;
  QPointer<PictureButton> button_;
};

}  // namespace vrok
