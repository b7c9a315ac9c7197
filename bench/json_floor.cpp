// json_floor SOURCE.json: parses a book source into nlohmann-json's
// document and nothing more, the floor beside vrok-book's time and peak
// memory on the same file (bench/README.md).

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: json_floor SOURCE.json\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  const auto doc = nlohmann::json::parse(text.str(), nullptr, false);
  std::printf("%s\n", doc.is_discarded() ? "not valid JSON" : "parsed");
  return doc.is_discarded() ? 1 : 0;
}
