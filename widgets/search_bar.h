#pragma once
// The bar under the index lists: the label "Search:" (140) on grey, a
// one-line box (150) and a bitmap button (1002) on light grey. Every change
// of the box's text goes to the listener, except while the notify flag is
// off (when the program sets the text itself). What the button does is its
// view's business.

#include <QWidget>
#include <functional>
#include <string>

#include "widgets/screen_report.h"
#include "widgets/title_bar.h"

class QLabel;
class QLineEdit;

namespace vrok {

class PictureButton;

class SearchBar : public TitledPane, public CommandTarget {
 public:
  static constexpr int kLabelId = 140;
  static constexpr int kBoxId = 150;
  static constexpr int kButtonId = 1002;
  static constexpr QColor kLabelColour{175, 175, 175};
  static constexpr QColor kButtonColour{192, 192, 192};
  static constexpr QColor kWarningColour{176, 0, 32};

  explicit SearchBar(QWidget* parent);

  // Hears the whole text after each change the user makes.
  void SetListener(std::function<void(const std::u16string& text)> listener) {
    listener_ = std::move(listener);
  }
  void SetButtonListener(std::function<void()> listener) { buttonListener_ = std::move(listener); }
  // Hears Enter in the box, with the box's text.
  // Hears the Down arrow in the box (the view moves the focus to its list).
  void SetDownListener(std::function<void()> listener) { downListener_ = std::move(listener); }
  void SetEnterListener(std::function<void(const std::u16string& text)> listener) {
    enterListener_ = std::move(listener);
  }
  // Marks the text as begun by no entry: the text turns the warning colour
  // and a short hint shows in the box; false clears both.
  void SetNoMatch(bool noMatch);
  bool NoMatch() const { return noMatch_; }

  // Empties the box without telling the listener. The view gives it the
  // focus once the bar is shown: focused while hidden, it would take the
  // focus from a page still on screen, which then redraws for nothing.
  void Clear();
  // Puts the text into the box without telling the listener.
  void SetText(const std::u16string& text);
  std::u16string Text() const;
  void ShowButton();
  void HideButton();
  bool ButtonShown() const;

  QLineEdit& Box() const { return *box_; }
  // Takes the current theme's hint colour and button picture.
  void ApplyTheme();

  // 1002 clicks the button while it is shown.
  bool OnCommand(int commandId) override;
  void Report(nlohmann::json& pane) const override;

 protected:
  void LayOutContent(QRect area) override;
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLabel* label_ = nullptr;
  QLineEdit* box_ = nullptr;
  PictureButton* button_ = nullptr;
  QLabel* hint_ = nullptr;
  bool notify_ = true;
  bool noMatch_ = false;
  std::function<void(const std::u16string&)> listener_;
  std::function<void()> buttonListener_;
  std::function<void()> downListener_;
  std::function<void(const std::u16string&)> enterListener_;

  void PlaceHint();
};

}  // namespace vrok
