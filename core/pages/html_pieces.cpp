#include "core/pages/html_pieces.h"

#include <algorithm>
#include <initializer_list>

namespace vrok {

namespace {

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

bool IsLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

bool IsSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

bool OneOf(std::u16string_view name, std::initializer_list<std::u16string_view> names) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// Elements that may be open at a cut: reopening them repeats all they do.
bool IsFrame(std::u16string_view name) { return OneOf(name, {u"html", u"body", u"font"}); }

// Inline elements that may come and go between cuts; when one is open no
// cut is made.
bool IsInline(std::u16string_view name) {
  return OneOf(name, {u"a", u"b", u"i", u"u", u"s", u"em", u"strong", u"sup", u"sub", u"span",
                      u"small", u"big", u"tt", u"code", u"strike", u"nobr", u"font"});
}

// Elements without content that may stand anywhere.
bool IsEmptyInline(std::u16string_view name) { return OneOf(name, {u"br", u"img", u"wbr"}); }

struct Open {
  std::u16string name;
  std::u16string_view tag;  // the start tag as written
};

}  // namespace

std::vector<std::u16string> SplitAtLineBreaks(std::u16string_view html, std::size_t firstChars,
                                              std::size_t nextChars) {
  std::vector<std::u16string> pieces;
  std::vector<Open> open;
  std::size_t pieceStart = 0;                       // where the current piece's own text starts
  std::u16string reopen;                            // what the current piece starts with
  std::size_t wanted = firstChars;                  // its size before a cut is sought
  bool inHead = false;
  std::size_t i = 0;
  while (i < html.size()) {
    const std::size_t lt = html.find(u'<', i);
    if (lt == std::u16string_view::npos) break;
    // The tag's name, lower-cased, and where it ends (skipping quoted values).
    std::size_t n = lt + 1;
    const bool closing = n < html.size() && html[n] == u'/';
    if (closing) ++n;
    std::u16string name;
    while (n < html.size() && IsLetter(html[n])) name += Lower(html[n++]);
    if (name.empty()) break;  // a comment, a declaration or a stray '<': stop cutting
    char16_t quote = 0;
    std::size_t end = n;
    for (; end < html.size(); ++end) {
      const char16_t c = html[end];
      if (quote != 0) {
        if (c == quote) quote = 0;
      } else if (c == u'"' || c == u'\'') {
        quote = c;
      } else if (c == u'>') {
        break;
      }
    }
    if (end >= html.size()) break;
    i = end + 1;
    if (name == u"head" || name == u"title") {
      // The head holds nothing shown; its closing tag must come before any cut.
      inHead = !closing;
      continue;
    }
    if (inHead) continue;
    if (IsEmptyInline(name)) {
      if (name != u"br" || closing) continue;
      const bool frameOnly = std::all_of(open.begin(), open.end(),
                                         [](const Open& o) { return IsFrame(o.name); });
      // No white space on either side (the viewer would treat it differently
      // at a paragraph's edge than at a line break), and text after it.
      const bool textAround = lt > 0 && !IsSpace(html[lt - 1]) && i < html.size() &&
                              !IsSpace(html[i]) && html[i] != u'<';
      if (!frameOnly || !textAround || lt - pieceStart < wanted) continue;
      // A cut: the piece ends before the break; the next reopens the frame.
      pieces.push_back(reopen + std::u16string(html.substr(pieceStart, lt - pieceStart)));
      reopen.clear();
      for (const Open& o : open) reopen += o.tag;
      pieceStart = i;
      wanted = nextChars;
      continue;
    }
    if (!IsFrame(name) && !IsInline(name)) break;  // block structure: no more cuts
    if (!closing) {
      if (html[end - 1] != u'/') open.push_back({name, html.substr(lt, end + 1 - lt)});
      continue;
    }
    // A closing tag closes its innermost element and all inside it; a stray
    // one is ignored, as the viewer does.
    for (std::size_t k = open.size(); k-- > 0;) {
      if (open[k].name == name) {
        open.resize(k);
        break;
      }
    }
  }
  pieces.push_back(reopen + std::u16string(html.substr(pieceStart)));
  return pieces;
}

}  // namespace vrok
