#include "platform/qt/environment.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QPointer>

namespace vrok::platform {

namespace {
QString& Folder() {
  static QString folder;
  return folder;
}
QPoint lastStylus;
bool waitCursor = false;
bool automated = false;
}  // namespace

Screen& ScreenMetrics() {
  static Screen screen;
  return screen;
}

void SetProgramFolder(const QString& folder) { Folder() = folder; }
const QString& ProgramFolder() { return Folder(); }
QString ProgramFile(const QString& name) { return Folder() + QLatin1Char('/') + name; }

std::u16string LoadString(unsigned id) {
  switch (id) {
    case kStrDatabaseDamaged:
      return u"Database files are missing or damaged.";
    case kStrInvalidRegistry:
      return u"Invalid application registry entries.";
    case kStrAppCaption:
      return u"Vrok";
    default:
      return {};
  }
}

void SetLastStylusPoint(QPoint point) { lastStylus = point; }
QPoint LastStylusPoint() { return lastStylus; }

void SetWaitCursor(bool on) {
  if (on == waitCursor) return;
  waitCursor = on;
  if (qApp == nullptr || automated) return;
  if (on)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}
bool WaitCursorShown() { return waitCursor; }

// A pop-up menu opened by a tap (the command bar's menu buttons) runs a
// modal loop that no script line could end: in automated runs each menu is
// closed as soon as it is shown. Its commands stay reachable by id.
class MenuCloser : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show)
      if (auto* menu = qobject_cast<QMenu*>(watched))
        QMetaObject::invokeMethod(menu, &QMenu::close, Qt::QueuedConnection);
    return false;
  }
};

void SetAutomated(bool on) {
  automated = on;
  static QPointer<MenuCloser> closer;
  if (on && closer == nullptr && qApp != nullptr) {
    closer = new MenuCloser;
    closer->setParent(qApp);
    qApp->installEventFilter(closer);
  }
}
bool Automated() { return automated; }

}  // namespace vrok::platform

namespace vrok::platform {
namespace {
bool quitPosted = false;
}
void PostQuit() {
  quitPosted = true;
  QCoreApplication::quit();
}
bool QuitPosted() { return quitPosted; }
void ResetQuit() { quitPosted = false; }
}  // namespace vrok::platform

#include <QGuiApplication>
#include <QPointer>
#include <QWidget>

namespace vrok::platform {
namespace {
QPointer<QWidget> capture;
bool CanGrab() { return QGuiApplication::platformName() != QLatin1String("offscreen"); }
}  // namespace
void SetCapture(QWidget* widget) {
  capture = widget;
  if (CanGrab() && widget->isVisible()) widget->grabMouse();
}
void ReleaseCapture(QWidget* widget) {
  if (capture != widget) return;
  if (CanGrab() && QWidget::mouseGrabber() == widget) widget->releaseMouse();
  capture = nullptr;
}
QWidget* Capture() { return capture != nullptr && capture->isVisible() ? capture.data() : nullptr; }
}  // namespace vrok::platform
