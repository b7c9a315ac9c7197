#pragma once
// Pictures of the book: binary items holding one or more encoded variants
// of the same picture for different screens.
//
// Item layout (big-endian): byte 0 the variant count N; then one 11-byte
// record per variant i at 3 + 11*i: width (2 bytes at +0), height (2 at
// +2), offset of the encoded data within the item (4 at +5). Variant i's
// data runs to the next variant's offset, the last one's to the item end.

#include <cstdint>
#include <vector>

#include "content/content_database.h"

namespace vrok {

struct PictureScreen {
  int width = 240;  // pixels
  int height = 320;
  int dpiX = 96;
  int dpiY = 96;
};

// Which variant to show: with two or more, the last one of exactly the
// screen's size, else the first of 240 x 320 scaled to the screen's dots
// per inch, else 0. With fewer than two, variant 0.
std::size_t ChooseVariant(const std::vector<std::pair<std::uint16_t, std::uint16_t>>& sizes,
                          const PictureScreen& screen);

// The encoded bytes of the chosen variant of the picture of a figure row:
// the item is the value of the row's "data" child, or the row's own value
// without one. Empty when the item is missing, malformed or the variant has
// no data.
std::vector<std::uint8_t> ReadPictureBytes(const ContentDatabase& db, RowIndex row,
                                           const PictureScreen& screen);

}  // namespace vrok
