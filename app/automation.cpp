#include "app/automation.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAction>
#include <QApplication>
#include <QClipboard>
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

#include "app/automation_a11y.h"
#include "app/automation_key.h"
#include "app/automation_search.h"
#include "app/automation_user_data.h"
#include "app/automation_theme.h"
#include "app/automation_window.h"
#include "app/command_bar.h"
#include "app/page_print.h"
#include "app/reader_app.h"
#include "app/shell_view.h"
#include "app/splash_view.h"
#include "app/tab_bar.h"
#include "content/hex.h"
#include "content/utf8.h"
#include "frame/main_window.h"
#include "frame/popup.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/environment.h"
#include "platform/qt/screen_window.h"
#include "platform/qt/timer.h"
#include "views/userdata/note_text_edit.h"
#include "widgets/picture_button.h"
#include "widgets/screen_report.h"
#include "widgets/synthetic_input.h"

namespace vrok {

using nlohmann::json;

namespace {

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
  // The pop-up open now is the topmost viewer.
  if (QWidget* p = PopupHtmlDialog::Shown()) roots.push_back(p);
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

json ScreenReport(ReaderApp& app) {
  MainWindow& main = *app.Main();
  CommandBar& bar = app.Shell()->Commands();
  json report;
  report["title"] = ToUtf8(main.Title());
  report["page"] = main.CurrentPage();
  report["page_data"] = ToHex(main.CurrentData());
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
    messages.push_back({{"text", ToUtf8(m.text)},
                        {"caption", ToUtf8(m.caption)},
                        {"icon", platform::IconName(m.icon)},
                        {"answer", platform::AnswerName(m.answer)}});
  report["messages"] = std::move(messages);
  json entries = json::array();
  for (const auto& e : app.History().Entries())
    entries.push_back({{"page", e.page}, {"title", ToUtf8(e.title)}, {"data", ToHex(e.data)}});
  report["history"] = {{"position", app.History().CurrentPosition()}, {"entries", entries}};
  const PopupHtmlDialog* popup = PopupHtmlDialog::Shown();
  report["popup"] = popup != nullptr ? popup->Report() : json(nullptr);
  ReportWindow(app, report);
  return report;
}

namespace {

bool RunDump(Script& s, const std::string& /*verb*/, const std::string& /*rest*/) {
  s.out << ScreenReport(s.app).dump() << '\n' << std::flush;
  return true;
}

bool RunNavigate(Script& s, const std::string& /*verb*/, const std::string& rest) {
  MainWindow& main = *s.app.Main();
  const auto sep = rest.find(' ');
  const std::string page = rest.substr(0, sep);
  if (page.empty()) return s.Fail("navigate needs a page");
  const auto id = Number(page);
  if (id && (*id < 0 || *id > 0xFFFFFFFFLL)) return s.Fail("page id out of range");
  const PageId target =
      id ? static_cast<PageId>(*id) : s.app.Names()[platform::FromQ(QString::fromStdString(page))];
  if (sep == std::string::npos) {
    main.Navigate(target, nullptr, 0, true);
  } else {
    // A zero-terminated wide text, as a link anchor is passed.
    std::u16string text = platform::FromQ(QString::fromStdString(rest.substr(sep + 1)));
    text.push_back(u'\0');
    main.Navigate(target, reinterpret_cast<const std::uint8_t*>(text.data()),
                  static_cast<std::uint32_t>(text.size() * 2), true);
  }
  return true;
}

bool RunCommand(Script& s, const std::string& /*verb*/, const std::string& rest) {
  const auto number = Number(rest);
  if (!number) return s.Fail("command needs a number");
  const int id = static_cast<int>(*number);
  ShellView& shell = *s.app.Shell();
  if (!shell.Available(id)) return s.Fail("command not available");
  if (!shell.Commands().Dispatch(id)) {
    bool handled = false;
    for (CommandTarget* t : Targets<CommandTarget>(s.app))
      if ((handled = t->OnCommand(id))) break;
    if (!handled) return s.Fail("no control on screen handles this command");
  }
  return true;
}

bool RunTapLink(Script& s, const std::string& /*verb*/, const std::string& rest) {
  const auto targets = Targets<LinkTarget>(s.app);
  if (targets.empty()) return s.Fail("no HTML viewer on screen");
  if (!targets.front()->TapLink(platform::FromQ(QString::fromStdString(rest))))
    return s.Fail("no such link");
  return true;
}

bool RunTapTab(Script& s, const std::string& /*verb*/, const std::string& rest) {
  const auto number = Number(rest);
  TabBar& tabs = *s.app.Tabs();
  if (!number || *number < 0 || *number > 2) return s.Fail("tap-tab needs 0, 1 or 2");
  if (!tabs.Strip()->isVisible()) return s.Fail("the tab strip is not shown");
  tabs.Button(static_cast<int>(*number))->click();
  return true;
}

bool RunTapOrHoldRow(Script& s, const std::string& verb, const std::string& rest) {
  const auto number = Number(rest);
  if (!number) return s.Fail(verb + " needs a row number");
  const auto targets = Targets<RowTarget>(s.app);
  if (targets.empty()) return s.Fail("no list on screen");
  const int row = static_cast<int>(*number);
  const bool ok = verb == "tap-row" ? targets.front()->TapRow(row) : targets.front()->HoldRow(row);
  if (!ok) return s.Fail("no such row");
  return true;
}

bool RunTickRow(Script& s, const std::string& /*verb*/, const std::string& rest) {
  const auto number = Number(rest);
  if (!number) return s.Fail("tick-row needs a row number");
  const auto targets = Targets<CheckTarget>(s.app);
  if (targets.empty()) return s.Fail("no check list on screen");
  if (!targets.front()->TickRow(static_cast<int>(*number))) return s.Fail("no such row");
  return true;
}

bool RunTick(Script& s, const std::string& /*verb*/, const std::string& rest) {
  const auto number = Number(rest);
  if (!number || *number < 0) return s.Fail("tick needs milliseconds");
  platform::AdvanceClock(static_cast<int>(*number));
  return true;
}

bool RunWait(Script& s, const std::string& /*verb*/, const std::string& rest) {
  const auto number = Number(rest);
  if (!number || *number < 0) return s.Fail("wait needs milliseconds");
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < *number)
    QCoreApplication::processEvents(QEventLoop::AllEvents,
                                    static_cast<int>(*number - clock.elapsed()));
  platform::AdvanceClock(static_cast<int>(*number));
  return true;
}

bool RunType(Script& s, const std::string& /*verb*/, const std::string& rest) {
  QWidget* focus = QApplication::focusWidget();
  if (focus == nullptr) focus = s.app.Screen()->focusWidget();
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
    return s.Fail("no edit box has the focus");
  return true;
}

bool RunClick(Script& s, const std::string& /*verb*/, const std::string& rest) {
  const QString name = QString::fromStdString(rest);
  if (QWidget* w = FindWidget(s.app, name)) {
    if (!w->isVisible() || !w->isEnabled()) return s.Fail("control is hidden or disabled");
    if (auto* button = qobject_cast<QAbstractButton*>(w))
      button->click();
    else
      Tap(w, w->rect().center());
  } else if (QAction* a = FindAction(s.app, name)) {
    if (!a->isEnabled()) return s.Fail("command is disabled");
    a->trigger();
  } else {
    return s.Fail("no control named " + rest);
  }
  return true;
}

bool RunSet(Script& s, const std::string& /*verb*/, const std::string& rest) {
  const auto sep = rest.find(' ');
  if (sep == std::string::npos) return s.Fail("set needs a name and a value");
  QWidget* w = FindWidget(s.app, QString::fromStdString(rest.substr(0, sep)));
  const QString value = QString::fromStdString(rest.substr(sep + 1));
  if (w == nullptr) return s.Fail("no control named " + rest.substr(0, sep));
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
      return s.Fail("no entry " + rest.substr(sep + 1));
    combo->setCurrentIndex(index);
  } else if (auto* spin = qobject_cast<QSpinBox*>(w))
    spin->setValue(value.toInt(&ok));
  else if (auto* slider = qobject_cast<QAbstractSlider*>(w))
    slider->setValue(value.toInt(&ok));
  else
    return s.Fail("this control takes no value");
  if (!ok) return s.Fail("not a number");
  return true;
}

bool RunAnswer(Script& s, const std::string& /*verb*/, const std::string& rest) {
  static const std::map<std::string, platform::MessageAnswer> kAnswers{
      {"yes", platform::MessageAnswer::kYes},
      {"no", platform::MessageAnswer::kNo},
      {"ok", platform::MessageAnswer::kOk},
      {"cancel", platform::MessageAnswer::kCancel}};
  const auto it = kAnswers.find(rest);
  if (it == kAnswers.end()) return s.Fail("answer yes, no, ok or cancel");
  if (QDialog* d = platform::OpenDialog()) {
    if (rest == "ok")
      d->accept();
    else if (rest == "cancel")
      d->reject();
    else
      return s.Fail("a dialog is open: answer ok or cancel");
  } else {
    platform::QueueAnswer(it->second);
  }
  return true;
}

bool RunChoose(Script& s, const std::string& /*verb*/, const std::string& rest) {
  const auto number = Number(rest);
  if (!number || *number < 0) return s.Fail("choose needs an item number");
  platform::QueueChoice(static_cast<int>(*number));
  return true;
}

bool RunDismissSplash(Script& s, const std::string& /*verb*/, const std::string& /*rest*/) {
  SplashView* splash = s.app.Splash();
  if (splash == nullptr || !splash->Window()->isVisible() || !splash->Dismiss())
    return s.Fail("the splash page is not shown");
  return true;
}

bool RunPenOrHold(Script& s, const std::string& verb, const std::string& rest) {
  const auto sep = rest.find(' ');
  const auto x = Number(rest.substr(0, sep));
  const auto y = sep == std::string::npos ? std::nullopt : Number(rest.substr(sep + 1));
  if (!x || !y) return s.Fail(verb + " needs X and Y");
  const QPoint at(static_cast<int>(*x), static_cast<int>(*y));
  platform::SetLastStylusPoint(at);
  platform::ScreenWindow* screen = s.app.Screen();
  QWidget* target = platform::Capture();
  if (target == nullptr) target = screen->childAt(at);
  if (target == nullptr) target = screen;
  // A hold keeps the stylus down for one tick of the press timer.
  Tap(target, target->mapFrom(screen, at), verb == "hold" ? kHoldDelayMs : 0);
  return true;
}

bool RunMeasure(Script& s, const std::string& /*verb*/, const std::string& rest) {
  const QString name = QString::fromStdString(rest);
  QWidget* screen = s.app.Screen();
  std::vector<QWidget*> found;
  if (screen->objectName() == name) found.push_back(screen);
  for (QWidget* root : {static_cast<QWidget*>(platform::OpenDialog()), screen})
    if (root != nullptr)
      for (QWidget* w : root->findChildren<QWidget*>(name))
        if (w->isVisible() && std::find(found.begin(), found.end(), w) == found.end())
          found.push_back(w);
  if (found.empty()) return s.Fail("no control named " + rest);
  json widgets = json::array();
  for (const QWidget* w : found) widgets.push_back(Measure(w, screen));
  s.out << json{{"measure", rest}, {"widgets", widgets}}.dump() << '\n' << std::flush;
  return true;
}

bool RunGrab(Script& s, const std::string& /*verb*/, const std::string& rest) {
  if (!s.app.Screen()->grab().save(QString::fromStdString(rest), "PNG"))
    return s.Fail("cannot write " + rest);
  return true;
}

bool RunPrintPdf(Script& s, const std::string& /*verb*/, const std::string& rest) {
  return RunPrintCommand(s.app, rest, s.error);
}

bool RunClipboard(Script& s, const std::string& /*verb*/, const std::string& /*rest*/) {
  s.out << json{{"clipboard", QGuiApplication::clipboard()->text().toStdString()}}.dump() << '\n'
        << std::flush;
  return true;
}

bool RunUserData(Script& s, const std::string& verb, const std::string& rest) {
  return RunUserDataCommand(*s.app.Shell(), verb, rest, s.error);
}

bool RunWaitSearch(Script& s, const std::string& /*verb*/, const std::string& rest) {
  const auto number = Number(rest);
  if (!number || *number < 0) return s.Fail("wait-search needs milliseconds");
  return WaitSearch(s.app, *number, s.error);
}

bool RunKey(Script& s, const std::string& /*verb*/, const std::string& rest) {
  return SendKey(s.app.Screen(), rest, s.error);
}

// The script commands, by their first word.
const std::map<std::string_view, ScriptCommand>& Commands() {
  static const std::map<std::string_view, ScriptCommand> kCommands{
      {"dump", RunDump},
      {"navigate", RunNavigate},
      {"command", RunCommand},
      {"tap-link", RunTapLink},
      {"tap-tab", RunTapTab},
      {"tap-row", RunTapOrHoldRow},
      {"hold-row", RunTapOrHoldRow},
      {"tick-row", RunTickRow},
      {"tick", RunTick},
      {"wait", RunWait},
      {"type", RunType},
      {"click", RunClick},
      {"set", RunSet},
      {"answer", RunAnswer},
      {"choose", RunChoose},
      {"dismiss-splash", RunDismissSplash},
      {"pen", RunPenOrHold},
      {"hold", RunPenOrHold},
      {"measure", RunMeasure},
      {"grab", RunGrab},
      {"print-pdf", RunPrintPdf},
      {"clipboard", RunClipboard},
      {"export", RunUserData},
      {"export-html", RunUserData},
      {"import", RunUserData},
      {"wait-search", RunWaitSearch},
      {"key", RunKey},
      {"focus", RunFocus},
      {"accessible", RunAccessible},
      {"window", RunWindowCommand},
      {"theme", RunThemeCommand},
  };
  return kCommands;
}

}  // namespace

bool ScriptRunner::RunLine(const std::string& line, std::string& error) {
  const auto space = line.find(' ');
  const std::string verb = line.substr(0, space);
  const std::string rest = space == std::string::npos ? std::string() : line.substr(space + 1);
  const auto it = Commands().find(verb);
  if (it == Commands().end()) {
    error = "unknown command";
    return false;
  }
  Script script{app_, out_, error};
  if (!it->second(script, verb, rest)) return false;
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
