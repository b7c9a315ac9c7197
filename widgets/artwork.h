#pragma once
// The program's own artwork, drawn at first use and kept, under the
// resource ids the handheld's bitmaps had. Each standard-resolution picture
// has a high-resolution twin at twice the size: command bar images 16 x 16
// (32 x 32), tabs 80 x 22 (160 x 44), buttons 22 (44) high.

#include <QColor>
#include <QPixmap>

namespace vrok::art {

enum Id : int {
  // Command bar: ten images in a row (information, back, up, forward, house,
  // magnifier, tools, note, bookmark, door), and back, up and forward greyed.
  kCommandStrip = 100,
  kCommandStripHigh = 148,
  kDisabledArrows = 136,
  kDisabledArrowsHigh = 149,
  // Tabs, normal and selected.
  kIndexTab = 191,
  kIndexTabSelected = 192,
  kToolsTab = 193,
  kToolsTabSelected = 194,
  kContentsTab = 195,
  kContentsTabSelected = 196,
  kIndexTabHigh = 540,
  kIndexTabSelectedHigh = 541,
  kToolsTabHigh = 542,
  kToolsTabSelectedHigh = 543,
  kContentsTabHigh = 544,
  kContentsTabSelectedHigh = 545,
  // A title bar's expand indicator.
  kExpandIndicator = 127,
  kExpandIndicatorHigh = 150,
  // The footnotes and section-list buttons of the page button bars.
  kFootnotes = 112,
  kFootnotesHigh = 131,
  kSections = 113,
  kSectionsHigh = 132,
  // The delete button of the bookmark and note lists.
  kDelete = 134,
  kDeleteHigh = 546,
  // The note editor's Save and Cancel, normal and pressed.
  kSave = 104,
  kSaveHigh = 547,
  kSavePressed = 122,
  kSavePressedHigh = 548,
  kCancel = 107,
  kCancelHigh = 549,
  kCancelPressed = 118,
  kCancelPressedHigh = 550,
  // The questionnaire buttons.
  kQuestionBack = 140,
  kQuestionBackHigh = 551,
  kQuestionNext = 141,
  kQuestionNextHigh = 552,
  kCalculate = 142,
  kCalculateHigh = 553,
  kClearAnswers = 143,
  kClearAnswersHigh = 554,
};

// The height of the stored tabs at standard resolution (twice it at high).
inline constexpr int kTabHeight = 22;

// Light grey (192, 192, 192): the transparent colour of the image strips.
inline const QColor kMaskColour{192, 192, 192};

// The high-resolution twin of a button's picture on a high-resolution
// screen, else the id itself.
int ButtonBitmap(int id);

// A null pixmap for an unknown id.
QPixmap LoadBitmap(int id);
// LoadBitmap with the mask colour made transparent.
QPixmap LoadMaskedBitmap(int id);

// A tab of the tab strip drawn at its size (the stored tabs are this at
// 80 x 22 and 160 x 44).
QPixmap TabAt(const char* label, bool selected, QSize size);
// The command bar's ten images (grey: the three disabled arrows) drawn at
// `cell` pixels each, masked; for a desktop window's text size.
QPixmap CommandStripAt(bool grey, int cell);
// A bar button's picture (either resolution's id) drawn at `scale` times
// its 96-dots-per-inch size, masked; any other picture as loaded.
QPixmap ButtonAt(int id, qreal scale);

}  // namespace vrok::art
