#include "views/userdata/add_bookmark_dialog.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/qt/dialogs.h"
#include "platform/qt/environment.h"
#include "widgets/panel_style.h"

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

  const int width = platform::ScreenMetrics().width;
  const int captionH = Y(26);
  auto* caption = new QLabel(QStringLiteral(" Add bookmark"), this);
  caption->setObjectName(QStringLiteral("caption"));
  caption->setGeometry(0, 0, width, captionH);
  caption->setStyleSheet(
      QStringLiteral("background: rgb(24,52,110); color: white; font-weight: bold;"));

  auto* label = new QLabel(QStringLiteral("Title:"), this);
  label->setGeometry(X(6), captionH + Y(8), width - X(12), Y(16));
  title_ = new QLineEdit(this);
  title_->setObjectName(QString::number(kTitleId));
  title_->setFrame(true);
  title_->setGeometry(X(6), captionH + Y(26), width - X(12), Y(22));

  auto* save = new QPushButton(QStringLiteral("Save"), this);
  save->setObjectName(QString::number(kSaveId));
  save->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QString::number(kCancelId));
  const int buttonsTop = captionH + Y(56);
  save->setGeometry(width - X(6 + 60), buttonsTop, X(60), Y(24));
  cancel->setGeometry(width - X(6 + 60 + 8 + 60), buttonsTop, X(60), Y(24));
  connect(save, &QPushButton::clicked, this, [this] { accept(); });
  connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
  const int height = buttonsTop + Y(24 + 8);
  // A rule under the dialog parts it from the page below.
  auto* rule = new QFrame(this);
  rule->setFrameShape(QFrame::HLine);
  rule->setGeometry(0, height - 2, width, 2);
  resize(width, height);
  hide();
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
