#include "platform/qt/image_decoder.h"

#include <QBuffer>
#include <QImageReader>

namespace vrok::platform {

QImage DecodeImage(const std::vector<std::uint8_t>& bytes) {
  if (bytes.empty()) return {};
  const QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                                  static_cast<qsizetype>(bytes.size()));
  QBuffer buffer;
  buffer.setData(data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  // The largest picture the handheld decoder accepted.
  if (const QSize size = reader.size(); size.width() > 10000 || size.height() > 10000) return {};
  QImage image = reader.read();
  return image.isNull() ? QImage() : image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace vrok::platform
