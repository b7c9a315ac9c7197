#include "render/viewer_html.h"

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

}  // namespace

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
  return out;
}

}  // namespace vrok
