#include "platform/qt/image_decoder.h"

#include <QBuffer>
#include <QImageReader>
#include <algorithm>
#include <initializer_list>

namespace vrok::platform {

namespace {

// The format named by the bytes' signature, for the common ones; empty for
// any other. Unnamed, Qt loads every image plugin to ask each whether it can
// read the bytes.
QByteArray FormatOf(const std::vector<std::uint8_t>& bytes) {
  const auto starts = [&](std::initializer_list<std::uint8_t> signature) {
    return bytes.size() >= signature.size() &&
           std::equal(signature.begin(), signature.end(), bytes.begin());
  };
  if (starts({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'})) return "png";
  if (starts({0xFF, 0xD8, 0xFF})) return "jpeg";
  if (starts({'G', 'I', 'F', '8'})) return "gif";
  if (starts({'B', 'M'})) return "bmp";
  return {};
}

}  // namespace

QImage DecodeImage(const std::vector<std::uint8_t>& bytes) {
  if (bytes.empty()) return {};
  const QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                                  static_cast<qsizetype>(bytes.size()));
  // A named format is read by its own decoder alone; should that fail,
  // every decoder is asked, as for bytes of no known signature.
  const QByteArray named = FormatOf(bytes);
  for (const QByteArray& format : {named, QByteArray()}) {
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoDetectImageFormat(format.isEmpty());
    // The largest picture the handheld decoder accepted.
    if (const QSize size = reader.size(); size.width() > 10000 || size.height() > 10000) return {};
    const QImage image = reader.read();
    if (!image.isNull()) return image.convertToFormat(QImage::Format_RGB32);
    if (format.isEmpty()) break;
  }
  return {};
}

}  // namespace vrok::platform
