#pragma once
// A large book for soak tests and benchmarks: the sample book with three
// generated tables added until it has about the asked number of rows: "Case
// records" (an "html list" table whose records link to each other and to the
// sample's topics), "Large index" (an "index" table of entries in letter
// groups, each with a "link" to a case record) and "Flat index" (an "index"
// table whose entries, each with a "link", all sit at its top level).

#include <cstdint>
#include <optional>
#include <string>

#include "content/writer/book_writer.h"

namespace vrok {

struct LargeBookShape {
  std::uint32_t rows = 1'000'000;  // about this many rows in all
  std::uint32_t indexEntries = 100'000;
  std::uint32_t flatEntries = 100'000;
};

// Reads the sample book's assembled source and adds the generated tables;
// nothing (with a reason) when the source cannot be read or is too big
// already.
std::optional<Book> LargeSampleBook(const std::string& sampleSource, const LargeBookShape& shape,
                                    std::string& error);

}  // namespace vrok
