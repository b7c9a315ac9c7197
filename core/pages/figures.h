#pragma once
// Pictures of the book: binary items holding one or more encoded variants
// of the same picture for different screens.
//
//   0             variant count N
//   3 + 11i       u16 BE  width of variant i
//   5 + 11i       u16 BE  height of variant i
//   8 + 11i       u32 BE  offset of variant i's data within the item
//
// Variant i's data runs to the next variant's offset, the last one's to the
// end of the item.

#include <cstdint>
#include <optional>
#include <vector>

#include "content/content_database.h"

namespace vrok {

struct ScreenMetrics {
  int width = 240;
  int height = 320;
  int dpiX = 96;
  int dpiY = 96;
};

struct ImageVariantRecord {
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::uint64_t begin = 0;  // data range within the item
  std::uint64_t end = 0;
};

// The variant table of an item; nothing when the item cannot be read.
// Variants whose data range does not lie inside the item keep an empty range.
std::optional<std::vector<ImageVariantRecord>> ReadImageVariants(const ContentDatabase& db,
                                                                 std::uint32_t item);

// The variant to show on this screen: the last one of exactly the screen's
// size, else the first of 240 x 320 scaled to the screen's dots per inch,
// else the first. Items of fewer than two variants use the first.
std::size_t ChooseVariant(const std::vector<ImageVariantRecord>& variants,
                          const ScreenMetrics& screen);

struct PictureBytes {
  std::size_t variant = 0;
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::vector<std::uint8_t> encoded;
};

// The encoded bytes of figure row F's chosen variant. The item number is
// the value of F's "data" child, or F's own value when it has none. Nothing
// when the chosen variant is missing or empty.
std::optional<PictureBytes> LoadPictureBytes(const ContentDatabase& db, RowIndex figure,
                                             const ScreenMetrics& screen);

}  // namespace vrok
