#include "views/userdata/bookmark_list_panel.h"

#include "core/userdata/bookmark_store.h"
#include "core/userdata/store_messages.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/environment.h"
#include "widgets/check_list.h"
#include "widgets/panel_style.h"
#include "widgets/ticked_list.h"

namespace vrok {

BookmarkListPanel::BookmarkListPanel(QWidget* parent, BookmarkStore& store)
    : TitledPane(parent), store_(store) {
  setObjectName(QStringLiteral("bookmarks"));
  list_ = new TickedList(this, kDeleteId);
  list_->SetDelete([this](const std::vector<int>& positions) { DeleteTicked(positions); });
  SetContent(list_);
  CreateWithTitle(HeadingArgs(kBookmarksCaption));
  hide();
}

void BookmarkListPanel::SetOpenListener(std::function<void(int)> open) {
  list_->SetChosen(std::move(open));
}

void BookmarkListPanel::Refresh() {
  std::vector<std::u16string> titles;
  for (const Bookmark& b : store_.Entries()) titles.push_back(b.title);
  list_->Fill(titles);
}

void BookmarkListPanel::DeleteTicked(const std::vector<int>& positions) {
  if (positions.empty()) return;
  std::u16string failure;
  if (store_.ReadOnly()) {
    failure = ReadOnlyMessage(store_.Records(), kBookmarkWords);
  } else if (store_.Delete(positions) != 0) {  // highest record first; reloaded either way
    failure = NotDeletedMessage(kBookmarkWords, positions.size());
  }
  Refresh();
  if (!failure.empty()) {
    platform::ShowMessage(failure, std::u16string(kBookmarksCaption),
                          platform::MessageIcon::kExclamation, platform::MessageButtons::kOk, this);
  }
}

void BookmarkListPanel::Report(nlohmann::json& pane) const {
  pane["kind"] = "BookmarkList";
  pane["mode"] = "list";
  pane["heading"] = Title().Text().toStdString();
  list_->ReportRows(pane);
}

}  // namespace vrok
