#pragma once
// Book nodes for BookWriter, and the folders to write books into: what the
// tests, the benchmarks and the fuzz targets share. No GoogleTest here.

#include <cstdint>
#include <string>
#include <vector>

#include "content/writer/book_writer.h"

namespace vrok::test {

// A node with a number value.
BookNode Num(std::u16string field, std::uint32_t value, std::vector<BookNode> children = {});
// A node with a text.
BookNode Str(std::u16string field, std::u16string text, std::vector<BookNode> children = {});
// The same node with an id (and, optionally, an explicit key).
BookNode WithId(BookNode node, std::string id);
BookNode WithKey(BookNode node, std::uint32_t key);
// A node whose value is the row of the node with that id.
BookNode Ref(std::u16string field, std::string id);

// A new folder under $TMPDIR (else /tmp) named after `stem`; empty when none
// could be made.
std::string MakeTempFolder(const std::string& stem);
// Writes "registry.ini" into the folder, naming it the install folder;
// returns its path.
std::string WriteInstallRegistry(const std::string& folder);

// The whole contents of a file, and writing it back.
std::vector<std::uint8_t> ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace vrok::test
