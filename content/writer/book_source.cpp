#include "content/writer/book_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <istream>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>
#include <streambuf>
#include <unordered_map>

#include "content/utf8.h"
#include "content/writer/book_records.h"

namespace vrok {

namespace {

using nlohmann::json;

// Opens a regular file for reading. Directories, FIFOs and devices are
// refused without blocking on them; the reason goes to `why`. -1 on failure.
int OpenRegularFile(const std::string& path, std::string& why) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    why = std::strerror(errno);
    return -1;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    why = std::strerror(errno);
  } else if (S_ISDIR(st.st_mode)) {
    why = "it is a folder";
  } else if (!S_ISREG(st.st_mode)) {
    why = "it is not a regular file";
  } else {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
  }
  ::close(fd);
  return -1;
}

// Reads a whole regular file (see OpenRegularFile).
std::optional<std::string> ReadRegularFile(const std::string& path, std::string& why) {
  const int fd = OpenRegularFile(path, why);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  std::optional<std::string> bytes;
  std::string data(::fstat(fd, &st) == 0 ? static_cast<std::size_t>(st.st_size) : 0, '\0');
  std::size_t done = 0;
  while (true) {
    if (done == data.size()) data.resize(data.size() + 65536);  // the file grew
    const ssize_t n = ::read(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      why = std::strerror(errno);
      break;
    }
    if (n == 0) {
      data.resize(done);
      bytes = std::move(data);
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
  return bytes;
}

// Collects a small JSON value (the stamps, the items) from parser events.
class Capture {
 public:
  bool Done() const { return done_; }
  json& Value() { return root_; }
  std::size_t Depth() const { return stack_.size(); }

  void Key(std::string key) { key_ = std::move(key); }
  void Add(json value) {
    if (stack_.empty()) {
      root_ = std::move(value);
      done_ = true;
    } else if (stack_.back()->is_object()) {
      (*stack_.back())[key_] = std::move(value);
    } else {
      stack_.back()->push_back(std::move(value));
    }
  }
  void Open(json value) {
    if (stack_.empty()) {
      root_ = std::move(value);
      stack_.push_back(&root_);
    } else if (stack_.back()->is_object()) {
      json& slot = (*stack_.back())[key_];
      slot = std::move(value);
      stack_.push_back(&slot);
    } else {
      stack_.back()->push_back(std::move(value));
      stack_.push_back(&stack_.back()->back());
    }
  }
  void Close() {
    stack_.pop_back();
    if (stack_.empty()) done_ = true;
  }

 private:
  json root_;
  std::vector<json*> stack_;
  std::string key_;
  bool done_ = false;
};

// The members a node may have, in the order they are checked.
enum MemberId { kField, kType, kText, kValue, kRef, kKey, kId, kSort, kChildren, kMemberCount };
constexpr const char* kMemberNames[kMemberCount] = {"field", "type", "text", "value",   "ref",
                                                    "key",   "id",   "sort", "children"};

// A scalar member of a node, kept until the node's object closes.
struct Member {
  enum Kind : std::uint8_t { kOther, kString, kUnsigned, kBool } kind = kOther;
  std::string text;
  std::uint64_t number = 0;
  bool IsString() const { return kind == kString; }
};

// A node being read: its scalar members wait in `members` until the node's
// object closes; its children are read into the records right after it.
struct NodeFrame {
  std::uint32_t record = 0;
  std::size_t index = 0;     // its place among its parent's children
  std::size_t children = 0;  // children read so far
  Member members[kMemberCount];
  bool present[kMemberCount] = {};
  int pending = -1;         // the member whose value comes next
  bool inChildren = false;  // between the "children" array's brackets
};

// Reads a book source from parser events, filling the compact records
// directly (no document of the whole source, no tree of nodes).
class SourceReader : public nlohmann::json_sax<json> {
 public:
  SourceReader(std::string baseDir, std::string_view text, std::string path, std::string& error)
      : baseDir_(std::move(baseDir)), text_(text), path_(std::move(path)), error_(error) {}

  std::optional<BookSource> Result() {
    if (!error_.empty()) return std::nullopt;
    if (!sawRoot_) {
      Fail("source", "a book is an object with a \"root\"");
      return std::nullopt;
    }
    BookRecords& r = source_.records;
    std::sort(r.ids.begin(), r.ids.end());
    std::sort(r.keys.begin(), r.keys.end());
    return std::move(source_);
  }

  // Parser events.
  bool null() override {
    return Scalar(Member{}, [] { return json(nullptr); });
  }
  bool boolean(bool v) override {
    return Scalar(Member{Member::kBool, {}, v}, [v] { return json(v); });
  }
  bool number_integer(number_integer_t v) override {
    return Scalar(Member{}, [v] { return json(v); });
  }
  bool number_unsigned(number_unsigned_t v) override {
    return Scalar(Member{Member::kUnsigned, {}, v}, [v] { return json(v); });
  }
  bool number_float(number_float_t v, const string_t&) override {
    return Scalar(Member{}, [v] { return json(v); });
  }
  bool string(string_t& v) override {
    if (capture_ || nodes_.empty()) return Scalar(Member{}, [&v] { return json(std::move(v)); });
    return Scalar(Member{Member::kString, std::move(v), 0}, [] { return json(); });
  }
  bool binary(binary_t&) override { return Fail("source", "binary values are not JSON"); }
  bool start_object(std::size_t) override { return Open(true); }
  bool start_array(std::size_t) override { return Open(false); }
  bool end_object() override { return Close(); }
  bool end_array() override { return Close(); }

  bool key(string_t& k) override {
    if (capture_) {
      capture_->Key(std::move(k));
      return true;
    }
    if (skip_ > 0) return true;
    if (nodes_.empty()) {  // a member of the book object
      if (!topKeys_.insert(k).second) return Fail("source", "\"" + k + "\" given twice");
      topKey_ = std::move(k);
      return true;
    }
    NodeFrame& f = nodes_.back();
    for (int m = 0; m < kMemberCount; ++m) {
      if (k == kMemberNames[m]) {
        if (f.present[m]) return Fail(Here(), "\"" + k + "\" given twice");
        f.present[m] = true;
        f.pending = m;
        return true;
      }
    }
    return Fail(Here(), "unknown member \"" + k + "\"");
  }

  bool parse_error(std::size_t position, const std::string&,
                   const nlohmann::detail::exception& ex) override {
    // The parser counts the bytes it has read; the bad one is the last. A
    // source read as a stream is read again up to there for the line.
    std::string reread;
    std::string_view text = text_;
    if (!path_.empty()) {
      std::string why;
      if (auto bytes = ReadRegularFile(path_, why)) reread = std::move(*bytes);
      text = reread;
    }
    const std::size_t at = position > 0 ? std::min(position - 1, text.size()) : 0;
    std::size_t line = 1, lineStart = 0;
    for (std::size_t i = 0; i < at; ++i) {
      if (text[i] == '\n') {
        ++line;
        lineStart = i + 1;
      }
    }
    // The parser's reason without its own prefix ("[json.exception...] parse
    // error at line L, column C: ").
    std::string reason = ex.what();
    if (const auto colon = reason.find(": "); colon != std::string::npos) {
      reason.erase(0, colon + 2);
    }
    error_ = "source: not valid JSON at byte " + std::to_string(at) + " (line " +
             std::to_string(line) + ", column " + std::to_string(at - lineStart + 1) +
             "): " + reason;
    return false;
  }

 private:
  bool Fail(const std::string& where, const std::string& what) {
    if (error_.empty()) error_ = where + ": " + what;
    return false;
  }

  // Where node frame k is: "node 'ID'" or the path of fields from the root.
  std::string Here(std::size_t k) const {
    const NodeFrame& f = nodes_[k];
    if (f.present[kId] && f.members[kId].IsString()) return "node '" + f.members[kId].text + "'";
    std::string field =
        f.present[kField] && f.members[kField].IsString() ? f.members[kField].text : "?";
    for (std::size_t z = 0; (z = field.find('\0', z)) != std::string::npos;) {
      field.replace(z, 1, "\\u0000");  // shown, where it would end the message
    }
    return Where(k) + "/" + field;
  }
  std::string Here() const { return Here(nodes_.size() - 1); }
  std::string Where(std::size_t k) const {
    return k == 0 ? std::string("root") : Here(k - 1) + "[" + std::to_string(nodes_[k].index) + "]";
  }

  // A scalar: a node's member, or part of the stamps or items (made into a
  // JSON value only there).
  template <typename MakeJson>
  bool Scalar(Member value, MakeJson makeJson) {
    if (capture_) {
      capture_->Add(makeJson());
      return capture_->Done() ? FinishCapture() : true;
    }
    if (skip_ > 0) return true;
    if (nodes_.empty()) {
      if (!inBook_) return Fail("source", "a book is an object with a \"root\"");
      if (topKey_ == "root") return Fail("root", "a node must be an object");
      if (topKey_ == "stamps" || topKey_ == "items") {
        capture_.emplace();
        capture_->Add(makeJson());
        return FinishCapture();
      }
      return true;  // other members of the book are ignored
    }
    NodeFrame& f = nodes_.back();
    if (f.inChildren) {
      return Fail(Here() + "[" + std::to_string(f.children) + "]", "a node must be an object");
    }
    if (f.pending == kChildren) return Fail(Here(), "\"children\" must be an array");
    f.members[f.pending] = std::move(value);
    f.pending = -1;
    return true;
  }

  bool Open(bool object) {
    if (capture_) {
      if (capture_->Depth() >= 64) return Fail(topKey_, "nested too deeply");
      capture_->Open(object ? json::object() : json::array());
      return true;
    }
    if (skip_ > 0) {
      ++skip_;
      return true;
    }
    if (nodes_.empty()) {
      if (!inBook_) {
        if (!object) return Fail("source", "a book is an object with a \"root\"");
        inBook_ = true;
        return true;
      }
      if (topKey_ == "root") {
        if (!object) return Fail("root", "a node must be an object");
        if (sawRoot_) return Fail("root", "given twice");
        sawRoot_ = true;
        return OpenNode(0);
      }
      if (topKey_ == "stamps" || topKey_ == "items") {
        capture_.emplace();
        capture_->Open(object ? json::object() : json::array());
        return true;
      }
      skip_ = 1;  // other members of the book are ignored
      return true;
    }
    NodeFrame& f = nodes_.back();
    if (f.inChildren) {
      const std::size_t index = f.children;
      if (!object) {
        return Fail(Here() + "[" + std::to_string(index) + "]", "a node must be an object");
      }
      if (nodes_.size() > kMaxBookDepth) {
        return Fail(Here(), "nested more than " + std::to_string(kMaxBookDepth) + " levels deep");
      }
      ++f.children;
      return OpenNode(index);
    }
    if (f.pending == kChildren && !object) {
      f.inChildren = true;
      f.pending = -1;
      return true;
    }
    if (f.pending < 0) return Fail(Here(), "a node must be an object");
    return Fail(Here(), BadMember(f.pending));
  }

  // A node's record is made when its object opens, so that its descendants
  // follow it; its members are filled in when it closes.
  bool OpenNode(std::size_t index) {
    BookRecords& r = source_.records;
    if (r.nodes.size() >= 0xFFFFFFFFu) return Fail(Here(), "more than 4294967294 nodes");
    NodeFrame frame;
    frame.record = static_cast<std::uint32_t>(r.nodes.size());
    frame.index = index;
    r.nodes.emplace_back();
    nodes_.push_back(std::move(frame));
    return true;
  }

  bool Close() {
    if (capture_) {
      capture_->Close();
      return capture_->Done() ? FinishCapture() : true;
    }
    if (skip_ > 0) {
      --skip_;
      return true;
    }
    if (nodes_.empty()) return true;  // the book object
    NodeFrame& f = nodes_.back();
    if (f.inChildren) {
      f.inChildren = false;
      return true;
    }
    if (!FinishNode(nodes_.size() - 1)) return false;
    nodes_.pop_back();
    return true;
  }

  static std::string BadMember(int m) {
    const std::string name = std::string("\"") + kMemberNames[m] + "\"";
    switch (m) {
      case kValue:
      case kKey:
        return name + " must be a number from 0 to 4294967295";
      case kSort:
        return name + " must be true or false";
      case kChildren:
        return name + " must be an array";
      default:
        return name + " must be a string";
    }
  }

  bool Number(const json& j, const std::string& where, const char* name, std::uint32_t& out) {
    if (!j.is_number_unsigned() ||
        j.get<std::uint64_t>() > std::numeric_limits<std::uint32_t>::max()) {
      return Fail(where, std::string("\"") + name + "\" must be a number from 0 to 4294967295");
    }
    out = j.get<std::uint32_t>();
    return true;
  }
  bool Number(const Member& m, const std::string& where, const char* name, std::uint32_t& out) {
    if (m.kind != Member::kUnsigned || m.number > std::numeric_limits<std::uint32_t>::max()) {
      return Fail(where, std::string("\"") + name + "\" must be a number from 0 to 4294967295");
    }
    out = static_cast<std::uint32_t>(m.number);
    return true;
  }

  // A field or type name, interned; each distinct name is checked once.
  bool Name(const Member& m, const std::string& where, const char* name, std::uint32_t& out) {
    if (!m.IsString()) return Fail(where, std::string("\"") + name + "\" must be a string");
    if (const auto it = names_.find(m.text); it != names_.end()) {
      out = it->second;
      return true;
    }
    const auto wide = FromUtf8(m.text);
    if (!wide) return Fail(where, std::string("\"") + name + "\" is not valid UTF-8");
    out = source_.records.Name(*wide);
    names_.emplace(m.text, out);
    return true;
  }

  // Checks a node's members once its object has closed and stores them.
  bool FinishNode(std::size_t k) {
    NodeFrame& f = nodes_[k];
    BookRecords& r = source_.records;
    BookRecords::Node node;
    node.end = static_cast<std::uint32_t>(r.nodes.size());
    const auto has = [&f](MemberId m) { return f.present[m]; };
    const std::string where = Where(k);
    if (!has(kField)) return Fail(where, "a node needs a \"field\"");
    if (!Name(f.members[kField], where, "field", node.field)) return false;
    // Asked now: naming a type below may grow the name list.
    const bool isTable = r.names[node.field] == u"table";
    const auto here = [&] { return Here(k); };
    if (has(kId)) {
      if (!f.members[kId].IsString() || f.members[kId].text.empty()) {
        return Fail(here(), "\"id\" must be a non-empty string");
      }
    }
    const int kinds = has(kText) + has(kValue) + has(kRef);
    if (kinds > 1) return Fail(here(), "give only one of \"text\", \"value\" and \"ref\"");
    if (has(kType)) {
      if (!Name(f.members[kType], here(), "type", node.type)) return false;
    } else {
      node.type = has(kText) ? StringType() : NumberType();
    }
    const bool isString = r.names[node.type] == u"string";
    if (has(kText)) {
      if (r.names[node.type] == u"number") {
        return Fail(here(), "\"text\" needs the type \"string\" or one other than \"number\"");
      }
      const Member& m = f.members[kText];
      if (!m.IsString()) return Fail(here(), "\"text\" must be a string");
      const auto stored = StoredText(m.text);
      if (!stored) return Fail(here(), "\"text\" is not valid UTF-8");
      node.kind = BookRecords::kText;
      node.value = r.AddText(*stored);
    } else if (isString && kinds > 0) {
      return Fail(here(), "a \"string\" node takes \"text\"");
    } else if (isString) {
      node.kind = BookRecords::kText;  // a string node without a text: the empty text
      node.value = r.AddText("");
    }
    if (has(kValue) && !Number(f.members[kValue], here(), "value", node.value)) return false;
    if (has(kRef)) {
      if (!f.members[kRef].IsString()) return Fail(here(), "\"ref\" must be a string");
      if (!isString) {
        node.kind = BookRecords::kRef;
        node.value = r.AddId(f.members[kRef].text);
      }
    }
    if (has(kKey)) {
      std::uint32_t key = 0;
      if (!Number(f.members[kKey], here(), "key", key)) return false;
      node.flags |= BookRecords::kHasKey;
      r.keys.emplace_back(f.record, key);
    }
    if (has(kSort)) {
      if (f.members[kSort].kind != Member::kBool) return Fail(here(), BadMember(kSort));
      if (!isTable) return Fail(here(), "\"sort\" belongs on a table");
      node.flags |= f.members[kSort].number ? BookRecords::kSortTrue : BookRecords::kSortFalse;
    }
    if (has(kId)) {
      node.flags |= BookRecords::kHasId;
      r.ids.emplace_back(f.record, r.AddId(f.members[kId].text));
    }
    r.nodes[f.record] = node;
    return true;
  }

  std::uint32_t StringType() {
    if (stringType_ == kNoName) stringType_ = source_.records.Name(u"string");
    return stringType_;
  }
  std::uint32_t NumberType() {
    if (numberType_ == kNoName) numberType_ = source_.records.Name(u"number");
    return numberType_;
  }

  bool FinishCapture() {
    json value = std::move(capture_->Value());
    capture_.reset();
    if (topKey_ == "stamps") return Stamps(value);
    return Items(value);
  }

  bool Stamps(const json& s) {
    std::uint32_t a = 0, b = 0, c = 0;
    if (!s.is_array() || s.size() != 3 || !Number(s[0], "stamps", "stamps", a) ||
        !Number(s[1], "stamps", "stamps", b) || !Number(s[2], "stamps", "stamps", c) || a > 65535 ||
        b > 65535) {
      return Fail("stamps", "three numbers, the first two at most 65535");
    }
    source_.book.stamp1 = static_cast<std::uint16_t>(a);
    source_.book.stamp2 = static_cast<std::uint16_t>(b);
    source_.book.stamp3 = c;
    return true;
  }

  bool Items(const json& items) {
    if (!items.is_array()) return Fail("items", "must be an array");
    source_.book.items.resize(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (!Item(items[i], "items[" + std::to_string(i) + "]", source_.book.items[i])) return false;
    }
    return true;
  }

  bool FileBytes(const json& j, const std::string& where, std::vector<std::uint8_t>& out) {
    if (!j.is_string()) return Fail(where, "\"file\" must be a string");
    const std::string path = baseDir_ + "/" + j.get<std::string>();
    std::string why;
    auto bytes = ReadRegularFile(path, why);
    if (!bytes) return Fail(where, "cannot read " + path + " (" + why + ")");
    out.assign(bytes->begin(), bytes->end());
    return true;
  }

  bool Item(const json& j, const std::string& where, std::vector<std::uint8_t>& out) {
    if (j.is_object() && j.contains("file") && j.size() == 1)
      return FileBytes(j["file"], where, out);
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
      if (!Number(vs[i]["width"], w, "width", width) ||
          !Number(vs[i]["height"], w, "height", height)) {
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

  static constexpr std::uint32_t kNoName = 0xFFFFFFFFu;

  std::string baseDir_;
  std::string_view text_;
  std::string path_;  // set when the source is read as a stream
  std::string& error_;
  BookSource source_;
  std::vector<NodeFrame> nodes_;
  std::optional<Capture> capture_;
  std::string topKey_;
  std::set<std::string> topKeys_;
  std::unordered_map<std::string, std::uint32_t> names_;  // UTF-8 name -> name index
  std::uint32_t stringType_ = kNoName, numberType_ = kNoName;
  std::size_t skip_ = 0;
  bool inBook_ = false;
  bool sawRoot_ = false;
};

// A read-only stream over a file descriptor, read in large blocks.
class FdBuffer : public std::streambuf {
 public:
  explicit FdBuffer(int fd) : fd_(fd), buffer_(1 << 20) {}
  int Error() const { return error_; }  // errno of a failed read, else 0

 protected:
  int_type underflow() override {
    while (true) {
      const ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        error_ = n < 0 ? errno : 0;
        return traits_type::eof();
      }
      setg(buffer_.data(), buffer_.data(), buffer_.data() + n);
      return traits_type::to_int_type(buffer_[0]);
    }
  }

 private:
  int fd_;
  std::vector<char> buffer_;
  int error_ = 0;
};

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

}  // namespace

std::optional<BookSource> ParseBookSourceRecords(std::string_view text, const std::string& baseDir,
                                                 std::string& error) {
  error.clear();
  SourceReader reader(baseDir, text, "", error);
  const bool parsed = json::sax_parse(text.begin(), text.end(), &reader);
  if (!parsed && error.empty()) error = "source: not valid JSON";
  if (!parsed) return std::nullopt;
  return reader.Result();
}

std::optional<BookSource> ReadBookSourceRecords(const std::string& path, std::string& error) {
  error.clear();
  std::string why;
  const int fd = OpenRegularFile(path, why);
  if (fd < 0) {
    error = "cannot read " + path + " (" + why + ")";
    return std::nullopt;
  }
  FdBuffer buffer(fd);
  std::istream in(&buffer);
  SourceReader reader(FolderOf(path), {}, path, error);
  const bool parsed = json::sax_parse(in, &reader);
  ::close(fd);
  if (buffer.Error() != 0) {
    error = "cannot read " + path + " (" + std::strerror(buffer.Error()) + ")";
    return std::nullopt;
  }
  if (!parsed && error.empty()) error = "source: not valid JSON";
  if (!parsed) return std::nullopt;
  return reader.Result();
}

std::optional<Book> ParseBookSource(std::string_view text, const std::string& baseDir,
                                    std::string& error) {
  auto source = ParseBookSourceRecords(text, baseDir, error);
  if (!source) return std::nullopt;
  source->book.root = ToBookNode(source->records);
  return std::move(source->book);
}

std::optional<Book> ReadBookSource(const std::string& path, std::string& error) {
  auto source = ReadBookSourceRecords(path, error);
  if (!source) return std::nullopt;
  source->book.root = ToBookNode(source->records);
  return std::move(source->book);
}

}  // namespace vrok
