#pragma once
// Questionnaires on screen: one question at a time with its answer
// controls, and a command bar of five buttons (1 Back, 2 Next, 3 Calculate,
// 4 Footnote, 5 Clear answers). A question's controls are built the first
// time it is shown and kept, with the answers in them, until the answers
// are cleared or a questionnaire is opened; the same question's controls
// are then emptied and shown again, not built anew. Scoring is the core's
// (tools/questionnaire.h); the widgets only hand it the answers.
//
// Controls are named q<question>g<group>c<control> by their indexes; a
// drop-down list, one per group, is q<question>g<group>.

#include <QAbstractButton>
#include <QScrollArea>
#include <map>
#include <string>
#include <vector>

#include "content/content_database.h"
#include "core/navigation/page_view.h"
#include "core/tools/questionnaire.h"
#include "frame/popup.h"
#include "platform/qt/fonts.h"
#include "widgets/rich_text.h"
#include "widgets/screen_report.h"

class QComboBox;
class QLineEdit;

namespace vrok {

class ButtonBar;
class MainWindow;

// The colour of a control that fails the answered test.
inline const QColor kFailingColour{197, 52, 41};

// A radio button or check box drawn by the program: the indicator, then
// the control's marked-up text wrapped beside it. A tap anywhere on it
// toggles it.
class ChoiceButton : public QAbstractButton {
 public:
  ChoiceButton(ControlKind kind, const std::u16string& text, const FontSpec& font, QWidget* parent);
  void SetTextColour(const QColor& colour);
  const QColor& TextColour() const { return colour_; }
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int IndicatorSize() const;
  int TextLeft() const;

  ControlKind kind_;
  WrappedText text_;
  int lineHeight_ = 0;
  QColor colour_ = Qt::black;
};

// The controls of one question: its text, then each group's caption and
// controls.
class QuestionPanel : public QWidget {
 public:
  // The question text goes to a rich-text window, which needs textFont.
  QuestionPanel(QWidget* parent, const QuestionRecord& question, const FontSpec* textFont);

  const QuestionRecord& Record() const { return record_; }
  QuestionAnswers Answers() const;
  // Empties every control and draws them all black, as when first built.
  void Reset();
  // Draws the controls that fail the answered test (FailingControls) and
  // the captions of their groups red, the others black.
  void Mark(const std::vector<std::vector<bool>>& failing);
  nlohmann::json ReportGroups() const;
  const RichTextWindow& QuestionText() const { return *text_; }

 private:
  struct Control {
    std::u16string text;                // plain
    QAbstractButton* button = nullptr;  // radio button, check box
    QLineEdit* box = nullptr;           // integer control
    RichTextWindow* label = nullptr;    // the integer box's label
    bool red = false;
  };
  struct Group {
    ControlKind kind = ControlKind::kRadio;
    std::u16string caption;  // plain
    RichTextWindow* captionWindow = nullptr;
    QComboBox* combo = nullptr;
    std::vector<Control> controls;
    bool red = false;
  };

  QuestionRecord record_;
  RichTextWindow* text_ = nullptr;
  std::vector<Group> groups_;
};

// The page window: the question on screen, scrolled when it is taller than
// the window. It keeps the panels of the questions visited. Panels whose
// answers were discarded, by Clear answers or by opening the same
// questionnaire again, are emptied and kept aside, hidden, to be shown
// again in place of building the same controls anew.
class QuestionnaireWindow : public QScrollArea, public ReportedPane {
 public:
  explicit QuestionnaireWindow(QWidget* parent);

  // Discards every panel's answers and takes the questionnaire (not owned;
  // it must stay until the next Load). The question text needs textFont.
  void Load(const Questionnaire* questionnaire, const FontSpec* textFont);
  int Current() const { return current_; }
  // Hides the question on screen and shows question index, building its
  // controls the first time; an index outside the questions shows nothing.
  void ShowQuestion(int index);
  // The controls after a question's own in Tab order (the command buttons,
  // left to right).
  void SetTabTail(std::vector<QWidget*> tail) { tabTail_ = std::move(tail); }
  // Null for a question never shown.
  QuestionPanel* Panel(int index) const;
  // The answers of every question visited.
  Answers CollectAnswers() const;
  // Empties the controls of every visited question, which count as never
  // visited, and shows the current one afresh.
  void ClearAnswers();

  void Report(nlohmann::json& pane) const override;

 private:
  // Empties the visited panels and sets them aside.
  void PutAside();

  const Questionnaire* questionnaire_ = nullptr;
  const FontSpec* textFont_ = nullptr;
  QWidget* page_ = nullptr;              // holds the panels
  std::map<int, QuestionPanel*> built_;  // the questions visited
  std::map<int, QuestionPanel*> aside_;  // emptied, hidden, not visited
  std::vector<QWidget*> tabTail_;
  int current_ = 0;
};

class QuestionnaireView : public PageView {
 public:
  enum Command : int { kBack = 1, kNext = 2, kCalculate = 3, kFootnote = 4, kClearAnswers = 5 };

  QuestionnaireView(MainWindow& main, const ContentDatabase& db);
  ~QuestionnaireView() override;

  // Takes every row of a "questionarie" table and opens that table.
  bool Accept(PageId page, const std::uint8_t* data, std::uint32_t length) override;
  void Show() override {}
  // The five commands; false for any other id.
  bool OnCommand(int commandId);

  const Questionnaire& Loaded() const { return questionnaire_; }
  QuestionnaireWindow& Window() {
    MakeWidgets();
    return *window_;
  }
  ButtonBar& Buttons() {
    MakeWidgets();
    return *buttons_;
  }
  FootnotePopup& Popup() { return popup_; }

 private:
  void MakeWidgets();
  // The answered test of one question: marks it and tells whether it passed.
  bool Test(int index, const Answers& answers);
  void Next();
  void Calculate();
  void Message(const std::u16string& text);
  QRect WindowRect() const;

  MainWindow& main_;
  const ContentDatabase& db_;
  platform::PageFontUse font_;
  FontSpec textFont_ = PageFontSpec();
  Questionnaire questionnaire_;
  QuestionnaireWindow* window_ = nullptr;
  ButtonBar* buttons_ = nullptr;
  FootnotePopup popup_;
};

}  // namespace vrok
