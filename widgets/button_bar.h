#pragma once
// A bar of picture buttons placed from the right edge leftwards, each the
// size of its bitmap, vertically centred, (R + 24) x 2 / 96 pixels apart.
// A button's command goes to the bar's listener.

#include <QWidget>
#include <functional>
#include <vector>

#include "widgets/screen_report.h"

namespace vrok {

class PictureButton;

class ButtonBar : public QWidget, public CommandTarget {
 public:
  // height 0: the menu bar height, (R_v x 26 + 48) / 96.
  explicit ButtonBar(QWidget* parent, int height = 0);

  void SetListener(std::function<void(int commandId)> listener) { listener_ = std::move(listener); }
  void AddButton(int commandId, int bitmapId);
  // Shows or hides the button; an id the bar does not hold shows an error
  // message and changes nothing.
  void ShowButton(int commandId, bool show);
  void LayOut();
  // The pictures drawn again in the current theme and, in a desktop window,
  // at the text size of the moment, the bar's height scaled with them; then
  // laid out again.
  void Redraw();
  PictureButton* Button(int commandId) const;

  // A visible, enabled button with that id is clicked.
  bool OnCommand(int commandId) override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  std::vector<PictureButton*> buttons_;
  std::vector<int> bitmaps_;  // each button's picture
  int dpiY_ = 96;             // the dots per inch its height was set for
  bool ownHeight_ = true;     // the menu bar's height, not one given
  std::function<void(int)> listener_;
};

}  // namespace vrok
