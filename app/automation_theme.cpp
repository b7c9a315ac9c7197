#include "app/automation_theme.h"

#include <QCoreApplication>

#include "app/automation.h"
#include "app/theme_setting.h"

namespace vrok {

bool RunThemeCommand(Script& s, const std::string& /*verb*/, const std::string& rest) {
  const auto choice = platform::ParseThemeChoice(QString::fromStdString(rest).trimmed());
  if (!choice) return s.Fail("theme needs light, dark or system");
  UseTheme(s.app, *choice);
  QCoreApplication::processEvents();
  return true;
}

}  // namespace vrok
