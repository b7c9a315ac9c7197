#include "views/pages/grid_view.h"

#include <utility>

#include "content/schema.h"
#include "core/navigation/navigation.h"
#include "core/navigation/page_names.h"
#include "core/pages/markup.h"
#include "core/pages/page_text.h"
#include "frame/footnotes_bar.h"
#include "frame/html_pane.h"
#include "frame/main_window.h"
#include "platform/qt/environment.h"
#include "widgets/button_bar.h"

namespace vrok {

GridWindow::GridWindow(QWidget* parent) : TitledPane(parent) {
  setObjectName(QStringLiteral("grid-window"));
  UseWhiteBackground(*this);
  grid_ = new GridControl(this);
  SetContent(grid_);
  hide();
}

void GridWindow::SetTitle(const std::u16string& title) {
  TitleArgs args;
  args.text = title;
  args.textColour = Qt::black;
  args.background = QColor(0xAF, 0xAF, 0xAF);
  args.collapsible = true;
  CreateWithTitle(args);
  // Screen readers name the table by its title.
  grid_->setAccessibleName(platform::ToQ(title));
}

GridView::GridView(MainWindow& main, const ContentDatabase& db, PageNameMap& names)
    : main_(main), db_(db), names_(names), model_(db), popup_(&main) {
  FollowLinksInMain(popup_, main);
}

void GridView::MakeWidgets() {
  // Made when the view is first asked for them, not at start-up.
  if (window_ != nullptr) return;
  window_ = new GridWindow(&main_);
  window_->SetCommandHandler([this](int id) { return id == kAboutCommand && OnCommand(id); });
  window_->Grid().SetModel(&model_, PageFontSpec());
  fontHeight_ = PageFontSpec().height;
  window_->Grid().SetLinkListener([this](PageId page, QPoint at) {
    // A footnote of this table then opens where the stylus was.
    tapPoint_ = window_->Grid().mapTo(&main_, at);
    NavigateToLink(main_, page, std::u16string());
  });
  buttons_ =
      NewFootnotesBar(main_, "grid-buttons", kFootnotesCommand, [this](int id) { OnCommand(id); });
}

GridView::~GridView() {
  delete window_;
  delete buttons_;
}

bool GridView::Accept(PageId page, const std::uint8_t*, std::uint32_t) {
  // The tap point counts only for the navigation the tap started.
  const std::optional<QPoint> tapped = std::exchange(tapPoint_, std::nullopt);
  if (page >= db_.RowCount()) return false;
  const std::optional<RowIndex> table = GridModel::GridTableOf(db_, page);
  if (!table) return false;

  MakeWidgets();
  const bool changed = shownTable_ != table;
  if (changed) {
    model_.SetTable(*table);
    shownTable_ = table;
  }
  window_->SetTitle(PlainTextOf(model_.Title()));
  // The history names the page by the main window's title.
  main_.SetTitle(model_.Title());
  main_.AddPane(0, kSideFill, window_);
  main_.AddPane(0, kSideBottom, buttons_);

  footnotes_ = model_.Footnotes();
  buttons_->ShowButton(kFootnotesCommand, !footnotes_.empty());
  // The page font of the moment: after a text size change the table is
  // laid out again at it.
  const FontSpec font = PageFontSpec();
  const bool resized = font.height != fontHeight_;
  if (resized) {
    window_->Grid().SetModel(&model_, font);
    fontHeight_ = font.height;
  }
  if (changed || resized) window_->Grid().LayOut();

  pendingFootnote_.reset();
  pendingTapPoint_.reset();
  if (page != *table && FieldIs(db_, page, u"footnote")) {
    pendingFootnote_ = page;
    pendingTapPoint_ = tapped;
  }
  return true;
}

void GridView::Show() {
  // The pop-up opens once the grid is laid out, so that it can be placed
  // over the grid window.
  const std::optional<RowIndex> note = std::exchange(pendingFootnote_, std::nullopt);
  if (!note) return;
  const std::optional<QPoint> at = std::exchange(pendingTapPoint_, std::nullopt);
  const QRect grid = GridRect();
  platform::SetWaitCursor(false);
  popup_.Show(u"Footnote", TextOf(db_, *note), at.value_or(grid.topLeft()), grid,
              at ? FootnotePopup::Placement::kAtPoint : FootnotePopup::Placement::kOverWindow);
  platform::SetWaitCursor(true);
}

QRect GridView::GridRect() const {
  return QRect(window_->mapTo(&main_, QPoint(0, 0)), window_->size());
}

bool GridView::OnCommand(int commandId) {
  if (commandId == kAboutCommand) {
    main_.Navigate(names_[pages::kAbout], nullptr, 0, true);
    return true;
  }
  if (commandId != kFootnotesCommand || footnotes_.empty()) return false;
  const QRect grid = GridRect();
  return popup_.Show(u"Footnotes", footnotes_, grid.topLeft(), grid,
                     FootnotePopup::Placement::kOverWindow);
}

}  // namespace vrok
