#pragma once
// A titled list of items with values, optionally with check boxes (when
// created with the name "check"): a list view (id 798) with one column and
// a separate vertical scroll bar (id 2000) kept in step with it. A tap on
// an item (not on its check box) chooses its value; check box changes made
// by a tap update the set of ticked values.

#include <QScrollBar>
#include <functional>
#include <set>

#include "widgets/title_bar.h"

class QListWidget;

namespace vrok {

class CheckList : public TitledPane, public RowTarget, public CheckTarget {
 public:
  struct Listener {
    std::function<void(CheckList&, std::uint32_t value)> itemChosen;
    std::function<void(CheckList&)> itemDoubleTapped;
  };

  CheckList(QWidget* parent, QRect rect, int id, const QString& windowName);

  bool CheckBoxes() const { return checkBoxes_; }
  void SetListener(Listener listener) { listener_ = std::move(listener); }
  void AddItem(const std::u16string& text, std::uint32_t value);
  void Clear();
  const std::set<std::uint32_t>& Ticked() const { return ticked_; }
  QListWidget* List() const { return list_; }

  bool TapRow(int row) override;
  bool HoldRow(int) override { return false; }
  // A tap on the row's check box; false without check boxes.
  bool TickRow(int row) override;
  void Report(nlohmann::json& pane) const override;

 protected:
  void LayOutContent(QRect area) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool checkBoxes_ = false;
  QListWidget* list_ = nullptr;
  QScrollBar* scroll_ = nullptr;
  std::set<std::uint32_t> ticked_;
  bool lastTapOnCheckBox_ = false;
  Listener listener_;
};

}  // namespace vrok
