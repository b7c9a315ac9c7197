#pragma once
// "VROK Settings" (dialog 1004): which page "home" means. Shown over the
// screen's visible desktop with OK in its caption, as on the handheld.
// Each time it opens it selects the radio button of "InitialTab"; OK sets
// "home" at once and writes "InitialTab".

#include <QDialog>
#include <functional>

#include "core/navigation/page_names.h"
#include "platform/qt/theme.h"

class QLabel;
class QPushButton;
class QRadioButton;

namespace vrok {

namespace platform {
class Registry;
}

class SettingsDialog : public QDialog {
 public:
  SettingsDialog(QWidget* screen, PageNameMap& names, platform::Registry& registry);

  // Runs the dialog modally; done runs when it closes, however it closes.
  void Run(std::function<void()> done);
  std::uint32_t StartTab() const { return startTab_; }
  // Runs when OK takes a theme other than the one shown on opening.
  void SetThemeListener(std::function<void(platform::ThemeChoice)> listener) {
    themeListener_ = std::move(listener);
  }

  void accept() override;
  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  // Follows the screen when a desktop window is resized while it is open.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void SelectStartTab();
  void Place();

  QLabel* caption_ = nullptr;
  QPushButton* ok_ = nullptr;
  PageNameMap& names_;
  platform::Registry& registry_;
  std::uint32_t startTab_ = 1;
  QRadioButton* radios_[3] = {};
  // Light, Dark, System, in a group of their own.
  QRadioButton* themes_[3] = {};
  platform::ThemeChoice shownTheme_ = platform::ThemeChoice::kSystem;
  std::function<void(platform::ThemeChoice)> themeListener_;
  std::function<void()> done_;
};

}  // namespace vrok
