#include "core/pages/viewer_html.h"

#include <algorithm>
#include <initializer_list>
#include <map>
#include <vector>

namespace vrok {

namespace {

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

// The tag name of the tag starting at page[at] == '<', lower-cased, with a
// leading "/" for a closing tag; empty when no name follows.
std::u16string TagName(std::u16string_view page, std::size_t at) {
  std::u16string name;
  std::size_t i = at + 1;
  if (i < page.size() && page[i] == u'/') name += page[i++];
  while (i < page.size() &&
         ((page[i] >= u'a' && page[i] <= u'z') || (page[i] >= u'A' && page[i] <= u'Z'))) {
    name += Lower(page[i++]);
  }
  return name == u"/" ? std::u16string() : name;
}

// Where the tag starting at html[at] == '<' ends: the index of its '>',
// skipping quoted attribute values; npos when it does not end.
std::size_t TagEnd(std::u16string_view html, std::size_t at) {
  char16_t quote = 0;
  for (std::size_t i = at + 1; i < html.size(); ++i) {
    const char16_t c = html[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == u'"' || c == u'\'') {
      quote = c;
    } else if (c == u'>') {
      return i;
    }
  }
  return std::u16string_view::npos;
}

bool OneOf(std::u16string_view name, std::initializer_list<std::u16string_view> names) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// Elements that never hold content.
bool IsVoid(std::u16string_view name) {
  return OneOf(name,
               {u"area", u"base", u"basefont", u"br", u"col", u"embed", u"frame", u"hr", u"img",
                u"input", u"isindex", u"link", u"meta", u"param", u"source", u"track", u"wbr"});
}

// Elements that the next of their kind closes, so that a run of them never
// nests: they do not count towards the depth.
bool ClosesItself(std::u16string_view name) {
  return OneOf(name, {u"p", u"li", u"dt", u"dd", u"option"});
}

bool IsTablePart(std::u16string_view name) {
  return OneOf(name, {u"tr", u"td", u"th", u"thead", u"tbody", u"tfoot", u"caption", u"colgroup"});
}

}  // namespace

std::u16string BoundNesting(std::u16string_view html) {
  std::u16string out;
  out.reserve(html.size());
  std::vector<std::u16string> open;            // elements passed on, outermost first
  std::map<std::u16string, std::size_t> left;  // left-out start tags not yet closed
  std::vector<bool> tables;                    // every open table: passed on or left out
  std::size_t liveTables = 0;
  // Pops the element stack down to (and without) index k, with its tables.
  const auto popTo = [&](std::size_t k) {
    while (open.size() > k) {
      if (open.back() == u"table") {
        while (!tables.empty()) {
          const bool live = tables.back();
          tables.pop_back();
          if (live) break;
        }
        --liveTables;
      }
      open.pop_back();
    }
  };
  std::size_t i = 0;
  while (i < html.size()) {
    const std::size_t lt = html.find(u'<', i);
    if (lt == std::u16string_view::npos) {
      out.append(html.substr(i));
      break;
    }
    out.append(html.substr(i, lt - i));
    i = lt;
    const std::u16string name = TagName(html, i);
    const std::size_t end = name.empty() ? std::u16string_view::npos : TagEnd(html, i);
    if (end == std::u16string_view::npos) {
      out += html[i++];
      continue;
    }
    const std::u16string_view tag = html.substr(i, end + 1 - i);
    i = end + 1;
    const bool closing = name[0] == u'/';
    const std::u16string_view bare = closing ? std::u16string_view(name).substr(1) : name;
    if (IsTablePart(bare)) {
      // Table parts pass only inside a table that was passed on.
      if (!tables.empty() && tables.back()) out.append(tag);
      continue;
    }
    if (IsVoid(bare) || ClosesItself(bare) || (!closing && tag[tag.size() - 2] == u'/')) {
      out.append(tag);
      continue;
    }
    if (!closing) {
      const bool table = bare == u"table";
      if (open.size() < kMaxNesting && (!table || liveTables < kMaxTableNesting)) {
        open.emplace_back(bare);
        if (table) {
          tables.push_back(true);
          ++liveTables;
        }
        out.append(tag);
      } else {
        ++left[std::u16string(bare)];
        if (table) tables.push_back(false);
      }
      continue;
    }
    // A closing tag: of a left-out element (the innermost of its name when
    // the markup nests properly), of an open one (closing what it holds, as
    // the viewer does), or a stray one, which the viewer ignores.
    if (auto it = left.find(std::u16string(bare)); it != left.end() && it->second > 0) {
      if (--it->second == 0) left.erase(it);
      if (bare == u"table" && !tables.empty() && !tables.back()) tables.pop_back();
      continue;
    }
    for (std::size_t k = open.size(); k-- > 0;) {
      if (open[k] == bare) {
        popTo(k);
        break;
      }
    }
    out.append(tag);
  }
  return out;
}

std::u16string ViewerHtml(std::u16string_view page) {
  std::u16string out;
  out.reserve(page.size() + page.size() / 16);
  bool anchorOpen = false;
  std::size_t i = 0;
  while (i < page.size()) {
    if (page[i] != u'<') {
      out += page[i++];
      continue;
    }
    const std::u16string name = TagName(page, i);
    const std::size_t nameEnd = i + 1 + name.size();
    const bool closesAnchor =
        name == u"li" || name == u"/li" || name == u"menu" || name == u"/menu" || name == u"ul" ||
        name == u"/ul" || name == u"ol" || name == u"/ol" || name == u"/body" || name == u"/html";
    if (closesAnchor && anchorOpen) {
      out += u"</A>";
      anchorOpen = false;
    }
    if (name == u"a") anchorOpen = true;
    if (name == u"/a") anchorOpen = false;
    if (name == u"br") {
      // A break that ends a list item adds no line on the handheld; the
      // desktop viewer would draw an empty line under every item.
      const std::size_t end = page.find(u'>', i);
      if (end != std::u16string_view::npos && end + 1 < page.size() && page[end + 1] == u'<' &&
          TagName(page, end + 1) == u"/li") {
        i = end + 1;
        continue;
      }
    }
    if (name == u"menu" || name == u"/menu") {
      out += name == u"menu" ? u"<UL" : u"</UL";
      i = nameEnd;
      continue;
    }
    out += page[i++];
  }
  if (anchorOpen) out += u"</A>";
  return BoundNesting(out);
}

}  // namespace vrok
