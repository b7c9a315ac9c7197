#include "views/userdata/notes_panel.h"

#include <QLabel>
#include <QLineEdit>

#include "core/userdata/note_store.h"
#include "core/userdata/store_messages.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/environment.h"
#include "platform/qt/screen_window.h"
#include "views/userdata/note_text_edit.h"
#include "widgets/artwork.h"
#include "widgets/button_bar.h"
#include "widgets/panel_style.h"
#include "widgets/picture_button.h"
#include "widgets/ticked_list.h"

namespace vrok {

namespace {

constexpr std::u16string_view kListHeading = u"Notes";
constexpr std::u16string_view kAddHeading = u"Add Note";
constexpr std::u16string_view kEditHeading = u"Edit Note";

// The editor's controls: "Title:" and the title box on the first line, the
// text box below, the buttons in a bar at the bottom.
class NoteEditor : public QWidget {
 public:
  explicit NoteEditor(QWidget* parent)
      : QWidget(parent),
        label(new QLabel(QStringLiteral("Title:"), this)),
        title(new QLineEdit(this)),
        text(new NoteTextEdit(this)),
        buttons(new ButtonBar(this)) {
    UseScreenFont(*this);
    UseWhiteBackground(*this);
  }

  QLabel* label;
  QLineEdit* title;
  NoteTextEdit* text;
  ButtonBar* buttons;

 protected:
  void resizeEvent(QResizeEvent*) override {
    const int m = platform::ScaleX(4);
    const int line = platform::ScaleY(22);
    const int labelW = platform::ScaleX(34);
    label->setGeometry(m, m, labelW, line);
    title->setGeometry(m + labelW, m, std::max(0, width() - 2 * m - labelW), line);
    const int barH = buttons->height();
    buttons->setGeometry(0, height() - barH, width() - m, barH);
    const int top = m + line + m;
    text->setGeometry(m, top, std::max(0, width() - 2 * m), std::max(0, height() - barH - top));
  }
};

// The saved note is the last entry; an Add that reports a failure may
// still have saved it (when only the earlier note could not be removed).
bool Saved(const NoteStore& store, std::u16string_view title, RowIndex page,
           std::u16string_view text) {
  const Note* last = store.Entry(store.Count() - 1);
  return last != nullptr && last->page == page && last->text == text &&
         std::u16string_view(last->title) == title.substr(0, last->title.size());
}

}  // namespace

NotesPanel::NotesPanel(QWidget* parent, NoteStore& store, platform::ScreenWindow& screen)
    : TitledPane(parent), store_(store), screen_(screen) {
  setObjectName(QStringLiteral("notes"));
  list_ = new TickedList(this, kDeleteId);
  list_->SetChosen([this](int position) { EditEntry(position); });
  list_->SetDelete([this](const std::vector<int>& positions) { DeleteTicked(positions); });

  auto* editor = new NoteEditor(this);
  editor_ = editor;
  title_ = editor->title;
  title_->setObjectName(QString::number(kBoxId));
  title_->setFrame(true);
  text_ = editor->text;
  text_->setObjectName(QString::number(kBoxId) + QStringLiteral("-text"));
  text_->setFrameShape(QFrame::Box);
  ButtonBar* buttons = editor->buttons;
  // From the right: Save, then Cancel to its left.
  buttons->AddButton(kSaveId, art::ButtonBitmap(art::kSave));
  buttons->AddButton(kCancelId, art::ButtonBitmap(art::kCancel));
  buttons->Button(kSaveId)->SetPressedPicture(
      art::LoadMaskedBitmap(art::ButtonBitmap(art::kSavePressed)));
  buttons->Button(kCancelId)->SetPressedPicture(
      art::LoadMaskedBitmap(art::ButtonBitmap(art::kCancelPressed)));
  buttons->SetListener([this](int id) {
    if (id == kSaveId) Save();
    if (id == kCancelId) Cancel();
  });

  CreateWithTitle(HeadingArgs(kListHeading));
  ShowMode(Mode::kList, kListHeading);
  hide();
  draft_ = store_.Draft();
}

void NotesPanel::KeepDraft() {
  if (mode_ != Mode::kEditor) return;
  if (title_->text() == loadedTitle_ && text_->NoteText() == loadedText_) return;
  store_.KeepDraft(platform::FromQ(title_->text()), page_, platform::FromQ(text_->NoteText()));
}

void NotesPanel::LoadBoxes(RowIndex page, const std::u16string& title, const std::u16string& text) {
  draftShown_ = draft_ && draft_->page == page;
  const Note given{title, page, text};
  const Note* shown = draftShown_ ? &*draft_ : &given;
  title_->setText(platform::ToQ(shown->title));
  text_->SetNoteText(platform::ToQ(shown->text));
  // A draft counts as typed: closing again keeps it.
  loadedTitle_ = draftShown_ ? QString() : title_->text();
  loadedText_ = draftShown_ ? QString() : text_->NoteText();
  if (draftShown_) {
    platform::ShowMessage(std::u16string(kNoteDraftBackMessage), std::u16string(kNotesCaption),
                          platform::MessageIcon::kInformation, platform::MessageButtons::kOk, this);
  }
}

void NotesPanel::LayOutContent(QRect area) {
  list_->setGeometry(area);
  editor_->setGeometry(area);
}

void NotesPanel::ShowMode(Mode mode, std::u16string_view heading) {
  mode_ = mode;
  CreateWithTitle(HeadingArgs(heading));
  list_->setVisible(mode == Mode::kList);
  editor_->setVisible(mode == Mode::kEditor);
  if (mode == Mode::kEditor && isVisible()) title_->setFocus();
}

void NotesPanel::showEvent(QShowEvent* event) {
  TitledPane::showEvent(event);
  if (mode_ == Mode::kEditor) title_->setFocus();
}

void NotesPanel::Refresh() {
  std::vector<std::u16string> titles;
  for (const Note& n : store_.Entries()) titles.push_back(n.title);
  list_->Fill(titles);
}

void NotesPanel::OpenList() {
  Refresh();
  ShowMode(Mode::kList, kListHeading);
}

void NotesPanel::OpenEditor(RowIndex page) {
  page_ = page;
  returnToList_ = false;
  panelWasUp_ = screen_.InputPanelOn();
  const Note* note = store_.Entry(store_.Find(page));
  // A page that has a note opens it for editing, and says so.
  ShowMode(Mode::kEditor, note != nullptr ? kEditHeading : kAddHeading);
  LoadBoxes(page, note != nullptr ? note->title : u"", note != nullptr ? note->text : u"");
}

void NotesPanel::EditEntry(int position) {
  const Note* note = store_.Entry(position);
  if (note == nullptr) return;
  if (!note->page) {
    // The note stays listed and stored; there is no page to file it under.
    platform::ShowMessage(std::u16string(kPageNotInEditionMessage), std::u16string(kNotesCaption),
                          platform::MessageIcon::kExclamation, platform::MessageButtons::kOk, this);
    return;
  }
  page_ = *note->page;
  returnToList_ = true;
  panelWasUp_ = screen_.InputPanelOn();
  const std::u16string title = note->title, text = note->text;
  screen_.ShowInputPanelOnRequest();
  ShowMode(Mode::kEditor, kEditHeading);
  LoadBoxes(page_, title, text);
}

void NotesPanel::Save() {
  const std::u16string title = platform::FromQ(title_->text());
  const QString typed = text_->NoteText();
  if (title.empty()) {
    platform::ShowMessage(std::u16string(kNoteTitleEmptyMessage), u"", platform::MessageIcon::kNone,
                          platform::MessageButtons::kOk, this);
    title_->setFocus();
    return;
  }
  if (store_.ReadOnly()) {
    // Stay in the editor so that what was typed is not lost.
    platform::ShowMessage(ReadOnlyMessage(store_.Records(), kNoteWords),
                          std::u16string(kNotesCaption), platform::MessageIcon::kExclamation,
                          platform::MessageButtons::kOk, this);
    return;
  }
  if (typed.size() > NoteTextEdit::kMaxLength) {
    // Stay in the editor with the text as it is.
    platform::ShowMessage(std::u16string(kNoteTooLongMessage), std::u16string(kNotesCaption),
                          platform::MessageIcon::kExclamation, platform::MessageButtons::kOk, this);
    return;
  }
  const std::u16string text = platform::FromQ(typed);
  // The store writes the new note before removing the page's earlier one.
  if (store_.Add(title, page_, text) != 0 && !Saved(store_, title, page_, text)) {
    // Stay in the editor so that what was typed is not lost.
    platform::ShowMessage(std::u16string(kNoteNotSavedMessage), std::u16string(kNotesCaption),
                          platform::MessageIcon::kExclamation, platform::MessageButtons::kOk, this);
    return;
  }
  ForgetDraft();
  screen_.SetInputPanel(panelWasUp_);
  Leave();
}

void NotesPanel::Cancel() {
  ForgetDraft();
  screen_.SetInputPanel(panelWasUp_);
  Leave();
}

void NotesPanel::ForgetDraft() {
  if (!draftShown_) return;
  // Offered, and saved or turned down.
  draft_.reset();
  draftShown_ = false;
  store_.DropDraft();
}

void NotesPanel::Leave() {
  if (returnToList_)
    OpenList();
  else if (toPage_)
    toPage_();
}

void NotesPanel::DeleteTicked(const std::vector<int>& positions) {
  if (positions.empty()) return;
  std::u16string failure;
  if (store_.ReadOnly()) {
    failure = ReadOnlyMessage(store_.Records(), kNoteWords);
  } else if (store_.Delete(positions) != 0) {  // highest record first; reloaded either way
    failure = NotDeletedMessage(kNoteWords, positions.size());
  }
  Refresh();
  if (!failure.empty()) {
    platform::ShowMessage(failure, std::u16string(kNotesCaption),
                          platform::MessageIcon::kExclamation, platform::MessageButtons::kOk, this);
  }
}

void NotesPanel::Report(nlohmann::json& pane) const {
  pane["kind"] = "NotesPanel";
  pane["mode"] = mode_ == Mode::kList ? "list" : "editor";
  pane["heading"] = Title().Text().toStdString();
  list_->ReportRows(pane);
  if (mode_ == Mode::kEditor) {
    pane["title"] = title_->text().toStdString();
    pane["text"] = text_->NoteText().toStdString();
  }
}

}  // namespace vrok
