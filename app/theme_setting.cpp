#include "app/theme_setting.h"

#include <QLabel>

#include "app/command_bar.h"
#include "app/reader_app.h"
#include "app/shell_view.h"
#include "app/tab_bar.h"
#include "core/navigation/history_list.h"
#include "platform/qt/registry.h"
#include "platform/qt/screen_window.h"
#include "widgets/button_bar.h"
#include "widgets/search_bar.h"
#include "widgets/title_bar.h"

namespace vrok {

platform::ThemeChoice RememberedThemeChoice(const platform::Registry& registry) {
  const auto text = registry.Text(QString::fromLatin1(kRegTheme));
  if (!text) return platform::ThemeChoice::kSystem;
  return platform::ParseThemeChoice(text->trimmed().toLower()).value_or(platform::ThemeChoice::kSystem);
}

bool RememberThemeChoice(platform::Registry& registry, platform::ThemeChoice choice) {
  const QString name = QString::fromLatin1(kRegTheme);
  const QString value = QString::fromLatin1(platform::ThemeChoiceName(choice));
  if (registry.Text(name) == value) return true;
  return registry.SetText(name, value);
}

void UseTheme(ReaderApp& app, platform::ThemeChoice choice) {
  const bool wasDark = platform::DarkTheme();
  if (platform::SetThemeChoice(choice) != wasDark) RedrawScreen(app);
}

void RedrawScreen(ReaderApp& app) {
  platform::ScreenWindow& screen = *app.Screen();
  const platform::Colours& now = platform::CurrentColours();
  const platform::Colours& other =
      platform::DarkTheme() ? platform::LightColours() : platform::DarkColours();
  screen.ApplyColours();
  // Backgrounds set to the page colour when their widget was made.
  for (QWidget* w : screen.findChildren<QWidget*>()) {
    if (!w->autoFillBackground()) continue;
    QPalette pal = w->palette();
    bool changed = false;
    for (const QPalette::ColorRole role : {QPalette::Window, QPalette::Base}) {
      if (pal.color(role) != other.page) continue;
      pal.setColor(role, now.page);
      changed = true;
    }
    if (changed) w->setPalette(pal);
  }
  for (QLabel* caption : screen.findChildren<QLabel*>(QStringLiteral("caption")))
    caption->setStyleSheet(
        platform::CaptionSheet(caption->styleSheet().contains(QLatin1String("font-weight"))));
  if (ShellView* shell = app.Shell()) shell->Commands().ApplyLook();
  // (ButtonBar has no meta-object of its own: found by its C++ type.)
  for (QWidget* w : screen.findChildren<QWidget*>()) {
    if (auto* bar = dynamic_cast<ButtonBar*>(w)) bar->Redraw();
    if (auto* title = dynamic_cast<TitleBar*>(w)) title->ApplyTheme();
    if (auto* search = dynamic_cast<SearchBar*>(w)) search->ApplyTheme();
  }
  if (TabBar* tabs = app.Tabs()) tabs->Select(tabs->Selected());
  HistoryList& history = app.History();
  if (!history.OverlayShown() && history.ShownPosition() == history.CurrentPosition())
    history.ShowCurrent();
  screen.Relayout();
  for (QWidget* w : screen.findChildren<QWidget*>()) w->update();
}

}  // namespace vrok
