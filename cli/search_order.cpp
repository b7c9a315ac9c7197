#include "cli/search_order.h"

#include <algorithm>
#include <optional>
#include <unordered_map>

#include "content/utf8.h"
#include "core/pages/markup.h"
#include "core/pages/prefix_search.h"

namespace vrok {

namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFFu;

bool IsIndexType(std::u16string_view t) { return t == u"index" || t == u"index with fields"; }

// A row is searched when its own table type is an index, or when its view
// mode is an index inside a configurable tight hierarchy table.
bool IsSearched(const std::u16string* ownType, const std::u16string* viewMode,
                const std::u16string* tableType) {
  if (ownType && IsIndexType(*ownType)) return true;
  return viewMode && IsIndexType(*viewMode) && tableType &&
         *tableType == u"configurable tight hierarchy";
}

}  // namespace

std::u16string SearchKey(std::u16string_view markup) {
  std::u16string key = PlainTextOf(markup);
  for (char16_t& c : key) c = FoldCase(c);
  return key;
}

std::vector<OrderProblem> FindOrderProblems(const RowTree& tree, std::size_t limit) {
  std::vector<OrderProblem> problems;
  const std::uint32_t n = tree.Count();
  std::vector<std::uint32_t> tableOf(n, kNone);
  std::unordered_map<std::uint32_t, std::u16string> ownType, viewMode;
  for (std::uint32_t r = 0; r < n; ++r) {
    const std::u16string field = tree.Field(r);
    const std::uint32_t p = r > 0 ? tree.Parent(r) : kNone;
    const bool hasParent = p < r;  // a damaged book may say otherwise
    if (hasParent && field == u"table type") ownType.try_emplace(p, tree.Text(r));
    if (hasParent && field == u"view mode") viewMode.try_emplace(p, tree.Text(r));
    tableOf[r] = field == u"table" ? r : hasParent ? tableOf[p] : kNone;
  }
  const auto find = [](const auto& map, std::uint32_t row) -> const std::u16string* {
    const auto it = map.find(row);
    return it == map.end() ? nullptr : &it->second;
  };
  std::uint32_t list = kNone, previous = kNone;
  std::u16string previousKey, previousText;
  bool reported = false;
  for (std::uint32_t r = 1; r < n && problems.size() < limit; ++r) {
    const std::uint32_t p = tree.Parent(r);
    if (p >= r || tree.Field(r) != u"hierarchy item") continue;
    if (p != list) {
      const std::uint32_t table = tableOf[p];
      const bool searched = IsSearched(find(ownType, p), find(viewMode, p),
                                       table == kNone ? nullptr : find(ownType, table));
      list = p;
      previous = kNone;
      reported = !searched;  // nothing to check in a list that is not searched
    }
    if (reported) continue;
    std::u16string text = tree.Text(r);
    std::u16string key = SearchKey(text);
    if (previous != kNone && key < previousKey) {
      OrderProblem problem;
      problem.list = p;
      problem.table = tableOf[p] == kNone ? p : tableOf[p];
      problem.first = previous;
      problem.second = r;
      problem.firstText = previousText;
      problem.secondText = text;
      if (tableOf[p] != kNone) {
        problem.tableName = tree.Text(tableOf[p]);
        problem.keepOrder = tree.KeepsOrder(tableOf[p]);
      }
      problems.push_back(std::move(problem));
      reported = true;
      continue;
    }
    previous = r;
    previousKey = std::move(key);
    previousText = std::move(text);
  }
  return problems;
}

void SortSearchLists(BookNode& root) {
  struct Visit {
    BookNode* node;
    const BookNode* table;
  };
  const auto textOfChild = [](const BookNode& n,
                              std::u16string_view field) -> const std::u16string* {
    for (const BookNode& c : n.children) {
      if (c.field == field) return c.type == u"string" ? &c.text : nullptr;
    }
    return nullptr;
  };
  std::vector<Visit> stack{{&root, nullptr}};
  while (!stack.empty()) {
    const Visit v = stack.back();
    stack.pop_back();
    BookNode& n = *v.node;
    const BookNode* table = n.field == u"table" ? &n : v.table;
    if (table && table->sort.value_or(false) &&
        IsSearched(textOfChild(n, u"table type"), textOfChild(n, u"view mode"),
                   textOfChild(*table, u"table type"))) {
      std::vector<std::size_t> slots;
      std::vector<std::pair<std::u16string, BookNode>> items;
      for (std::size_t i = 0; i < n.children.size(); ++i) {
        BookNode& c = n.children[i];
        if (c.field != u"hierarchy item") continue;
        slots.push_back(i);
        items.emplace_back(SearchKey(c.type == u"string" ? c.text : u""), std::move(c));
      }
      std::stable_sort(items.begin(), items.end(),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
      for (std::size_t k = 0; k < slots.size(); ++k)
        n.children[slots[k]] = std::move(items[k].second);
    }
    for (BookNode& c : n.children) stack.push_back({&c, table});
  }
}

void SortSearchLists(BookRecords& records) {
  const auto& nodes = records.nodes;
  const auto isString = [&](std::uint32_t n) {
    return nodes[n].kind == BookRecords::kText && records.names[nodes[n].type] == u"string";
  };
  // The text of a node's first child of a field, when it is a "string".
  const auto textOfChild = [&](std::uint32_t n,
                               std::u16string_view field) -> std::optional<std::u16string> {
    for (std::uint32_t c = n + 1; c < nodes[n].end; c = nodes[c].end) {
      if (records.names[nodes[c].field] != field) continue;
      if (!isString(c)) return std::nullopt;
      return records.WideText(nodes[c].value);
    }
    return std::nullopt;
  };
  const auto ptr = [](const std::optional<std::u16string>& s) { return s ? &*s : nullptr; };
  // Open ancestors as (end, table), in document order.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> open;
  for (std::uint32_t n = 0; n < nodes.size(); ++n) {
    while (!open.empty() && open.back().first <= n) open.pop_back();
    std::uint32_t table = open.empty() ? kNone : open.back().second;
    if (records.names[nodes[n].field] == u"table") table = n;
    open.emplace_back(nodes[n].end, table);
    if (table == kNone || !(nodes[table].flags & BookRecords::kSortTrue)) continue;
    const auto ownType = textOfChild(n, u"table type");
    const auto viewMode = textOfChild(n, u"view mode");
    const auto tableType = textOfChild(table, u"table type");
    if (!IsSearched(ptr(ownType), ptr(viewMode), ptr(tableType))) continue;
    std::vector<std::uint32_t> kids;
    records.Children(n, kids);
    std::vector<std::size_t> slots;
    std::vector<std::pair<std::u16string, std::uint32_t>> items;
    for (std::size_t i = 0; i < kids.size(); ++i) {
      if (records.names[nodes[kids[i]].field] != u"hierarchy item") continue;
      slots.push_back(i);
      items.emplace_back(
          SearchKey(isString(kids[i]) ? records.WideText(nodes[kids[i]].value) : u""), kids[i]);
    }
    if (items.empty()) continue;
    std::stable_sort(items.begin(), items.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t k = 0; k < slots.size(); ++k) kids[slots[k]] = items[k].second;
    records.childOrder[n] = std::move(kids);
  }
}

std::string DescribeProblem(const OrderProblem& p) {
  std::string where = "table '" + ToUtf8(p.tableName) + "'";
  if (p.list != p.table) where = "the list at row " + std::to_string(p.list) + " in " + where;
  return where + ": its entries are out of order for the search: '" + ToUtf8(p.firstText) +
         "' (row " + std::to_string(p.first) + ") comes before '" + ToUtf8(p.secondText) +
         "' (row " + std::to_string(p.second) + ")";
}

}  // namespace vrok
