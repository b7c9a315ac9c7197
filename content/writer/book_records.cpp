#include "content/writer/book_records.h"

#include <algorithm>

#include "content/utf8.h"

namespace vrok {

namespace {

void PutStored(std::string& out, std::uint32_t u) {
  if (u < 0x80) {
    out.push_back(static_cast<char>(u));
  } else if (u < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (u >> 6)));
    out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (u >> 12)));
    out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
  }
}

// Stored text back to wide text, zero bytes included (the text was made by
// StoredText, so every sequence is whole).
std::u16string WideOf(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<std::uint8_t>(s[i]);
    const auto at = [&](std::size_t k) {
      return i + k < s.size() ? static_cast<std::uint8_t>(s[i + k]) & 0x3Fu : 0u;
    };
    if (c < 0x80) {
      out.push_back(c);
      i += 1;
    } else if (c < 0xE0) {
      out.push_back(static_cast<char16_t>(((c & 0x1Fu) << 6) | at(1)));
      i += 2;
    } else {
      out.push_back(static_cast<char16_t>(((c & 0x0Fu) << 12) | (at(1) << 6) | at(2)));
      i += 3;
    }
  }
  return out;
}

}  // namespace

std::uint32_t BookRecords::Name(std::u16string_view name) {
  const auto [it, fresh] =
      nameIndex_.try_emplace(std::u16string(name), static_cast<std::uint32_t>(names.size()));
  if (fresh) names.emplace_back(name);
  return it->second;
}

std::uint32_t BookRecords::AddText(std::string_view stored) {
  texts.append(stored);
  textStarts.push_back(texts.size());
  return static_cast<std::uint32_t>(textStarts.size() - 2);
}

std::uint32_t BookRecords::AddId(std::string_view id) {
  idBytes.append(id);
  idStarts.push_back(idBytes.size());
  return static_cast<std::uint32_t>(idStarts.size() - 2);
}

std::u16string BookRecords::WideText(std::uint32_t i) const { return WideOf(Text(i)); }

std::string_view BookRecords::IdOf(std::uint32_t node) const {
  if (!(nodes[node].flags & kHasId)) return {};
  const auto it = std::lower_bound(ids.begin(), ids.end(), std::make_pair(node, 0u));
  return it != ids.end() && it->first == node ? IdText(it->second) : std::string_view();
}

std::optional<std::uint32_t> BookRecords::KeyOf(std::uint32_t node) const {
  if (!(nodes[node].flags & kHasKey)) return std::nullopt;
  const auto it = std::lower_bound(keys.begin(), keys.end(), std::make_pair(node, 0u));
  if (it == keys.end() || it->first != node) return std::nullopt;
  return it->second;
}

void BookRecords::Children(std::uint32_t node, std::vector<std::uint32_t>& out) const {
  out.clear();
  if (!childOrder.empty()) {
    if (const auto it = childOrder.find(node); it != childOrder.end()) {
      out = it->second;
      return;
    }
  }
  for (std::uint32_t c = node + 1; c < nodes[node].end; c = nodes[c].end) out.push_back(c);
}

std::optional<std::string> StoredText(std::string_view utf8) {
  // Plain ASCII, the common case, is stored as it is.
  std::size_t i = 0;
  while (i < utf8.size() && static_cast<std::uint8_t>(utf8[i]) < 0x80) ++i;
  if (i == utf8.size()) return std::string(utf8);
  const auto wide = FromUtf8(utf8);
  if (!wide) return std::nullopt;
  return StoredText(std::u16string_view(*wide));
}

std::string StoredText(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char16_t u : text) PutStored(out, u);
  return out;
}

BookRecords ToRecords(const BookNode& root, std::vector<const BookNode*>* nodes) {
  BookRecords r;
  // Document order: each node, then its children's subtrees in order.
  struct Visit {
    const BookNode* node;
    std::uint32_t record;
    std::size_t next;  // the next child to visit
  };
  std::vector<Visit> stack;
  const auto add = [&](const BookNode& n) {
    const auto index = static_cast<std::uint32_t>(r.nodes.size());
    BookRecords::Node rec;
    rec.field = r.Name(n.field);
    rec.type = r.Name(n.type);
    if (n.type == u"string" || n.textValue) {
      rec.kind = BookRecords::kText;
      rec.value = r.AddText(StoredText(std::u16string_view(n.text)));
    } else if (!n.ref.empty()) {
      rec.kind = BookRecords::kRef;
      rec.value = r.AddId(n.ref);
    } else {
      rec.value = n.value;
    }
    if (n.key) {
      rec.flags |= BookRecords::kHasKey;
      r.keys.emplace_back(index, *n.key);
    }
    if (!n.id.empty()) {
      rec.flags |= BookRecords::kHasId;
      r.ids.emplace_back(index, r.AddId(n.id));
    }
    if (n.sort) rec.flags |= *n.sort ? BookRecords::kSortTrue : BookRecords::kSortFalse;
    r.nodes.push_back(rec);
    if (nodes) nodes->push_back(&n);
    stack.push_back({&n, index, 0});
  };
  add(root);
  while (!stack.empty()) {
    Visit& v = stack.back();
    if (v.next < v.node->children.size()) {
      add(v.node->children[v.next++]);
      continue;
    }
    r.nodes[v.record].end = static_cast<std::uint32_t>(r.nodes.size());
    stack.pop_back();
  }
  return r;
}

BookNode ToBookNode(const BookRecords& r) {
  BookNode root;
  if (r.nodes.empty()) return root;
  const auto fill = [&r](BookNode& n, std::uint32_t i) {
    const BookRecords::Node& rec = r.nodes[i];
    n.field = r.names[rec.field];
    n.type = r.names[rec.type];
    if (rec.kind == BookRecords::kText) {
      n.text = WideOf(r.Text(rec.value));
      n.textValue = n.type != u"string";
    } else if (rec.kind == BookRecords::kRef) {
      n.ref = std::string(r.IdText(rec.value));
    } else {
      n.value = rec.value;
    }
    n.key = r.KeyOf(i);
    n.id = std::string(r.IdOf(i));
    if (rec.flags & BookRecords::kSortTrue) n.sort = true;
    if (rec.flags & BookRecords::kSortFalse) n.sort = false;
  };
  // Children are appended only after their parent's vector stops growing:
  // each node's children are made in one go, then visited.
  struct Visit {
    BookNode* node;
    std::uint32_t record;
  };
  fill(root, 0);
  std::vector<Visit> stack{{&root, 0}};
  std::vector<std::uint32_t> kids;
  while (!stack.empty()) {
    const Visit v = stack.back();
    stack.pop_back();
    r.Children(v.record, kids);
    v.node->children.resize(kids.size());
    for (std::size_t k = 0; k < kids.size(); ++k) {
      fill(v.node->children[k], kids[k]);
      stack.push_back({&v.node->children[k], kids[k]});
    }
  }
  return root;
}

std::u16string BookLayout::String(std::uint32_t id) const {
  return WideOf(std::string_view(stringBytes)
                    .substr(stringStarts[id], stringStarts[id + 1] - stringStarts[id]));
}

}  // namespace vrok
