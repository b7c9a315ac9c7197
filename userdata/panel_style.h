#pragma once
// What the bookmark and note screens share: their heading's look and their
// rows in the screen report.

#include <nlohmann/json.hpp>
#include <string_view>

#include "shell/title_bar.h"

namespace vrok {

class TickedList;

// The text of the lists, boxes and labels: 12 pixels at 96 dots per inch,
// so that it keeps its size on a high-resolution screen.
void UseScreenFont(QWidget& widget);
// A shown heading in white on slate.
TitleArgs HeadingArgs(std::u16string_view text);
// "items" (the titles) and "ticked" (their list positions).
void ReportRows(const TickedList& list, nlohmann::json& pane);

}  // namespace vrok
