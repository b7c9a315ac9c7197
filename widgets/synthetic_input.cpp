#include "widgets/synthetic_input.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

#include "platform/qt/timer.h"

namespace vrok {

void SendMouse(QWidget* w, QEvent::Type type, QPoint at) {
  QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), Qt::LeftButton,
                type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

void Tap(QWidget* w, QPoint at, int holdMs) {
  SendMouse(w, QEvent::MouseButtonPress, at);
  if (holdMs > 0) platform::AdvanceClock(holdMs);
  SendMouse(w, QEvent::MouseButtonRelease, at);
}

}  // namespace vrok
