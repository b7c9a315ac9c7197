#include "widgets/picture_button.h"

#include <QKeyEvent>
#include <QPainter>

#include "widgets/focus_ring.h"

namespace vrok {

PictureButton::PictureButton(int id, QPixmap picture, QWidget* parent)
    : QAbstractButton(parent), id_(id) {
  setObjectName(QString::number(id));
  SetPicture(std::move(picture));
  resize(picture_.size());
  setFocusPolicy(Qt::TabFocus);
}

void PictureButton::SetName(const QString& name, const QString& keys) {
  setAccessibleName(name);
  setToolTip(keys.isEmpty() ? name : name + QStringLiteral(" (") + keys + QStringLiteral(")"));
}

void PictureButton::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
      event->modifiers() == Qt::NoModifier) {
    if (isEnabled()) click();
    return;
  }
  QAbstractButton::keyPressEvent(event);
}

void PictureButton::SetPicture(QPixmap picture) {
  picture_ = std::move(picture);
  update();
}

void PictureButton::SetPressedPicture(QPixmap picture) {
  pressed_ = std::move(picture);
  update();
}

void PictureButton::paintEvent(QPaintEvent*) {
  QPainter g(this);
  if (isDown() && !pressed_.isNull()) {
    g.drawPixmap(rect(), pressed_);
    if (hasFocus()) DrawFocusRing(g, rect());
    return;
  }
  // A disabled button is drawn faded.
  if (!isEnabled()) g.setOpacity(0.35);
  g.drawPixmap(rect(), picture_);
  if (isDown()) g.fillRect(rect(), QColor(0, 0, 0, 60));
  if (hasFocus()) DrawFocusRing(g, rect());
}

}  // namespace vrok
