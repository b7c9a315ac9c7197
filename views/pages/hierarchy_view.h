#pragma once
// The HTML hierarchy view: every HTML-rendered list and record page of the
// book's contents tree. DecideHierarchy chooses the page builder and the
// title; the view shows the page in its pane, keeps the scroll position of
// the page it leaves in the history, offers the record's sections in a
// drop-down (command 1234) and its footnotes in a pop-up (command 1236).

#include <QComboBox>
#include <optional>
#include <string>
#include <vector>

#include "content/content_database.h"
#include "core/navigation/page_names.h"
#include "core/navigation/page_view.h"
#include "core/pages/calculator_list.h"
#include "core/pages/child_pages.h"
#include "core/pages/hierarchy_rules.h"
#include "core/pages/record_page.h"
#include "frame/html_pane.h"
#include "frame/popup.h"
#include "platform/qt/fonts.h"

namespace vrok {

class ButtonBar;
class HistoryList;
class MainWindow;

class HierarchyView : public PageView, public LinkSink {
 public:
  static constexpr int kSectionsCommand = 1234;
  static constexpr int kFootnotesCommand = 1236;
  static constexpr int kAboutCommand = 1111;

  HierarchyView(MainWindow& main, const ContentDatabase& db, PageNameMap& names,
                HistoryList& history);
  ~HierarchyView() override;

  bool Accept(PageId page, const std::uint8_t* data, std::uint32_t length) override;
  void Show() override;
  void OnLink(HtmlPane& pane, PageId page, const std::u16string& anchor) override;

  // 1234, 1236 and 1111; false for other commands.
  bool OnCommand(int commandId);
  // Jumps to the section at that index of the drop-down.
  void ChooseSection(int index);

  HtmlPane& Pane() {
    MakeWidgets();
    return *pane_;
  }
  ButtonBar& Buttons() {
    MakeWidgets();
    return *buttons_;
  }
  QComboBox& SectionList() const { return *sections_; }
  FootnotePopup& Popup() { return popup_; }
  RowIndex CurrentRow() const { return row_; }
  const std::vector<SectionEntry>& Sections() const { return sectionEntries_; }

 private:
  void MakeWidgets();

  MainWindow& main_;
  const ContentDatabase& db_;
  PageNameMap& names_;
  HistoryList& history_;
  platform::PageFontUse font_;

  ChildTextPage textPage_;
  ChildListPage listPage_;
  RecordPage recordPage_;
  ExtendedRecordPage extendedPage_;
  CalculatorListSource calculators_;

  HtmlPane* pane_ = nullptr;
  ButtonBar* buttons_ = nullptr;
  QComboBox* sections_ = nullptr;
  FootnotePopup popup_;

  std::vector<SectionEntry> sectionEntries_;
  RowIndex row_ = 0;
  std::optional<RowIndex> rowToShow_;
  std::u16string anchor_;
  std::optional<std::int32_t> scroll_;
  RowIndex jumpToField_ = 0;
  RowIndex footnotes_ = 0;
  bool saveScroll_ = false;
};

}  // namespace vrok
