#include "frame/find_bar.h"

#include <algorithm>

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QToolButton>

#include "content/utf8.h"
#include "platform/qt/environment.h"
#include "core/search/search_text.h"
#include "frame/main_window.h"
#include "frame/viewer_control.h"
#include "core/navigation/navigation.h"
#include "widgets/panel_style.h"
#include "platform/qt/theme.h"

namespace vrok {

namespace {

const QColor kAllMatches(255, 236, 140);
const QColor kCurrentMatch(255, 150, 50);
const QColor kBarColour(228, 228, 228);

}  // namespace

std::vector<int> FindFolded(std::u16string_view text, std::u16string_view needle) {
  std::vector<int> found;
  if (needle.empty() || needle.size() > text.size()) return found;
  std::u16string folded(needle.size(), u'\0');
  for (std::size_t i = 0; i < needle.size(); ++i) folded[i] = search::FoldLetter(needle[i]);
  for (std::size_t at = 0; at + needle.size() <= text.size(); ++at) {
    std::size_t i = 0;
    while (i < folded.size() && search::FoldLetter(text[at + i]) == folded[i]) ++i;
    if (i == folded.size()) {
      found.push_back(static_cast<int>(at));
      at += folded.size() - 1;  // matches do not overlap
    }
  }
  return found;
}

FindBar::FindBar(MainWindow& main) : QWidget(&main), main_(main) {
  setObjectName(QStringLiteral("find-bar"));
  UseScreenFont(*this);
  setAutoFillBackground(true);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, platform::Themed(kBarColour));
  setPalette(colours);

  box_ = new QLineEdit(this);
  box_->setObjectName(QStringLiteral("find-box"));
  box_->setPlaceholderText(QStringLiteral("Find in page"));
  box_->installEventFilter(this);
  QObject::connect(box_, &QLineEdit::textChanged, this, [this] { Search(); });
  count_ = new QLabel(this);
  count_->setObjectName(QStringLiteral("find-count"));
  count_->setAlignment(Qt::AlignCenter);
  const auto button = [this](const char* name, QString text, auto slot) {
    auto* b = new QToolButton(this);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(text);
    b->setAutoRaise(true);
    QObject::connect(b, &QToolButton::clicked, this, slot);
    return b;
  };
  previous_ = button("find-previous", QStringLiteral("\u25B2"), [this] { Previous(); });
  next_ = button("find-next", QStringLiteral("\u25BC"), [this] { Next(); });
  close_ = button("find-close", QStringLiteral("\u2715"), [this] { Close(); });
  hide();
}

void FindBar::OpenFor(QTextEdit* viewer, const QString& text) {
  if (viewer_ && viewer_ != viewer) viewer_->setExtraSelections({});
  viewer_ = viewer;
  if (viewer_) viewer_->installEventFilter(this);
  Place();
  show();
  raise();
  main_.RemoveOverlay(this);
  main_.AddOverlay(0, kSideBottom, this);
  {
    const QSignalBlocker quiet(box_);
    box_->setText(text);
  }
  Search();
  box_->setFocus();
  box_->selectAll();
}

void FindBar::Close() {
  if (viewer_) viewer_->setExtraSelections({});
  matches_.clear();
  current_ = -1;
  main_.RemoveOverlay(this);
  hide();
  if (viewer_) viewer_->setFocus();
}

void FindBar::Search() {
  matches_.clear();
  current_ = -1;
  length_ = box_->text().size();
  if (viewer_ && length_ > 0) {
    if (auto* viewer = dynamic_cast<ViewerControl*>(viewer_.data())) viewer->FinishLoading();
    const QString raw = viewer_->document()->toRawText();
    matches_ = FindFolded(std::u16string_view(reinterpret_cast<const char16_t*>(raw.utf16()),
                                              static_cast<std::size_t>(raw.size())),
                          std::u16string_view(reinterpret_cast<const char16_t*>(box_->text().utf16()),
                                              static_cast<std::size_t>(length_)));
    // The first match in view or below it, as the page is scrolled (a page
    // opened at a section finds there first); else the first of all.
    if (!matches_.empty()) {
      const int top = viewer_->cursorForPosition(QPoint(0, 0)).position();
      const auto below = std::lower_bound(matches_.begin(), matches_.end(), top);
      current_ = below == matches_.end() ? 0 : static_cast<int>(below - matches_.begin());
    }
  }
  Highlight(true);
}

void FindBar::Next() {
  if (matches_.empty()) return;
  current_ = (current_ + 1) % Matches();
  Highlight(true);
}

void FindBar::Previous() {
  if (matches_.empty()) return;
  current_ = (current_ + Matches() - 1) % Matches();
  Highlight(true);
}

void FindBar::Highlight(bool scroll) {
  if (matches_.empty())
    count_->setText(box_->text().isEmpty() ? QString() : QStringLiteral("0 of 0"));
  else
    count_->setText(QStringLiteral("%1 of %2").arg(current_ + 1).arg(Matches()));
  if (!viewer_) return;
  QList<QTextEdit::ExtraSelection> marks;
  for (int i = 0; i < Matches(); ++i) {
    QTextEdit::ExtraSelection mark;
    mark.cursor = QTextCursor(viewer_->document());
    mark.cursor.setPosition(matches_[static_cast<std::size_t>(i)]);
    mark.cursor.setPosition(matches_[static_cast<std::size_t>(i)] + length_, QTextCursor::KeepAnchor);
    mark.format.setBackground(i == current_ ? kCurrentMatch : kAllMatches);
    // The marks stay light: on a dark page their text is drawn dark.
    if (platform::DarkTheme()) mark.format.setForeground(QColor(0, 0, 0));
    marks.push_back(mark);
  }
  viewer_->setExtraSelections(marks);
  if (scroll && current_ >= 0) {
    QTextCursor at(viewer_->document());
    at.setPosition(matches_[static_cast<std::size_t>(current_)]);
    const QRect r = viewer_->cursorRect(at);
    QScrollBar* bar = viewer_->verticalScrollBar();
    if (r.top() < 0 || r.bottom() > viewer_->viewport()->height() - height())
      bar->setValue(bar->value() + r.top() - viewer_->viewport()->height() / 3);
  }
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress || isHidden()) return QWidget::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  const bool shift = key->modifiers() & Qt::ShiftModifier;
  switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (watched != box_) break;
      [[fallthrough]];
    case Qt::Key_F3:
      shift ? Previous() : Next();
      return true;
    case Qt::Key_Escape:
      Close();
      return true;
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}

void FindBar::Report(nlohmann::json& pane) const {
  pane["kind"] = "FindBar";
  pane["text"] = box_->text().toStdString();
  pane["matches"] = Matches();
  pane["current"] = matches_.empty() ? 0 : current_ + 1;
}

// Across the bottom of the page: the box, the count, the three buttons.
void FindBar::Place() {
  const int h = std::max(box_->sizeHint().height(), platform::ScaleY(20)) + platform::ScaleY(6);
  setGeometry(0, main_.height() - h, main_.width(), h);
}

void FindBar::resizeEvent(QResizeEvent*) {
  const int gap = platform::ScaleX(3);
  const int button = height() - 2 * gap;
  const int countWidth = count_->fontMetrics().horizontalAdvance(QStringLiteral("888 of 888")) + gap;
  int x = width() - gap - button;
  close_->setGeometry(x, gap, button, button);
  x -= button;
  next_->setGeometry(x, gap, button, button);
  x -= button;
  previous_->setGeometry(x, gap, button, button);
  x -= countWidth;
  count_->setGeometry(x, gap, countWidth, button);
  box_->setGeometry(gap, gap, std::max(0, x - 2 * gap), button);
}

}  // namespace vrok
