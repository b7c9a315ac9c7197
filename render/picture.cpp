#include "render/picture.h"

#include "content/node_cursor.h"

namespace vrok {

namespace {
std::uint32_t BigEndian(const std::uint8_t* p, int bytes) {
  std::uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v = v << 8 | p[i];
  return v;
}
}  // namespace

std::size_t ChooseVariant(const std::vector<std::pair<std::uint16_t, std::uint16_t>>& sizes,
                          const PictureScreen& screen) {
  if (sizes.size() < 2) return 0;
  const auto exact = [&](std::uint16_t w, std::uint16_t h) {
    return w == static_cast<std::uint16_t>(screen.width) &&
           h == static_cast<std::uint16_t>(screen.height);
  };
  std::size_t chosen = sizes.size();
  for (std::size_t i = 0; i < sizes.size(); ++i)
    if (exact(sizes[i].first, sizes[i].second)) chosen = i;
  if (chosen != sizes.size()) return chosen;
  const int w = (screen.dpiX * 240 + 48) / 96;
  const int h = (screen.dpiY * 320 + 48) / 96;
  for (std::size_t i = 0; i < sizes.size(); ++i)
    if (sizes[i].first == w && sizes[i].second == h) return i;
  return 0;
}

std::vector<std::uint8_t> ReadPictureBytes(const ContentDatabase& db, RowIndex row,
                                           const PictureScreen& screen) {
  NodeCursor cursor;
  if (!cursor.Open(db, row)) return {};
  std::uint32_t item = cursor.Row().value;
  if (cursor.ToChild(u"data")) item = cursor.Row().value;

  const std::uint32_t size = db.BinaryItemSize(item);
  std::uint8_t count = 0;
  if (size == 0 || !db.ReadBinary(item, {&count, 1}, 0) || count == 0) return {};
  const std::uint32_t headerSize = 3 + 11u * count;
  if (headerSize > size) return {};
  std::vector<std::uint8_t> header(headerSize);
  if (!db.ReadBinary(item, header, 0)) return {};

  std::vector<std::pair<std::uint16_t, std::uint16_t>> sizes;
  std::vector<std::uint32_t> offsets;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint8_t* r = &header[3 + 11 * i];
    sizes.emplace_back(static_cast<std::uint16_t>(BigEndian(r, 2)),
                       static_cast<std::uint16_t>(BigEndian(r + 2, 2)));
    offsets.push_back(BigEndian(r + 5, 4));
  }
  const std::size_t v = ChooseVariant(sizes, screen);
  const std::uint32_t begin = offsets[v];
  const std::uint32_t end = v + 1 < offsets.size() ? offsets[v + 1] : size;
  // Offsets come from the file: a range that runs backwards or past the
  // item end is treated as no data.
  if (begin >= end || end > size) return {};
  std::vector<std::uint8_t> bytes(end - begin);
  if (!db.ReadBinary(item, bytes, begin)) return {};
  return bytes;
}

}  // namespace vrok
