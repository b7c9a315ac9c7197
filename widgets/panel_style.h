#pragma once
// What the bookmark and note screens share: the look of their text and
// their heading.

#include <string_view>

#include "widgets/title_bar.h"

namespace vrok {

// The text of the lists, boxes and labels: 12 pixels at 96 dots per inch,
// so that it keeps its size on a high-resolution screen.
void UseScreenFont(QWidget& widget);
// A shown heading in white on slate.
TitleArgs HeadingArgs(std::u16string_view text);

}  // namespace vrok
