#pragma once
// Real picture files made in the test: PNG and JPEG through Qt's writers,
// GIF through a small encoder of our own (Qt reads GIF but cannot write it).

#include <QColor>
#include <cstdint>
#include <vector>

namespace vrok::test {

std::vector<std::uint8_t> EncodedImage(int w, int h, QColor colour, const char* format);
// A two-colour GIF: the left half in a, the right half in b.
std::vector<std::uint8_t> TwoColourGif(int w, int h, QColor a, QColor b);

}  // namespace vrok::test
