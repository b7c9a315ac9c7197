#pragma once
// The reader's bitmaps by resource id, drawn for this program at first use
// and kept. Standard-resolution ids and their high-resolution twins:
//   100 / 148  command bar images: ten 16 x 16 (32 x 32) images in a row on
//              light grey 192: information, back, up, forward, house,
//              magnifier, tools, note, bookmark, door
//   136 / 149  disabled back, up and forward, in grey
//   191..196 / 540..545  tabs 80 x 22 (160 x 44): INDEX normal/selected,
//              TOOLS normal/selected, CONTENTS normal/selected
//   127 / 150  title expand indicator: grey square with a down arrow
//   112 / 131  footnotes button
//   134 / 546  delete button of the bookmark and note lists, 64 x 22
//              (128 x 44): a bin and "Delete"
//   104 / 547  note editor Save, 56 x 22 (112 x 44); 122 / 548 pressed
//   107 / 549  note editor Cancel, 56 x 22 (112 x 44); 118 / 550 pressed
//   140 / 551  questionnaire Back, 30 x 22 (60 x 44): a green left arrow
//   141 / 552  questionnaire Next, 30 x 22 (60 x 44): a green right arrow
//   142 / 553  questionnaire Calculate, 62 x 22 (124 x 44)
//   143 / 554  questionnaire Clear answers, 40 x 22 (80 x 44): "Clear"

#include <QColor>
#include <QPixmap>

namespace vrok::platform {

// Light grey (192, 192, 192): the transparent colour of the image strips.
inline const QColor kMaskColour{192, 192, 192};

// The high-resolution twin of a standard bitmap of the buttons above (134,
// 104, 122, 107, 118, 140 to 143, and the footnotes buttons 112 and 113) on
// a high-resolution screen, else the id itself.
int ButtonBitmap(int id);

// A null pixmap for an unknown id.
QPixmap LoadBitmap(int id);
// LoadBitmap with the mask colour made transparent.
QPixmap LoadMaskedBitmap(int id);

}  // namespace vrok::platform
