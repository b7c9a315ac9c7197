#include "widgets/check_list.h"

#include <QApplication>
#include <QListWidget>
#include <QMouseEvent>
#include <QStyle>

#include "platform/qt/environment.h"
#include "widgets/synthetic_input.h"

namespace vrok {

namespace {
constexpr int kValueRole = Qt::UserRole;
}

CheckList::CheckList(QWidget* parent, QRect rect, int id, const QString& windowName)
    : TitledPane(parent), checkBoxes_(windowName == QLatin1String("check")) {
  setObjectName(QString::number(id));
  if (!rect.isEmpty()) setGeometry(rect);
  list_ = new QListWidget(this);
  list_->setAccessibleName(QStringLiteral("List"));
  list_->setObjectName(QStringLiteral("798"));
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list_->viewport()->installEventFilter(this);
  scroll_ = new QScrollBar(Qt::Vertical, this);
  scroll_->setObjectName(QStringLiteral("2000"));

  // The separate scroll bar mirrors the list's own, both ways.
  QScrollBar* inner = list_->verticalScrollBar();
  connect(inner, &QScrollBar::rangeChanged, scroll_, [this](int min, int max) {
    scroll_->setRange(min, max);
    scroll_->setEnabled(max > min);
  });
  connect(inner, &QScrollBar::valueChanged, scroll_, &QScrollBar::setValue);
  connect(scroll_, &QScrollBar::valueChanged, inner, &QScrollBar::setValue);
  connect(list_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
    if (checkBoxes_ && lastTapOnCheckBox_) return;
    if (listener_.itemChosen) listener_.itemChosen(*this, item->data(kValueRole).toUInt());
  });
  connect(list_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
    if (!checkBoxes_ || !lastTapOnCheckBox_) return;
    const std::uint32_t value = item->data(kValueRole).toUInt();
    if (item->checkState() == Qt::Checked)
      ticked_.insert(value);
    else
      ticked_.erase(value);
  });
  connect(list_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem*) {
    if (listener_.itemDoubleTapped) listener_.itemDoubleTapped(*this);
  });
  Arrange();
}

void CheckList::AddItem(const std::u16string& text, std::uint32_t value) {
  auto* item = new QListWidgetItem(platform::ToQ(text));
  item->setData(kValueRole, value);
  if (checkBoxes_) {
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
  } else {
    item->setFlags(item->flags() & ~Qt::ItemIsUserCheckable);
  }
  list_->addItem(item);
}

void CheckList::Clear() {
  list_->clear();
  ticked_.clear();
}

void CheckList::LayOutContent(QRect area) {
  const int sw = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  list_->setGeometry(area.adjusted(0, 0, -sw, 0));
  scroll_->setGeometry(area.right() - sw + 1, area.top(), sw, area.height());
}

bool CheckList::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list_->viewport() &&
      (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)) {
    // The tap point (the last stylus point), hit-tested against the item's
    // check box at its left edge.
    const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
    platform::SetLastStylusPoint(list_->viewport()->mapToGlobal(at));
    const QModelIndex index = list_->indexAt(at);
    const QRect box = list_->visualRect(index);
    const int indicator = style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                          2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 2;
    lastTapOnCheckBox_ = index.isValid() && at.x() < box.left() + indicator;
  }
  return QWidget::eventFilter(watched, event);
}

namespace {
void TapAt(QListWidget* list, QPoint at) { Tap(list->viewport(), at); }
}  // namespace

bool CheckList::TapRow(int row) {
  QListWidgetItem* item = list_->item(row);
  if (item == nullptr) return false;
  list_->scrollToItem(item);
  const QRect box = list_->visualRect(list_->indexFromItem(item));
  TapAt(list_, QPoint(box.right() - 2, box.center().y()));
  return true;
}

bool CheckList::TickRow(int row) {
  QListWidgetItem* item = list_->item(row);
  if (!checkBoxes_ || item == nullptr) return false;
  list_->scrollToItem(item);
  const QRect box = list_->visualRect(list_->indexFromItem(item));
  // The check box sits at the row's left edge.
  TapAt(list_, QPoint(box.left() + style()->pixelMetric(QStyle::PM_IndicatorWidth) / 2 + 2,
                      box.center().y()));
  return true;
}

void CheckList::Report(nlohmann::json& pane) const {
  TitledPane::Report(pane);
  pane["kind"] = "CheckList";
  nlohmann::json items = nlohmann::json::array();
  for (int i = 0; i < list_->count(); ++i) {
    const QListWidgetItem* item = list_->item(i);
    nlohmann::json entry{{"text", item->text().toStdString()},
                         {"value", item->data(kValueRole).toUInt()}};
    if (checkBoxes_) entry["ticked"] = item->checkState() == Qt::Checked;
    items.push_back(std::move(entry));
  }
  pane["rows"] = std::move(items);
  pane["ticked"] = ticked_;
}

}  // namespace vrok
