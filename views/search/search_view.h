#pragma once
// The built-in page "book_search": a box with the query, the state of the
// index (a progress bar while the reader builds its own), the suggestion
// for a misspelling, and the results as the user types, best first, each
// with its title, its path and a snippet with the matched words in bold.
// Opening a result goes to its page.

#include <QWidget>
#include <memory>
#include <string>

#include "content/content_database.h"
#include "core/search/index_service.h"
#include "core/navigation/page_view.h"
#include "widgets/screen_report.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QTextBrowser;
class QTimer;

namespace vrok {

class FindBar;
class MainWindow;
class PageNameMap;

namespace pages {
inline constexpr std::u16string_view kBookSearch = u"book_search";
}

class SearchPage : public QWidget, public ReportedPane, public RowTarget {
 public:
  SearchPage(QWidget* parent, search::IndexService& index);

  // The query in the box (without running it) and the search run.
  void SetQuery(const std::u16string& text);
  void Run();
  void SetOpener(std::function<void(const search::SearchHit&)> open) { open_ = std::move(open); }
  QLineEdit& Box() const { return *box_; }

  void Report(nlohmann::json& pane) const override;
  bool TapRow(int row) override;
  bool HoldRow(int row) override { return TapRow(row); }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Poll();
  void Show(const search::SearchAnswer& answer);
  void LayOut();

  search::IndexService& index_;
  QLineEdit* box_ = nullptr;
  QLabel* status_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QTextBrowser* results_ = nullptr;
  QTimer* poll_ = nullptr;
  std::u16string query_;
  search::SearchAnswer answer_;
  std::function<void(const search::SearchHit&)> open_;
};

class SearchView : public PageView {
 public:
  SearchView(MainWindow& main, const ContentDatabase& db, PageNameMap& names,
             const std::string& prefix);
  ~SearchView() override;
  bool Accept(PageId page, const std::uint8_t* data, std::uint32_t length) override;
  void Show() override;

  search::IndexService& Index() { return *index_; }
  // Shows the search page for a query (Enter in a search bar, Ctrl+K).
  void Open(const std::u16string& query);
  // Runs the page's search again (once the index is ready), when shown.
  void Refresh();
  // Ctrl+F: the find bar over the topmost HTML viewer (the pop-up, else
  // the page); false when there is none.
  bool FindInPage(const QString& text);
  // Escape: closes the find bar when it is open; false when it is not.
  bool CloseFind();

 private:
  SearchPage& Page();
  FindBar& Find();

  MainWindow& main_;
  PageNameMap& names_;
  std::unique_ptr<search::IndexService> index_;
  SearchPage* page_ = nullptr;
  FindBar* find_ = nullptr;
  std::u16string pending_;
};

}  // namespace vrok
