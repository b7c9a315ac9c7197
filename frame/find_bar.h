#pragma once
// Find in page: a bar at the bottom of the page over any HTML viewer (a
// page, a record page, a pop-up). Every match of the typed text is
// highlighted, ignoring case and accents, the current one more strongly;
// the bar counts them ("3 of 12"). Enter or F3 goes to the next match,
// Shift+Enter or Shift+F3 to the previous one, both wrapping around;
// Escape closes the bar and removes the highlights.

#include <QPointer>
#include <QTextEdit>
#include <QWidget>
#include <string>
#include <vector>

#include "widgets/screen_report.h"

class QLabel;
class QLineEdit;
class QToolButton;

namespace vrok {

class MainWindow;

// The positions and lengths of the matches of needle in the text, compared
// letter by letter after folding case and accents. Qt-free apart from the
// string type of its callers; exposed for tests.
std::vector<int> FindFolded(std::u16string_view text, std::u16string_view needle);

class FindBar : public QWidget, public ReportedPane {
 public:
  FindBar(MainWindow& main);

  // Opens the bar over a viewer with a text (which it searches at once).
  void OpenFor(QTextEdit* viewer, const QString& text);
  void Close();
  void Next();
  void Previous();

  int Matches() const { return static_cast<int>(matches_.size()); }
  int Current() const { return current_ + 1; }

  void Report(nlohmann::json& pane) const override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Search();
  void Highlight(bool scroll);
  void Place();

  MainWindow& main_;
  QLineEdit* box_ = nullptr;
  QLabel* count_ = nullptr;
  QToolButton* previous_ = nullptr;
  QToolButton* next_ = nullptr;
  QToolButton* close_ = nullptr;
  QPointer<QTextEdit> viewer_;
  std::vector<int> matches_;
  int length_ = 0;
  int current_ = -1;
};

}  // namespace vrok
