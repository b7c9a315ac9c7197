#include "views/pages/index_views.h"

#include "content/node_cursor.h"
#include "content/schema.h"
#include "core/navigation/page_names.h"
#include "core/pages/link_target.h"
#include "core/pages/page_text.h"
#include "core/pages/titles.h"
#include "frame/footnotes_bar.h"
#include "frame/main_window.h"
#include "platform/qt/environment.h"
#include "widgets/button_bar.h"
#include "widgets/search_bar.h"

#include <QLineEdit>

namespace vrok {

namespace {

// The title colours: white on slate over the index and its menus, black on
// grey over the field index.
const QColor kSlate(132, 150, 164);
const QColor kGrey(175, 175, 175);

TitleArgs ListTitle(const std::u16string& text, QColor background, QColor colour) {
  TitleArgs args;
  args.text = text;
  args.textColour = colour;
  args.background = background;
  args.collapsible = true;
  return args;
}

// A row in a table of type "configurable tight hierarchy" whose own view
// mode is the given one.
bool ConfigurableIn(const ContentDatabase& db, RowIndex row, std::u16string_view mode) {
  return TableTypeIs(db, row, u"configurable tight hierarchy") && ViewModeIs(db, row, mode);
}

}  // namespace

RowIndex IndexItemModel::Target(int row) const {
  if (db_ == nullptr || row < 0 || row >= RowCount()) return 0;
  NodeCursor item(*db_, RowAt(row));
  return item.ToChild(u"link") ? item.Row().value : RowAt(row);
}

ListPane::ListPane(QWidget* parent) : RichTitledPane(parent) {
  UseWhiteBackground(*this);
  list_ = new ListHost(this);
  SetContent(list_);
  hide();
}

// --- IndexListBase ------------------------------------------------------------

IndexListBase::IndexListBase(MainWindow& main, const ContentDatabase& db, const char* name,
                             QColor titleBackground, QColor titleText)
    : main_(main),
      db_(db),
      name_(name),
      titleBackground_(titleBackground),
      titleText_(titleText),
      popup_(&main) {
  popup_.SetFont(PageFontSpec());
  FollowLinksInMain(popup_, main);
}

void IndexListBase::MakeWidgets() {
  // Made when the view is first asked for them, not at start-up.
  if (pane_ != nullptr) return;
  pane_ = new ListPane(&main_);
  pane_->setObjectName(QString::fromLatin1(name_));
  bar_ = new SearchBar(&main_);
  bar_->SetListener([this](const std::u16string& text) { Search(text); });
  bar_->SetButtonListener([this] { ShowFootnotes(); });
  bar_->SetEnterListener([this](const std::u16string& text) { OnEnter(text); });
  // Down from the box goes on to the list, at its selected row or its first.
  bar_->SetDownListener([this] {
    ListHost& list = pane_->List();
    if (list.Selected() < 0) list.SelectRow(list.FirstVisible());
    list.setFocus(Qt::TabFocusReason);
  });
}

IndexListBase::~IndexListBase() {
  delete bar_;
  delete pane_;
}

void IndexListBase::Present(RowIndex root, const std::u16string& title) {
  MakeWidgets();
  model_ = IndexItemModel(db_, root);
  pane_->CreateWithTitle(ListTitle(title, titleBackground_, titleText_));
  pane_->List().SetModel(
      &model_, PageFontSpec(), Qt::white, true,
      [this](ListHost&, int row) { main_.Navigate(model_.Target(row), nullptr, 0, true); },
      [this](ListHost&, std::uint32_t page, QPoint) {
        if (!popup_.ShowForLink(db_, page, main_, *pane_)) NavigateToLink(main_, page, {});
      });
  main_.AddPane(0, kSideFill, pane_);
  main_.AddPane(0, kSideBottom, bar_);
  main_.SetTitle(title);
  footnotes_ = FootnotesRowOf(db_, root);
  if (footnotes_ != 0)
    bar_->ShowButton();
  else
    bar_->HideButton();
}

void IndexListBase::Show() {
  if (pendingSearch_) {
    const std::u16string text = *pendingSearch_;
    pendingSearch_.reset();
    bar_->SetText(text);
    Search(text);
  } else {
    pane_->List().SelectRow(-1);
    pane_->List().ScrollToRow(0);
  }
  bar_->Box().setFocus();
}

void IndexListBase::Search(const std::u16string& text) {
  ListHost& list = Pane().List();
  const std::optional<PrefixHit> at = FindPrefix(model_, text);
  Bar().SetNoMatch(at && !at->begins);
  if (!at) {
    list.SelectRow(-1);
    return;
  }
  list.ScrollToRow(static_cast<int>(at->index));
  list.SelectRow(static_cast<int>(at->index));
}

void IndexListBase::OnEnter(const std::u16string& text) {
  const int row = Pane().List().Selected();
  if (text.empty()) return;
  if (Bar().NoMatch() && bookSearch_) {
    bookSearch_(text);
    return;
  }
  if (row < 0) return;
  main_.Navigate(model_.Target(row), nullptr, 0, true);
}

bool IndexListBase::ShowFootnotes() {
  std::u16string text;
  if (footnotes_ == 0 || !AppendFootnotes(db_, footnotes_, text)) return false;
  return popup_.ShowFromPage(u"Footnotes", text, main_, Pane(), true);
}

// --- IndexListView ------------------------------------------------------------

IndexListView::IndexListView(MainWindow& main, const ContentDatabase& db, PageNameMap& names)
    : IndexListBase(main, db, "index-list", kSlate, Qt::white), names_(names) {}

bool IndexListView::Accept(PageId page, const std::uint8_t* data, std::uint32_t length) {
  // "index_search" shows the book's INDEX table, searching for the text
  // it carries.
  const bool searchPage = page == names_[pages::kIndexSearch];
  const RowIndex root = searchPage ? names_[pages::kIndex] : page;
  if (!OwnTableTypeIs(db_, root, u"index") && !ConfigurableIn(db_, root, u"index")) return false;

  const std::u16string title = ShownName(db_, root);
  pendingSearch_.reset();
  if (searchPage && data != nullptr && length > 0)
    pendingSearch_ = NavigationText(data, length);
  else
    Bar().Clear();
  Present(root, title);
  return true;
}

// --- FieldIndexView -----------------------------------------------------------

FieldIndexView::FieldIndexView(MainWindow& main, const ContentDatabase& db)
    : IndexListBase(main, db, "field-index", kGrey, Qt::black) {}

bool FieldIndexView::Accept(PageId page, const std::uint8_t*, std::uint32_t) {
  if (!OwnTableTypeIs(db_, page, u"index with fields") &&
      !ConfigurableIn(db_, page, u"index with fields"))
    return false;
  pendingSearch_.reset();
  Bar().Clear();
  const std::u16string title = ShownName(db_, page);
  Present(page, title);
  return true;
}

// --- MenuIndexView ------------------------------------------------------------

MenuIndexView::MenuIndexView(MainWindow& main, const ContentDatabase& db)
    : main_(main), db_(db), page_(db), popup_(&main) {
  popup_.SetFont(PageFontSpec());
  FollowLinksInMain(popup_, main);
}

void MenuIndexView::MakeWidgets() {
  // Made when the view is first asked for them, not at start-up.
  if (pane_ != nullptr) return;
  pane_ = new HtmlPane(&main_, &page_, this);
  pane_->setObjectName(QStringLiteral("menu-index"));
  UseWhiteBackground(*pane_);
  pane_->hide();
  buttons_ = NewFootnotesBar(main_, "menu-index-buttons", kFootnotesCommand,
                             [this](int id) { OnCommand(id); });
}

MenuIndexView::~MenuIndexView() {
  delete buttons_;
  delete pane_;
}

bool MenuIndexView::Accept(PageId page, const std::uint8_t*, std::uint32_t) {
  // Up to the first row with a table type, which must be an index and must
  // not be the page itself.
  NodeCursor table(db_, page);
  if (!table.IsOpen()) return false;
  int steps = 0;
  while (!NodeCursor(table).ToChild(names::kTableType)) {
    if (!table.ToParent()) return false;
    ++steps;
  }
  if (steps == 0 || !OwnTableTypeIs(db_, table.Row().row, u"index")) return false;

  row_ = page;
  MakeWidgets();
  const std::u16string title = page_.Title(page);
  pane_->CreateWithTitle(ListTitle(title, kSlate, Qt::white));
  footnotes_ = FootnotesRowOf(db_, page);
  buttons_->ShowButton(kFootnotesCommand, footnotes_ != 0);
  main_.AddPane(0, kSideFill, pane_);
  if (footnotes_ != 0) main_.AddPane(0, kSideBottom, buttons_);
  main_.SetTitle(title);
  return true;
}

void MenuIndexView::Show() { pane_->ShowPage(row_); }

void MenuIndexView::OnLink(HtmlPane&, PageId page, const std::u16string& anchor) {
  if (!popup_.ShowForLink(db_, page, main_, *pane_)) NavigateToLink(main_, page, anchor);
}

bool MenuIndexView::OnCommand(int commandId) {
  std::u16string text;
  if (commandId != kFootnotesCommand || footnotes_ == 0 || !AppendFootnotes(db_, footnotes_, text))
    return false;
  return popup_.ShowFromPage(u"Footnotes", text, main_, *pane_, true);
}

}  // namespace vrok
