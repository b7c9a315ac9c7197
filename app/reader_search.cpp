// ReaderApp's part of the book search: the page view, its page name, the
// Ctrl+K shortcut from anywhere, and Enter in the index search bars.

#include <QKeySequence>
#include <QShortcut>

#include "platform/qt/screen_window.h"
#include "views/pages/index_views.h"
#include "views/search/search_view.h"
#include "frame/main_window.h"
#include "app/reader_app.h"

namespace vrok {

void ReaderApp::AddBookSearch(const std::string& prefix) {
  // The built-in page after those of the handheld.
  names_[pages::kBookSearch] = db_->RowCount() + 8;
  search_ = std::make_unique<SearchView>(*main_, *db_, names_, prefix);
  main_->RegisterView(search_.get());
  const auto open = [this](const std::u16string& text) { search_->Open(text); };
  indexList_->SetBookSearch(open);
  fieldIndex_->SetBookSearch(open);
  auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_K), screen_.get());
  shortcut->setObjectName(QStringLiteral("book-search-shortcut"));
  shortcut->setContext(Qt::ApplicationShortcut);
  QObject::connect(shortcut, &QShortcut::activated, screen_.get(), [this] { search_->Open(u""); });
  auto* find = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), screen_.get());
  find->setObjectName(QStringLiteral("find-shortcut"));
  find->setContext(Qt::ApplicationShortcut);
  QObject::connect(find, &QShortcut::activated, screen_.get(), [this] { search_->FindInPage({}); });
}

}  // namespace vrok
