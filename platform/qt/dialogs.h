#pragma once
// Message boxes, pop-up menus and modal dialogs. In an automated run
// (scripts, tests) nothing waits for a person: a message box takes the next
// queued answer (or its safe default), a pop-up menu the next queued choice
// (or none), and a modal dialog is opened without a nested loop and stays
// open until answered. Every message box shown is logged for the report.

#include <QPoint>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

class QDialog;
class QWidget;

namespace vrok::platform {

enum class MessageIcon { kNone, kStop, kExclamation, kQuestion, kInformation };
enum class MessageButtons { kOk, kOkCancel, kYesNo };
enum class MessageAnswer { kOk, kCancel, kYes, kNo };

struct MessageRecord {
  std::u16string text;
  std::u16string caption;
  MessageIcon icon = MessageIcon::kNone;
  MessageAnswer answer = MessageAnswer::kOk;
};

MessageAnswer ShowMessage(const std::u16string& text, const std::u16string& caption,
                          MessageIcon icon, MessageButtons buttons, QWidget* owner = nullptr);

const char* IconName(MessageIcon icon);
const char* AnswerName(MessageAnswer answer);

// Automation: answers for the next message boxes, choices for the next
// pop-up menus, and the log of message boxes since the last TakeMessages.
void QueueAnswer(MessageAnswer answer);
void QueueChoice(int item);
std::vector<MessageRecord> TakeMessages();
// Called for every message box as it is shown (start-up errors on stderr).
void SetMessageObserver(std::function<void(const MessageRecord&)> observer);
void ClearAutomationQueues();

// A pop-up menu at a point (global coordinates); the chosen item's index
// counted from 0 at the top, or -1 when nothing was chosen.
int TrackPopupMenu(const QStringList& items, QPoint anchor, QWidget* parent);

// Runs a dialog modally: exec() for a person, open() when automated. The
// dialog open now, if any, for "answer ok" and "answer cancel".
void RunModal(QDialog& dialog);
QDialog* OpenDialog();

}  // namespace vrok::platform
