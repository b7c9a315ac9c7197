#pragma once
// How the book search sees words: letters folded to lower case without
// accents, British and American spellings brought to one form, text split
// into words, and sentences found for snippets.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vrok::search {

// One word of a text: where it stands (UTF-16 offsets) and its folded,
// spelling-normalised form (UTF-8).
struct Word {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::string key;
};

// A letter without its accent and in lower case ("É" -> "e", "ß" stays).
char16_t FoldLetter(char16_t c);

// The words of a text (letters and digits; an apostrophe inside a word
// joins it), each with its key.
std::vector<Word> WordsOf(std::u16string_view text);

// A folded word with British spellings brought to the American form by a
// small table of ours ("haemorrhage" -> "hemorrhage", "oedema" -> "edema",
// "oesophagus" -> "esophagus", "anaemia" -> "anemia"). Both spellings of a
// word give the same key, so either finds the other.
std::string NormaliseSpelling(std::string folded);

// The keys of a text joined by single spaces: what the index holds and
// what queries are parsed from.
std::string KeyText(std::u16string_view text);

}  // namespace vrok::search
