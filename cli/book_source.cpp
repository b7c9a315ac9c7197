#include "cli/book_source.h"

#include <fstream>
#include <iterator>
#include <limits>
#include <nlohmann/json.hpp>

#include "content/utf8.h"

namespace vrok {

namespace {

using nlohmann::json;

std::optional<std::vector<std::uint8_t>> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

class SourceReader {
 public:
  SourceReader(std::string baseDir, std::string& error)
      : baseDir_(std::move(baseDir)), error_(error) {}

  bool Fail(const std::string& where, const std::string& what) {
    error_ = where + ": " + what;
    return false;
  }

  bool Number(const json& j, const std::string& where, const char* name, std::uint32_t& out) {
    if (!j.is_number_unsigned() || j.get<std::uint64_t>() > std::numeric_limits<std::uint32_t>::max()) {
      return Fail(where, std::string("\"") + name + "\" must be a number from 0 to 4294967295");
    }
    out = j.get<std::uint32_t>();
    return true;
  }

  bool Text(const json& j, const std::string& where, const char* name, std::u16string& out) {
    if (!j.is_string()) return Fail(where, std::string("\"") + name + "\" must be a string");
    auto wide = FromUtf8(j.get_ref<const std::string&>());
    if (!wide) return Fail(where, std::string("\"") + name + "\" is not valid UTF-8");
    out = std::move(*wide);
    return true;
  }

  bool Node(const json& j, const std::string& where, BookNode& node) {
    if (!j.is_object()) return Fail(where, "a node must be an object");
    for (const auto& [name, value] : j.items()) {
      if (name != "field" && name != "type" && name != "text" && name != "value" &&
          name != "ref" && name != "key" && name != "id" && name != "children") {
        return Fail(where, "unknown member \"" + name + "\"");
      }
    }
    if (!j.contains("field")) return Fail(where, "a node needs a \"field\"");
    if (!Text(j["field"], where, "field", node.field)) return false;
    const std::string here =
        j.contains("id") && j["id"].is_string() ? "node '" + j["id"].get<std::string>() + "'"
                                                 : where + "/" + ToUtf8(node.field);
    if (j.contains("id")) {
      if (!j["id"].is_string() || j["id"].get_ref<const std::string&>().empty()) {
        return Fail(here, "\"id\" must be a non-empty string");
      }
      node.id = j["id"].get<std::string>();
    }
    const int kinds = j.contains("text") + j.contains("value") + j.contains("ref");
    if (kinds > 1) return Fail(here, "give only one of \"text\", \"value\" and \"ref\"");
    node.type = j.contains("text") ? u"string" : u"number";
    if (j.contains("type") && !Text(j["type"], here, "type", node.type)) return false;
    const bool isString = node.type == u"string";
    if (j.contains("text")) {
      if (node.type == u"number") {
        return Fail(here, "\"text\" needs the type \"string\" or one other than \"number\"");
      }
      if (!Text(j["text"], here, "text", node.text)) return false;
      node.textValue = !isString;
    } else if (isString && kinds > 0) {
      return Fail(here, "a \"string\" node takes \"text\"");
    }
    if (j.contains("value") && !Number(j["value"], here, "value", node.value)) return false;
    if (j.contains("ref")) {
      if (!j["ref"].is_string()) return Fail(here, "\"ref\" must be a string");
      node.ref = j["ref"].get<std::string>();
    }
    if (j.contains("key")) {
      std::uint32_t key = 0;
      if (!Number(j["key"], here, "key", key)) return false;
      node.key = key;
    }
    if (j.contains("children")) {
      const json& kids = j["children"];
      if (!kids.is_array()) return Fail(here, "\"children\" must be an array");
      node.children.resize(kids.size());
      for (std::size_t i = 0; i < kids.size(); ++i) {
        if (!Node(kids[i], here + "[" + std::to_string(i) + "]", node.children[i])) return false;
      }
    }
    return true;
  }

  bool FileBytes(const json& j, const std::string& where, std::vector<std::uint8_t>& out) {
    if (!j.is_string()) return Fail(where, "\"file\" must be a string");
    const std::string path = baseDir_ + "/" + j.get<std::string>();
    auto bytes = ReadFile(path);
    if (!bytes) return Fail(where, "cannot read " + path);
    out = std::move(*bytes);
    return true;
  }

  bool Item(const json& j, const std::string& where, std::vector<std::uint8_t>& out) {
    if (j.is_object() && j.contains("file") && j.size() == 1) return FileBytes(j["file"], where, out);
    if (!j.is_object() || !j.contains("variants") || j.size() != 1 || !j["variants"].is_array()) {
      return Fail(where, "an item is {\"file\": ...} or {\"variants\": [...]}");
    }
    const json& vs = j["variants"];
    if (vs.empty() || vs.size() > 255) return Fail(where, "an image has 1 to 255 variants");
    std::vector<ImageVariant> variants(vs.size());
    for (std::size_t i = 0; i < vs.size(); ++i) {
      const std::string w = where + ".variants[" + std::to_string(i) + "]";
      std::uint32_t width = 0, height = 0;
      if (!vs[i].is_object() || !vs[i].contains("width") || !vs[i].contains("height") ||
          !vs[i].contains("file")) {
        return Fail(w, "a variant has \"width\", \"height\" and \"file\"");
      }
      if (!Number(vs[i]["width"], w, "width", width) || !Number(vs[i]["height"], w, "height", height)) {
        return false;
      }
      if (width > 65535 || height > 65535) return Fail(w, "sizes are at most 65535");
      variants[i].width = static_cast<std::uint16_t>(width);
      variants[i].height = static_cast<std::uint16_t>(height);
      if (!FileBytes(vs[i]["file"], w, variants[i].bytes)) return false;
    }
    out = MakeImageItem(variants);
    return true;
  }

  std::optional<Book> Book_(const json& j) {
    Book book;
    if (!j.is_object() || !j.contains("root")) {
      Fail("source", "a book is an object with a \"root\"");
      return std::nullopt;
    }
    if (j.contains("stamps")) {
      const json& s = j["stamps"];
      std::uint32_t a = 0, b = 0, c = 0;
      if (!s.is_array() || s.size() != 3 || !Number(s[0], "stamps", "stamps", a) ||
          !Number(s[1], "stamps", "stamps", b) || !Number(s[2], "stamps", "stamps", c) ||
          a > 65535 || b > 65535) {
        if (error_.empty()) Fail("stamps", "three numbers, the first two at most 65535");
        return std::nullopt;
      }
      book.stamp1 = static_cast<std::uint16_t>(a);
      book.stamp2 = static_cast<std::uint16_t>(b);
      book.stamp3 = c;
    }
    if (j.contains("items")) {
      if (!j["items"].is_array()) {
        Fail("items", "must be an array");
        return std::nullopt;
      }
      book.items.resize(j["items"].size());
      for (std::size_t i = 0; i < book.items.size(); ++i) {
        if (!Item(j["items"][i], "items[" + std::to_string(i) + "]", book.items[i])) {
          return std::nullopt;
        }
      }
    }
    if (!Node(j["root"], "root", book.root)) return std::nullopt;
    return book;
  }

 private:
  std::string baseDir_;
  std::string& error_;
};

}  // namespace

std::optional<Book> ParseBookSource(std::string_view text, const std::string& baseDir,
                                    std::string& error) {
  error.clear();
  const json j = json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (j.is_discarded()) {
    error = "source: not valid JSON";
    return std::nullopt;
  }
  return SourceReader(baseDir, error).Book_(j);
}

std::optional<Book> ReadBookSource(const std::string& path, std::string& error) {
  const auto bytes = ReadFile(path);
  if (!bytes) {
    error = "cannot read " + path;
    return std::nullopt;
  }
  const auto slash = path.find_last_of('/');
  const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
  return ParseBookSource(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()),
                         dir, error);
}

}  // namespace vrok
