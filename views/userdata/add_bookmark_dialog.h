#pragma once
// "Add bookmark" (dialog 1003): asks the title of a new bookmark. Shown at
// the top of the screen with its caption over the title strip, as the
// handheld's dialogs are. "Save" (17) refuses an empty title and puts the
// focus back in the title box (6969); "Cancel" (18) closes it.

#include <QDialog>
#include <functional>
#include <optional>
#include <string>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vrok {

class AddBookmarkDialog : public QDialog {
 public:
  static constexpr int kTitleId = 6969;
  static constexpr int kSaveId = 17;
  static constexpr int kCancelId = 18;

  explicit AddBookmarkDialog(QWidget* screen);

  // Runs the dialog modally with an empty title box; done gets the title
  // when it closed with Save, nothing when cancelled. done runs once, when
  // the dialog closes, however it closes.
  void Run(std::function<void(std::optional<std::u16string> title)> done);

  // Save: closes only with a title.
  void accept() override;
  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;
  // Follows the screen's width when a desktop window is resized.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void LayOut(int width);

  QLabel* caption_ = nullptr;
  QLabel* label_ = nullptr;
  QLineEdit* title_ = nullptr;
  QPushButton* save_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QFrame* rule_ = nullptr;
  std::function<void(std::optional<std::u16string>)> done_;
};

}  // namespace vrok
