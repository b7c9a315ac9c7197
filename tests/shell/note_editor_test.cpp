// The note editor's text box on long paragraphs and long words, alone and
// through the reader: the text comes back exactly as it was written.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QTextBlock>

#include "platform/qt/dialogs.h"
#include "platform/qt/environment.h"
#include "reader_fixture.h"
#include "shell_books.h"
#include "views/userdata/note_text_edit.h"

namespace vrok {
namespace {

using nlohmann::json;

int LongestBlock(const QTextDocument& doc) {
  int longest = 0;
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
    longest = std::max(longest, static_cast<int>(b.text().size()));
  return longest;
}

struct NoteEditTest : ::testing::Test {
  NoteEditTest() {
    platform::SetAutomated(true);
    edit.resize(232, 200);
    edit.show();
  }
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(&edit, &press);
    QCoreApplication::processEvents();
  }
  bool qt = (test::EnsureQtApp(), true);  // before the widget
  NoteTextEdit edit{nullptr};
};

TEST_F(NoteEditTest, LongParagraphsAreHeldInShortBlocksAndComeBackWhole) {
  // A long word, a long line of words, short lines, an empty line, and a
  // surrogate pair across the place a word would be cut.
  QString word(100000, QLatin1Char('x'));
  word[NoteTextEdit::kBlockLength - 1] = QChar(0xD83D);
  word[NoteTextEdit::kBlockLength] = QChar(0xDE00);
  QString words;
  for (int i = 0; i < 3000; ++i) words += QStringLiteral("word ");
  const QString text = word + u'\n' + words + QStringLiteral("\n\nlast line\n");
  edit.SetNoteText(text);
  EXPECT_EQ(edit.NoteText(), text);
  EXPECT_LE(LongestBlock(*edit.document()), NoteTextEdit::kBlockLength);
  EXPECT_GT(edit.document()->blockCount(), 100000 / NoteTextEdit::kBlockLength);
  // A line of words is cut after a space, so the break looks like a wrap.
  for (QTextBlock b = edit.document()->begin(); b.isValid(); b = b.next()) {
    if (b.text().startsWith(QStringLiteral("word")) && b.next().text().startsWith(u'w')) {
      EXPECT_TRUE(b.text().endsWith(u' ')) << b.text().right(8).toStdString();
    }
  }
  // No cut falls between the halves of a pair.
  for (QTextBlock b = edit.document()->begin(); b.isValid(); b = b.next())
    EXPECT_FALSE(!b.text().isEmpty() && b.text().back().isHighSurrogate());
}

TEST_F(NoteEditTest, TypedAndPastedLineBreaksStayInsideASplitParagraph) {
  const QString word(3 * NoteTextEdit::kBlockLength, QLatin1Char('y'));
  edit.SetNoteText(word);
  // Enter in the middle of a continued block is a real line break.
  QTextCursor c = edit.textCursor();
  c.setPosition(NoteTextEdit::kBlockLength + 10);
  edit.setTextCursor(c);
  Key(Qt::Key_Return);
  QString expected = word;
  expected.insert(NoteTextEdit::kBlockLength + 9, u'\n');
  EXPECT_EQ(edit.NoteText(), expected);
  // So are the line breaks of pasted text.
  QApplication::clipboard()->setText(QStringLiteral("a\nb"));
  edit.paste();
  QCoreApplication::processEvents();
  expected.insert(NoteTextEdit::kBlockLength + 10, QStringLiteral("a\nb"));
  EXPECT_EQ(edit.NoteText(), expected);
}

TEST_F(NoteEditTest, TypingPastTheLimitSplitsTheBlockAndUndoTakesBothBack) {
  const QString start(NoteTextEdit::kBlockLength - 2, QLatin1Char('z'));
  edit.SetNoteText(start);
  edit.moveCursor(QTextCursor::End);
  for (int i = 0; i < 5; ++i) Key(Qt::Key_Q, Qt::NoModifier, QStringLiteral("q"));
  EXPECT_EQ(edit.NoteText(), start + QStringLiteral("qqqqq"));
  EXPECT_EQ(edit.document()->blockCount(), 2);
  EXPECT_LE(LongestBlock(*edit.document()), NoteTextEdit::kBlockLength);
  // Undo steps back through what was typed; the split never shows as a
  // line break on the way.
  while (edit.document()->isUndoAvailable()) {
    edit.undo();
    const QString now = edit.NoteText();
    EXPECT_TRUE(now.startsWith(start) && now.count(u'q') == now.size() - start.size())
        << now.size();
    EXPECT_LE(LongestBlock(*edit.document()), NoteTextEdit::kBlockLength);
  }
  EXPECT_EQ(edit.NoteText(), start);
}

TEST_F(NoteEditTest, PastingBeyondTheLongestNoteIsRefused) {
  edit.SetNoteText(QStringLiteral("kept"));
  edit.moveCursor(QTextCursor::End);
  QApplication::clipboard()->setText(QString(NoteTextEdit::kMaxLength, QLatin1Char('p')));
  platform::TakeMessages();
  edit.paste();
  const auto messages = platform::TakeMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, kNoteTooLongMessage);
  EXPECT_EQ(edit.NoteText(), QStringLiteral("kept"));
}

// A note of one 1 MiB word saved and opened again through the reader.
TEST(NoteEditReaderTest, AOneMegabyteWordIsSavedAndReopenedWhole) {
  const Book book = test::ShellTestBook();
  test::ReaderFixture f{book, 1};
  ASSERT_TRUE(f.Start());
  const std::string word(std::size_t{1} << 20, 'm');
  auto r = f.Run("dismiss-splash\nnavigate " + std::to_string(test::RowOf(book, "asthma")) +
                 "\ncommand 40023\nset 44 Long\nset 44-text " + word +
                 "\nclick 43\ncommand 40024\ntap-row 0\ndump\n");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_TRUE(r[0]["messages"].empty()) << r[0]["messages"];
  const json& editor = r[0]["overlays"][0];
  EXPECT_EQ(editor["heading"], "Edit Note");
  EXPECT_EQ(editor["text"].get<std::string>(), word);
}

}  // namespace
}  // namespace vrok
