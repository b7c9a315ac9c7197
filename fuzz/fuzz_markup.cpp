// PlainTextOf, RichLabel layout and line breaking on arbitrary markup. Each
// input byte is one code unit; the first byte picks the line width.
#include <cstdlib>

#include "core/pages/markup.h"

namespace {

class CountingMeasurer : public vrok::TextMeasurer {
 public:
  vrok::TextExtent Measure(std::u16string_view text, const vrok::FontSpec& font) const override {
    return {static_cast<int>(text.size()) * (font.weight == 700 ? 7 : 5), font.height};
  }
};

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int width = data[0];
  std::u16string markup(data + 1, data + size);

  vrok::PlainTextOf(markup);

  CountingMeasurer measurer;
  vrok::RichLabel label(markup);
  label.SetFontAndColour(vrok::FontSpec{u"f", 12}, 0x123456);
  label.SetMargins(1, 2, 3, 4);
  label.LayOut(measurer);
  const auto& runs = label.Runs();
  // The runs cover the text exactly, in order.
  std::size_t at = 0;
  int sum = 0;
  for (const auto& run : runs) {
    Check(run.start == at && run.end >= run.start);
    at = run.end;
    sum += run.width;
  }
  Check(at == label.Text().size());
  Check(!label.IsLaidOut() || label.Width() == 1 + 3 + sum + 1);

  std::size_t previous = 0;
  for (const auto& line : vrok::BreakLines(
           label.Text(), width, data[0] % 4, 15,
           [&](std::size_t a, std::size_t b) { return label.RangeWidth(measurer, a, b); })) {
    Check(line.start >= previous && line.start <= line.end && line.end <= label.Text().size());
    previous = line.end;
  }
  return 0;
}
