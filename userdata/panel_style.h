#pragma once
// What the bookmark and note screens share: their heading's look and their
// rows in the screen report.

#include <nlohmann/json.hpp>
#include <string_view>

#include "shell/title_bar.h"

namespace vrok {

class TickedList;

// A shown heading in white on slate.
TitleArgs HeadingArgs(std::u16string_view text);
// "items" (the titles) and "ticked" (their list positions).
void ReportRows(const TickedList& list, nlohmann::json& pane);

}  // namespace vrok
