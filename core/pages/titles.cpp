#include "core/pages/titles.h"

#include <atomic>

#include "content/schema.h"
#include "core/pages/markup.h"
#include "core/pages/page_text.h"

namespace vrok {

namespace {
std::atomic<bool> readableTitles{false};
}  // namespace

void SetReadableTitles(bool readable) { readableTitles.store(readable); }
bool ReadableTitles() { return readableTitles.load(); }

std::u16string ShownName(const ContentDatabase& db, RowIndex row, bool readable) {
  if (readable && FieldIs(db, row, names::kTable)) {
    const RowIndex title = db.FindChild(row, db.FieldIdOf(names::kTitle));
    std::u16string text;
    if (title != 0 && StringOf(db, title, text) && !text.empty()) return text;
  }
  return TextOf(db, row);
}

std::u16string PopupCaption(std::u16string_view markup) {
  constexpr std::size_t kLongest = 40;
  std::u16string plain = PlainTextOf(markup);
  for (char16_t& c : plain)
    if (c == u'\n' || c == u'\r' || c == u'\t') c = u' ';
  const std::size_t colon = plain.find(u": ");
  if (colon != std::u16string::npos && colon > 0 && colon <= kLongest)
    return plain.substr(0, colon);
  if (plain.size() <= kLongest) return plain;
  std::size_t cut = plain.rfind(u' ', kLongest);
  if (cut == std::u16string::npos || cut == 0) cut = kLongest;
  return plain.substr(0, cut) + u"\u2026";
}

}  // namespace vrok
