#include "core/pages/figures.h"

#include "content/byte_order.h"
#include "content/node_cursor.h"

namespace vrok {

std::optional<std::vector<ImageVariantRecord>> ReadImageVariants(const ContentDatabase& db,
                                                                 std::uint32_t item) {
  const std::uint32_t size = db.BinaryItemSize(item);
  std::vector<std::uint8_t> head(1);
  if (size == 0 || !db.ReadBinary(item, head, 0)) return std::nullopt;
  const std::size_t n = head[0];
  const std::size_t headSize = 3 + 11 * n;
  if (headSize > size) return std::nullopt;
  head.resize(headSize);
  if (!db.ReadBinary(item, head, 0)) return std::nullopt;
  std::vector<ImageVariantRecord> variants(n);
  for (std::size_t i = 0; i < n; ++i) {
    variants[i].width = ReadBE16(&head[3 + 11 * i]);
    variants[i].height = ReadBE16(&head[5 + 11 * i]);
    variants[i].begin = ReadBE32(&head[8 + 11 * i]);
  }
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint64_t end = i + 1 < n ? variants[i + 1].begin : size;
    if (variants[i].begin <= end && end <= size) {
      variants[i].end = end;
    } else {
      variants[i].begin = variants[i].end = 0;  // damaged: no data
    }
  }
  return variants;
}

std::size_t ChooseVariant(const std::vector<ImageVariantRecord>& variants,
                          const ScreenMetrics& screen) {
  if (variants.size() < 2) return 0;
  const auto w = static_cast<std::uint16_t>(screen.width);
  const auto h = static_cast<std::uint16_t>(screen.height);
  std::optional<std::size_t> exact;
  for (std::size_t i = 0; i < variants.size(); ++i) {
    if (variants[i].width == w && variants[i].height == h) exact = i;
  }
  if (exact) return *exact;
  const auto sw = static_cast<std::uint16_t>((screen.dpiX * 240 + 48) / 96);
  const auto sh = static_cast<std::uint16_t>((screen.dpiY * 320 + 48) / 96);
  for (std::size_t i = 0; i < variants.size(); ++i) {
    if (variants[i].width == sw && variants[i].height == sh) return i;
  }
  return 0;
}

std::optional<PictureBytes> LoadPictureBytes(const ContentDatabase& db, RowIndex figure,
                                             const ScreenMetrics& screen) {
  NodeCursor c;
  if (!c.Open(db, figure)) return std::nullopt;
  std::uint32_t item = c.Row().value;
  if (c.ToChild(u"data")) item = c.Row().value;
  const auto variants = ReadImageVariants(db, item);
  if (!variants || variants->empty()) return std::nullopt;
  PictureBytes picture;
  picture.variant = ChooseVariant(*variants, screen);
  const ImageVariantRecord& v = (*variants)[picture.variant];
  if (v.end <= v.begin) return std::nullopt;
  picture.width = v.width;
  picture.height = v.height;
  picture.encoded.resize(v.end - v.begin);
  if (!db.ReadBinary(item, picture.encoded, static_cast<std::uint32_t>(v.begin))) {
    return std::nullopt;
  }
  return picture;
}

}  // namespace vrok
