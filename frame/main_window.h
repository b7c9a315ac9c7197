#pragma once
// The program's frame: the registered page views and every navigation. A
// navigation offers the page to each view in registration order; the views
// that accept it add their panes, which the main window lays out, shows and
// hides. A navigation requested while one runs waits in a queue and runs
// afterwards, in order.

#include <QWidget>
#include <cstdint>
#include <string>
#include <vector>

#include "core/navigation/navigation.h"
#include "core/navigation/page_view.h"

namespace vrok {

namespace platform {
class ScreenWindow;
}

class MainWindow : public QWidget {
 public:
  // Creates the frame inside the emulated screen, sized to the visible
  // desktop less the menu bar, with the input panel hidden.
  MainWindow(platform::ScreenWindow& screen, const QString& className, const QString& title);

  void RegisterView(PageView* view) { views_.push_back(view); }
  const std::vector<PageView*>& Views() const { return views_; }

  void Navigate(PageId page, const std::uint8_t* bytes, std::uint32_t length, bool hideKeyboard);

  // Panes: child windows of this window, placed by side (PaneSide) and
  // order key; the window is not owned.
  void AddPane(std::int16_t order, std::int32_t side, QWidget* window);
  void AddOverlay(std::int16_t order, std::int32_t side, QWidget* window);
  void CloseOverlays();
  void RemoveOverlay(QWidget* window) { panes_.RemoveOverlay(window); }
  void KeepPanes() { panes_.Keep(); }
  // Visible panes in layout order: the page's and the overlays above it.
  std::vector<PaneRecord<QWidget>> PagePanes() const;
  std::vector<PaneRecord<QWidget>> OverlayPanes() const;

  void SetCurrentPage(PageId page, const std::uint8_t* bytes, std::uint32_t length);
  PageId CurrentPage() const { return currentPage_; }
  const std::vector<std::uint8_t>& CurrentData() const { return currentData_; }

  // The page's title; in desktop mode the window's title too.
  void SetTitle(std::u16string title);
  const std::u16string& Title() const { return title_; }
  const QString& ClassName() const { return className_; }

  bool KeyboardUp() const { return keyboardUp_; }
  platform::ScreenWindow& Screen() const { return screen_; }

 private:
  void LayOutPanes(bool navigation);
  void OnInputPanelChange();
  void OnScreenResize();

  platform::ScreenWindow& screen_;
  QString className_;
  std::vector<PageView*> views_;
  NavigationQueue queue_;
  PaneSets<QWidget> panes_;
  PageId currentPage_ = 0;
  std::vector<std::uint8_t> currentData_;
  std::u16string title_;
  bool keyboardUp_ = false;
};

}  // namespace vrok
