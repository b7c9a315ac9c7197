#include "content/writer/book_writer.h"

// Laying a book out: rows breadth first, name and string ids, keys. The
// layout reads the book as compact records (content/book_records.h); a
// BookNode tree is converted first.

#include <algorithm>
#include <charconv>
#include <cstring>
#include <functional>

#include "content/internal/format.h"
#include "content/utf8.h"
#include "content/writer/book_records.h"

namespace vrok {

namespace {

constexpr std::u16string_view kStringType = u"string";
constexpr std::u16string_view kTableField = u"table";
constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;

std::uint32_t Fnv1a(std::uint32_t h, std::string_view bytes) {
  for (const char c : bytes) {
    h ^= static_cast<std::uint8_t>(c);
    h *= 16777619u;
  }
  return h;
}
constexpr std::uint32_t kFnvBasis = 2166136261u;

std::size_t TableSize(std::size_t n) {
  std::size_t size = 16;
  while (size < 2 * n) size *= 2;
  return size;
}

// Keys in use and the row holding each: an open-addressing table, far
// smaller than a node-based map for a million rows.
class KeyTable {
 public:
  explicit KeyTable(std::size_t n) : slots_(n + n / 2 + 16, {0, kEmpty}) {}

  // The row already holding key, or kEmpty after giving it to row.
  std::uint32_t Claim(std::uint32_t key, std::uint32_t row) {
    for (std::size_t i = Slot(key);; i = Next(i)) {
      if (slots_[i].second == kEmpty) {
        slots_[i] = {key, row};
        return kEmpty;
      }
      if (slots_[i].first == key) return slots_[i].second;
    }
  }
  bool Contains(std::uint32_t key) const {
    for (std::size_t i = Slot(key);; i = Next(i)) {
      if (slots_[i].second == kEmpty) return false;
      if (slots_[i].first == key) return true;
    }
  }

 private:
  std::size_t Slot(std::uint32_t key) const {
    return static_cast<std::size_t>((std::uint64_t{key} * 0x9E3779B97F4A7C15u) >> 32) %
           slots_.size();
  }
  std::size_t Next(std::size_t i) const { return i + 1 == slots_.size() ? 0 : i + 1; }
  std::vector<std::pair<std::uint32_t, std::uint32_t>> slots_;
};

// The string ids by text: an open-addressing table of ids into the layout's
// strings, so that no text is held twice.
class StringTable {
 public:
  StringTable(BookLayout& out, std::size_t n)
      : out_(out), slots_(TableSize(n), kEmpty), mask_(slots_.size() - 1) {}

  std::uint32_t Intern(std::string_view text) {
    if (out_.stringStarts.size() * 2 > slots_.size()) Grow();
    std::size_t i = std::hash<std::string_view>()(text) & mask_;
    for (;; i = (i + 1) & mask_) {
      if (slots_[i] == kEmpty) break;
      if (View(slots_[i]) == text) return slots_[i];
    }
    const auto id = static_cast<std::uint32_t>(out_.stringStarts.size() - 1);
    out_.stringBytes.append(text);
    out_.stringStarts.push_back(out_.stringBytes.size());
    slots_[i] = id;
    return id;
  }

 private:
  std::string_view View(std::uint32_t id) const {
    return std::string_view(out_.stringBytes)
        .substr(out_.stringStarts[id], out_.stringStarts[id + 1] - out_.stringStarts[id]);
  }
  void Grow() {
    std::vector<std::uint32_t> old(slots_.size() * 2, kEmpty);
    old.swap(slots_);
    mask_ = slots_.size() - 1;
    for (const std::uint32_t id : old) {
      if (id == kEmpty) continue;
      std::size_t i = std::hash<std::string_view>()(View(id)) & mask_;
      while (slots_[i] != kEmpty) i = (i + 1) & mask_;
      slots_[i] = id;
    }
  }

  BookLayout& out_;
  std::vector<std::uint32_t> slots_;
  std::size_t mask_;
};

class Layouter {
 public:
  Layouter(BookRecords& book, std::size_t itemCount, std::string& error)
      : book_(book), itemCount_(itemCount), error_(error) {}

  std::optional<BookLayout> Run() {
    if (book_.nodes.empty()) {
      error_ = "a book needs a root";
      return std::nullopt;
    }
    AssignNameIds();
    if (!Order() || !CollectIds() || !ResolveValues()) return std::nullopt;
    // The texts are all in the layout now: their memory goes before the
    // keys are made.
    book_.texts = std::string();
    book_.textStarts = std::vector<std::uint64_t>();
    if (!AssignKeys()) return std::nullopt;
    Finish();
    return std::move(out_);
  }

 private:
  const BookRecords::Node& NodeOf(std::uint32_t row) const {
    return book_.nodes[out_.rows[row].record];
  }
  const std::u16string& FieldOf(std::uint32_t row) const { return book_.names[NodeOf(row).field]; }
  const std::u16string& TypeOf(std::uint32_t row) const { return book_.names[NodeOf(row).type]; }

  bool Fail(std::uint32_t row, const std::string& what) {
    error_ = Describe(row) + ": " + what;
    return false;
  }

  // "node 'id'" or the field path from the root, for messages.
  std::string Describe(std::uint32_t row) const {
    const std::string_view id = book_.IdOf(out_.rows[row].record);
    if (!id.empty()) return "node '" + std::string(id) + "'";
    std::string path;
    for (std::uint32_t r = row;; r = out_.rows[r].parent) {
      std::string field = ToUtf8(FieldOf(r));
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
    fieldIds_.assign(book_.names.size(), kEmpty);
    typeIds_.assign(book_.names.size(), kEmpty);
    const auto visit = [this](std::uint32_t n) {
      const BookRecords::Node& rec = book_.nodes[n];
      Intern(fieldIds_, out_.fieldNames, rec.field);
      Intern(typeIds_, out_.typeNames, rec.type);
    };
    if (book_.childOrder.empty()) {  // document order is depth first
      for (std::uint32_t n = 0; n < book_.nodes.size(); ++n) visit(n);
      return;
    }
    std::vector<std::uint32_t> stack{0}, kids;
    while (!stack.empty()) {
      const std::uint32_t n = stack.back();
      stack.pop_back();
      visit(n);
      book_.Children(n, kids);
      stack.insert(stack.end(), kids.rbegin(), kids.rend());
    }
  }

  void Intern(std::vector<std::uint32_t>& ids, std::vector<std::u16string>& list,
              std::uint32_t name) {
    if (ids[name] != kEmpty) return;
    ids[name] = static_cast<std::uint32_t>(list.size());
    list.push_back(book_.names[name]);
  }

  // Rows breadth first; each node's children stably ordered by field id.
  // Trees deeper than kMaxBookDepth are refused.
  bool Order() {
    out_.rows.reserve(book_.nodes.size());
    LaidOutRow root;
    root.record = 0;
    out_.rows.push_back(root);
    std::vector<std::uint32_t> depth{0};
    depth.reserve(book_.nodes.size());
    std::vector<std::uint32_t> children;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> kids;  // (field id, record)
    for (std::size_t i = 0; i < out_.rows.size(); ++i) {
      const std::uint32_t n = out_.rows[i].record;
      book_.Children(n, children);
      if (!children.empty() && depth[i] >= kMaxBookDepth) {
        return Fail(static_cast<std::uint32_t>(i),
                    "nested more than " + std::to_string(kMaxBookDepth) + " levels deep");
      }
      kids.clear();
      for (const std::uint32_t c : children) kids.emplace_back(fieldIds_[book_.nodes[c].field], c);
      std::stable_sort(kids.begin(), kids.end(),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
      for (std::size_t k = 0; k < kids.size(); ++k) {
        LaidOutRow row;
        row.record = kids[k].second;
        row.parent = static_cast<std::uint32_t>(i);
        row.field = static_cast<std::uint16_t>(kids[k].first);
        row.type = static_cast<std::uint16_t>(typeIds_[book_.nodes[kids[k].second].type]);
        out_.rows.push_back(row);
        depth.push_back(depth[i] + 1);
      }
    }
    out_.rows[0].field = static_cast<std::uint16_t>(fieldIds_[book_.nodes[0].field]);
    out_.rows[0].type = static_cast<std::uint16_t>(typeIds_[book_.nodes[0].type]);
    return true;
  }

  bool CollectIds() {
    std::vector<std::pair<std::string_view, std::uint32_t>> ids;
    ids.reserve(book_.ids.size());
    for (std::uint32_t r = 0; r < out_.rows.size(); ++r) {
      const std::string_view id = book_.IdOf(out_.rows[r].record);
      if (!id.empty()) ids.emplace_back(id, r);
    }
    std::sort(ids.begin(), ids.end());
    // The first row, in row order, whose id an earlier row has.
    std::uint32_t duplicate = kEmpty;
    for (std::size_t i = 1; i < ids.size(); ++i) {
      if (ids[i].first == ids[i - 1].first && (i < 2 || ids[i - 2].first != ids[i].first)) {
        duplicate = std::min(duplicate, ids[i].second);
      }
    }
    if (duplicate != kEmpty) {
      return Fail(duplicate,
                  "duplicate id '" + std::string(book_.IdOf(out_.rows[duplicate].record)) + "'");
    }
    out_.ids.reserve(ids.size());
    for (const auto& [id, r] : ids) out_.ids.emplace_back(std::string(id), r);
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
  bool Substitute(std::uint32_t row, std::string& text) {
    static constexpr std::string_view kRow = "{{row:", kItem = "{{item:", kOpen = "{{open}}";
    std::size_t at = 0;
    while ((at = text.find("{{", at)) != std::string::npos) {
      const std::string_view rest = std::string_view(text).substr(at);
      if (rest.starts_with(kOpen)) {
        text.replace(at, kOpen.size(), "{{");
        at += 2;
        continue;
      }
      const bool isRow = rest.starts_with(kRow);
      if (!isRow && !rest.starts_with(kItem)) {
        ++at;
        continue;
      }
      const std::size_t open = isRow ? kRow.size() : kItem.size();
      const std::size_t close = text.find("}}", at + open);
      if (close == std::string::npos) {
        return Fail(row, std::string("unclosed ") + (isRow ? "{{row:" : "{{item:") +
                             " in its text (write {{open}} for a literal {{)");
      }
      const std::string inner =
          SourceUtf8(std::string_view(text).substr(at + open, close - at - open));
      std::string replacement;
      if (isRow) {
        const auto target = RowOfId(inner);
        if (!target) return Fail(row, "unknown id '" + inner + "' in its text");
        replacement = std::to_string(*target);
      } else {
        char* end = nullptr;
        const unsigned long item = std::strtoul(inner.c_str(), &end, 10);
        if (inner.empty() || inner[0] < '0' || inner[0] > '9' || *end != '\0' ||
            item >= itemCount_) {
          return Fail(row, "no item '" + inner + "' for its text");
        }
        replacement = std::to_string(item);
      }
      text.replace(at, close + 2 - at, replacement);
      at += replacement.size();
    }
    return true;
  }

  // Stored text as plain UTF-8 (surrogate pairs joined), for names in texts.
  static std::string SourceUtf8(std::string_view stored) {
    for (const char c : stored) {
      if (static_cast<std::uint8_t>(c) >= 0x80) {
        const auto bytes = reinterpret_cast<const std::uint8_t*>(stored.data());
        return ToUtf8(DecodeContentUtf8(std::span(bytes, stored.size())));
      }
    }
    return std::string(stored);
  }

  bool ResolveValues() {
    // Room for every text at once, so that growing never holds two copies
    // (pages not written to take no memory).
    out_.stringBytes.reserve(book_.texts.size() + 4096);
    out_.stringStarts.reserve(out_.rows.size() + out_.fieldNames.size() + out_.typeNames.size() +
                              2);
    StringTable strings(out_, out_.rows.size());
    strings.Intern("");
    for (const auto& name : out_.fieldNames) {
      out_.fieldNameStrings.push_back(strings.Intern(StoredText(std::u16string_view(name))));
    }
    for (const auto& name : out_.typeNames) {
      out_.typeNameStrings.push_back(strings.Intern(StoredText(std::u16string_view(name))));
    }
    std::string text;
    for (std::uint32_t r = 0; r < out_.rows.size(); ++r) {
      LaidOutRow& row = out_.rows[r];
      const BookRecords::Node& n = book_.nodes[row.record];
      const std::u16string& field = book_.names[n.field];
      const std::u16string& type = book_.names[n.type];
      if (field.find(u'\0') != std::u16string::npos) {
        return Fail(r, "a field name cannot hold a zero character");
      }
      if (type.find(u'\0') != std::u16string::npos) {
        return Fail(r, "a type name cannot hold a zero character");
      }
      row.isString = type == kStringType;
      row.keepOrder = (n.flags & BookRecords::kSortFalse) != 0;
      if (n.kind == BookRecords::kText) {
        const std::string_view stored = book_.Text(n.value);
        if (stored.find("{{") == std::string_view::npos) {
          if (stored.find('\0') != std::string_view::npos)
            return Fail(r, "a text cannot hold a zero character");
          row.value = strings.Intern(stored);
        } else {
          text.assign(stored);
          if (!Substitute(r, text)) return false;
          if (text.find('\0') != std::string::npos)
            return Fail(r, "a text cannot hold a zero character");
          row.value = strings.Intern(text);
        }
      } else if (n.kind == BookRecords::kRef) {
        const std::string_view ref = book_.IdText(n.value);
        const auto target = RowOfId(ref);
        if (!target) return Fail(r, "unknown ref '" + std::string(ref) + "'");
        row.value = *target;
      } else {
        row.value = n.value;
      }
      if (field == kTableField) {
        if (type != kStringType) return Fail(r, "a table needs its name as a string");
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
    KeyTable used(out_.rows.size());
    const auto claim = [&](std::uint32_t r, std::uint32_t key) {
      const std::uint32_t holder = used.Claim(key, r);
      if (holder == kEmpty) {
        out_.rows[r].key = key;
        return true;
      }
      return Fail(r,
                  "key collision with " + Describe(holder) + " (key " + std::to_string(key) + ")");
    };
    const auto nextFree = [&](std::uint32_t key) {
      while (key == 0 || key >= format::kReservedKeysFrom || used.Contains(key)) {
        key = key >= format::kReservedKeysFrom ? 1 : key + 1;
      }
      return key;
    };
    const auto explicitKey = [&](std::uint32_t r) { return book_.KeyOf(out_.rows[r].record); };
    if (!book_.keys.empty()) {
      for (std::uint32_t r = 0; r < out_.rows.size(); ++r) {
        if (const auto key = explicitKey(r)) {
          if (!claim(r, *key)) return false;
        }
      }
    }
    if (!book_.KeyOf(0) && !claim(0, 0)) return false;
    std::vector<std::string> fieldUtf8;
    for (const auto& name : out_.fieldNames) fieldUtf8.push_back(ToUtf8(name));
    std::vector<std::uint32_t> movedOn;  // rows whose hashed key was taken
    for (const auto& [id, r] : out_.ids) {
      if (r == 0 || explicitKey(r)) continue;
      std::uint32_t key = Fnv1a(kFnvBasis, id);
      if (key == 0) key = 1;
      if (key >= format::kReservedKeysFrom) key -= 0x100;
      if (used.Claim(key, r) == kEmpty) {
        out_.rows[r].key = key;
      } else {
        movedOn.push_back(r);
      }
    }
    for (const std::uint32_t r : movedOn) {
      const std::uint32_t key = nextFree(Fnv1a(kFnvBasis, book_.IdOf(out_.rows[r].record)));
      used.Claim(key, r);
      out_.rows[r].key = key;
    }
    std::uint32_t run = 0;  // the row's place in its run
    for (std::uint32_t r = 1; r < out_.rows.size(); ++r) {
      const LaidOutRow& previous = out_.rows[r - 1];
      run = r > 1 && previous.parent == out_.rows[r].parent && previous.field == out_.rows[r].field
                ? run + 1
                : 0;
      const BookRecords::Node& n = NodeOf(r);
      if (n.flags & (BookRecords::kHasKey | BookRecords::kHasId)) continue;
      const std::uint32_t parentKey = out_.rows[out_.rows[r].parent].key;
      std::uint32_t key = Fnv1a(
          kFnvBasis, std::string_view(reinterpret_cast<const char*>(&parentKey), sizeof parentKey));
      // The hash of "FIELD#RUN", in pieces.
      char runText[12] = {'#'};
      const auto end = std::to_chars(runText + 1, runText + sizeof runText, run).ptr;
      key = Fnv1a(key, fieldUtf8[out_.rows[r].field]);
      key =
          nextFree(Fnv1a(key, std::string_view(runText, static_cast<std::size_t>(end - runText))));
      used.Claim(key, r);
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
    // Keys are distinct: sorting (key, row) pairs gives the rows by key.
    std::vector<std::uint64_t> byKey(rows.size());
    for (std::uint32_t i = 0; i < byKey.size(); ++i)
      byKey[i] = std::uint64_t{rows[i].key} << 32 | i;
    std::sort(byKey.begin(), byKey.end());
    for (std::size_t m = 0; m < rows.size(); ++m) {
      rows[m].keyOrder = static_cast<std::uint32_t>(byKey[m]);
      out_.largestKey = std::max(out_.largestKey, rows[m].key);
      out_.followerRange = std::max(out_.followerRange, rows[m].followers + 1);
    }
  }

  BookRecords& book_;
  std::size_t itemCount_;
  std::string& error_;
  BookLayout out_;
  std::vector<std::uint32_t> fieldIds_, typeIds_;  // by name index
};

}  // namespace

std::optional<BookLayout> LayOutRecords(BookRecords records, std::size_t itemCount,
                                        std::string& error) {
  return Layouter(records, itemCount, error).Run();
}

std::optional<BookLayout> LayOutBook(const Book& book, std::string& error) {
  std::vector<const BookNode*> nodes;
  auto layout = LayOutRecords(ToRecords(book.root, &nodes), book.items.size(), error);
  if (layout) {
    layout->nodes.reserve(layout->rows.size());
    for (const LaidOutRow& row : layout->rows) layout->nodes.push_back(nodes[row.record]);
  }
  return layout;
}

}  // namespace vrok
