#pragma once
// The emulated handheld screen: the program's one top-level window, drawn
// at the screen's pixel size. From top to bottom: a title strip showing the
// active program's title (with the input panel's toggle at its right), the
// reader's frame, the input panel when it is up, and the menu bar.
//
// The visible desktop is the screen below the title strip; with the input
// panel up it ends where the panel begins (the panel sits on top of the
// menu bar's row, as on the handheld).
//
// In desktop mode the window is an ordinary resizable one: no title strip
// (the window's own title shows the page title), no drawn input panel, and
// the screen's size follows the window's client area.

#include <QRect>
#include <QWidget>
#include <functional>

class QLabel;
class QToolButton;

namespace vrok::platform {

class ScreenWindow : public QWidget {
 public:
  ScreenWindow();

  // The window the reader's frame and menu bar are children of.
  void SetMenuBar(QWidget* bar);
  void SetTitle(const QString& title);
  QString Title() const;
  // The page shown now: the window's title in desktop mode.
  void SetPageTitle(const QString& title);
  // Lays the menu bar and the frame out again at the current size, as after
  // a resize (a change of text size moves every length).
  void Relayout();
  // Takes the current theme's colours (background, title strip).
  void ApplyColours();

  // The input panel (SipShowIM, SHSipInfo). Changing its state notifies the
  // listener, as WM_SETTINGCHANGE with SPI_SETSIPINFO would.
  bool InputPanelOn() const { return panelOn_; }
  void SetInputPanel(bool on);
  // Shows the panel, unless the screen is square, where it is hidden.
  void ShowInputPanelOnRequest();
  void SetInputPanelListener(std::function<void()> listener) { listener_ = std::move(listener); }
  // Called after the window changed size in desktop mode, once the screen's
  // metrics and the menu bar follow the new size.
  void SetResizeListener(std::function<void()> listener) { resized_ = std::move(listener); }
  QRect VisibleDesktop() const;
  int TitleStripHeight() const;
  int InputPanelHeight() const;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Arrange();

  QWidget* strip_ = nullptr;
  QLabel* title_ = nullptr;
  QToolButton* panelToggle_ = nullptr;
  QWidget* panel_ = nullptr;
  QWidget* menuBar_ = nullptr;
  bool panelOn_ = false;
  std::function<void()> listener_;
  std::function<void()> resized_;
};

}  // namespace vrok::platform
