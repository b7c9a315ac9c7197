#include "core/pages/titles.h"

#include <atomic>

#include "content/schema.h"
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

}  // namespace vrok
