#include "app/automation_key.h"

#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QWidget>

// QtGui's own entry for offering a key press to the shortcut map before
// delivering it, as the platform's key handling does (also used by QtTest).
Q_GUI_EXPORT bool qt_sendShortcutOverrideEvent(QObject* o, ulong timestamp, int k,
                                              Qt::KeyboardModifiers mods, const QString& text,
                                              bool autorep, ushort count);

namespace vrok {

namespace {

// The text a key press carries: printable keys without Ctrl, Alt or Meta.
QString TextOf(Qt::Key key, Qt::KeyboardModifiers modifiers) {
  if (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return {};
  if (key == Qt::Key_Return || key == Qt::Key_Enter) return QStringLiteral("\r");
  if (key == Qt::Key_Tab) return QStringLiteral("\t");
  if (key == Qt::Key_Escape) return QString(QChar(0x1B));
  if (key == Qt::Key_Backspace) return QString(QChar(0x08));
  if (key >= 0x20 && key <= 0x7E) {
    const QChar c(static_cast<char16_t>(key));
    return (modifiers & Qt::ShiftModifier) ? QString(c) : QString(c.toLower());
  }
  return {};
}

}  // namespace

bool SendKey(QWidget* fallback, const std::string& sequence, std::string& error) {
  const QKeySequence keys = QKeySequence::fromString(QString::fromStdString(sequence));
  if (sequence.empty() || keys.count() != 1 || keys[0].key() == Qt::Key_unknown) {
    error = "key needs one key, as in Ctrl+F";
    return false;
  }
  const QKeyCombination combination = keys[0];
  QWidget* target = QApplication::focusWidget();
  if (target == nullptr) target = fallback != nullptr ? fallback->focusWidget() : nullptr;
  if (target == nullptr) target = fallback;
  if (target == nullptr) {
    error = "no widget takes keys";
    return false;
  }
  const Qt::Key key = combination.key();
  const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
  const QString text = TextOf(key, modifiers);
  // A shortcut is tried first, as for a real key: the press is offered as
  // a shortcut override, then delivered.
  QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
  QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
  if (!qt_sendShortcutOverrideEvent(target, press.timestamp(), key, modifiers, text, false, 1))
    QApplication::sendEvent(target, &press);
  if (QApplication::focusWidget() != nullptr) target = QApplication::focusWidget();
  QApplication::sendEvent(target, &release);
  return true;
}

}  // namespace vrok
