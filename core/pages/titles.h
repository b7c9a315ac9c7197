#pragma once
// How pages name themselves. A table's text is its name, which page-name
// lookups use ("A_Z_IN_BRIEF"); a book may give the table a readable title
// beside it, in a "title" child ("A to Z in brief"). The handheld layout
// shows names as they are; the desktop shows readable titles: a table's
// title, and for a page inside a table its own text, and gives every
// pop-up a caption.

#include <string>

#include "content/content_database.h"

namespace vrok {

// Process-wide: chosen once at start-up, with the layout.
void SetReadableTitles(bool readable);
bool ReadableTitles();

// The row's text; for a table row, its "title" child instead when readable
// and the table has one.
std::u16string ShownName(const ContentDatabase& db, RowIndex row, bool readable);
inline std::u16string ShownName(const ContentDatabase& db, RowIndex row) {
  return ShownName(db, row, ReadableTitles());
}

// A pop-up's caption: the term a definition explains ("Troponin" for
// "<B>Troponin</B>: a heart muscle protein ..."), else the text's first
// words.
std::u16string PopupCaption(std::u16string_view markup);

}  // namespace vrok
