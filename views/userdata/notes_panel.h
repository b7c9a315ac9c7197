#pragma once
// The notes screen: one overlay over the page area that is either the list
// of notes (check list 254, delete button 41) or the editor of one note
// (the label "Title:", a one-line title box and a multi-line text box,
// both id 44, Cancel 40 and Save 43).
//
// The editor is opened for a page (heading "Add Note", or "Edit Note" with
// the page's note when it has one) or from the list (heading "Edit Note"); Save and
// Cancel go back where it was opened from. The input panel is put back as
// it was when the editor opened.

#include <QWidget>
#include <functional>
#include <optional>

#include "content/types.h"
#include "core/userdata/note_store.h"
#include "widgets/title_bar.h"

class QLineEdit;

namespace vrok {

class ButtonBar;
class NoteTextEdit;
class TickedList;
namespace platform {
class ScreenWindow;
}

class NotesPanel : public TitledPane {
 public:
  enum class Mode { kList, kEditor };
  static constexpr int kDeleteId = 41;
  static constexpr int kCancelId = 40;
  static constexpr int kSaveId = 43;
  static constexpr int kBoxId = 44;

  NotesPanel(QWidget* parent, NoteStore& store, platform::ScreenWindow& screen);

  // Called when an editor opened for a page closes: back to that page.
  void SetReturnListener(std::function<void()> toPage) { toPage_ = std::move(toPage); }

  // List mode with the heading "Notes", rebuilt from the store.
  void OpenList();
  // Editor mode for the page: "Edit Note" with its note, or "Add Note" with
  // empty boxes. Save and Cancel return to the page.
  void OpenEditor(RowIndex page);
  // Rebuilds the list from the store, nothing ticked.
  void Refresh();

  // Keeps the text typed in the editor and not saved as a draft that the
  // editor offers again after the next start (the reader is closing).
  void KeepDraft();

  Mode CurrentMode() const { return mode_; }
  void Report(nlohmann::json& pane) const override;

 protected:
  void showEvent(QShowEvent* event) override;
  void LayOutContent(QRect area) override;

 private:
  void ShowMode(Mode mode, std::u16string_view heading);
  void EditEntry(int position);
  void Save();
  void Cancel();
  void Leave();  // back to the list or the page
  void DeleteTicked(const std::vector<int>& positions);
  // Fills the boxes for page: the draft of an earlier run when it is for
  // this page, else the given title and text.
  void ForgetDraft();
  void LoadBoxes(RowIndex page, const std::u16string& title, const std::u16string& text);

  NoteStore& store_;
  platform::ScreenWindow& screen_;
  TickedList* list_ = nullptr;
  QWidget* editor_ = nullptr;
  QLineEdit* title_ = nullptr;
  NoteTextEdit* text_ = nullptr;
  Mode mode_ = Mode::kList;
  RowIndex page_ = 0;          // the page of the note being edited
  bool returnToList_ = false;  // the editor was opened from the list
  bool panelWasUp_ = false;    // the input panel when the editor opened
  std::function<void()> toPage_;
  // What the boxes held when the editor opened, to tell typed text.
  QString loadedTitle_;
  QString loadedText_;
  std::optional<Note> draft_;  // kept at the last close, until offered
  bool draftShown_ = false;    // the boxes hold the draft
};

}  // namespace vrok
