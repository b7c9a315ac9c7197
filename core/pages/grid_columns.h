#pragma once
// Column widths for a grid that has room: each column as wide as its
// longest cell, between a least and a readable most; spare width shared
// out equally so the table fills the room. Longer cells wrap.

#include <cstdint>
#include <vector>

namespace vrok {

// longest: each column's widest cell text, in pixels. room: the width the
// columns' texts may take in all (the client width less every column's
// insets and grid lines). Widths never fall below least; most is raised to
// least when smaller. Empty for no columns.
std::vector<int> FitColumns(const std::vector<int>& longest, int least, int most, std::int64_t room);

}  // namespace vrok
