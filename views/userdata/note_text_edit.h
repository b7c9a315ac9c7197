#pragma once
// The note editor's text box. A long paragraph (a pasted URL, a base64 blob,
// a stuck key) is held in blocks of at most kBlockLength characters, each
// continuation marked as such, so that the widget never lays out more than
// one such block for an edit: one huge block made every keystroke cost the
// whole paragraph, and a long word even its square. The marks are not part
// of the text: NoteText() joins the blocks back as they were typed.

#include <QPlainTextEdit>
#include <QString>
#include <string_view>

namespace vrok {

inline constexpr std::u16string_view kNoteTooLongMessage =
    u"This note is too long. A note can hold up to 16 million characters.";

class NoteTextEdit : public QPlainTextEdit {
 public:
  static constexpr int kBlockLength = 4096;
  // The most a note can hold, in 16-bit code units: far beyond any real note.
  static constexpr qsizetype kMaxLength = qsizetype{16} << 20;

  explicit NoteTextEdit(QWidget* parent);

  // Replaces the text, long paragraphs already split; no undo step.
  void SetNoteText(const QString& text);
  // Replaces the selection with text, as one undo step, long paragraphs
  // already split; false, with a message, when the note would grow past
  // kMaxLength.
  bool InsertNoteText(const QString& text);
  // The text as the user wrote it: newlines only where they typed them.
  QString NoteText() const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void insertFromMimeData(const QMimeData* source) override;

 private:
  // Inserts text at the cursor, its newlines as paragraph breaks.
  void InsertText(const QString& text);
  // Splits the cursor's block, grown to kBlockLength, into pieces of half
  // that, so that typing goes on in a short block.
  void SplitCursorBlock();
};

}  // namespace vrok
