#pragma once
// The tab strip at the top of the content area: INDEX, CONTENTS and TOOLS.
// It is a page view of its own: it joins every page except the splash page
// and the overlays, with the page's tab selected.

#include <QWidget>

#include "content/content_database.h"
#include "core/navigation/page_names.h"
#include "core/navigation/page_view.h"
#include "platform/qt/fonts.h"

namespace vrok {

class MainWindow;
class PictureButton;

class TabBar : public PageView {
 public:
  TabBar(MainWindow& main, const ContentDatabase& db, PageNameMap& names);
  ~TabBar() override;

  bool Accept(PageId page, const std::uint8_t* data, std::uint32_t length) override;
  void Show() override {}

  // Taps on the tab with that button id (1 INDEX, 0 CONTENTS, 2 TOOLS).
  void ButtonTapped(int buttonId);
  // Selects the tab at a position (-1 none). The tabs whose state changes
  // are drawn again, or all of them when redraw (a new size or theme).
  void Select(int position, bool redraw = true);
  int Selected() const { return selected_; }
  QWidget* Strip() const { return strip_; }
  // The button at a position (0 INDEX, 1 CONTENTS, 2 TOOLS).
  PictureButton* Button(int position) const { return buttons_[position]; }

 private:
  platform::PageFontUse font_;
  MainWindow& main_;
  const ContentDatabase& db_;
  PageNameMap& names_;
  QWidget* strip_ = nullptr;
  PictureButton* buttons_[3] = {};
  int selected_ = -1;
};

}  // namespace vrok
