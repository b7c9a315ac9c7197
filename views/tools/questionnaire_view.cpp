#include "views/tools/questionnaire_view.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <ctime>

#include "content/schema.h"
#include "content/utf8.h"
#include "core/pages/page_text.h"
#include "core/pages/titles.h"
#include "core/tools/score_summary.h"
#include "frame/footnotes_bar.h"
#include "frame/html_pane.h"
#include "frame/main_window.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/environment.h"
#include "platform/qt/screen_window.h"
#include "platform/qt/theme.h"
#include "widgets/artwork.h"
#include "widgets/button_bar.h"
#include "widgets/focus_ring.h"
#include "widgets/picture_button.h"
#include "widgets/title_bar.h"

namespace vrok {

namespace {

using platform::ScaleX;
using platform::ScaleY;
using platform::ToQ;

const QColor kIndicatorInk{51, 102, 153};

const char* KindName(ControlKind kind) {
  switch (kind) {
    case ControlKind::kRadio:
      return "radio button";
    case ControlKind::kCheck:
      return "check box";
    case ControlKind::kInteger:
      return "integer control";
    case ControlKind::kCombo:
      return "combo box";
  }
  return "";
}

}  // namespace

ChoiceButton::ChoiceButton(ControlKind kind, const std::u16string& text, const FontSpec& font,
                           QWidget* parent)
    : QAbstractButton(parent), kind_(kind) {
  setCheckable(true);
  setFocusPolicy(Qt::StrongFocus);
  setAccessibleName(ToQ(PlainTextOf(text)));
  text_.Set(text, font);
  lineHeight_ = QtMeasurer().LineHeight(font);
  QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
  policy.setHeightForWidth(true);
  setSizePolicy(policy);
}

int ChoiceButton::IndicatorSize() const { return ScaleX(13); }
int ChoiceButton::TextLeft() const { return IndicatorSize() + ScaleX(5); }

void ChoiceButton::SetTextColour(const QColor& colour) {
  colour_ = colour;
  update();
}

int ChoiceButton::heightForWidth(int width) const {
  const int text = std::max(lineHeight_, text_.HeightFor(std::max(1, width - TextLeft())));
  return text + 2 * ScaleY(2);
}

QSize ChoiceButton::sizeHint() const {
  const int w = parentWidget() != nullptr ? parentWidget()->width() : width();
  return QSize(w, heightForWidth(w));
}

void ChoiceButton::paintEvent(QPaintEvent*) {
  QPainter g(this);
  g.setRenderHint(QPainter::Antialiasing);
  const int pad = ScaleY(2);
  const int s = IndicatorSize();
  const QRectF box(0.5, pad + std::max(0, (lineHeight_ - s) / 2) + 0.5, s - 1, s - 1);
  // A failing control's indicator is framed in its text colour.
  g.setPen(QPen(platform::Themed(colour_ == QColor(Qt::black) ? QColor(90, 96, 110) : colour_), ScaleX(1)));
  g.setBrush(platform::Themed(isDown() ? QColor(220, 228, 240) : QColor(Qt::white)));
  if (kind_ == ControlKind::kRadio) {
    g.drawEllipse(box);
    if (isChecked()) {
      g.setPen(Qt::NoPen);
      g.setBrush(platform::Themed(kIndicatorInk));
      const qreal inset = s * 0.27;
      g.drawEllipse(box.adjusted(inset, inset, -inset, -inset));
    }
  } else {
    g.drawRect(box);
    if (isChecked()) {
      QPainterPath tick;
      tick.moveTo(box.left() + s * 0.2, box.top() + s * 0.5);
      tick.lineTo(box.left() + s * 0.42, box.top() + s * 0.72);
      tick.lineTo(box.left() + s * 0.8, box.top() + s * 0.25);
      g.setPen(QPen(platform::Themed(kIndicatorInk), ScaleX(2), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      g.setBrush(Qt::NoBrush);
      g.drawPath(tick);
    }
  }
  text_.Draw(g, QRect(TextLeft(), pad, width() - TextLeft(), height() - pad),
             platform::Themed(colour_));
  if (hasFocus()) DrawFocusRing(g, rect());
}

QuestionPanel::QuestionPanel(QWidget* parent, const QuestionRecord& question,
                             const FontSpec* textFont)
    : QWidget(parent), record_(question) {
  const FontSpec font = PageFontSpec();
  const QFont qfont = ToQFont(font);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(ScaleX(4), ScaleY(4), ScaleX(4), ScaleY(4));
  layout->setSpacing(ScaleY(1));

  text_ = new RichTextWindow(this);
  text_->setObjectName(QStringLiteral("question"));
  text_->SetText(question.text, textFont);
  layout->addWidget(text_);

  for (const ControlGroupRecord& record : question.groups) {
    layout->addSpacing(ScaleY(5));
    Group& group = groups_.emplace_back();
    group.kind = record.kind;
    group.caption = PlainTextOf(record.caption);
    if (!record.caption.empty()) {
      group.captionWindow = new RichTextWindow(this);
      group.captionWindow->SetText(record.caption, &font);
      layout->addWidget(group.captionWindow);
    }
    const QString name = QStringLiteral("q%1g%2").arg(question.index).arg(record.index);
    switch (record.kind) {
      case ControlKind::kRadio:
      case ControlKind::kCheck: {
        QButtonGroup* exclusive = nullptr;
        if (record.kind == ControlKind::kRadio) exclusive = new QButtonGroup(this);
        for (const ControlRecord& c : record.controls) {
          auto* button = new ChoiceButton(record.kind, c.text, font, this);
          button->setObjectName(name + QStringLiteral("c%1").arg(c.index));
          if (exclusive != nullptr) exclusive->addButton(button);
          layout->addWidget(button);
          group.controls.push_back({PlainTextOf(c.text), button});
        }
        break;
      }
      case ControlKind::kInteger:
        for (const ControlRecord& c : record.controls) {
          // A bordered box that takes digits only, and the control's text.
          auto* row = new QWidget(this);
          auto* line = new QHBoxLayout(row);
          line->setContentsMargins(0, ScaleY(1), 0, ScaleY(1));
          line->setSpacing(ScaleX(5));
          auto* box = new QLineEdit(row);
          box->setObjectName(name + QStringLiteral("c%1").arg(c.index));
          box->setFont(qfont);
          box->setValidator(
              new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), box));
          box->setFixedWidth(ScaleX(44));
          box->setAccessibleName(ToQ(PlainTextOf(c.text)));
          auto* label = new RichTextWindow(row);
          label->SetText(c.text, &font);
          line->addWidget(box, 0, Qt::AlignTop);
          line->addWidget(label, 1);
          layout->addWidget(row);
          Control& control = group.controls.emplace_back();
          control.text = PlainTextOf(c.text);
          control.box = box;
          control.label = label;
        }
        break;
      case ControlKind::kCombo: {
        group.combo = new QComboBox(this);
        group.combo->setObjectName(name);
        group.combo->setAccessibleName(record.caption.empty() ? QStringLiteral("Choice")
                                                              : ToQ(PlainTextOf(record.caption)));
        group.combo->setFont(qfont);
        group.combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        group.combo->setMinimumContentsLength(4);
        for (const ControlRecord& c : record.controls) {
          group.combo->addItem(ToQ(PlainTextOf(c.text)));
          group.controls.push_back({PlainTextOf(c.text)});
        }
        group.combo->setCurrentIndex(0);
        // The list drops down to 200 pixels at 96 dots per inch.
        group.combo->setMaxVisibleItems(std::max(1, group.combo->count()));
        group.combo->view()->parentWidget()->setMaximumHeight(ScaleY(200));
        layout->addWidget(group.combo);
        break;
      }
    }
  }
  layout->addStretch(1);
}

QuestionAnswers QuestionPanel::Answers() const {
  QuestionAnswers answers;
  for (const Group& group : groups_) {
    GroupAnswer& a = answers.emplace_back();
    for (std::size_t c = 0; c < group.controls.size(); ++c) {
      const Control& control = group.controls[c];
      switch (group.kind) {
        case ControlKind::kRadio:
          if (!a.chosen && control.button->isChecked()) a.chosen = static_cast<int>(c);
          break;
        case ControlKind::kCheck:
          a.checked.push_back(control.button->isChecked());
          break;
        case ControlKind::kInteger:
          a.numbers.push_back(platform::FromQ(control.box->text()));
          break;
        case ControlKind::kCombo:
          break;
      }
    }
    if (group.combo != nullptr) a.selected = group.combo->currentIndex();
  }
  return answers;
}

void QuestionPanel::Reset() {
  std::vector<std::vector<bool>> black;
  for (Group& group : groups_) {
    black.emplace_back(group.controls.size(), false);
    if (group.combo != nullptr) group.combo->setCurrentIndex(0);
    for (Control& control : group.controls) {
      if (control.button != nullptr) {
        // A radio group keeps one button checked while it is exclusive.
        QButtonGroup* exclusive = control.button->group();
        if (exclusive != nullptr) exclusive->setExclusive(false);
        control.button->setChecked(false);
        if (exclusive != nullptr) exclusive->setExclusive(true);
      }
      // Setting the text also forgets what Undo would bring back.
      if (control.box != nullptr) control.box->setText(QString());
    }
  }
  Mark(black);
}

void QuestionPanel::Mark(const std::vector<std::vector<bool>>& failing) {
  for (std::size_t g = 0; g < groups_.size() && g < failing.size(); ++g) {
    Group& group = groups_[g];
    group.red = false;
    for (std::size_t c = 0; c < group.controls.size() && c < failing[g].size(); ++c) {
      Control& control = group.controls[c];
      control.red = failing[g][c];
      group.red = group.red || control.red;
      const QColor colour = control.red ? kFailingColour : QColor(Qt::black);
      if (auto* choice = dynamic_cast<ChoiceButton*>(control.button)) choice->SetTextColour(colour);
      if (control.label != nullptr) control.label->SetTextColour(colour);
    }
    if (group.captionWindow != nullptr)
      group.captionWindow->SetTextColour(group.red ? kFailingColour : QColor(Qt::black));
  }
}

nlohmann::json QuestionPanel::ReportGroups() const {
  nlohmann::json groups = nlohmann::json::array();
  for (const Group& group : groups_) {
    nlohmann::json controls = nlohmann::json::array();
    for (std::size_t c = 0; c < group.controls.size(); ++c) {
      const Control& control = group.controls[c];
      nlohmann::json entry{{"text", ToUtf8(control.text)}, {"red", control.red}};
      if (control.button != nullptr) {
        entry["name"] = control.button->objectName().toStdString();
        entry["checked"] = control.button->isChecked();
      } else if (control.box != nullptr) {
        entry["name"] = control.box->objectName().toStdString();
        entry["value"] = control.box->text().toStdString();
      } else if (group.combo != nullptr) {
        entry["name"] = group.combo->objectName().toStdString();
        entry["selected"] = group.combo->currentIndex() == static_cast<int>(c);
      }
      controls.push_back(std::move(entry));
    }
    nlohmann::json entry{{"caption", ToUtf8(group.caption)},
                         {"kind", KindName(group.kind)},
                         {"red", group.red},
                         {"controls", std::move(controls)}};
    if (group.combo != nullptr) {
      entry["name"] = group.combo->objectName().toStdString();
      entry["selected"] = group.combo->currentIndex();
    }
    groups.push_back(std::move(entry));
  }
  return groups;
}

QuestionnaireWindow::QuestionnaireWindow(QWidget* parent) : QScrollArea(parent) {
  setObjectName(QStringLiteral("questionnaire"));
  // Its controls are the program's own, named and placed by it.
  setProperty("own-controls", true);
  setAccessibleName(QStringLiteral("Questionnaire"));
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setWidgetResizable(true);
  setFocusPolicy(Qt::StrongFocus);
  page_ = new QWidget;
  page_->setObjectName(QStringLiteral("questionnaire-page"));
  auto* layout = new QVBoxLayout(page_);
  layout->setContentsMargins(0, 0, 0, 0);
  setWidget(page_);
  UseWhiteBackground(*this);
  UseWhiteBackground(*viewport());
  UseWhiteBackground(*page_);
  hide();
}

void QuestionnaireWindow::PutAside() {
  for (auto& [index, panel] : built_) {
    // As with a panel destroyed, the focus goes nowhere rather than on to
    // the next control, so that the page puts it where a new page would.
    if (QWidget* focus = QApplication::focusWidget();
        focus != nullptr && panel->isAncestorOf(focus))
      focus->clearFocus();
    panel->hide();
    panel->Reset();
    aside_[index] = panel;
  }
  built_.clear();
}

void QuestionnaireWindow::Load(const Questionnaire* questionnaire, const FontSpec* textFont) {
  PutAside();
  // Only a panel built from the very same question, in the same font, is
  // kept for the new questionnaire.
  for (auto it = aside_.begin(); it != aside_.end();) {
    const bool same = questionnaire != nullptr && textFont == textFont_ &&
                      it->first < static_cast<int>(questionnaire->questions.size()) &&
                      it->second->Record() == questionnaire->questions[it->first];
    if (same) {
      ++it;
    } else {
      delete it->second;
      it = aside_.erase(it);
    }
  }
  questionnaire_ = questionnaire;
  textFont_ = textFont;
  current_ = 0;
}

QuestionPanel* QuestionnaireWindow::Panel(int index) const {
  const auto it = built_.find(index);
  return it == built_.end() ? nullptr : it->second;
}

void QuestionnaireWindow::ShowQuestion(int index) {
  if (QuestionPanel* shown = Panel(current_)) shown->hide();
  current_ = index;
  if (questionnaire_ == nullptr || index < 0 ||
      index >= static_cast<int>(questionnaire_->questions.size()))
    return;
  QuestionPanel* panel = Panel(index);
  if (panel == nullptr) {
    if (const auto it = aside_.find(index); it != aside_.end()) {
      panel = it->second;
      aside_.erase(it);
      built_[index] = panel;
    }
  }
  if (panel == nullptr) {
    panel = new QuestionPanel(page_, questionnaire_->questions[index], textFont_);
    page_->layout()->addWidget(panel);
    built_[index] = panel;
    // At the width the page gives it, so that its controls are not first
    // wrapped at a new widget's default width.
    panel->resize(page_->width(), panel->height());
  }
  panel->show();
  verticalScrollBar()->setValue(0);
  // Tab goes through the question's controls, then on to the buttons.
  QWidget* last = nullptr;
  for (QWidget* w : panel->findChildren<QWidget*>())
    if (w->focusPolicy() & Qt::TabFocus) last = w;
  for (QWidget* next : tabTail_) {
    if (last != nullptr) QWidget::setTabOrder(last, next);
    last = next;
  }
}

Answers QuestionnaireWindow::CollectAnswers() const {
  Answers answers;
  for (const auto& [index, panel] : built_) answers[index] = panel->Answers();
  return answers;
}

void QuestionnaireWindow::ClearAnswers() {
  PutAside();
  ShowQuestion(current_);
}

void QuestionnaireWindow::Report(nlohmann::json& pane) const {
  pane["kind"] = "Questionnaire";
  const int count =
      questionnaire_ != nullptr ? static_cast<int>(questionnaire_->questions.size()) : 0;
  pane["questions"] = count;
  pane["current"] = current_;
  nlohmann::json visited = nlohmann::json::array();
  for (const auto& [index, panel] : built_) visited.push_back(index);
  pane["visited"] = std::move(visited);
  const bool shown = current_ >= 0 && current_ < count;
  pane["question"] = shown ? ToUtf8(PlainTextOf(questionnaire_->questions[current_].text)) : "";
  const QuestionPanel* panel = Panel(current_);
  pane["groups"] = panel != nullptr ? panel->ReportGroups() : nlohmann::json::array();
}

QuestionnaireView::QuestionnaireView(MainWindow& main, const ContentDatabase& db)
    : main_(main), db_(db), popup_(&main) {
  FollowLinksInMain(popup_, main);
}

void QuestionnaireView::MakeWidgets() {
  // Made when the view is first asked for them, not at start-up.
  if (window_ != nullptr) return;
  window_ = new QuestionnaireWindow(&main_);
  buttons_ = new ButtonBar(&main_);
  buttons_->setObjectName(QStringLiteral("questionnaire-buttons"));
  // Placed from the right edge: read from the left they are Back, Next,
  // Calculate, Footnote and Clear answers.
  buttons_->AddButton(kClearAnswers, art::ButtonBitmap(art::kClearAnswers));
  buttons_->AddButton(kFootnote, art::ButtonBitmap(art::kFootnotes));
  buttons_->AddButton(kCalculate, art::ButtonBitmap(art::kCalculate));
  buttons_->AddButton(kNext, art::ButtonBitmap(art::kQuestionNext));
  buttons_->AddButton(kBack, art::ButtonBitmap(art::kQuestionBack));
  buttons_->SetListener([this](int id) { OnCommand(id); });
  window_->SetTabTail({buttons_->Button(kBack), buttons_->Button(kNext), buttons_->Button(kCalculate),
                       buttons_->Button(kFootnote), buttons_->Button(kClearAnswers)});
  buttons_->hide();
}

QuestionnaireView::~QuestionnaireView() {
  delete window_;
  delete buttons_;
}

bool QuestionnaireView::Accept(PageId page, const std::uint8_t*, std::uint32_t) {
  if (page >= db_.RowCount() || !TableTypeIs(db_, page, u"questionarie")) return false;
  // A row inside the table opens the whole questionnaire.
  const RowIndex table = FieldIs(db_, page, names::kTable) ? page : TableRowOf(db_, page);
  questionnaire_ = LoadQuestionnaire(db_, table);
  MakeWidgets();
  window_->Load(&questionnaire_, font_.Added() ? &textFont_ : nullptr);
  window_->ShowQuestion(0);
  main_.AddPane(0, kSideFill, window_);
  main_.AddPane(0, kSideBottom, buttons_);
  buttons_->Button(kFootnote)->setEnabled(!questionnaire_.footnotes.empty());
  main_.SetTitle(ShownName(db_, table));
  return true;
}

bool QuestionnaireView::OnCommand(int commandId) {
  MakeWidgets();
  switch (commandId) {
    case kBack:
      if (window_->Current() > 0) window_->ShowQuestion(window_->Current() - 1);
      return true;
    case kNext:
      Next();
      return true;
    case kCalculate:
      Calculate();
      return true;
    case kFootnote: {
      if (questionnaire_.footnotes.empty()) return false;
      std::u16string text;
      for (const std::u16string& f : questionnaire_.footnotes) text += f + u"<BR>";
      const QRect over = WindowRect();
      popup_.Show(u"Footnote", text, over.topLeft(), over, FootnotePopup::Placement::kOverWindow);
      return true;
    }
    case kClearAnswers:
      window_->ClearAnswers();
      return true;
    default:
      return false;
  }
}

bool QuestionnaireView::Test(int index, const Answers& answers) {
  QuestionPanel* panel = window_->Panel(index);
  const auto it = answers.find(index);
  if (panel == nullptr || it == answers.end()) return true;  // never shown
  const auto failing = FailingControls(questionnaire_.questions[index], &it->second);
  panel->Mark(failing);
  for (const auto& group : failing)
    if (std::find(group.begin(), group.end(), true) != group.end()) return false;
  return true;
}

void QuestionnaireView::Next() {
  const int current = window_->Current();
  const int last = static_cast<int>(questionnaire_.questions.size()) - 1;
  if (current >= last) {
    Calculate();
    return;
  }
  if (Test(current, window_->CollectAnswers()))
    window_->ShowQuestion(current + 1);
  else
    Message(u"In order to go to the next question you have to fill all fields.");
}

void QuestionnaireView::Calculate() {
  const Answers answers = window_->CollectAnswers();
  const int count = static_cast<int>(questionnaire_.questions.size());
  const int current = window_->Current();
  // The answered test runs from the question on screen to the first that
  // fails, marking each question it tests.
  for (int k = 0; k < count; ++k)
    if (!Test((current + k) % count, answers)) break;
  const ScoreResult result = vrok::Calculate(questionnaire_, answers, current);
  if (!result.ok) {
    if (result.failing && *result.failing != current) window_->ShowQuestion(*result.failing);
    Message(u"In order to Calculate you have to answer all the questions.");
    return;
  }
  const QRect over = WindowRect();
  // The "Copy" button of the pop-up gives the result as one line of text.
  popup_.Dialog().SetCopyText(ScoreSummary(questionnaire_, TextOf(db_, questionnaire_.row), answers,
                                           result, LocalMinute(std::time(nullptr))));
  popup_.Show(u"Score", result.output, over.topLeft(), over, FootnotePopup::Placement::kOverWindow);
}

void QuestionnaireView::Message(const std::u16string& text) {
  // The input panel is out of the way while the message is up.
  platform::ScreenWindow& screen = main_.Screen();
  const bool panelWasOn = screen.InputPanelOn();
  screen.SetInputPanel(false);
  platform::ShowMessage(text, platform::LoadString(platform::kStrAppCaption),
                        platform::MessageIcon::kStop, platform::MessageButtons::kOk, window_);
  screen.SetInputPanel(panelWasOn);
  window_->setFocus();
}

QRect QuestionnaireView::WindowRect() const {
  return QRect(window_->mapTo(&main_, QPoint(0, 0)), window_->size());
}

}  // namespace vrok
