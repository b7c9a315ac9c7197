#include "test_pictures.h"

#include <QBuffer>
#include <QImage>

namespace vrok::test {

std::vector<std::uint8_t> EncodedImage(int w, int h, QColor colour, const char* format) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return {bytes.begin(), bytes.end()};
}

std::vector<std::uint8_t> TwoColourGif(int w, int h, QColor a, QColor b) {
  std::vector<std::uint8_t> out{'G', 'I', 'F', '8', '9', 'a'};
  const auto u16 = [&out](int v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  u16(w);
  u16(h);
  out.insert(out.end(), {0x81, 0, 0});  // global table of 4 colours
  for (const QColor& c : {a, b, QColor(Qt::black), QColor(Qt::black)})
    out.insert(out.end(), {static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
                           static_cast<std::uint8_t>(c.blue())});
  out.push_back(0x2C);
  u16(0);
  u16(0);
  u16(w);
  u16(h);
  out.push_back(0);
  // LZW with 2-bit pixels: 3-bit codes, a clear code before every pair of
  // pixels so that the code size never grows.
  out.push_back(2);
  std::vector<std::uint8_t> data;
  std::uint32_t bits = 0;
  int count = 0;
  const auto put = [&](std::uint32_t code) {
    bits |= code << count;
    count += 3;
    while (count >= 8) {
      data.push_back(static_cast<std::uint8_t>(bits & 0xFF));
      bits >>= 8;
      count -= 8;
    }
  };
  int n = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x, ++n) {
      if (n % 2 == 0) put(4);
      put(x < w / 2 ? 0 : 1);
    }
  }
  put(5);
  if (count > 0) data.push_back(static_cast<std::uint8_t>(bits & 0xFF));
  for (std::size_t i = 0; i < data.size(); i += 255) {
    const std::size_t len = std::min<std::size_t>(255, data.size() - i);
    out.push_back(static_cast<std::uint8_t>(len));
    out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(i),
               data.begin() + static_cast<std::ptrdiff_t>(i + len));
  }
  out.push_back(0);
  out.push_back(0x3B);
  return out;
}

}  // namespace vrok::test
