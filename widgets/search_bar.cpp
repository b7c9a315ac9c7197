#include "widgets/search_bar.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>

#include "platform/qt/environment.h"
#include "platform/qt/theme.h"
#include "widgets/artwork.h"
#include "widgets/panel_style.h"
#include "widgets/picture_button.h"

namespace vrok {

namespace {
QPixmap FootnotesPicture() { return art::LoadBitmap(art::ButtonBitmap(art::kFootnotes)); }
}  // namespace

SearchBar::SearchBar(QWidget* parent) : TitledPane(parent) {
  setObjectName(QStringLiteral("search-bar"));
  UseScreenFont(*this);
  label_ = new QLabel(QStringLiteral("Search:"), this);
  label_->setObjectName(QString::number(kLabelId));
  label_->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
  label_->setContentsMargins(platform::ScaleX(3), 0, platform::ScaleX(2), 0);

  box_ = new QLineEdit(this);
  box_->setObjectName(QString::number(kBoxId));
  box_->setFrame(true);
  box_->setAccessibleName(QStringLiteral("Search"));
  box_->setToolTip(QStringLiteral("Search"));
  box_->installEventFilter(this);
  QObject::connect(box_, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (notify_ && listener_) listener_(platform::FromQ(text));
    PlaceHint();
  });
  QObject::connect(box_, &QLineEdit::returnPressed, this, [this] {
    if (enterListener_) enterListener_(platform::FromQ(box_->text()));
  });
  // The hint sits inside the box, after the text, and lets clicks through.
  hint_ = new QLabel(box_);
  hint_->setObjectName(QStringLiteral("search-hint"));
  hint_->setAttribute(Qt::WA_TransparentForMouseEvents);
  hint_->hide();

  button_ = new PictureButton(kButtonId, FootnotesPicture(), this);
  ApplyTheme();
  button_->SetName(QStringLiteral("Footnotes"));
  QObject::connect(button_, &QAbstractButton::clicked, this, [this] {
    if (buttonListener_) buttonListener_();
  });

  TitleArgs none;
  none.show = false;
  resize(width(), platform::MenuBarHeight());
  CreateWithTitle(none);
  hide();
}

void SearchBar::ApplyTheme() {
  // The hint keeps its own colour, whatever colour the box's text takes.
  hint_->setStyleSheet(QStringLiteral("color: %1; background: transparent;")
                           .arg(platform::CurrentColours().secondary.name()));
  button_->SetPicture(FootnotesPicture());
}

void SearchBar::Clear() {
  notify_ = false;
  box_->clear();
  notify_ = true;
  SetNoMatch(false);
}

void SearchBar::SetNoMatch(bool noMatch) {
  noMatch_ = noMatch;
  QPalette colours = box_->palette();
  colours.setColor(QPalette::Text, noMatch ? platform::Themed(kWarningColour) : palette().color(QPalette::Text));
  box_->setPalette(colours);
  PlaceHint();
}

// "no entry begins with ..." after the typed text, shortened to the room
// left in the box; hidden when there is no room at all.
void SearchBar::PlaceHint() {
  if (hint_ == nullptr) return;
  if (!noMatch_ || box_->text().isEmpty()) {
    hint_->hide();
    return;
  }
  const QFontMetrics metrics(box_->font());
  const QRect inside = box_->contentsRect();
  // QLineEdit keeps 2 pixels between its frame and the text.
  const int textEnd = inside.left() + 2 + metrics.horizontalAdvance(box_->text()) +
                      metrics.horizontalAdvance(QLatin1Char(' ')) * 2;
  const int room = inside.right() - textEnd - 2;
  const QString full = QStringLiteral("no entry begins with \u201C%1\u201D").arg(box_->text());
  const QString shown = metrics.elidedText(full, Qt::ElideRight, room);
  if (room < metrics.horizontalAdvance(QStringLiteral("no en\u2026")) || shown.isEmpty()) {
    hint_->hide();
    return;
  }
  hint_->setFont(box_->font());
  hint_->setText(shown);
  hint_->setGeometry(textEnd, inside.top(), room, inside.height());
  hint_->show();
}

void SearchBar::SetText(const std::u16string& text) {
  notify_ = false;
  box_->setText(platform::ToQ(text));
  notify_ = true;
}

std::u16string SearchBar::Text() const { return platform::FromQ(box_->text()); }

void SearchBar::ShowButton() {
  button_->show();
  LayOutContent(rect());
}

void SearchBar::HideButton() {
  button_->hide();
  LayOutContent(rect());
}

bool SearchBar::ButtonShown() const { return !button_->isHidden(); }

bool SearchBar::OnCommand(int commandId) {
  if (commandId != kButtonId || !ButtonShown()) return false;
  button_->click();
  return true;
}

void SearchBar::Report(nlohmann::json& pane) const {
  pane["kind"] = "SearchBar";
  pane["text"] = box_->text().toStdString();
  pane["button"] = ButtonShown();
  pane["no_match"] = noMatch_;
}

// The label at the left, the button in its cell at the right (while it is
// shown), the box between them, each vertically centred.
void SearchBar::LayOutContent(QRect area) {
  if (label_ == nullptr) return;  // still being built
  const int gap = platform::ScaleX(3);
  const int labelWidth = label_->sizeHint().width();
  label_->setGeometry(area.left(), area.top(), labelWidth, area.height());
  int right = area.right() + 1;
  if (ButtonShown()) {
    const QSize b = button_->size();
    right -= b.width() + 2 * gap;
    button_->move(right + gap, area.top() + (area.height() - b.height()) / 2);
  }
  const int boxHeight = std::min(area.height(), platform::ScaleY(20));
  box_->setGeometry(area.left() + labelWidth + gap, area.top() + (area.height() - boxHeight) / 2,
                    std::max(0, right - gap - (area.left() + labelWidth + gap)), boxHeight);
  PlaceHint();
  update();
}

bool SearchBar::eventFilter(QObject* watched, QEvent* event) {
  if (watched == box_ && event->type() == QEvent::KeyPress && downListener_) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Down && key->modifiers() == Qt::NoModifier) {
      downListener_();
      return true;
    }
  }
  return TitledPane::eventFilter(watched, event);
}

void SearchBar::paintEvent(QPaintEvent*) {
  QPainter g(this);
  g.fillRect(rect(), platform::Themed(kLabelColour));
  if (ButtonShown()) {
    const int cell = button_->width() + 2 * platform::ScaleX(3);
    g.fillRect(QRect(width() - cell, 0, cell, height()), platform::Themed(kButtonColour));
  }
}

}  // namespace vrok
