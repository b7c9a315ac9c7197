#pragma once
// Reads everything a database offers, the way the views would: every row
// (up to a bound), cursor moves, searches, strings and items. Used on
// damaged content, where the only expectation is that it returns.

#include <cstdint>

#include "content/content_database.h"

namespace vrok::test {

// Returns a checksum of what was read, so the work cannot be optimised away.
std::uint64_t WalkEverything(const ContentDatabase& db, std::uint32_t maxRows = 2000);

}  // namespace vrok::test
