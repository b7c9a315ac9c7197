#include "app/automation_search.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include "views/search/search_view.h"
#include "app/reader_app.h"

namespace vrok {

bool WaitSearch(ReaderApp& app, long long ms, std::string& error) {
  SearchView* view = app.BookSearch();
  if (view == nullptr) {
    error = "no book search";
    return false;
  }
  search::IndexService& index = view->Index();
  index.Start();
  QElapsedTimer clock;
  clock.start();
  while (index.State() == search::IndexState::kBuilding) {
    if (clock.elapsed() >= ms) {
      error = "the search index is still building";
      return false;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
  // The page shows what the ready index finds.
  view->Refresh();
  if (index.State() != search::IndexState::kReady) {
    error = "the search index is unavailable";
    return false;
  }
  return true;
}

}  // namespace vrok
