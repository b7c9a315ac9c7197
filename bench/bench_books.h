#pragma once
// What the benchmark programs share to write their books: text nodes, a
// temporary folder, and the registry file that installs a folder.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "content/book_writer.h"

namespace vrok::bench {

// A node with a text.
inline BookNode TextNode(std::u16string field, std::u16string text,
                         std::vector<BookNode> children = {}) {
  BookNode n;
  n.field = std::move(field);
  n.type = u"string";
  n.text = std::move(text);
  n.children = std::move(children);
  return n;
}

// A new folder under the temporary folder; empty when none could be made.
inline std::string MakeTempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vrok-bench-XXXXXX").string();
  return ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

// Writes "registry.ini" into the folder, naming it the install folder;
// returns its path.
inline std::string WriteInstallRegistry(const std::string& folder) {
  const std::string registry = folder + "/registry.ini";
  std::ofstream(registry) << "[HKEY_LOCAL_MACHINE]\nSOFTWARE\\Apps\\KESTOR%20Vrok\\InstallDir="
                          << folder << "\n";
  return registry;
}

}  // namespace vrok::bench
