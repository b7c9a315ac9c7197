#include "app/desktop_window.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeySequence>
#include <QScreen>
#include <QShortcut>
#include <QWheelEvent>
#include <algorithm>

#include "app/reader_app.h"
#include "app/tab_bar.h"
#include "app/theme_setting.h"
#include "core/navigation/history_list.h"
#include "frame/main_window.h"
#include "platform/qt/environment.h"
#include "platform/qt/registry.h"
#include "platform/qt/screen_window.h"
#include "platform/qt/window_mode.h"
#include "widgets/search_bar.h"

namespace vrok {

namespace {

QString Name(const char* name) { return QString::fromLatin1(name); }

QRect AvailableArea(const QWidget& window) {
  const QScreen* screen = window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

// Ctrl+wheel on any widget of the reader's window steps the text size; the
// wheel without Ctrl scrolls as usual.
class WheelZoom : public QObject {
 public:
  WheelZoom(ReaderApp& app, QObject* parent) : QObject(parent), app_(app) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Wheel) return false;
    auto* wheel = static_cast<QWheelEvent*>(event);
    if (!(wheel->modifiers() & Qt::ControlModifier)) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->window() != app_.Screen()) return false;
    // One notch is 120; a touchpad sends smaller steps, gathered here.
    pending_ += wheel->angleDelta().y();
    while (pending_ >= 120 || pending_ <= -120) {
      const int direction = pending_ > 0 ? 1 : -1;
      pending_ -= direction * 120;
      ChangeTextSize(app_, platform::NextTextSize(platform::TextSize(), direction));
    }
    return true;
  }

 private:
  ReaderApp& app_;
  int pending_ = 0;
};

}  // namespace

QSize FirstWindowSize(const QSize& available) {
  const int h = std::max(320, available.height() * 9 / 10);
  const int w = std::max(240, h * 3 / 4);
  return {std::min(w, std::max(240, available.width())), std::min(h, std::max(320, available.height()))};
}

std::optional<int> RememberedTextSize(ReaderApp& app) {
  const auto v = app.Registry().Number(Name(kRegTextSize));
  if (!v) return std::nullopt;
  return static_cast<int>(std::clamp<long long>(*v, platform::kMinTextSize, platform::kMaxTextSize));
}

void PlaceDesktopWindow(ReaderApp& app, std::optional<QSize> requested,
                        std::optional<QSize> fallback) {
  platform::ScreenWindow& window = *app.Screen();
  const QRect area = AvailableArea(window);
  platform::Registry& reg = app.Registry();
  const auto w = reg.Number(Name(kRegWindowWidth));
  const auto h = reg.Number(Name(kRegWindowHeight));
  const auto x = reg.Number(Name(kRegWindowX));
  const auto y = reg.Number(Name(kRegWindowY));
  QSize size = requested.value_or(fallback.value_or(FirstWindowSize(area.size())));
  if (!requested && w && h && *w > 0 && *h > 0 && *w <= 100000 && *h <= 100000)
    size = QSize(static_cast<int>(*w), static_cast<int>(*h));
  // A remembered size from a larger desktop is cut down to this one.
  size = size.boundedTo(area.size()).expandedTo(window.minimumSize());
  window.resize(size);
  if (x && y && *x > -100000 && *x < 100000 && *y > -100000 && *y < 100000) {
    // Kept on the desktop: at least the top-left corner stays inside it.
    QPoint at(static_cast<int>(*x), static_cast<int>(*y));
    at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - size.width() + 1)));
    at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() - size.height() + 1)));
    window.move(at);
  }
  if (reg.Number(Name(kRegWindowMaximized)).value_or(0) != 0)
    window.setWindowState(window.windowState() | Qt::WindowMaximized);
}

void RememberDesktopWindow(ReaderApp& app) {
  const platform::ScreenWindow& window = *app.Screen();
  platform::Registry& reg = app.Registry();
  const bool maximized = window.isMaximized();
  // The size to come back to is the normal one, not the maximized one.
  const QRect normal = maximized ? window.normalGeometry() : window.geometry();
  // Failures are silent: the window opens at its first-start size next time.
  if (normal.isValid()) {
    reg.SetNumber(Name(kRegWindowX), normal.x());
    reg.SetNumber(Name(kRegWindowY), normal.y());
    reg.SetNumber(Name(kRegWindowWidth), normal.width());
    reg.SetNumber(Name(kRegWindowHeight), normal.height());
  }
  reg.SetNumber(Name(kRegWindowMaximized), maximized ? 1 : 0);
  reg.SetNumber(Name(kRegTextSize), platform::TextSize());
}

int ChangeTextSize(ReaderApp& app, int percent) {
  const int before = platform::TextSize();
  const int now = platform::ApplyTextSize(percent);
  if (now == before) return now;
  // Lengths computed from the dots per inch when the page was shown are
  // computed again by showing the page again, without a new history entry;
  // the bars and frame follow at once.
  // The bars sized from the dots per inch when they were made.
  QWidget* strip = app.Tabs()->Strip();
  strip->resize(strip->width(), platform::ScaleY(22));
  // (SearchBar has no meta-object of its own: found by its C++ type.)
  for (QWidget* w : app.Screen()->findChildren<QWidget*>())
    if (auto* bar = dynamic_cast<SearchBar*>(w)) bar->resize(bar->width(), platform::MenuBarHeight());
  app.Screen()->Relayout();
  // The command bar's artwork, the tabs and the page shown follow at once.
  RedrawScreen(app);
  return now;
}

void InstallTextSizeKeys(ReaderApp& app) {
  QWidget* window = app.Screen();
  const auto add = [&](QKeySequence keys, auto step) {
    auto* shortcut = new QShortcut(keys, window);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, window, [&app, step] {
      ChangeTextSize(app, step(platform::TextSize()));
    });
  };
  const auto larger = [](int p) { return platform::NextTextSize(p, 1); };
  const auto smaller = [](int p) { return platform::NextTextSize(p, -1); };
  add(QKeySequence(Qt::CTRL | Qt::Key_Plus), larger);
  add(QKeySequence(Qt::CTRL | Qt::Key_Equal), larger);  // the plus key unshifted
  add(QKeySequence(Qt::CTRL | Qt::Key_Minus), smaller);
  add(QKeySequence(Qt::CTRL | Qt::Key_0), [](int) { return 100; });
  qApp->installEventFilter(new WheelZoom(app, window));
}

}  // namespace vrok
