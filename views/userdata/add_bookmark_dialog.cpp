#include "views/userdata/add_bookmark_dialog.h"

#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/qt/dialogs.h"
#include "platform/qt/environment.h"
#include "platform/qt/window_mode.h"
#include "widgets/panel_style.h"
#include "platform/qt/theme.h"

namespace vrok {

namespace {
int X(int n) { return platform::ScaleX(n); }
int Y(int n) { return platform::ScaleY(n); }
}  // namespace

AddBookmarkDialog::AddBookmarkDialog(QWidget* screen) : QDialog(screen) {
  // A child of the screen rather than a window of its own.
  setWindowFlags(Qt::Widget);
  setObjectName(QStringLiteral("1003"));
  setWindowTitle(QStringLiteral("Add bookmark"));
  UseWhiteBackground(*this);
  UseScreenFont(*this);

  caption_ = new QLabel(QStringLiteral(" Add bookmark"), this);
  caption_->setObjectName(QStringLiteral("caption"));
  caption_->setStyleSheet(platform::CaptionSheet());
  label_ = new QLabel(QStringLiteral("Title:"), this);
  title_ = new QLineEdit(this);
  title_->setObjectName(QString::number(kTitleId));
  title_->setFrame(true);
  save_ = new QPushButton(QStringLiteral("Save"), this);
  save_->setObjectName(QString::number(kSaveId));
  save_->setDefault(true);
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancel_->setObjectName(QString::number(kCancelId));
  connect(save_, &QPushButton::clicked, this, [this] { accept(); });
  connect(cancel_, &QPushButton::clicked, this, [this] { reject(); });
  // A rule under the dialog parts it from the page below.
  rule_ = new QFrame(this);
  rule_->setFrameShape(QFrame::HLine);
  LayOut(platform::ScreenMetrics().width);
  if (platform::DesktopMode()) screen->installEventFilter(this);
  hide();
}

void AddBookmarkDialog::LayOut(int width) {
  const int captionH = Y(26);
  caption_->setGeometry(0, 0, width, captionH);
  label_->setGeometry(X(6), captionH + Y(8), width - X(12), Y(16));
  title_->setGeometry(X(6), captionH + Y(26), width - X(12), Y(22));
  const int buttonsTop = captionH + Y(56);
  save_->setGeometry(width - X(6 + 60), buttonsTop, X(60), Y(24));
  cancel_->setGeometry(width - X(6 + 60 + 8 + 60), buttonsTop, X(60), Y(24));
  const int height = buttonsTop + Y(24 + 8);
  rule_->setGeometry(0, height - 2, width, 2);
  resize(width, height);
}

bool AddBookmarkDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parentWidget() && event->type() == QEvent::Resize)
    LayOut(parentWidget()->width());
  return QDialog::eventFilter(watched, event);
}

void AddBookmarkDialog::Run(std::function<void(std::optional<std::u16string>)> done) {
  done_ = std::move(done);
  title_->clear();
  move(0, 0);
  raise();
  platform::RunModal(*this);
}

void AddBookmarkDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  title_->setFocus();
}

void AddBookmarkDialog::accept() {
  if (title_->text().isEmpty()) {
    title_->setFocus();
    return;
  }
  QDialog::accept();
}

void AddBookmarkDialog::done(int result) {
  QDialog::done(result);
  std::optional<std::u16string> title;
  if (result == QDialog::Accepted) title = platform::FromQ(title_->text());
  if (done_) std::exchange(done_, nullptr)(std::move(title));
}

}  // namespace vrok
