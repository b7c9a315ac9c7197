#include "app/automation_window.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <charconv>

#include "app/automation.h"
#include "app/reader_app.h"
#include "platform/qt/screen_window.h"
#include "platform/qt/theme.h"
#include "platform/qt/window_mode.h"

namespace vrok {

namespace {
constexpr int kMaxWindow = 8192;

// A whole number, or -1.
int Whole(std::string_view s) {
  int v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || v < 0) return -1;
  return v;
}
}  // namespace

bool RunWindowCommand(Script& s, const std::string& /*verb*/, const std::string& rest) {
  if (!platform::DesktopMode()) return s.Fail("window needs desktop mode (--desktop)");
  const auto sep = rest.find(' ');
  const int w = Whole(std::string_view(rest).substr(0, sep));
  const int h = sep == std::string::npos ? -1 : Whole(std::string_view(rest).substr(sep + 1));
  if (w < 0 || h < 0) return s.Fail("window needs W and H");
  platform::ScreenWindow& window = *s.app.Screen();
  const QSize least = window.minimumSize();
  if (w < least.width() || h < least.height() || w > kMaxWindow || h > kMaxWindow)
    return s.Fail("window size out of range");
  // A person resizing a maximized window first gets its normal state back.
  if (window.isMaximized() || window.isFullScreen()) window.showNormal();
  window.resize(w, h);
  // The platform delivers the new size, then the panes are placed and
  // painted; waits for both, a second at most.
  QElapsedTimer clock;
  clock.start();
  while (window.size() != QSize(w, h) && clock.elapsed() < 1000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  QCoreApplication::processEvents();
  if (window.size() != QSize(w, h)) return s.Fail("the window did not take the size");
  return true;
}

void ReportWindow(ReaderApp& app, nlohmann::json& report) {
  const platform::ScreenWindow& window = *app.Screen();
  report["mode"] = platform::DesktopMode() ? "desktop" : "handheld";
  report["window"] = nlohmann::json::array({window.width(), window.height()});
  report["text_size"] = platform::DesktopMode() ? platform::TextSize() : 100;
  report["theme"] = platform::DarkTheme() ? "dark" : "light";
}

}  // namespace vrok
