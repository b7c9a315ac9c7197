#include "content/book_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <unordered_map>
#include <unordered_set>

#include "content/bits.h"
#include "content/format.h"
#include "content/utf8.h"

namespace vrok {

namespace {

constexpr std::u16string_view kStringType = u"string";
constexpr std::u16string_view kTableField = u"table";

std::uint32_t Fnv1a(std::uint32_t h, std::string_view bytes) {
  for (const char c : bytes) {
    h ^= static_cast<std::uint8_t>(c);
    h *= 16777619u;
  }
  return h;
}
constexpr std::uint32_t kFnvBasis = 2166136261u;

class Layouter {
 public:
  Layouter(const Book& book, std::string& error) : book_(book), error_(error) {}

  std::optional<BookLayout> Run() {
    AssignNameIds();
    if (!Order() || !CollectIds() || !ResolveValues() || !AssignKeys()) return std::nullopt;
    Finish();
    return std::move(out_);
  }

 private:
  bool Fail(std::uint32_t row, const std::string& what) {
    error_ = Describe(row) + ": " + what;
    return false;
  }

  // "node 'id'" or the field path from the root, for messages.
  std::string Describe(std::uint32_t row) const {
    const BookNode* node = out_.rows[row].node;
    if (!node->id.empty()) return "node '" + node->id + "'";
    std::string path;
    for (std::uint32_t r = row;; r = out_.rows[r].parent) {
      std::string field = ToUtf8(out_.rows[r].node->field);
      for (std::size_t z = 0; (z = field.find('\0', z)) != std::string::npos;) {
        field.replace(z, 1, "\\u0000");  // shown, where it would end the message
      }
      path.insert(0, "/" + field);
      if (r == 0) break;
    }
    return "node " + path + " (row " + std::to_string(row) + ")";
  }

  // Field and type ids in order of first appearance, depth first.
  void AssignNameIds() {
    std::vector<const BookNode*> stack{&book_.root};
    while (!stack.empty()) {
      const BookNode* n = stack.back();
      stack.pop_back();
      Intern(fieldIds_, out_.fieldNames, n->field);
      Intern(typeIds_, out_.typeNames, n->type);
      for (auto it = n->children.rbegin(); it != n->children.rend(); ++it) stack.push_back(&*it);
    }
  }

  static std::uint32_t Intern(std::unordered_map<std::u16string, std::uint32_t>& ids,
                              std::vector<std::u16string>& list, const std::u16string& name) {
    const auto [it, fresh] = ids.try_emplace(name, static_cast<std::uint32_t>(list.size()));
    if (fresh) list.push_back(name);
    return it->second;
  }

  // Rows breadth first; each node's children stably ordered by field id.
  // Trees deeper than kMaxBookDepth are refused.
  bool Order() {
    LaidOutRow root;
    root.node = &book_.root;
    out_.rows.push_back(std::move(root));
    runIndex_.push_back(0);
    std::vector<std::uint32_t> depth{0};
    for (std::size_t i = 0; i < out_.rows.size(); ++i) {
      const BookNode* n = out_.rows[i].node;
      if (!n->children.empty() && depth[i] >= kMaxBookDepth) {
        return Fail(static_cast<std::uint32_t>(i),
                    "nested more than " + std::to_string(kMaxBookDepth) + " levels deep");
      }
      // (field id, child), each name looked up once.
      std::vector<std::pair<std::uint32_t, const BookNode*>> kids;
      kids.reserve(n->children.size());
      for (const BookNode& c : n->children) kids.emplace_back(fieldIds_.at(c.field), &c);
      std::stable_sort(kids.begin(), kids.end(),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
      std::uint32_t run = 0;
      for (std::size_t k = 0; k < kids.size(); ++k) {
        run = (k > 0 && kids[k - 1].first == kids[k].first) ? run + 1 : 0;
        LaidOutRow row;
        row.node = kids[k].second;
        row.parent = static_cast<std::uint32_t>(i);
        row.field = static_cast<std::uint16_t>(kids[k].first);
        row.type = static_cast<std::uint16_t>(typeIds_.at(kids[k].second->type));
        out_.rows.push_back(std::move(row));
        runIndex_.push_back(run);
        depth.push_back(depth[i] + 1);
      }
    }
    out_.rows[0].field = static_cast<std::uint16_t>(fieldIds_.at(book_.root.field));
    out_.rows[0].type = static_cast<std::uint16_t>(typeIds_.at(book_.root.type));
    return true;
  }

  bool CollectIds() {
    std::map<std::string, std::uint32_t> ids;
    for (std::uint32_t r = 0; r < out_.rows.size(); ++r) {
      const std::string& id = out_.rows[r].node->id;
      if (id.empty()) continue;
      if (!ids.emplace(id, r).second) return Fail(r, "duplicate id '" + id + "'");
    }
    out_.ids.assign(ids.begin(), ids.end());
    return true;
  }

  std::optional<std::uint32_t> RowOfId(std::string_view id) const {
    const auto it = std::lower_bound(out_.ids.begin(), out_.ids.end(), id,
                                     [](const auto& e, std::string_view v) { return e.first < v; });
    if (it == out_.ids.end() || it->first != id) return std::nullopt;
    return it->second;
  }

  // Replaces {{row:ID}} and {{item:N}} in a text, and {{open}} by a
  // literal "{{". Every {{row: and {{item: must be resolved; any other "{{"
  // is kept as it is.
  bool Substitute(std::uint32_t row, std::u16string& text) {
    static constexpr std::u16string_view kRow = u"{{row:", kItem = u"{{item:", kOpen = u"{{open}}";
    std::size_t at = 0;
    while ((at = text.find(u"{{", at)) != std::u16string::npos) {
      const std::u16string_view rest = std::u16string_view(text).substr(at);
      if (rest.starts_with(kOpen)) {
        text.replace(at, kOpen.size(), u"{{");
        at += 2;
        continue;
      }
      const bool isRow = rest.starts_with(kRow);
      if (!isRow && !rest.starts_with(kItem)) {
        ++at;
        continue;
      }
      const std::size_t open = isRow ? kRow.size() : kItem.size();
      const std::size_t close = text.find(u"}}", at + open);
      if (close == std::u16string::npos) {
        return Fail(row, std::string("unclosed ") + (isRow ? "{{row:" : "{{item:") +
                             " in its text (write {{open}} for a literal {{)");
      }
      const std::string inner = ToUtf8(std::u16string_view(text).substr(at + open, close - at - open));
      std::string replacement;
      if (isRow) {
        const auto target = RowOfId(inner);
        if (!target) return Fail(row, "unknown id '" + inner + "' in its text");
        replacement = std::to_string(*target);
      } else {
        char* end = nullptr;
        const unsigned long item = std::strtoul(inner.c_str(), &end, 10);
        if (inner.empty() || inner[0] < '0' || inner[0] > '9' || *end != '\0' ||
            item >= book_.items.size()) {
          return Fail(row, "no item '" + inner + "' for its text");
        }
        replacement = std::to_string(item);
      }
      const std::u16string wide(replacement.begin(), replacement.end());
      text.replace(at, close + 2 - at, wide);
      at += wide.size();
    }
    return true;
  }

  // The string ids, found by text without keeping a second copy of each.
  struct StringHash {
    using is_transparent = void;
    const std::vector<std::u16string>* list;
    std::size_t operator()(std::u16string_view s) const { return std::hash<std::u16string_view>()(s); }
    std::size_t operator()(std::uint32_t id) const { return (*this)((*list)[id]); }
  };
  struct StringEqual {
    using is_transparent = void;
    const std::vector<std::u16string>* list;
    std::u16string_view View(std::u16string_view s) const { return s; }
    std::u16string_view View(std::uint32_t id) const { return (*list)[id]; }
    template <typename A, typename B>
    bool operator()(const A& a, const B& b) const { return View(a) == View(b); }
  };
  using StringIds = std::unordered_set<std::uint32_t, StringHash, StringEqual>;

  std::uint32_t InternString(StringIds& ids, std::u16string&& text) {
    if (const auto it = ids.find(std::u16string_view(text)); it != ids.end()) return *it;
    const auto id = static_cast<std::uint32_t>(out_.strings.size());
    out_.strings.push_back(std::move(text));
    ids.insert(id);
    return id;
  }

  bool ResolveValues() {
    StringIds strings(out_.rows.size(), StringHash{&out_.strings}, StringEqual{&out_.strings});
    InternString(strings, u"");
    for (const auto& name : out_.fieldNames) {
      out_.fieldNameStrings.push_back(InternString(strings, std::u16string(name)));
    }
    for (const auto& name : out_.typeNames) {
      out_.typeNameStrings.push_back(InternString(strings, std::u16string(name)));
    }
    for (std::uint32_t r = 0; r < out_.rows.size(); ++r) {
      LaidOutRow& row = out_.rows[r];
      const BookNode& n = *row.node;
      if (n.field.find(u'\0') != std::u16string::npos) {
        return Fail(r, "a field name cannot hold a zero character");
      }
      if (n.type.find(u'\0') != std::u16string::npos) {
        return Fail(r, "a type name cannot hold a zero character");
      }
      if (n.type == kStringType || n.textValue) {
        std::u16string text = n.text;
        if (!Substitute(r, text)) return false;
        if (text.find(u'\0') != std::u16string::npos) {
          return Fail(r, "a text cannot hold a zero character");
        }
        row.value = InternString(strings, std::move(text));
      } else if (!n.ref.empty()) {
        const auto target = RowOfId(n.ref);
        if (!target) return Fail(r, "unknown ref '" + n.ref + "'");
        row.value = *target;
      } else {
        row.value = n.value;
      }
      if (n.field == kTableField) {
        if (n.type != kStringType) return Fail(r, "a table needs its name as a string");
        out_.tables.emplace_back(row.value, r);
      }
    }
    return true;
  }

  // Explicit keys first (two equal ones are an error), then the root's 0,
  // then keys hashed from ids and last keys hashed from the parent's key.
  // Ids are taken in sorted order, in two rounds: first every id whose hash
  // is free takes it (on a shared hash the id that sorts first wins), then
  // the others move on to the next free key. So the same source always gives
  // the same keys, and a new id disturbs an old one only when their hashes
  // meet and the new id sorts first.
  bool AssignKeys() {
    std::unordered_map<std::uint32_t, std::uint32_t> used;  // key -> row
    used.reserve(out_.rows.size());
    const auto claim = [&](std::uint32_t r, std::uint32_t key) {
      const auto [it, fresh] = used.emplace(key, r);
      if (fresh) {
        out_.rows[r].key = key;
        return true;
      }
      return Fail(r, "key collision with " + Describe(it->second) + " (key " +
                         std::to_string(key) + ")");
    };
    const auto nextFree = [&](std::uint32_t key) {
      while (key == 0 || key >= format::kReservedKeysFrom || used.contains(key)) {
        key = key >= format::kReservedKeysFrom ? 1 : key + 1;
      }
      return key;
    };
    for (std::uint32_t r = 0; r < out_.rows.size(); ++r) {
      if (const auto& key = out_.rows[r].node->key) {
        if (!claim(r, *key)) return false;
      }
    }
    if (!book_.root.key && !claim(0, 0)) return false;
    std::vector<std::string> fieldUtf8;
    for (const auto& name : out_.fieldNames) fieldUtf8.push_back(ToUtf8(name));
    std::vector<std::uint32_t> movedOn;  // rows whose hashed key was taken
    for (const auto& [id, r] : out_.ids) {
      if (r == 0 || out_.rows[r].node->key) continue;
      std::uint32_t key = Fnv1a(kFnvBasis, id);
      if (key == 0) key = 1;
      if (key >= format::kReservedKeysFrom) key -= 0x100;
      if (used.emplace(key, r).second) {
        out_.rows[r].key = key;
      } else {
        movedOn.push_back(r);
      }
    }
    for (const std::uint32_t r : movedOn) {
      const std::uint32_t key = nextFree(Fnv1a(kFnvBasis, out_.rows[r].node->id));
      used.emplace(key, r);
      out_.rows[r].key = key;
    }
    for (std::uint32_t r = 1; r < out_.rows.size(); ++r) {
      const BookNode& n = *out_.rows[r].node;
      if (n.key || !n.id.empty()) continue;
      const std::uint32_t parentKey = out_.rows[out_.rows[r].parent].key;
      std::uint32_t key = Fnv1a(kFnvBasis, std::string_view(reinterpret_cast<const char*>(&parentKey),
                                                            sizeof parentKey));
      // The hash of "FIELD#RUN", in pieces.
      char run[12] = {'#'};
      const auto end = std::to_chars(run + 1, run + sizeof run, runIndex_[r]).ptr;
      key = Fnv1a(key, fieldUtf8[out_.rows[r].field]);
      key = nextFree(Fnv1a(key, std::string_view(run, static_cast<std::size_t>(end - run))));
      used.emplace(key, r);
      out_.rows[r].key = key;
    }
    return true;
  }

  void Finish() {
    auto& rows = out_.rows;
    // Followers: the first row of a run of k holds k - 1, each later one the
    // number of rows after it in the run.
    for (std::size_t i = rows.size(); i-- > 0;) {
      const bool sameRunAsNext = i + 1 < rows.size() && rows[i + 1].parent == rows[i].parent &&
                                 rows[i + 1].field == rows[i].field && i != 0;
      rows[i].followers = sameRunAsNext ? rows[i + 1].followers + 1 : 0;
    }
    std::vector<std::uint32_t> byKey(rows.size());
    for (std::uint32_t i = 0; i < byKey.size(); ++i) byKey[i] = i;
    std::sort(byKey.begin(), byKey.end(),
              [&](std::uint32_t a, std::uint32_t b) { return rows[a].key < rows[b].key; });
    for (std::size_t m = 0; m < rows.size(); ++m) {
      rows[m].keyOrder = byKey[m];
      out_.largestKey = std::max(out_.largestKey, rows[m].key);
      out_.followerRange = std::max(out_.followerRange, rows[m].followers + 1);
    }
  }

  const Book& book_;
  std::string& error_;
  BookLayout out_;
  std::unordered_map<std::u16string, std::uint32_t> fieldIds_, typeIds_;
  std::vector<std::uint32_t> runIndex_;
};

// ---------------------------------------------------------------------------
// Containers

void PutBE16(std::vector<std::uint8_t>& b, std::uint16_t v) {
  b.push_back(static_cast<std::uint8_t>(v >> 8));
  b.push_back(static_cast<std::uint8_t>(v));
}
void PutBE32(std::vector<std::uint8_t>& b, std::uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<std::uint8_t>(v >> s));
}

bool WriteAllTo(int fd, std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// One container file: its records are written out straight from where they
// lie (data records from the blobs, which must outlive the container).
class Container {
 public:
  explicit Container(std::string name) : name_(std::move(name)) {}

  void AddRecord(std::vector<std::uint8_t> bytes) {
    owned_.push_back(std::move(bytes));
    records_.emplace_back(owned_.back());
  }

  // A packed array, one record per chunk; entry(index, chunkBytes, bit)
  // writes one entry.
  void AddArray(const format::PackedArray& a,
                const std::function<void(std::uint64_t, std::span<std::uint8_t>, std::uint64_t)>&
                    entry) {
    for (std::uint64_t k = 0; k < a.chunks; ++k) {
      const std::uint64_t first = k * a.capacity;
      const std::uint64_t n = std::min(a.capacity, a.count - first);
      std::vector<std::uint8_t> chunk(k + 1 < a.chunks ? a.stride : (n * a.width + 7) / 8);
      for (std::uint64_t j = 0; j < n; ++j) entry(first + j, chunk, j * a.width);
      AddRecord(std::move(chunk));
    }
  }

  // Data records of 65000 bytes, the last one shorter; not copied.
  void AddData(const std::vector<std::uint8_t>& data) {
    for (std::size_t at = 0; at < data.size(); at += format::kDataRecordSize) {
      const std::size_t n = std::min<std::size_t>(format::kDataRecordSize, data.size() - at);
      records_.emplace_back(data.data() + at, n);
    }
  }

  // Whether the container can be written: at most 65535 records, offsets
  // within 32 bits.
  bool Check(std::string& error) const {
    if (records_.size() > 65535) {
      error = name_ + ": more than 65535 container records";
      return false;
    }
    std::uint64_t end = format::InfoRecordOffset(records_.size());
    for (const auto& r : records_) end += r.size();
    if (!records_.empty() && end - records_.back().size() > 0xFFFFFFFFu) {
      error = name_ + ": larger than 4 GiB";
      return false;
    }
    return true;
  }

  // Writes the file and syncs it; false on any failure.
  bool WriteTo(const std::string& path) const {
    std::vector<std::uint8_t> head;
    std::string title = name_;
    title.resize(32, '\0');
    head.insert(head.end(), title.begin(), title.end());
    head.resize(60, 0);  // attributes, version, dates, modification number, info ids
    head.insert(head.end(), {'D', 'A', 'T', 'A', 'V', 'R', 'O', 'K'});
    head.resize(76, 0);  // unique id seed, next record list
    PutBE16(head, static_cast<std::uint16_t>(records_.size()));
    std::uint64_t offset = format::InfoRecordOffset(records_.size());
    for (std::size_t i = 0; i < records_.size(); ++i) {
      PutBE32(head, static_cast<std::uint32_t>(offset));
      PutBE32(head, static_cast<std::uint32_t>(i & 0xFFFFFF));  // attributes 0, unique id
      offset += records_[i].size();
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) return false;
    bool ok = WriteAllTo(fd, head);
    for (const auto& r : records_) ok = ok && WriteAllTo(fd, r);
    ok = ok && ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
  }

 private:
  std::string name_;
  std::deque<std::vector<std::uint8_t>> owned_;
  std::vector<std::span<const std::uint8_t>> records_;
};

// A location table over blobs laid end to end, then the blobs themselves.
struct Blobs {
  std::vector<std::uint8_t> data;
  std::vector<std::uint32_t> locations;
  std::uint32_t largest = 0;

  bool Add(std::span<const std::uint8_t> bytes) {
    const std::uint64_t at = data.size();
    const std::uint64_t record = at / format::kDataRecordSize;
    if (record > 0xFFFF) return false;
    const auto loc = static_cast<std::uint32_t>(record << 16 | at % format::kDataRecordSize);
    locations.push_back(loc);
    largest = std::max(largest, loc);
    data.insert(data.end(), bytes.begin(), bytes.end());
    return true;
  }
};

std::optional<format::PackedArray> Array(std::uint64_t n, std::uint16_t w, const char* what,
                                         std::string& error) {
  auto a = format::MakePackedArray(n, w);
  if (!a) error = std::string(what) + ": more than 65535 chunks";
  return a;
}

bool WriteFileAt(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  const bool ok = done == bytes.size() && ::fsync(fd) == 0;
  return ::close(fd) == 0 && ok;
}

bool SyncFolder(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// A second name for an old file: a hard link, or a copy where the file
// system has none.
bool KeepCopy(const std::string& from, const std::string& to) {
  if (::link(from.c_str(), to.c_str()) == 0) return true;
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  std::vector<std::uint8_t> bytes;
  std::uint8_t buf[65536];
  ssize_t n = 0;
  while ((n = ::read(in, buf, sizeof buf)) > 0) bytes.insert(bytes.end(), buf, buf + n);
  ::close(in);
  return n == 0 && WriteFileAt(to, bytes);
}

// The three file names, the staging folders beside them.
struct CommitPaths {
  explicit CommitPaths(const std::string& dir)
      : folder(dir),
        staging(dir + "/.vrok-book-staging"),
        ready(dir + "/.vrok-book-ready"),
        old(dir + "/.vrok-book-old") {
    const std::string prefix(format::kPrefixName);
    names = {prefix + std::string(format::kDataSuffix), prefix + std::string(format::kStringsSuffix),
             prefix + std::string(format::kBinarySuffix), prefix + std::string(format::kSearchSuffix)};
  }
  std::string folder, staging, ready, old;
  // The three content files, then the search index (present only when a
  // stager wrote one; an old index without a new one is removed).
  std::array<std::string, 4> names;
};

void RemoveFolder(const CommitPaths& p, const std::string& dir) {
  for (const auto& name : p.names) ::unlink((dir + "/" + name).c_str());
  ::rmdir(dir.c_str());
}

// Renames, with the test hook that can make one of them fail.
class Renamer {
 public:
  explicit Renamer(const CommitFaults* faults) : faults_(faults) {}
  bool operator()(const std::string& from, const std::string& to) {
    const int step = step_++;
    if (faults_ && faults_->failRename && faults_->failRename(step)) {
      errno = EIO;
      return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
  }
  bool Abandon() const { return faults_ && faults_->abandon; }

 private:
  const CommitFaults* faults_;
  int step_ = 0;
};

// Puts the three files into the folder, all or nothing as far as an error
// the writer sees goes:
//  1. the new files are written and synced in .vrok-book-staging;
//  2. the old files get second names in .vrok-book-old;
//  3. .vrok-book-staging is renamed .vrok-book-ready: from here on the new
//     book is the one to finish;
//  4. each file is renamed from .vrok-book-ready over its old name;
//  5. both folders are removed.
// A failed rename in step 4 puts the old files back (or removes the new
// ones when there was no old book). Should the process die in step 4, the
// folder holds a mix until FinishInterruptedCommit (run by every WriteBook)
// completes step 4 from .vrok-book-ready.
bool CommitFiles(const CommitPaths& p,
                 const std::array<const Container*, 3>& files,
                 const CommitFaults* faults, const StageExtra* extra, std::string& error) {
  Renamer rename(faults);
  const auto fail = [&](const std::string& what) {
    error = what + " in " + p.folder + " (" + std::strerror(errno) + ")";
    return false;
  };
  // Fails after removing the staging folder (and the old book's copy when
  // it was made), reporting the error that caused the failure.
  const auto failClearing = [&](const std::string& what, bool oldCopyMade) {
    const int e = errno;
    RemoveFolder(p, p.staging);
    if (oldCopyMade) RemoveFolder(p, p.old);
    errno = e;
    return fail(what);
  };
  if (::mkdir(p.staging.c_str(), 0755) != 0) return fail("cannot create a staging folder");
  for (std::size_t i = 0; i < 3; ++i) {
    if (!files[i]->WriteTo(p.staging + "/" + p.names[i]))
      return failClearing("cannot write the content files", false);
  }
  if (extra != nullptr && *extra) {
    std::string why;
    if (!(*extra)(p.staging, p.staging + "/" + p.names[3], why)) {
      const int e = errno;
      RemoveFolder(p, p.staging);
      errno = e;
      error = why.empty() ? "cannot write the search index" : why;
      return false;
    }
  }
  SyncFolder(p.staging);
  std::array<bool, 4> hadOld{};
  if (::mkdir(p.old.c_str(), 0755) != 0)
    return failClearing("cannot keep the old book aside", false);
  for (std::size_t i = 0; i < p.names.size(); ++i) {
    const std::string target = p.folder + "/" + p.names[i];
    hadOld[i] = Exists(target);
    if (hadOld[i] && !KeepCopy(target, p.old + "/" + p.names[i]))
      return failClearing("cannot keep the old book aside", true);
  }
  SyncFolder(p.old);
  if (!rename(p.staging, p.ready)) {
    if (rename.Abandon()) return fail("cannot commit the new book");
    return failClearing("cannot commit the new book", true);
  }
  SyncFolder(p.folder);
  for (std::size_t i = 0; i < p.names.size(); ++i) {
    if (i == 3 && !Exists(p.ready + "/" + p.names[i])) {
      ::unlink((p.folder + "/" + p.names[i]).c_str());  // no index made: none is stale
      continue;
    }
    if (rename(p.ready + "/" + p.names[i], p.folder + "/" + p.names[i])) continue;
    const int e = errno;
    if (rename.Abandon()) return fail("cannot commit the new book");
    // Back to the old book: each file already moved is put back, or removed
    // when there was none.
    bool restored = true;
    for (std::size_t j = 0; j < i; ++j) {
      const std::string target = p.folder + "/" + p.names[j];
      restored = (hadOld[j] ? ::rename((p.old + "/" + p.names[j]).c_str(), target.c_str())
                            : ::unlink(target.c_str())) == 0 &&
                 restored;
    }
    errno = e;
    if (!restored) {
      return fail("cannot commit the new book, nor put the old one back; run vrok-book again "
                  "to finish the new one");
    }
    RemoveFolder(p, p.ready);
    RemoveFolder(p, p.old);
    SyncFolder(p.folder);
    errno = e;
    return fail("cannot commit the new book");
  }
  SyncFolder(p.folder);
  RemoveFolder(p, p.ready);
  RemoveFolder(p, p.old);
  SyncFolder(p.folder);
  return true;
}

}  // namespace

std::optional<BookLayout> LayOutBook(const Book& book, std::string& error) {
  return Layouter(book, error).Run();
}

std::vector<std::uint8_t> MakeImageItem(const std::vector<ImageVariant>& variants) {
  std::vector<std::uint8_t> item(3 + 11 * variants.size(), 0);
  item[0] = static_cast<std::uint8_t>(variants.size());
  std::size_t offset = item.size();
  for (std::size_t i = 0; i < variants.size(); ++i) {
    std::uint8_t* r = &item[3 + 11 * i];
    const ImageVariant& v = variants[i];
    r[0] = static_cast<std::uint8_t>(v.width >> 8);
    r[1] = static_cast<std::uint8_t>(v.width);
    r[2] = static_cast<std::uint8_t>(v.height >> 8);
    r[3] = static_cast<std::uint8_t>(v.height);
    for (int b = 0; b < 4; ++b) r[5 + b] = static_cast<std::uint8_t>(offset >> (24 - 8 * b));
    offset += v.bytes.size();
  }
  for (const auto& v : variants) item.insert(item.end(), v.bytes.begin(), v.bytes.end());
  return item;
}

bool FinishInterruptedCommit(const std::string& folder, std::string& error) {
  const CommitPaths p(folder);
  if (Exists(p.ready)) {
    for (const auto& name : p.names) {
      const std::string from = p.ready + "/" + name;
      if (Exists(from) && ::rename(from.c_str(), (folder + "/" + name).c_str()) != 0) {
        error = "cannot finish an interrupted replacement of the book in " + folder + " (" +
                std::strerror(errno) + ")";
        return false;
      }
    }
    SyncFolder(folder);
    RemoveFolder(p, p.ready);
  }
  // Leftovers of a replacement that never reached its commit.
  if (Exists(p.staging)) RemoveFolder(p, p.staging);
  if (Exists(p.old)) RemoveFolder(p, p.old);
  return true;
}

BookWriteResult WriteBook(const Book& book, const std::string& folder) {
  return WriteBook(book, folder, nullptr);
}

BookWriteResult WriteBook(const Book& book, const std::string& folder, const CommitFaults* faults) {
  BookWriteResult result;
  const auto layout = LayOutBook(book, result.message);
  if (!layout) return result;
  return WriteBook(book, *layout, folder, faults);
}

BookWriteResult WriteBook(const Book& book, const BookLayout& L, const std::string& folder,
                          const CommitFaults* faults, const StageExtra* extra) {
  BookWriteResult result;
  std::string& error = result.message;

  if (L.fieldNames.size() > 65535 || L.typeNames.size() > 65535) {
    error = "more than 65535 field or type names";
    return result;
  }
  const auto rowCount = static_cast<std::uint32_t>(L.rows.size());
  const std::uint16_t keyW = format::Bits(L.largestKey);
  const std::uint16_t rowW = format::IndexWidth(rowCount);
  const std::uint16_t fieldW = format::IndexWidth(L.fieldNames.size());
  const std::uint16_t followerW = format::IndexWidth(L.followerRange);
  const std::uint16_t typeW = format::IndexWidth(L.typeNames.size());
  const std::uint16_t stringW = format::IndexWidth(L.strings.size());
  const auto nodeW = static_cast<std::uint16_t>(keyW + rowW + fieldW + followerW + typeW + 32 + rowW);


  // Strings and items.
  Blobs strings;
  for (const auto& s : L.strings) {
    const auto bytes = EncodeContentUtf8(s);
    if (!bytes) {
      error = "a text, field name or type name holds a zero character";
      return result;
    }
    if (!strings.Add(std::span(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()))) {
      error = "strings: more than 65536 data records";
      return result;
    }
  }
  Blobs items;
  for (const auto& item : book.items) {
    if (!items.Add(item)) {
      error = "items: more than 65536 data records";
      return result;
    }
  }

  const auto fieldsA = Array(L.fieldNames.size(), stringW, "field-name list", error);
  const auto typesA = Array(L.typeNames.size(), stringW, "type-name list", error);
  const auto dirA = Array(L.tables.size(), static_cast<std::uint16_t>(stringW + rowW), "table directory", error);
  const auto nodesA = Array(rowCount, nodeW, "node table", error);
  const auto stringsA = Array(L.strings.size(), format::Bits(strings.largest), "string locations", error);
  const auto itemsA = Array(book.items.size(), format::Bits(items.largest), "item locations", error);
  if (!fieldsA || !typesA || !dirA || !nodesA || !stringsA || !itemsA) return result;

  // Data file.
  Container data("VROK-Vrok-Data");
  std::vector<std::uint8_t> info;
  PutBE32(info, format::kDataFormatVersion);
  PutBE16(info, book.stamp1);
  PutBE16(info, book.stamp2);
  PutBE32(info, book.stamp3);
  PutBE16(info, static_cast<std::uint16_t>(L.fieldNames.size()));
  PutBE16(info, static_cast<std::uint16_t>(L.typeNames.size()));
  PutBE32(info, static_cast<std::uint32_t>(L.tables.size()));
  PutBE32(info, rowCount);
  PutBE32(info, L.largestKey);
  PutBE32(info, L.followerRange);
  data.AddRecord(info);
  const auto idList = [stringW](const std::vector<std::uint32_t>& ids) {
    return [&ids, stringW](std::uint64_t i, std::span<std::uint8_t> b, std::uint64_t bit) {
      WriteBits(b, bit, stringW, ids[i]);
    };
  };
  data.AddArray(*fieldsA, idList(L.fieldNameStrings));
  data.AddArray(*typesA, idList(L.typeNameStrings));
  data.AddArray(*dirA, [&](std::uint64_t i, std::span<std::uint8_t> b, std::uint64_t bit) {
    WriteBits(b, bit, stringW, L.tables[i].first);
    WriteBits(b, bit + stringW, rowW, L.tables[i].second);
  });
  data.AddArray(*nodesA, [&](std::uint64_t i, std::span<std::uint8_t> b, std::uint64_t bit) {
    const LaidOutRow& r = L.rows[i];
    for (const auto& [width, value] : {std::pair<unsigned, std::uint32_t>{keyW, r.key},
                                      {rowW, r.parent},
                                      {fieldW, r.field},
                                      {followerW, r.followers},
                                      {typeW, r.type},
                                      {32u, r.value},
                                      {rowW, r.keyOrder}}) {
      WriteBits(b, bit, width, value);
      bit += width;
    }
  });

  // Strings and binary files: info record, location table, data records.
  const auto blobFile = [](const char* name, std::uint32_t version, std::uint32_t stampsOrZero[3],
                           std::uint32_t count, const Blobs& blobs,
                           const format::PackedArray& a) {
    Container c(name);
    std::vector<std::uint8_t> rec;
    PutBE32(rec, version);
    PutBE16(rec, static_cast<std::uint16_t>(stampsOrZero[0]));
    PutBE16(rec, static_cast<std::uint16_t>(stampsOrZero[1]));
    PutBE32(rec, stampsOrZero[2]);
    PutBE32(rec, count);
    PutBE32(rec, blobs.largest);
    c.AddRecord(rec);
    c.AddArray(a, [&blobs, &a](std::uint64_t i, std::span<std::uint8_t> b, std::uint64_t bit) {
      WriteBits(b, bit, a.width, blobs.locations[i]);
    });
    c.AddData(blobs.data);
    return c;
  };
  std::uint32_t stamps[3] = {book.stamp1, book.stamp2, book.stamp3};
  std::uint32_t noStamps[3] = {0, 0, 0};
  const Container stringsFile = blobFile("VROK-Vrok-Strings", 1, stamps,
                                         static_cast<std::uint32_t>(L.strings.size()), strings, *stringsA);
  const Container binaryFile = blobFile("VROK-Vrok-Binary-PPC", format::kBinaryFormatVersion,
                                        noStamps, static_cast<std::uint32_t>(book.items.size()),
                                        items, *itemsA);

  if (!data.Check(error) || !stringsFile.Check(error) || !binaryFile.Check(error)) return result;

  const CommitPaths paths(folder);
  if (!FinishInterruptedCommit(folder, error)) return result;
  if (!CommitFiles(paths, {&data, &stringsFile, &binaryFile}, faults, extra, error)) return result;
  result.ok = true;
  return result;
}

}  // namespace vrok
