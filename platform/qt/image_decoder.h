#pragma once
// Decodes an encoded picture (any format QImageReader knows) from memory
// into an image of its natural size; a null image when it cannot.

#include <QImage>
#include <cstdint>
#include <vector>

namespace vrok::platform {

QImage DecodeImage(const std::vector<std::uint8_t>& bytes);

}  // namespace vrok::platform
