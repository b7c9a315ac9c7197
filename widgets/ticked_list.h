#pragma once
// The list of the bookmark and note screens: titles with check boxes (a
// check list named "check", id 254) above a strip holding the delete
// button. A quick tap on a row chooses it; the delete button hands over
// the ticked rows.

#include <QWidget>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace vrok {

class ButtonBar;
class CheckList;

class TickedList : public QWidget {
 public:
  static constexpr int kListId = 254;

  TickedList(QWidget* parent, int deleteId);

  void SetChosen(std::function<void(int position)> chosen) { chosen_ = std::move(chosen); }
  void SetDelete(std::function<void(const std::vector<int>& positions)> remove) {
    delete_ = std::move(remove);
  }
  // Rebuilds the rows, nothing ticked.
  void Fill(const std::vector<std::u16string>& titles);
  std::vector<int> TickedPositions() const;
  CheckList& List() const { return *list_; }
  const std::vector<std::u16string>& Titles() const { return titles_; }
  // "items" (the titles) and "ticked" (their list positions), for the
  // screen report.
  void ReportRows(nlohmann::json& pane) const;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  CheckList* list_ = nullptr;
  ButtonBar* strip_ = nullptr;
  std::vector<std::u16string> titles_;
  std::function<void(int)> chosen_;
  std::function<void(const std::vector<int>&)> delete_;
};

}  // namespace vrok
