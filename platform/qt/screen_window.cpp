#include "platform/qt/screen_window.h"

#include <QLabel>
#include <QPainter>
#include <QToolButton>

#include "platform/qt/environment.h"
#include "platform/qt/screen_style.h"
#include "platform/qt/window_mode.h"
#include "platform/qt/theme.h"

namespace vrok::platform {

namespace {
// The input panel: a keyboard drawn for show; typing goes to the focused
// box through the desktop keyboard.
class InputPanelStrip : public QWidget {
 public:
  explicit InputPanelStrip(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("input-panel-strip"));
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter g(this);
    g.fillRect(rect(), Themed(QColor(200, 200, 200)));
    const int rows = 4;
    const int keyH = height() / rows;
    static const int kKeys[rows] = {12, 11, 10, 6};
    g.setPen(Themed(QColor(120, 120, 120)));
    g.setBrush(Themed(QColor(240, 240, 240)));
    for (int r = 0; r < rows; ++r) {
      const int keyW = width() / kKeys[r];
      const int indent = (width() - keyW * kKeys[r]) / 2;
      for (int k = 0; k < kKeys[r]; ++k)
        g.drawRoundedRect(indent + k * keyW + 1, r * keyH + 1, keyW - 3, keyH - 3, 2, 2);
    }
  }
};
}  // namespace

ScreenWindow::ScreenWindow() {
  UseScreenMetrics();
  const Screen& s = ScreenMetrics();
  setObjectName(QStringLiteral("screen"));
  if (DesktopMode()) {
    // Small enough for a narrow window, large enough for the page's panes.
    setMinimumSize(240, 320);
    resize(s.width, s.height);
  } else {
    setFixedSize(s.width, s.height);
  }
  setAutoFillBackground(true);

  strip_ = new QWidget(this);
  strip_->setObjectName(QStringLiteral("title-strip"));
  strip_->setAutoFillBackground(true);
  ApplyColours();
  title_ = new QLabel(strip_);
  QFont titleFont(QStringLiteral("DejaVu Sans"));
  titleFont.setPixelSize(ScaleY(13));
  titleFont.setBold(true);
  title_->setFont(titleFont);
  panelToggle_ = new QToolButton(strip_);
  panelToggle_->setObjectName(QStringLiteral("input-panel"));
  panelToggle_->setCheckable(true);
  panelToggle_->setText(QStringLiteral("\u2328"));
  panelToggle_->setToolTip(QStringLiteral("Input panel"));
  panelToggle_->setAutoRaise(true);
  panelToggle_->setFont(titleFont);
  QObject::connect(panelToggle_, &QToolButton::toggled, this,
                   [this](bool on) { SetInputPanel(on); });

  panel_ = new InputPanelStrip(this);
  panel_->hide();
  if (DesktopMode()) strip_->hide();
  Arrange();
}

void ScreenWindow::ApplyColours() {
  const Colours& colours = CurrentColours();
  QPalette pal = palette();
  pal.setColor(QPalette::Window, colours.page);
  setPalette(pal);
  QPalette stripPal = strip_->palette();
  stripPal.setColor(QPalette::Window, colours.strip);
  stripPal.setColor(QPalette::WindowText, colours.captionText);
  strip_->setPalette(stripPal);
  update();
}

int ScreenWindow::TitleStripHeight() const { return DesktopMode() ? 0 : ScaleY(26); }
int ScreenWindow::InputPanelHeight() const { return ScaleY(80); }

void ScreenWindow::SetMenuBar(QWidget* bar) {
  menuBar_ = bar;
  if (bar != nullptr) {
    bar->setParent(this);
    bar->show();
  }
  Arrange();
}

void ScreenWindow::SetTitle(const QString& title) {
  title_->setText(QStringLiteral(" ") + title);
  setWindowTitle(title);
}

void ScreenWindow::SetPageTitle(const QString& title) {
  // The desktop's own title bar names the page; the handheld's strip keeps
  // the program's title.
  if (DesktopMode() && !title.isEmpty()) setWindowTitle(title);
}

QString ScreenWindow::Title() const { return windowTitle(); }

QRect ScreenWindow::VisibleDesktop() const {
  const int top = TitleStripHeight();
  int bottom = height();
  if (panelOn_) bottom -= InputPanelHeight() + MenuBarHeight();
  return QRect(0, top, width(), bottom - top);
}

void ScreenWindow::SetInputPanel(bool on) {
  // The desktop's own input method serves; no panel is drawn.
  if (DesktopMode()) on = false;
  if (on == panelOn_) return;
  panelOn_ = on;
  {
    const QSignalBlocker block(panelToggle_);
    panelToggle_->setChecked(on);
  }
  Arrange();
  if (listener_) listener_();
}

void ScreenWindow::ShowInputPanelOnRequest() {
  SetInputPanel(static_cast<double>(height()) / static_cast<double>(width()) != 1.0);
}

void ScreenWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (DesktopMode()) {
    Screen& s = ScreenMetrics();
    s.width = width();
    s.height = height();
  }
  Arrange();
  if (DesktopMode() && resized_) resized_();
}

void ScreenWindow::Relayout() {
  Arrange();
  if (resized_) resized_();
}

void ScreenWindow::Arrange() {
  const int stripH = TitleStripHeight();
  strip_->setGeometry(0, 0, width(), stripH);
  panelToggle_->setGeometry(width() - stripH, 0, stripH, stripH);
  title_->setGeometry(0, 0, width() - stripH, stripH);
  const int menuH = MenuBarHeight();
  if (menuBar_ != nullptr) {
    menuBar_->setGeometry(0, height() - menuH, width(), menuH);
    menuBar_->raise();
  }
  panel_->setGeometry(0, height() - menuH - InputPanelHeight(), width(), InputPanelHeight());
  panel_->setVisible(panelOn_);
  if (panelOn_) panel_->raise();
}

}  // namespace vrok::platform
