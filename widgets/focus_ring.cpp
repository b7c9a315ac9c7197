#include "widgets/focus_ring.h"

#include <QKeyEvent>
#include <QPen>
#include <QWidget>

#include "platform/qt/environment.h"

namespace vrok {

void DrawFocusRing(QPainter& g, const QRect& box) {
  const int w = std::max(1, platform::ScaleX(1));
  const QRect inner = box.adjusted(w / 2, w / 2, -(w / 2), -(w / 2));
  g.save();
  g.setBrush(Qt::NoBrush);
  // A solid dark line under a dashed light one: visible on any colour.
  g.setPen(QPen(QColor(0, 0, 0), w, Qt::SolidLine));
  g.drawRect(inner.adjusted(0, 0, -1, -1));
  g.setPen(QPen(QColor(255, 200, 0), w, Qt::DashLine));
  g.drawRect(inner.adjusted(0, 0, -1, -1));
  g.restore();
}

bool ClaimEscapeForPopup(QEvent* event, const QWidget* popup) {
  if (event->type() != QEvent::ShortcutOverride || popup == nullptr || !popup->isVisible() ||
      static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape)
    return false;
  event->accept();
  return true;
}

}  // namespace vrok
