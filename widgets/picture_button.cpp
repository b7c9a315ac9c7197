#include "widgets/picture_button.h"

#include <QPainter>

namespace vrok {

PictureButton::PictureButton(int id, QPixmap picture, QWidget* parent)
    : QAbstractButton(parent), id_(id) {
  setObjectName(QString::number(id));
  SetPicture(std::move(picture));
  resize(picture_.size());
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
    return;
  }
  // A disabled button is drawn faded.
  if (!isEnabled()) g.setOpacity(0.35);
  g.drawPixmap(rect(), picture_);
  if (isDown()) g.fillRect(rect(), QColor(0, 0, 0, 60));
}

}  // namespace vrok
