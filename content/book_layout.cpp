#include "content/book_writer.h"

// Laying a book out: rows breadth first, name and string ids, keys.

#include <algorithm>
#include <charconv>
#include <map>
#include <unordered_map>
#include <unordered_set>

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

}  // namespace

std::optional<BookLayout> LayOutBook(const Book& book, std::string& error) {
  return Layouter(book, error).Run();
}

}  // namespace vrok
