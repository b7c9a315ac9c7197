#include "core/search/search_text.h"

#include <array>
#include <utility>

#include "content/utf8.h"
#include "core/pages/prefix_search.h"

namespace vrok::search {

namespace {

// Base letters of U+00C0..U+017F; 0 where the character is not a letter
// with a plain base (×, ÷, Æ, ß and the like keep their own form).
using namespace std::string_view_literals;
constexpr std::u16string_view kLatinBase =
    u"AAAAAA\0CEEEEIIII\0NOOOOO\0\0UUUUY\0\0"  // C0-DF
    u"aaaaaa\0ceeeeiiii\0nooooo\0\0uuuuy\0y"    // E0-FF
    u"AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIi\0\0JjKk\0LlLlLlLlLlNnNnNn\0\0\0OoOoOo\0\0RrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZz\0"sv;  // 100-17F
static_assert(kLatinBase.size() == 0x180 - 0xC0);

bool IsWordChar(char16_t c) {
  if ((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'))
    return true;
  if (c < 0xC0) return false;
  if (c == 0xD7 || c == 0xF7) return false;
  if (c >= 0x2000 && c <= 0x206F) return false;  // general punctuation
  if (c >= 0x3000 && c <= 0x303F) return false;
  return true;
}

bool IsApostrophe(char16_t c) { return c == u'\'' || c == 0x2019; }

// British spellings, as parts of a folded word, and the American form they
// stand for. Longer parts first, so that the most specific one applies.
constexpr std::array<std::pair<std::string_view, std::string_view>, 23> kVariants{{
    {"diarrhoea", "diarrhea"},
    {"haemorrh", "hemorrh"},
    {"anaesthe", "anesthe"},
    {"orthopaed", "orthoped"},
    {"behaviour", "behavior"},
    {"tumour", "tumor"},
    {"colour", "color"},
    {"oesoph", "esoph"},
    {"oestro", "estro"},
    {"oedem", "edem"},
    {"coeliac", "celiac"},
    {"foetus", "fetus"},
    {"foetal", "fetal"},
    {"haem", "hem"},
    {"paed", "ped"},
    {"aemia", "emia"},
    {"aemic", "emic"},
    {"sulph", "sulf"},
    {"fibre", "fiber"},
    {"litre", "liter"},
    {"centre", "center"},
    {"ischaem", "ischem"},
    {"leukaem", "leukem"},
}};

}  // namespace

char16_t FoldLetter(char16_t c) {
  if (c >= 0xC0 && c <= 0x17F) {
    const char16_t base = kLatinBase[c - 0xC0];
    if (base != 0) c = base;
  }
  return FoldCase(c);
}

std::string NormaliseSpelling(std::string word) {
  for (const auto& [british, american] : kVariants) {
    for (std::size_t at = word.find(british); at != std::string::npos;
         at = word.find(british, at + american.size()))
      word.replace(at, british.size(), american);
  }
  return word;
}

std::vector<Word> WordsOf(std::u16string_view text) {
  std::vector<Word> words;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && !IsWordChar(text[i])) ++i;
    if (i >= text.size()) break;
    const std::size_t begin = i;
    std::u16string folded;
    while (i < text.size()) {
      if (IsWordChar(text[i])) {
        folded.push_back(FoldLetter(text[i]));
        ++i;
      } else if (IsApostrophe(text[i]) && i + 1 < text.size() && IsWordChar(text[i + 1])) {
        ++i;  // "Addison's" is one word, "addisons"
      } else {
        break;
      }
    }
    words.push_back(Word{begin, i, NormaliseSpelling(ToUtf8(folded))});
  }
  return words;
}

std::string KeyText(std::u16string_view text) {
  std::string out;
  for (const Word& w : WordsOf(text)) {
    if (!out.empty()) out.push_back(' ');
    out += w.key;
  }
  return out;
}

}  // namespace vrok::search
