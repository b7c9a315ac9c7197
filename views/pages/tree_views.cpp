#include "views/pages/tree_views.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <deque>

#include "content/node_cursor.h"
#include "content/schema.h"
#include "core/pages/link_target.h"
#include "core/pages/page_text.h"
#include "core/pages/titles.h"
#include "frame/footnotes_bar.h"
#include "frame/main_window.h"
#include "platform/qt/environment.h"
#include "platform/qt/screen_window.h"
#include "widgets/button_bar.h"
#include "platform/qt/theme.h"

namespace vrok {

namespace {

constexpr int kRowRole = Qt::UserRole;
constexpr int kPlaceholderRole = Qt::UserRole + 1;
constexpr int kFilledRole = Qt::UserRole + 2;
const QColor kHighlight(51, 102, 153);

TitleArgs PaneTitle(const std::u16string& text) {
  TitleArgs args;
  args.text = text;
  args.textColour = Qt::black;
  args.background = QColor(0xAF, 0xAF, 0xAF);
  args.collapsible = true;
  return args;
}

// The splitter bar: a grip at the left, the three ratio buttons at the
// right; the stylus goes to the split pane.
class SplitBar : public QWidget {
 public:
  explicit SplitBar(SplitPane& pane) : QWidget(&pane), pane_(pane) {
    setObjectName(QStringLiteral("split-bar"));
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter g(this);
    g.fillRect(rect(), platform::Themed(QColor(0xAF, 0xAF, 0xAF)));
    g.setPen(platform::Themed(QColor(90, 90, 90)));
    for (int i = 0; i < 3; ++i) {
      const int x = platform::ScaleX(6 + 4 * i);
      g.drawLine(x, 2, x, height() - 3);
    }
    // 0.75, 0.5 and 0.25: the lower the split, the lower the mark.
    const int r = width();
    const struct {
      int from, to;
      float ratio;
    } buttons[] = {{platform::ScaleX(45), platform::ScaleY(35), 0.75F},
                   {platform::ScaleX(29), platform::ScaleY(19), 0.5F},
                   {platform::ScaleX(13), (platform::ScreenMetrics().dpiY + 16) * 3 / 96, 0.25F}};
    for (const auto& b : buttons) {
      const QRect box(r - b.from, 1, b.from - b.to, height() - 3);
      g.setBrush(platform::CurrentColours().page);
      g.drawRect(box);
      const int y = box.top() + static_cast<int>(static_cast<float>(box.height()) * b.ratio);
      g.drawLine(box.left() + 2, y, box.right() - 2, y);
    }
  }
  void mousePressEvent(QMouseEvent* e) override {
    pane_.StylusDown(mapToParent(e->position().toPoint()));
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    pane_.StylusMove(mapToParent(e->position().toPoint()));
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    pane_.StylusUp(mapToParent(e->position().toPoint()));
  }

 private:
  SplitPane& pane_;
};

}  // namespace

// --- TreeList ---------------------------------------------------------------

TreeList::TreeList(QWidget* parent) : QTreeWidget(parent) {
  setObjectName(QString::number(kControlId));
  setHeaderHidden(true);
  setColumnCount(1);
  setSelectionMode(QAbstractItemView::NoSelection);
  setFocusPolicy(Qt::NoFocus);
  setExpandsOnDoubleClick(false);
  connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { Fill(item); });
  connect(this, &QTreeWidget::itemClicked, this,
          [this](QTreeWidgetItem* item, int) { Activate(item); });
}

RowIndex TreeList::RowOf(const QTreeWidgetItem* item) { return item->data(0, kRowRole).toUInt(); }

void TreeList::Append(QTreeWidgetItem* parent, RowIndex row) {
  auto* item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
  item->setData(0, kRowRole, row);
  item->setText(0, platform::ToQ(model_->Label(row)));
  if (!model_->IsLeaf(row)) {
    auto* placeholder = new QTreeWidgetItem(item);
    placeholder->setData(0, kPlaceholderRole, true);
  }
}

void TreeList::Fill(QTreeWidgetItem* item) {
  if (model_ == nullptr || item->data(0, kFilledRole).toBool()) return;
  item->setData(0, kFilledRole, true);
  if (item->childCount() == 0 || !item->child(0)->text(0).isEmpty()) return;
  delete item->takeChild(0);
  for (RowIndex child : model_->Children(RowOf(item))) Append(item, child);
}

void TreeList::SetRoot(RowIndex root) {
  clear();
  highlighted_.reset();
  root_ = root;
  if (model_ == nullptr) return;
  for (RowIndex child : model_->Children(root)) Append(nullptr, child);
}

QTreeWidgetItem* TreeList::Find(RowIndex row) const {
  std::deque<QTreeWidgetItem*> queue;
  for (int i = 0; i < topLevelItemCount(); ++i) queue.push_back(topLevelItem(i));
  while (!queue.empty()) {
    QTreeWidgetItem* item = queue.front();
    queue.pop_front();
    if (!item->data(0, kPlaceholderRole).toBool() && RowOf(item) == row) return item;
    for (int i = 0; i < item->childCount(); ++i) queue.push_back(item->child(i));
  }
  return nullptr;
}

bool TreeList::Reveal(RowIndex row, bool expand) {
  QTreeWidgetItem* item = Find(row);
  if (item == nullptr && model_ != nullptr) {
    // Walk down the chain of ancestors from the first one the tree lists.
    const std::vector<RowIndex> chain = model_->RevealChain(row);
    for (RowIndex step : chain) {
      QTreeWidgetItem* found = Find(step);
      if (found == nullptr) continue;
      if (step == row) {
        item = found;
        break;
      }
      found->setExpanded(true);
      Fill(found);
    }
  }
  ClearHighlight();
  if (item == nullptr) return false;
  scrollToItem(item, QAbstractItemView::PositionAtTop);
  item->setBackground(0, platform::Themed(kHighlight));
  item->setForeground(0, platform::CurrentColours().selectedText);
  highlighted_ = row;
  if (expand) item->setExpanded(true);
  return true;
}

void TreeList::ClearHighlight() {
  if (highlighted_)
    if (QTreeWidgetItem* old = Find(*highlighted_)) {
      old->setBackground(0, QBrush());
      old->setForeground(0, QBrush());
    }
  highlighted_.reset();
}

void TreeList::Activate(QTreeWidgetItem* item) {
  if (item == nullptr || model_ == nullptr || !isEnabled() ||
      item->data(0, kPlaceholderRole).toBool())
    return;
  const RowIndex row = RowOf(item);
  const bool leaf = model_->IsLeaf(row);
  if (!leaf) item->setExpanded(true);
  if (listener_) listener_(*this, row, leaf);
}

namespace {
void VisibleItems(QTreeWidgetItem* item, int depth,
                  std::vector<std::pair<QTreeWidgetItem*, int>>& out) {
  if (item->data(0, kPlaceholderRole).toBool()) return;
  out.push_back({item, depth});
  if (!item->isExpanded()) return;
  for (int i = 0; i < item->childCount(); ++i) VisibleItems(item->child(i), depth + 1, out);
}
}  // namespace

nlohmann::json TreeList::ReportItems() const {
  std::vector<std::pair<QTreeWidgetItem*, int>> items;
  for (int i = 0; i < topLevelItemCount(); ++i) VisibleItems(topLevelItem(i), 0, items);
  nlohmann::json out = nlohmann::json::array();
  for (const auto& [item, depth] : items) {
    const RowIndex row = RowOf(item);
    out.push_back({{"row", row},
                   {"label", item->text(0).toStdString()},
                   {"depth", depth},
                   {"expanded", item->isExpanded()},
                   {"highlighted", highlighted_ && *highlighted_ == row}});
  }
  return out;
}

bool TreeList::TapRow(int row) {
  std::vector<std::pair<QTreeWidgetItem*, int>> items;
  for (int i = 0; i < topLevelItemCount(); ++i) VisibleItems(topLevelItem(i), 0, items);
  if (row < 0 || static_cast<std::size_t>(row) >= items.size()) return false;
  Activate(items[static_cast<std::size_t>(row)].first);
  return true;
}

// --- panes -----------------------------------------------------------------

TreePane::TreePane(QWidget* parent) : TitledPane(parent) {
  setObjectName(QStringLiteral("tree"));
  UseWhiteBackground(*this);
  list_ = new TreeList(this);
  SetContent(list_);
  hide();
}

void TreePane::Report(nlohmann::json& pane) const {
  TitledPane::Report(pane);
  pane["kind"] = "TreeList";
  pane["items"] = list_->ReportItems();
}

SplitPane::SplitPane(QWidget* parent, LinkSink* sink) : TitledPane(parent) {
  setObjectName(QStringLiteral("split"));
  UseWhiteBackground(*this);
  list_ = new TreeList(this);
  bar_ = new SplitBar(*this);
  preview_ = new HtmlPane(this, nullptr, sink);
  preview_->setObjectName(QStringLiteral("preview"));
  TitleArgs none;
  none.show = false;
  preview_->CreateWithTitle(none);
  hide();
}

int SplitPane::BarHeight() { return platform::ScaleY(15); }

int SplitPane::BarTop(bool halfInIntegers) {
  const int t = Title().OuterHeight();
  const float h =
      halfInIntegers ? static_cast<float>(BarHeight() / 2) : static_cast<float>(BarHeight()) * 0.5F;
  return t + static_cast<int>(ratio_ * static_cast<float>(height() - t) - h);
}

void SplitPane::LayOutContent(QRect area) {
  if (list_ == nullptr || bar_ == nullptr || preview_ == nullptr) return;
  const int y = BarTop(false);
  const int h = BarHeight();
  list_->setGeometry(0, area.top(), area.width(), std::max(0, y - area.top()));
  bar_->setGeometry(0, y, area.width(), h);
  preview_->setGeometry(0, y + h, area.width(), std::max(0, height() - y - h));
}

void SplitPane::SetRatio(float ratio) {
  ratio_ = std::clamp(ratio, 0.25F, 0.75F);
  LayOutContent(QRect(0, Title().OuterHeight(), width(), height() - Title().OuterHeight()));
}

void SplitPane::StylusDown(QPoint at) {
  const int top = BarTop(true);
  if (at.y() >= top && at.y() <= top + BarHeight() && at.x() < platform::ScaleX(195)) {
    dragging_ = true;
    lastY_ = at.y();
  }
}

void SplitPane::StylusMove(QPoint at) {
  if (!dragging_ || height() <= 0) return;
  SetRatio(ratio_ + static_cast<float>(at.y() - lastY_) / static_cast<float>(height()));
  lastY_ = at.y();
}

void SplitPane::StylusUp(QPoint at) {
  if (dragging_) {
    dragging_ = false;
    SetRatio(ratio_);
    return;
  }
  const int top = BarTop(true);
  if (at.y() >= top && at.y() <= top + BarHeight()) {
    const int r = width();
    const int x = at.x();
    const int dpiY = platform::ScreenMetrics().dpiY;
    if (x >= r - platform::ScaleX(45) && x <= r - platform::ScaleY(35))
      ratio_ = 0.75F;
    else if (x >= r - platform::ScaleX(29) && x <= r - platform::ScaleY(19))
      ratio_ = 0.5F;
    else if (x >= r - platform::ScaleX(13) && x <= r - (dpiY + 16) * 3 / 96)
      ratio_ = 0.25F;
  }
  SetRatio(ratio_);
}

void SplitPane::Report(nlohmann::json& pane) const {
  TitledPane::Report(pane);
  pane["kind"] = "TreeList";
  pane["items"] = list_->ReportItems();
  pane["ratio"] = ratio_;
  pane["html"] = platform::ToQ(preview_->Document()).toStdString();
}

// --- LinkedTreeView --------------------------------------------------------

LinkedTreeView::LinkedTreeView(MainWindow& main, const ContentDatabase& db)
    : main_(main), db_(db), model_(db, false) {}

TreePane& LinkedTreeView::Pane() {
  // Made when the view is first asked for it, not at start-up.
  if (pane_ == nullptr) {
    pane_ = new TreePane(&main_);
    pane_->List().SetModel(&model_);
    pane_->List().SetListener([this](TreeList&, RowIndex row, bool leaf) {
      if (leaf) main_.Navigate(model_.Target(row), nullptr, 0, true);
    });
  }
  return *pane_;
}

LinkedTreeView::~LinkedTreeView() { delete pane_; }

bool LinkedTreeView::Accept(PageId page, const std::uint8_t*, std::uint32_t) {
  const TreeDecision d = DecideTree(db_, page);
  if (!d.accept || !d.linked) return false;
  const std::u16string title = PlainTextOf(ShownName(db_, d.table));
  TreePane& pane = Pane();
  pane.CreateWithTitle(PaneTitle(title));
  TreeList& list = pane.List();
  if (list.Root() != d.listRoot || list.topLevelItemCount() == 0) list.SetRoot(d.listRoot);
  if (d.row != d.listRoot) list.Reveal(d.row, true);
  main_.AddPane(0, kSideFill, &pane);
  main_.SetTitle(title);
  return true;
}

// --- TightHierarchyView ----------------------------------------------------

TightHierarchyView::TightHierarchyView(MainWindow& main, const ContentDatabase& db)
    : main_(main), db_(db), model_(db, false), fields_(db), popup_(&main) {
  popup_.SetFont(PageFontSpec());
  popup_.SetListener([this](PageId page, const std::u16string& anchor) {
    OnLink(pane_->Preview(), page, anchor);
  });
}

void TightHierarchyView::MakeWidgets() {
  // Made when the view is first asked for them, not at start-up.
  if (pane_ != nullptr) return;
  pane_ = new SplitPane(&main_, this);
  pane_->Preview().SetPageSource(&fields_);
  pane_->List().SetModel(&model_);
  pane_->List().SetListener([this](TreeList& list, RowIndex row, bool leaf) {
    if (!leaf) return;
    if (HasChild(db_, row, u"link")) {
      main_.Navigate(model_.Target(row), nullptr, 0, true);
      return;
    }
    // The list stays as it is; the record opens in the preview.
    list.Reveal(row, false);
    revealFromList_ = true;
    const std::uint8_t preview = 1;
    main_.Navigate(row, &preview, 1, true);
  });
  buttons_ = NewFootnotesBar(
      main_, "tree-buttons", kFootnotesCommand, [this](int id) { OnCommand(id); },
      platform::ScaleY(22));
}

TightHierarchyView::~TightHierarchyView() {
  delete buttons_;
  delete pane_;
}

bool TightHierarchyView::Accept(PageId page, const std::uint8_t* data, std::uint32_t length) {
  const bool fromList = revealFromList_;
  revealFromList_ = false;
  const TreeDecision d = DecideTree(db_, page);
  if (!d.accept || d.linked) return false;

  MakeWidgets();
  pane_->Preview().Clear();
  previewRow_.reset();
  anchor_.clear();
  const std::u16string title = PlainTextOf(ShownName(db_, d.table));
  pane_->CreateWithTitle(PaneTitle(title));

  TreeList& list = pane_->List();
  if (!fromList) {
    if (list.Root() != d.listRoot || list.topLevelItemCount() == 0) list.SetRoot(d.listRoot);
    if (d.row != d.listRoot) list.Reveal(d.row, false);
  }
  const bool previewAsked = data != nullptr && length == 1 && data[0] == 1;
  const bool record = HasChild(db_, d.row, u"field");
  if (previewAsked || record) {
    fields_.Load(d.table, true);
    previewRow_ = d.row;
    if (record && !previewAsked && data != nullptr && length > 0)
      anchor_ = NavigationText(data, length);
    if (anchor_.empty() && d.jumpToField != 0) anchor_ = Decimal(d.jumpToField);
  }

  footnotes_ = FootnotesRowOf(db_, d.row);
  main_.AddPane(0, kSideFill, pane_);
  if (footnotes_ != 0) {
    main_.AddPane(0, kSideBottom, buttons_);
    buttons_->ShowButton(kFootnotesCommand, true);
  }
  main_.SetTitle(title);
  return true;
}

void TightHierarchyView::Show() {
  if (previewRow_) pane_->Preview().ShowPage(*previewRow_);
  if (!anchor_.empty()) pane_->Preview().JumpToAnchor(anchor_);
}

void TightHierarchyView::OnLink(HtmlPane&, PageId page, const std::u16string& anchor) {
  if (popup_.ShowForLink(db_, page, main_, *pane_)) return;
  if (previewRow_ && !anchor.empty() && page == *previewRow_) {
    pane_->Preview().JumpToAnchor(anchor);
  } else {
    NavigateToLink(main_, page, anchor);
  }
}

bool TightHierarchyView::OnCommand(int commandId) {
  std::u16string text;
  if (commandId != kFootnotesCommand || footnotes_ == 0 || !AppendFootnotes(db_, footnotes_, text))
    return false;
  popup_.ShowFromPage(u"Footnotes", text, main_, *pane_, true);
  return true;
}

}  // namespace vrok
