#pragma once
// The index views. IndexListView shows an "index" table (or a configurable
// row whose view mode is "index", or the built-in page "index_search") as
// a list of its items above a search bar; FieldIndexView does the same for
// "index with fields" tables. Typing into the bar selects the first item
// that begins with the typed letters; tapping an item goes where it leads
// (its "link" value, else the item itself); the bar's button shows the
// table's footnotes. MenuIndexView shows any row below an index table as
// nested link menus (MenuIndexPage).

#include <optional>
#include <string>

#include "content/content_database.h"
#include "core/navigation/page_view.h"
#include "core/pages/menu_index_page.h"
#include "core/pages/prefix_search.h"
#include "frame/html_pane.h"
#include "frame/popup.h"
#include "platform/qt/fonts.h"
#include "widgets/list_host.h"
#include "widgets/title_bar.h"

namespace vrok {

class ButtonBar;
class MainWindow;
class PageNameMap;
class SearchBar;

// The "hierarchy item" children of a root row, as list rows and as the
// sorted entries the search runs over.
class IndexItemModel : public ChildListModel, public SearchEntries {
 public:
  IndexItemModel() = default;
  IndexItemModel(const ContentDatabase& db, RowIndex root) : ChildListModel(db, root), db_(&db) {}
  std::uint32_t Count() const override { return static_cast<std::uint32_t>(RowCount()); }
  std::u16string Text(std::uint32_t index) const override {
    return RowText(static_cast<int>(index));
  }
  // Where the item leads: the value of its "link" child, else the item.
  RowIndex Target(int row) const;

 private:
  const ContentDatabase* db_ = nullptr;
};

// The rich title above the owner-drawn list.
class ListPane : public RichTitledPane {
 public:
  explicit ListPane(QWidget* parent);
  ListHost& List() const { return *list_; }

 private:
  ListHost* list_ = nullptr;
};

// What the two list views share: the list pane, its model and the search
// bar, a pending search, and the footnotes pop-up.
class IndexListBase : public PageView {
 public:
  ~IndexListBase() override;
  // A pending search goes into the box and runs; otherwise no item is
  // selected and the list shows its top.
  void Show() override;
  // The search run on each change of the box's text.
  void Search(const std::u16string& text);
  // Enter in the bar: opens the selected entry, or when no entry begins
  // with the text, the book search for it (when one is set).
  void OnEnter(const std::u16string& text);
  void SetBookSearch(std::function<void(const std::u16string&)> open) {
    bookSearch_ = std::move(open);
  }
  // The footnotes of the page's table in a pop-up; false without any.
  bool ShowFootnotes();

  ListPane& Pane() {
    MakeWidgets();
    return *pane_;
  }
  SearchBar& Bar() {
    MakeWidgets();
    return *bar_;
  }
  const IndexItemModel& Model() const { return model_; }

 protected:
  IndexListBase(MainWindow& main, const ContentDatabase& db, const char* name,
                QColor titleBackground, QColor titleText);
  // Lists the root's items under the title, adds the list and the bar,
  // shows the bar's button when the root has footnotes.
  void Present(RowIndex root, const std::u16string& title);

  MainWindow& main_;
  const ContentDatabase& db_;
  std::optional<std::u16string> pendingSearch_;

 private:
  void MakeWidgets();

  platform::PageFontUse font_;
  const char* name_;
  QColor titleBackground_;
  QColor titleText_;
  IndexItemModel model_;
  ListPane* pane_ = nullptr;
  SearchBar* bar_ = nullptr;
  FootnotePopup popup_;
  RowIndex footnotes_ = 0;
  std::function<void(const std::u16string&)> bookSearch_;
};

class IndexListView : public IndexListBase {
 public:
  IndexListView(MainWindow& main, const ContentDatabase& db, PageNameMap& names);
  // An "index" table, a configurable row in view mode "index", or
  // "index_search" (the INDEX table, searching for the data's text).
  bool Accept(PageId page, const std::uint8_t* data, std::uint32_t length) override;

 private:
  PageNameMap& names_;
};

class FieldIndexView : public IndexListBase {
 public:
  FieldIndexView(MainWindow& main, const ContentDatabase& db);
  // An "index with fields" table, or a configurable row in that view mode.
  bool Accept(PageId page, const std::uint8_t* data, std::uint32_t length) override;
};

class MenuIndexView : public PageView, public LinkSink {
 public:
  static constexpr int kFootnotesCommand = 1002;

  MenuIndexView(MainWindow& main, const ContentDatabase& db);
  ~MenuIndexView() override;
  // Any row below an "index" table (never the table itself).
  bool Accept(PageId page, const std::uint8_t* data, std::uint32_t length) override;
  void Show() override;
  void OnLink(HtmlPane& pane, PageId page, const std::u16string& anchor) override;
  // 1002 shows the footnotes; false for other commands.
  bool OnCommand(int commandId);

  HtmlPane& Pane() {
    MakeWidgets();
    return *pane_;
  }
  ButtonBar& Buttons() {
    MakeWidgets();
    return *buttons_;
  }

 private:
  void MakeWidgets();

  MainWindow& main_;
  const ContentDatabase& db_;
  platform::PageFontUse font_;
  MenuIndexPage page_;
  HtmlPane* pane_ = nullptr;
  ButtonBar* buttons_ = nullptr;
  FootnotePopup popup_;
  RowIndex row_ = 0;
  RowIndex footnotes_ = 0;
};

}  // namespace vrok
