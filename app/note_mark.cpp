#include "app/note_mark.h"

#include <QPainter>

#include "frame/main_window.h"
#include "platform/qt/environment.h"
#include "widgets/picture_button.h"
#include "widgets/title_bar.h"

namespace vrok {

namespace {

// A yellow sheet with a folded corner and two lines of writing.
QPixmap MarkPicture(int size) {
  QPixmap picture(size, size);
  picture.fill(Qt::transparent);
  QPainter g(&picture);
  g.setRenderHint(QPainter::Antialiasing);
  const qreal s = size;
  const qreal fold = s * 0.3;
  QPolygonF sheet;
  sheet << QPointF(1, 1) << QPointF(s - fold, 1) << QPointF(s - 1, fold) << QPointF(s - 1, s - 1)
        << QPointF(1, s - 1);
  g.setPen(QPen(QColor(120, 90, 0), 1));
  g.setBrush(QColor(255, 222, 89));
  g.drawPolygon(sheet);
  g.drawLine(QPointF(s - fold, 1), QPointF(s - fold, fold));
  g.drawLine(QPointF(s - fold, fold), QPointF(s - 1, fold));
  g.drawLine(QPointF(s * 0.25, s * 0.55), QPointF(s * 0.75, s * 0.55));
  g.drawLine(QPointF(s * 0.25, s * 0.75), QPointF(s * 0.75, s * 0.75));
  return picture;
}

// The title bar of the page's filling pane, when it shows one.
QWidget* PageTitle(MainWindow& main) {
  QWidget* fill = nullptr;
  for (const auto& r : main.PagePanes())
    if (r.side == 4) fill = r.window;
  if (fill == nullptr) return nullptr;
  QWidget* title = nullptr;
  if (auto* plain = dynamic_cast<TitledPane*>(fill))
    title = &plain->Title();
  else if (auto* rich = dynamic_cast<RichTitledPane*>(fill))
    title = &rich->Title();
  return title != nullptr && title->isVisible() && title->height() > 0 ? title : nullptr;
}

}  // namespace

NoteMark::NoteMark(MainWindow& main, std::function<bool(std::uint32_t)> hasNote,
                   std::function<void()> open)
    : main_(main), hasNote_(std::move(hasNote)) {
  button_ = new PictureButton(0, MarkPicture(platform::ScaleY(12)), &main);
  button_->setObjectName(QStringLiteral("note-mark"));
  button_->SetName(QStringLiteral("Note"));
  button_->hide();
  QObject::connect(button_, &QAbstractButton::clicked, button_, std::move(open));
}

NoteMark::~NoteMark() { delete button_.data(); }

bool NoteMark::Shown() const { return button_ != nullptr && button_->isVisible(); }

void NoteMark::Update(bool overlay) {
  if (button_ == nullptr) return;
  QWidget* title = overlay ? nullptr : PageTitle(main_);
  if (title == nullptr || !hasNote_(main_.CurrentPage())) {
    button_->hide();
    return;
  }
  const QSize size = button_->Picture().size();
  // At the right end of the title, left of its expand indicator if shown.
  int right = title->width() - platform::ScaleX(2);
  const auto indicator = title->findChild<QWidget*>(QString::number(TitleBar::kIndicatorId));
  if (indicator != nullptr && indicator->isVisible()) right = indicator->x() - platform::ScaleX(2);
  const QPoint at = title->mapTo(&main_, QPoint(right - size.width(),
                                                (std::min(title->height(), size.height() * 2) -
                                                 size.height()) / 2));
  button_->setGeometry(QRect(at, size));
  button_->show();
  button_->raise();
}

}  // namespace vrok
