#pragma once
// An owner-drawn picture button: it starts at the size of its bitmap and
// draws it over its whole area; while pressed it draws its pressed picture,
// or darkens the picture when it has none; disabled, it is drawn faded.
// Its command id is its object name. It takes the focus by Tab and is
// pressed by Space or Enter; the focused button is drawn with a ring.

#include <QAbstractButton>
#include <QPixmap>

namespace vrok {

class PictureButton : public QAbstractButton {
 public:
  PictureButton(int id, QPixmap picture, QWidget* parent);
  int Id() const { return id_; }
  void SetPicture(QPixmap picture);
  const QPixmap& Picture() const { return picture_; }
  void SetPressedPicture(QPixmap picture);
  QSize sizeHint() const override { return picture_.size(); }
  // The command's name: the tooltip, with the keys that run it in brackets
  // when given, and the name screen readers announce.
  void SetName(const QString& name, const QString& keys = {});

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  int id_;
  QPixmap picture_;
  QPixmap pressed_;
};

}  // namespace vrok
