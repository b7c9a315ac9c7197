#include "support/book_nodes.h"

#include <stdlib.h>

#include <fstream>
#include <iterator>

namespace vrok::test {

BookNode Num(std::u16string field, std::uint32_t value, std::vector<BookNode> children) {
  BookNode n;
  n.field = std::move(field);
  n.value = value;
  n.children = std::move(children);
  return n;
}

BookNode Str(std::u16string field, std::u16string text, std::vector<BookNode> children) {
  BookNode n;
  n.field = std::move(field);
  n.type = u"string";
  n.text = std::move(text);
  n.children = std::move(children);
  return n;
}

BookNode WithId(BookNode node, std::string id) {
  node.id = std::move(id);
  return node;
}

BookNode WithKey(BookNode node, std::uint32_t key) {
  node.key = key;
  return node;
}

BookNode Ref(std::u16string field, std::string id) {
  BookNode n;
  n.field = std::move(field);
  n.ref = std::move(id);
  return n;
}

std::string MakeTempFolder(const std::string& stem) {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/" + stem + "-XXXXXX";
  return ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

std::string WriteInstallRegistry(const std::string& folder) {
  const std::string registry = folder + "/registry.ini";
  std::ofstream(registry) << "[HKEY_LOCAL_MACHINE]\nSOFTWARE\\Apps\\KESTOR%20Vrok\\InstallDir="
                          << folder << "\n";
  return registry;
}

std::vector<std::uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

}  // namespace vrok::test
