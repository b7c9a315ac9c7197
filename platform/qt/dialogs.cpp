#include "platform/qt/dialogs.h"

#include <QDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <deque>

#include "platform/qt/environment.h"

namespace vrok::platform {

namespace {
std::deque<MessageAnswer> answers;
std::deque<int> choices;
std::vector<MessageRecord> messages;
std::function<void(const MessageRecord&)> observer;
QPointer<QDialog> openDialog;

bool Fits(MessageAnswer a, MessageButtons b) {
  switch (b) {
    case MessageButtons::kOk:
      return a == MessageAnswer::kOk;
    case MessageButtons::kOkCancel:
      return a == MessageAnswer::kOk || a == MessageAnswer::kCancel;
    case MessageButtons::kYesNo:
      return a == MessageAnswer::kYes || a == MessageAnswer::kNo;
  }
  return false;
}

// The answer that changes nothing: No or Cancel, or OK when it is alone.
MessageAnswer SafeDefault(MessageButtons b) {
  switch (b) {
    case MessageButtons::kOkCancel:
      return MessageAnswer::kCancel;
    case MessageButtons::kYesNo:
      return MessageAnswer::kNo;
    case MessageButtons::kOk:
      break;
  }
  return MessageAnswer::kOk;
}

MessageAnswer AskPerson(const std::u16string& text, const std::u16string& caption, MessageIcon icon,
                        MessageButtons buttons, QWidget* owner) {
  QMessageBox box(owner);
  box.setWindowTitle(ToQ(caption));
  box.setText(ToQ(text));
  switch (icon) {
    case MessageIcon::kStop:
      box.setIcon(QMessageBox::Critical);
      break;
    case MessageIcon::kExclamation:
      box.setIcon(QMessageBox::Warning);
      break;
    case MessageIcon::kQuestion:
      box.setIcon(QMessageBox::Question);
      break;
    case MessageIcon::kInformation:
      box.setIcon(QMessageBox::Information);
      break;
    case MessageIcon::kNone:
      break;
  }
  switch (buttons) {
    case MessageButtons::kOk:
      box.setStandardButtons(QMessageBox::Ok);
      break;
    case MessageButtons::kOkCancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      break;
    case MessageButtons::kYesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      break;
  }
  switch (box.exec()) {
    case QMessageBox::Yes:
      return MessageAnswer::kYes;
    case QMessageBox::No:
      return MessageAnswer::kNo;
    case QMessageBox::Cancel:
      return MessageAnswer::kCancel;
    default:
      return buttons == MessageButtons::kOk ? MessageAnswer::kOk : SafeDefault(buttons);
  }
}
}  // namespace

MessageAnswer ShowMessage(const std::u16string& text, const std::u16string& caption,
                          MessageIcon icon, MessageButtons buttons, QWidget* owner) {
  MessageRecord record{text, caption, icon, SafeDefault(buttons)};
  if (Automated()) {
    if (!answers.empty()) {
      // An answer that does not fit the buttons counts as the safe one.
      if (Fits(answers.front(), buttons)) record.answer = answers.front();
      answers.pop_front();
    }
  } else {
    record.answer = AskPerson(text, caption, icon, buttons, owner);
  }
  messages.push_back(record);
  if (observer) observer(record);
  return record.answer;
}

const char* IconName(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kStop:
      return "stop";
    case MessageIcon::kExclamation:
      return "exclamation";
    case MessageIcon::kQuestion:
      return "question";
    case MessageIcon::kInformation:
      return "information";
    case MessageIcon::kNone:
      break;
  }
  return "none";
}

const char* AnswerName(MessageAnswer answer) {
  switch (answer) {
    case MessageAnswer::kOk:
      return "ok";
    case MessageAnswer::kCancel:
      return "cancel";
    case MessageAnswer::kYes:
      return "yes";
    case MessageAnswer::kNo:
      return "no";
  }
  return "ok";
}

void QueueAnswer(MessageAnswer answer) { answers.push_back(answer); }
void QueueChoice(int item) { choices.push_back(item); }
std::vector<MessageRecord> TakeMessages() { return std::exchange(messages, {}); }
void SetMessageObserver(std::function<void(const MessageRecord&)> o) { observer = std::move(o); }
void ClearAutomationQueues() {
  answers.clear();
  choices.clear();
  messages.clear();
}

int TrackPopupMenu(const QStringList& items, QPoint anchor, QWidget* parent) {
  if (Automated()) {
    if (choices.empty()) return -1;
    const int item = choices.front();
    choices.pop_front();
    return item >= 0 && item < items.size() ? item : -1;
  }
  QMenu menu(parent);
  for (const QString& text : items) menu.addAction(text);
  // Right- and bottom-aligned at the anchor: the menu opens above and to
  // the left of it.
  const QSize size = menu.sizeHint();
  const QAction* chosen = menu.exec(anchor - QPoint(size.width(), size.height()));
  return chosen == nullptr ? -1 : static_cast<int>(menu.actions().indexOf(chosen));
}

void RunModal(QDialog& dialog) {
  openDialog = &dialog;
  if (Automated())
    dialog.open();
  else
    dialog.exec();
}

QDialog* OpenDialog() {
  return openDialog != nullptr && openDialog->isVisible() ? openDialog.data() : nullptr;
}

}  // namespace vrok::platform
