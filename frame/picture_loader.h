#pragma once
// Pictures of the book decoded for the emulated screen. The chosen
// variant's bytes are decoded straight from memory; no temporary file is
// ever written.

#include <QImage>
#include <optional>

#include "content/content_database.h"
#include "core/pages/figures.h"

namespace vrok {

// The emulated screen's size and dots per inch, for choosing variants.
ScreenMetrics EmulatedScreen();

struct LoadedPicture {
  QImage image;                        // null when nothing could be decoded
  std::optional<std::size_t> variant;  // the variant chosen, when it had data
};

// The picture of a figure row on the emulated screen.
LoadedPicture LoadPicture(const ContentDatabase& db, RowIndex figure);

}  // namespace vrok
