#include "app/settings_dialog.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include "app/theme_setting.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/environment.h"
#include "platform/qt/registry.h"
#include "platform/qt/screen_window.h"
#include "platform/qt/window_mode.h"
#include "widgets/title_bar.h"
#include "platform/qt/theme.h"

namespace vrok {

namespace {
// Dialog units of font 8 "System" in pixels at 96 dots per inch.
int DluX(int n) { return platform::ScaleX(n * 3 / 2); }
int DluY(int n) { return platform::ScaleY(n * 13 / 8); }
}  // namespace

SettingsDialog::SettingsDialog(QWidget* screen, PageNameMap& names, platform::Registry& registry)
    : QDialog(screen), names_(names), registry_(registry) {
  // A child of the screen rather than a window of its own (QDialog makes
  // itself a window unless told otherwise after construction).
  setWindowFlags(Qt::Widget);
  setObjectName(QStringLiteral("1004"));
  setWindowTitle(QStringLiteral("VROK Settings"));
  UseWhiteBackground(*this);

  // The caption row: title at the left, OK at the right.
  const int captionH = platform::ScaleY(26);
  auto* caption = caption_ = new QLabel(QStringLiteral(" VROK Settings"), this);
  caption->setObjectName(QStringLiteral("caption"));
  caption->setGeometry(0, 0, platform::ScreenMetrics().width, captionH);
  caption->setStyleSheet(platform::CaptionSheet(false));
  QFont bold = font();
  bold.setBold(true);
  caption->setFont(bold);
  auto* ok = ok_ = new QPushButton(QStringLiteral("ok"), this);
  ok->setObjectName(QStringLiteral("ok"));
  ok->setGeometry(platform::ScreenMetrics().width - platform::ScaleX(36), platform::ScaleY(3),
                  platform::ScaleX(32), captionH - platform::ScaleY(6));
  connect(ok, &QPushButton::clicked, this, [this] { accept(); });
  if (platform::DesktopMode()) screen->installEventFilter(this);

  auto* label = new QLabel(QStringLiteral("Default startup screen:"), this);
  label->setGeometry(DluX(6), captionH + DluY(14), DluX(76) + platform::ScaleX(30), DluY(8));
  const char* texts[3] = {"Index", "Contents", "Tools"};
  const int tops[3] = {26, 36, 48};
  const int widths[3] = {39, 66, 53};
  for (int i = 0; i < 3; ++i) {
    radios_[i] = new QRadioButton(QString::fromLatin1(texts[i]), this);
    radios_[i]->setObjectName(QString::number(2004 + i));
    radios_[i]->setGeometry(DluX(15), captionH + DluY(tops[i]),
                            DluX(widths[i]) + platform::ScaleX(20), DluY(10));
  }
  // The theme: a group of its own, so that its buttons exclude only each
  // other.
  auto* themeLabel = new QLabel(QStringLiteral("Theme:"), this);
  themeLabel->setGeometry(DluX(6), captionH + DluY(62), DluX(76) + platform::ScaleX(30), DluY(8));
  auto* themeGroup = new QWidget(this);
  themeGroup->setObjectName(QStringLiteral("theme"));
  themeGroup->setGeometry(DluX(15), captionH + DluY(74), DluX(100) + platform::ScaleX(40), DluY(32));
  const char* themeTexts[3] = {"Light", "Dark", "Same as the desktop"};
  const char* themeNames[3] = {"theme-light", "theme-dark", "theme-system"};
  for (int i = 0; i < 3; ++i) {
    themes_[i] = new QRadioButton(QString::fromLatin1(themeTexts[i]), themeGroup);
    themes_[i]->setObjectName(QString::fromLatin1(themeNames[i]));
    themes_[i]->setGeometry(0, DluY(11 * i), DluX(100) + platform::ScaleX(40), DluY(10));
  }
  hide();
}

void SettingsDialog::Run(std::function<void()> done) {
  done_ = std::move(done);
  Place();
  raise();
  platform::RunModal(*this);
}

void SettingsDialog::Place() {
  const auto* screen = static_cast<platform::ScreenWindow*>(parentWidget());
  const QRect desk = screen->VisibleDesktop();
  setGeometry(desk.adjusted(0, -desk.top(), 0, -platform::MenuBarHeight()));
}

void SettingsDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  // The caption spans the dialog, OK at its right end.
  const int captionH = platform::ScaleY(26);
  caption_->setGeometry(0, 0, width(), captionH);
  ok_->setGeometry(width() - platform::ScaleX(36), platform::ScaleY(3), platform::ScaleX(32),
                   captionH - platform::ScaleY(6));
}

bool SettingsDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parentWidget() && event->type() == QEvent::Resize && isVisible()) Place();
  return QDialog::eventFilter(watched, event);
}

void SettingsDialog::showEvent(QShowEvent* event) {
  // The value stored now decides the selection each time the dialog opens.
  if (registry_.CanOpen()) startTab_ = registry_.InitialTab().value_or(1);
  SelectStartTab();
  shownTheme_ = platform::CurrentThemeChoice();
  themes_[static_cast<int>(shownTheme_)]->setChecked(true);
  QDialog::showEvent(event);
}

void SettingsDialog::SelectStartTab() {
  for (QRadioButton* r : radios_) {
    r->setAutoExclusive(false);
    r->setChecked(false);
    r->setAutoExclusive(true);
  }
  if (startTab_ < 3) radios_[startTab_]->setChecked(true);
}

void SettingsDialog::accept() {
  static constexpr std::u16string_view kPages[3] = {pages::kIndex, pages::kContents, pages::kTools};
  for (std::uint32_t i = 0; i < 3; ++i) {
    if (radios_[i]->isChecked()) {
      names_[pages::kHome] = names_[kPages[i]];
      startTab_ = i;
    }
  }
  registry_.SetInitialTab(startTab_);  // a failure is silent
  for (const auto choice :
       {platform::ThemeChoice::kLight, platform::ThemeChoice::kDark, platform::ThemeChoice::kSystem}) {
    if (!themes_[static_cast<int>(choice)]->isChecked() || choice == shownTheme_) continue;
    RememberThemeChoice(registry_, choice);  // a failure is silent
    if (themeListener_) themeListener_(choice);
  }
  QDialog::accept();
}

void SettingsDialog::done(int result) {
  QDialog::done(result);
  if (done_) std::exchange(done_, nullptr)();
}

}  // namespace vrok
