#include "views/userdata/note_text_edit.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <vector>

#include "core/userdata/note_store.h"
#include "platform/qt/dialogs.h"

namespace vrok {

namespace {

constexpr int kContinues = QTextFormat::UserProperty + 1;

bool Continues(const QTextBlock& block) { return block.blockFormat().boolProperty(kContinues); }

QTextBlockFormat ContinuationFormat() {
  QTextBlockFormat format;
  format.setProperty(kContinues, true);
  return format;
}

// Where to end a piece of text[from, end) of at most limit characters: after
// the last space near the limit, so the break looks like a wrap; else at the
// limit, never between the halves of a surrogate pair.
qsizetype PieceEnd(const QString& text, qsizetype from, qsizetype end,
                   qsizetype limit = NoteTextEdit::kBlockLength) {
  if (end - from <= limit) return end;
  qsizetype cut = from + limit;
  for (qsizetype i = cut; i > cut - 256; --i)
    if (text[i - 1] == QLatin1Char(' ')) return i;
  if (text[cut - 1].isHighSurrogate()) --cut;
  return cut;
}

}  // namespace

NoteTextEdit::NoteTextEdit(QWidget* parent) : QPlainTextEdit(parent) {}

void NoteTextEdit::SetNoteText(const QString& text) {
  const bool undo = isUndoRedoEnabled();
  setUndoRedoEnabled(false);
  clear();
  QTextCursor cursor(document());
  cursor.beginEditBlock();
  InsertText(text);
  cursor.endEditBlock();
  setUndoRedoEnabled(undo);
  moveCursor(QTextCursor::Start);
}

void NoteTextEdit::InsertText(const QString& text) {
  QTextCursor cursor = textCursor();
  qsizetype from = 0;
  while (from <= text.size()) {
    qsizetype end = text.indexOf(QLatin1Char('\n'), from);
    if (end < 0) end = text.size();
    if (from > 0) cursor.insertBlock(QTextBlockFormat());
    for (qsizetype at = from; at < end;) {
      const qsizetype cut = PieceEnd(text, at, end);
      if (at > from) cursor.insertBlock(ContinuationFormat());
      cursor.insertText(text.mid(at, cut - at));
      at = cut;
    }
    from = end + 1;
  }
  setTextCursor(cursor);
}

QString NoteTextEdit::NoteText() const {
  const QString plain = document()->toPlainText();
  QString text;
  text.reserve(plain.size());
  qsizetype from = 0;
  for (QTextBlock b = document()->begin().next(); b.isValid(); b = b.next()) {
    if (!Continues(b)) continue;
    const qsizetype separator = b.position() - 1;  // the newline before the block
    text.append(QStringView(plain).mid(from, separator - from));
    from = separator + 1;
  }
  text.append(QStringView(plain).mid(from));
  return text;
}

void NoteTextEdit::keyPressEvent(QKeyEvent* event) {
  if (isReadOnly()) return QPlainTextEdit::keyPressEvent(event);
  // A typed line break starts a paragraph of its own; the widget would give
  // the new block the current block's format, continuation mark included.
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
      !(event->modifiers() & Qt::ShiftModifier)) {
    QTextCursor cursor = textCursor();
    cursor.insertBlock(QTextBlockFormat());
    setTextCursor(cursor);
    ensureCursorVisible();
    return;
  }
  if (event->text().isEmpty() || textCursor().block().text().size() < kBlockLength)
    return QPlainTextEdit::keyPressEvent(event);
  // The split and the typed text are one undo step: undo never brings back
  // a block longer than the limit.
  QTextCursor step(document());
  step.beginEditBlock();
  SplitCursorBlock();
  QPlainTextEdit::keyPressEvent(event);
  step.endEditBlock();
}

void NoteTextEdit::insertFromMimeData(const QMimeData* source) {
  if (source != nullptr && source->hasText() && !isReadOnly()) InsertNoteText(source->text());
}

bool NoteTextEdit::InsertNoteText(const QString& text) {
  const qsizetype kept = document()->characterCount() - 1 - textCursor().selectedText().size();
  if (text.size() > kMaxLength - kept) {
    platform::ShowMessage(std::u16string(kNoteTooLongMessage), std::u16string(kNotesCaption),
                          platform::MessageIcon::kExclamation, platform::MessageButtons::kOk, this);
    return false;
  }
  QTextCursor cursor = textCursor();
  cursor.beginEditBlock();
  cursor.removeSelectedText();
  setTextCursor(cursor);
  InsertText(text);
  cursor.endEditBlock();
  ensureCursorVisible();
  return true;
}

void NoteTextEdit::SplitCursorBlock() {
  const QTextBlock block = textCursor().block();
  const QString text = block.text();
  // Pieces half full, so that typing goes on a while before the next split;
  // all the cuts from one copy of the text, made from the last back so that
  // the earlier positions stay where they were.
  constexpr qsizetype kHalf = kBlockLength / 2;
  std::vector<qsizetype> cuts;
  for (qsizetype at = PieceEnd(text, 0, text.size(), kHalf); at < text.size();
       at = PieceEnd(text, at, text.size(), kHalf))
    cuts.push_back(at);
  QTextCursor cursor(document());
  for (auto cut = cuts.rbegin(); cut != cuts.rend(); ++cut) {
    cursor.setPosition(block.position() + static_cast<int>(*cut));
    cursor.insertBlock(ContinuationFormat());
  }
}

}  // namespace vrok
