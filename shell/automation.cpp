#include "shell/automation.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QFontInfo>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTextEdit>
#include <algorithm>
#include <charconv>
#include <istream>
#include <ostream>

#include "platform/qt/dialogs.h"
#include "platform/qt/environment.h"
#include "platform/qt/screen_window.h"
#include "platform/qt/timer.h"
#include "shell/automation_key.h"
#include "shell/automation_search.h"
#include "shell/command_bar.h"
#include "shell/main_window.h"
#include "shell/picture_button.h"
#include "shell/reader_app.h"
#include "shell/screen_report.h"
#include "shell/shell_view.h"
#include "shell/splash_view.h"
#include "shell/tab_bar.h"
#include "userdata/note_text_edit.h"

namespace vrok {

using nlohmann::json;

namespace {

std::function<json()>& PopupSource() {
  static std::function<json()> source;
  return source;
}
std::function<QWidget*()>& PopupWidget() {
  static std::function<QWidget*()> widget;
  return widget;
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  static const char* kDigits = "0123456789abcdef";
  std::string s;
  for (const std::uint8_t b : bytes) {
    s += kDigits[b >> 4];
    s += kDigits[b & 15];
  }
  return s;
}

std::string Utf8(const std::u16string& s) { return platform::ToQ(s).toStdString(); }

json Geometry(const QWidget* w) {
  const QRect g = w->geometry();
  return json::array({g.x(), g.y(), g.width(), g.height()});
}

json Panes(const std::vector<PaneRecord<QWidget>>& list) {
  json panes = json::array();
  for (const auto& r : list) {
    json pane{{"kind", "Pane"},
              {"name", r.window->objectName().toStdString()},
              {"side", r.side},
              {"geometry", Geometry(r.window)}};
    if (const auto* reported = dynamic_cast<const ReportedPane*>(r.window)) reported->Report(pane);
    panes.push_back(std::move(pane));
  }
  return panes;
}

std::optional<long long> Number(const std::string& s) {
  long long v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return v;
}

// Every visible widget that implements T: the pop-up first, then the
// overlays, then the page's panes, each searched depth first.
template <class T>
std::vector<T*> Targets(ReaderApp& app) {
  std::vector<QWidget*> roots;
  if (PopupWidget())
    if (QWidget* p = PopupWidget()()) roots.push_back(p);
  for (const auto& r : app.Main()->OverlayPanes()) roots.push_back(r.window);
  for (const auto& r : app.Main()->PagePanes()) roots.push_back(r.window);
  std::vector<T*> found;
  for (QWidget* root : roots) {
    if (!root->isVisible()) continue;
    if (auto* t = dynamic_cast<T*>(root)) found.push_back(t);
    for (QWidget* child : root->findChildren<QWidget*>())
      if (child->isVisible())
        if (auto* t = dynamic_cast<T*>(child)) found.push_back(t);
  }
  return found;
}

void Tap(QWidget* target, QPoint local, int holdMs = 0) {
  const QPointF global = target->mapToGlobal(QPointF(local));
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(local), global, Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &press);
  if (holdMs > 0) platform::AdvanceClock(holdMs);
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(local), global, Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(target, &release);
}

QWidget* FindWidget(ReaderApp& app, const QString& name) {
  std::vector<QWidget*> roots;
  if (QDialog* d = platform::OpenDialog()) roots.push_back(d);
  roots.push_back(app.Screen());
  QWidget* hidden = nullptr;
  for (QWidget* root : roots) {
    for (QWidget* w : root->findChildren<QWidget*>(name)) {
      if (w->isVisible()) return w;
      if (hidden == nullptr) hidden = w;
    }
  }
  return hidden;
}

// "measure": where a widget lies on the screen, its font's pixel size and
// the size of its picture or icon.
json Measure(const QWidget* w, const QWidget* screen) {
  const QPoint at = w == screen ? QPoint(0, 0)
                    : screen->isAncestorOf(w)
                        ? w->mapTo(screen, QPoint(0, 0))
                        : w->mapToGlobal(QPoint(0, 0)) - screen->mapToGlobal(QPoint(0, 0));
  json m{{"geometry", json::array({at.x(), at.y(), w->width(), w->height()})},
         {"font", QFontInfo(w->font()).pixelSize()}};
  if (const auto* picture = dynamic_cast<const PictureButton*>(w))
    m["picture"] = json::array({picture->Picture().width(), picture->Picture().height()});
  else if (const auto* button = qobject_cast<const QAbstractButton*>(w);
           button && !button->icon().isNull())
    m["icon"] = json::array({button->iconSize().width(), button->iconSize().height()});
  return m;
}

QAction* FindAction(ReaderApp& app, const QString& name) {
  const auto actions = app.Screen()->findChildren<QAction*>(name);
  return actions.isEmpty() ? nullptr : actions.first();
}

}  // namespace

void SetPopupSource(std::function<json()> source) { PopupSource() = std::move(source); }
void SetPopupWidget(std::function<QWidget*()> widget) { PopupWidget() = std::move(widget); }

json ScreenReport(ReaderApp& app) {
  MainWindow& main = *app.Main();
  CommandBar& bar = app.Shell()->Commands();
  json report;
  report["title"] = Utf8(main.Title());
  report["page"] = main.CurrentPage();
  report["page_data"] = Hex(main.CurrentData());
  report["rows"] = app.Database()->RowCount();
  report["buttons"] = {{"back", bar.IsEnabled(commands::kBack)},
                       {"forward", bar.IsEnabled(commands::kForward)},
                       {"history", bar.IsEnabled(commands::kHistory)}};
  const TabBar& tabs = *app.Tabs();
  report["tab"] = tabs.Strip()->isVisible() ? json(tabs.Selected()) : json(nullptr);
  report["keyboard"] = main.KeyboardUp();
  report["panes"] = Panes(main.PagePanes());
  report["overlays"] = Panes(main.OverlayPanes());
  json messages = json::array();
  for (const auto& m : platform::TakeMessages())
    messages.push_back({{"text", Utf8(m.text)},
                        {"caption", Utf8(m.caption)},
                        {"icon", platform::IconName(m.icon)},
                        {"answer", platform::AnswerName(m.answer)}});
  report["messages"] = std::move(messages);
  json entries = json::array();
  for (const auto& e : app.History().Entries())
    entries.push_back({{"page", e.page}, {"title", Utf8(e.title)}, {"data", Hex(e.data)}});
  report["history"] = {{"position", app.History().CurrentPosition()}, {"entries", entries}};
  report["popup"] = PopupSource() ? PopupSource()() : json(nullptr);
  return report;
}

bool ScriptRunner::RunLine(const std::string& line, std::string& error) {
  const auto space = line.find(' ');
  const std::string verb = line.substr(0, space);
  const std::string rest = space == std::string::npos ? std::string() : line.substr(space + 1);
  const auto fail = [&error](std::string why) {
    error = std::move(why);
    return false;
  };
  const auto number = Number(rest);
  MainWindow& main = *app_.Main();

  if (verb == "dump") {
    out_ << ScreenReport(app_).dump() << '\n' << std::flush;
  } else if (verb == "navigate") {
    const auto sep = rest.find(' ');
    const std::string page = rest.substr(0, sep);
    if (page.empty()) return fail("navigate needs a page");
    const auto id = Number(page);
    if (id && (*id < 0 || *id > 0xFFFFFFFFLL)) return fail("page id out of range");
    const PageId target =
        id ? static_cast<PageId>(*id) : app_.Names()[platform::FromQ(QString::fromStdString(page))];
    if (sep == std::string::npos) {
      main.Navigate(target, nullptr, 0, true);
    } else {
      // A zero-terminated wide text, as a link anchor is passed.
      std::u16string text = platform::FromQ(QString::fromStdString(rest.substr(sep + 1)));
      text.push_back(u'\0');
      main.Navigate(target, reinterpret_cast<const std::uint8_t*>(text.data()),
                    static_cast<std::uint32_t>(text.size() * 2), true);
    }
  } else if (verb == "command") {
    if (!number) return fail("command needs a number");
    const int id = static_cast<int>(*number);
    ShellView& shell = *app_.Shell();
    if (!shell.Available(id)) return fail("command not available");
    if (!shell.Commands().Dispatch(id)) {
      bool handled = false;
      for (CommandTarget* t : Targets<CommandTarget>(app_))
        if ((handled = t->OnCommand(id))) break;
      if (!handled) return fail("no control on screen handles this command");
    }
  } else if (verb == "tap-link") {
    const auto targets = Targets<LinkTarget>(app_);
    if (targets.empty()) return fail("no HTML viewer on screen");
    if (!targets.front()->TapLink(platform::FromQ(QString::fromStdString(rest))))
      return fail("no such link");
  } else if (verb == "tap-tab") {
    TabBar& tabs = *app_.Tabs();
    if (!number || *number < 0 || *number > 2) return fail("tap-tab needs 0, 1 or 2");
    if (!tabs.Strip()->isVisible()) return fail("the tab strip is not shown");
    tabs.Button(static_cast<int>(*number))->click();
  } else if (verb == "tap-row" || verb == "hold-row") {
    if (!number) return fail(verb + " needs a row number");
    const auto targets = Targets<RowTarget>(app_);
    if (targets.empty()) return fail("no list on screen");
    const int row = static_cast<int>(*number);
    const bool ok =
        verb == "tap-row" ? targets.front()->TapRow(row) : targets.front()->HoldRow(row);
    if (!ok) return fail("no such row");
  } else if (verb == "tick-row") {
    if (!number) return fail("tick-row needs a row number");
    const auto targets = Targets<CheckTarget>(app_);
    if (targets.empty()) return fail("no check list on screen");
    if (!targets.front()->TickRow(static_cast<int>(*number))) return fail("no such row");
  } else if (verb == "tick") {
    if (!number || *number < 0) return fail("tick needs milliseconds");
    platform::AdvanceClock(static_cast<int>(*number));
  } else if (verb == "wait") {
    if (!number || *number < 0) return fail("wait needs milliseconds");
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < *number)
      QCoreApplication::processEvents(QEventLoop::AllEvents,
                                      static_cast<int>(*number - clock.elapsed()));
    platform::AdvanceClock(static_cast<int>(*number));
  } else if (verb == "type") {
    QWidget* focus = QApplication::focusWidget();
    if (focus == nullptr) focus = app_.Screen()->focusWidget();
    const QString text = QString::fromStdString(rest);
    if (auto* edit = qobject_cast<QLineEdit*>(focus))
      edit->insert(text);
    else if (auto* note = dynamic_cast<NoteTextEdit*>(focus))
      note->InsertNoteText(text);
    else if (auto* rich = qobject_cast<QTextEdit*>(focus))
      rich->insertPlainText(text);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(focus))
      plain->insertPlainText(text);
    else
      return fail("no edit box has the focus");
  } else if (verb == "click") {
    const QString name = QString::fromStdString(rest);
    if (QWidget* w = FindWidget(app_, name)) {
      if (!w->isVisible() || !w->isEnabled()) return fail("control is hidden or disabled");
      if (auto* button = qobject_cast<QAbstractButton*>(w))
        button->click();
      else
        Tap(w, w->rect().center());
    } else if (QAction* a = FindAction(app_, name)) {
      if (!a->isEnabled()) return fail("command is disabled");
      a->trigger();
    } else {
      return fail("no control named " + rest);
    }
  } else if (verb == "set") {
    const auto sep = rest.find(' ');
    if (sep == std::string::npos) return fail("set needs a name and a value");
    QWidget* w = FindWidget(app_, QString::fromStdString(rest.substr(0, sep)));
    const QString value = QString::fromStdString(rest.substr(sep + 1));
    if (w == nullptr) return fail("no control named " + rest.substr(0, sep));
    bool ok = true;
    if (auto* button = qobject_cast<QAbstractButton*>(w); button && button->isCheckable())
      button->setChecked(value == QLatin1String("1") || value == QLatin1String("true") ||
                         value == QLatin1String("on"));
    else if (auto* edit = qobject_cast<QLineEdit*>(w))
      edit->setText(value);
    else if (auto* note = dynamic_cast<NoteTextEdit*>(w))
      note->SetNoteText(value);
    else if (auto* rich = qobject_cast<QTextEdit*>(w))
      rich->setPlainText(value);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(w))
      plain->setPlainText(value);
    else if (auto* combo = qobject_cast<QComboBox*>(w)) {
      const int index = value.toInt(&ok);
      if (ok && (index < 0 || index >= combo->count()))
        return fail("no entry " + rest.substr(sep + 1));
      combo->setCurrentIndex(index);
    } else if (auto* spin = qobject_cast<QSpinBox*>(w))
      spin->setValue(value.toInt(&ok));
    else if (auto* slider = qobject_cast<QAbstractSlider*>(w))
      slider->setValue(value.toInt(&ok));
    else
      return fail("this control takes no value");
    if (!ok) return fail("not a number");
  } else if (verb == "answer") {
    static const std::map<std::string, platform::MessageAnswer> kAnswers{
        {"yes", platform::MessageAnswer::kYes},
        {"no", platform::MessageAnswer::kNo},
        {"ok", platform::MessageAnswer::kOk},
        {"cancel", platform::MessageAnswer::kCancel}};
    const auto it = kAnswers.find(rest);
    if (it == kAnswers.end()) return fail("answer yes, no, ok or cancel");
    if (QDialog* d = platform::OpenDialog()) {
      if (rest == "ok")
        d->accept();
      else if (rest == "cancel")
        d->reject();
      else
        return fail("a dialog is open: answer ok or cancel");
    } else {
      platform::QueueAnswer(it->second);
    }
  } else if (verb == "choose") {
    if (!number || *number < 0) return fail("choose needs an item number");
    platform::QueueChoice(static_cast<int>(*number));
  } else if (verb == "dismiss-splash") {
    SplashView* splash = app_.Splash();
    if (splash == nullptr || !splash->Window()->isVisible() || !splash->Dismiss())
      return fail("the splash page is not shown");
  } else if (verb == "pen" || verb == "hold") {
    const auto sep = rest.find(' ');
    const auto x = Number(rest.substr(0, sep));
    const auto y = sep == std::string::npos ? std::nullopt : Number(rest.substr(sep + 1));
    if (!x || !y) return fail(verb + " needs X and Y");
    const QPoint at(static_cast<int>(*x), static_cast<int>(*y));
    platform::SetLastStylusPoint(at);
    platform::ScreenWindow* screen = app_.Screen();
    QWidget* target = platform::Capture();
    if (target == nullptr) target = screen->childAt(at);
    if (target == nullptr) target = screen;
    // A hold keeps the stylus down for one tick of the press timer.
    Tap(target, target->mapFrom(screen, at), verb == "hold" ? 100 : 0);
  } else if (verb == "measure") {
    const QString name = QString::fromStdString(rest);
    QWidget* screen = app_.Screen();
    std::vector<QWidget*> found;
    if (screen->objectName() == name) found.push_back(screen);
    for (QWidget* root : {static_cast<QWidget*>(platform::OpenDialog()), screen})
      if (root != nullptr)
        for (QWidget* w : root->findChildren<QWidget*>(name))
          if (w->isVisible() && std::find(found.begin(), found.end(), w) == found.end())
            found.push_back(w);
    if (found.empty()) return fail("no control named " + rest);
    json widgets = json::array();
    for (const QWidget* w : found) widgets.push_back(Measure(w, screen));
    out_ << json{{"measure", rest}, {"widgets", widgets}}.dump() << '\n' << std::flush;
  } else if (verb == "wait-search") {
    if (!number || *number < 0) return fail("wait-search needs milliseconds");
    if (!WaitSearch(app_, *number, error)) return false;
  } else if (verb == "key") {
    if (!SendKey(app_.Screen(), rest, error)) return false;
  } else if (verb == "grab") {
    if (!app_.Screen()->grab().save(QString::fromStdString(rest), "PNG"))
      return fail("cannot write " + rest);
  } else {
    return fail("unknown command");
  }
  QCoreApplication::processEvents();
  return true;
}

int ScriptRunner::Run(std::istream& in, std::ostream& err) {
  int status = 0;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line.front() == '#') continue;
    std::string error;
    if (!RunLine(line, error)) {
      err << "line " << number << ": " << error << ": " << line << '\n';
      status = 2;
    }
    if (platform::QuitPosted()) break;
  }
  return status;
}

}  // namespace vrok
