#include "core/search/book_documents.h"

#include <algorithm>
#include <unordered_map>

#include "core/pages/markup.h"

namespace vrok::search {

namespace {

constexpr std::uint32_t kChunk = 4096;

// Fields that name or arrange things rather than show text.
bool ShownText(std::u16string_view field) {
  return field != u"table type" && field != u"view mode" && field != u"field name" &&
         field != u"column name" && field != u"is path" && field != u"sort" &&
         field != u"link" && field != u"column count" && field != u"data";
}

// A text as one line: markup gone, line breaks turned to spaces.
std::u16string Line(std::u16string_view markup) {
  std::u16string text = PlainTextOf(markup);
  for (char16_t& c : text)
    if (c == u'\n' || c == u'\r' || c == u'\t') c = u' ';
  return text;
}

// A table's stored name as a reader would write it: "A_Z_IN_BRIEF" is
// "A to Z in brief", "GUIDE_TO_TARVESSA" "Guide to tarvessa". Other texts
// are kept.
std::u16string Readable(std::u16string text) {
  bool lower = false, underscore = false;
  for (const char16_t c : text) {
    lower = lower || (c >= u'a' && c <= u'z');
    underscore = underscore || c == u'_';
  }
  if (lower || !underscore) return text;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'_') text[i] = u' ';
    if (i > 0 && text[i] >= u'A' && text[i] <= u'Z') text[i] = static_cast<char16_t>(text[i] + 32);
  }
  if (text.rfind(u"A z ", 0) == 0) text.replace(0, 4, u"A to Z ");
  return text;
}

}  // namespace

bool WalkBook(const ContentDatabase& db, const std::function<void(BookDocument&&)>& sink) {
  const std::uint32_t count = db.RowCount();
  if (count == 0) return false;
  const FieldId tableField = db.FieldIdOf(u"table");
  const FieldId itemField = db.FieldIdOf(u"hierarchy item");
  const FieldId typeField = db.FieldIdOf(u"table type");
  const FieldId linkField = db.FieldIdOf(u"link");
  const FieldId columnField = db.FieldIdOf(u"field name");
  const FieldId htmlField = db.FieldIdOf(u"html");
  const FieldId titleField = db.FieldIdOf(u"title");
  const auto& fieldNames = db.FieldNames();

  std::vector<NodeRow> rows;
  rows.reserve(count);
  bool whole = true;
  for (std::uint32_t first = 0; first < count; first += kChunk) {
    const std::uint32_t n = std::min(kChunk, count - first);
    std::vector<NodeRow> chunk;
    if (!db.ReadRows(first, n, chunk) || chunk.size() != n) {
      whole = false;
      break;
    }
    rows.insert(rows.end(), chunk.begin(), chunk.end());
  }
  const std::uint32_t known = static_cast<std::uint32_t>(rows.size());
  const auto textOf = [&](const NodeRow& r) {
    std::u16string text;
    if (db.IsStringType(r.type) && r.value != 0) db.ReadString(StringId{r.value}, text);
    return text;
  };

  // Index tables: their entries lead elsewhere.
  std::vector<bool> indexTable(known, false);
  for (const NodeRow& r : rows) {
    if (r.field != typeField || r.parent >= known || r.row == r.parent) continue;
    if (textOf(r) == u"index") indexTable[r.parent] = true;
  }

  constexpr std::uint32_t kNone = 0xFFFFFFFFu;

  // What labels a record's sections, as the record pages show them: a
  // table's "field name" children name its records' fields by position;
  // a field with an "html" child is labelled by its own text.
  std::vector<std::uint32_t> childIndex(known, 0), tableOf(known, kNone);
  std::unordered_map<std::uint32_t, std::vector<std::u16string>> columns;  // table -> names
  std::unordered_map<std::uint32_t, std::u16string> labelOf;               // field -> label
  std::unordered_map<std::uint32_t, std::u16string> tableTitle;            // table -> title
  {
    std::vector<std::uint32_t> children(known, 0);
    for (std::uint32_t i = 1; i < known; ++i) {
      const NodeRow& r = rows[i];
      if (r.parent >= i) continue;
      childIndex[i] = children[r.parent]++;
      tableOf[i] = rows[r.parent].field == tableField ? r.parent : tableOf[r.parent];
      if (r.field == columnField && rows[r.parent].field == tableField)
        columns[r.parent].push_back(Line(textOf(r)));
      if (r.field == titleField && rows[r.parent].field == tableField) {
        std::u16string title = Line(textOf(r));
        if (!title.empty()) tableTitle[r.parent] = std::move(title);
      }
      if (r.field == htmlField && r.parent != 0 && !textOf(r).empty()) {
        std::u16string label = Line(textOf(rows[r.parent]));
        if (!label.empty()) labelOf[r.parent] = std::move(label);
      }
    }
  }
  const auto sectionLabel = [&](std::uint32_t field, std::uint32_t page) {
    const auto own = labelOf.find(field);
    if (own != labelOf.end()) return own->second;
    const NodeRow& r = rows[field];
    if (!db.IsStringType(r.type) || r.value == 0 || tableOf[page] == kNone) return std::u16string();
    const auto names = columns.find(tableOf[page]);
    if (names == columns.end() || childIndex[field] >= names->second.size()) return std::u16string();
    return names->second[childIndex[field]];
  };

  // Rows come after their parents, so one pass in order knows each row's
  // page and whether it lies inside an index.
  std::vector<std::uint32_t> owner(known, kNone);  // the page a row belongs to
  std::vector<std::uint32_t> topOf(known, kNone);  // the page's child above a row
  std::vector<bool> inIndex(known, false);
  std::vector<std::uint32_t> docOf(known, kNone);  // page row -> document
  std::vector<BookDocument> docs;
  std::vector<std::uint32_t> docParent;  // the document above, kNone at the top
  std::vector<bool> linkOnly;            // an item that is only a link
  std::vector<std::pair<std::uint32_t, std::u16string>> links;  // target row, entry text
  std::unordered_map<std::uint32_t, std::u16string> entryText;   // index entry -> its words

  for (std::uint32_t i = 0; i < known; ++i) {
    const NodeRow& r = rows[i];
    const bool hasParent = i != 0 && r.parent < i;
    const std::uint32_t parent = hasParent ? r.parent : kNone;
    inIndex[i] = parent != kNone && (inIndex[parent] || indexTable[parent]);
    const bool page = !inIndex[i] && (r.field == tableField || (r.field == itemField && i != 0));
    if (inIndex[i]) {
      if (r.field == itemField) {
        // An entry's words: those of the entries above it (below the
        // letters) and its own.
        std::u16string words = Line(textOf(r));
        if (parent != kNone && !indexTable[parent]) {
          const auto above = entryText.find(parent);
          if (above != entryText.end() && rows[parent].parent < known &&
              !indexTable[rows[parent].parent])
            words = above->second + u" " + words;
        }
        entryText[i] = std::move(words);
      } else if (r.field == linkField && parent != kNone) {
        const auto entry = entryText.find(parent);
        if (entry != entryText.end()) links.emplace_back(r.value, entry->second);
      }
      continue;
    }
    if (page) {
      owner[i] = i;
      docOf[i] = static_cast<std::uint32_t>(docs.size());
      BookDocument doc;
      doc.page = i;
      doc.title = r.field == tableField ? Readable(Line(textOf(r))) : Line(textOf(r));
      docs.push_back(std::move(doc));
      docParent.push_back(parent != kNone && owner[parent] != kNone ? docOf[owner[parent]] : kNone);
      linkOnly.push_back(false);
      continue;
    }
    owner[i] = parent != kNone ? owner[parent] : kNone;
    topOf[i] = parent != kNone && owner[i] == parent ? i : (parent != kNone ? topOf[parent] : kNone);
    // An item that only links elsewhere (a contents entry) is no page of its
    // own: like an index entry, its words join the page it leads to.
    if (r.field == linkField && parent != kNone && owner[parent] == parent &&
        rows[parent].field == itemField) {
      BookDocument& item = docs[docOf[parent]];
      links.emplace_back(r.value, item.title);
      linkOnly[docOf[parent]] = true;
      continue;
    }
    if (owner[i] == kNone || r.field >= fieldNames.size() || !ShownText(fieldNames[r.field]))
      continue;
    if (r.field == titleField && parent == owner[i] && rows[parent].field == tableField) continue;
    const std::u16string text = Line(textOf(r));
    if (text.empty()) continue;
    BookDocument& doc = docs[docOf[owner[i]]];
    std::u16string& body = doc.text;
    if (!body.empty()) body.push_back(u'\n');
    // A labelled field of the page begins a section; other text belongs to
    // the section above it.
    const std::uint32_t top = topOf[i];
    if (top != kNone && (doc.sections.empty() || doc.sections.back().row != top)) {
      std::u16string label = sectionLabel(top, owner[i]);
      if (!label.empty()) doc.sections.push_back({body.size(), top, std::move(label)});
    }
    body += text;
  }

  // Entries join the page their link leads to (a section stands for its
  // page; a link to a link item follows it once more).
  for (auto& [target, words] : links) {
    if (target >= known || owner[target] == kNone) continue;
    if (linkOnly[docOf[owner[target]]]) continue;
    docs[docOf[owner[target]]].synonyms.push_back(std::move(words));
  }
  // A table's readable title, where the book gives one, names its page.
  for (BookDocument& doc : docs)
    if (const auto title = tableTitle.find(doc.page); title != tableTitle.end())
      doc.title = title->second;
  // Paths first (a document's path reads the titles above it), then hand
  // the documents over.
  for (std::uint32_t d = 0; d < docs.size(); ++d) {
    for (std::uint32_t up = docParent[d]; up != kNone; up = docParent[up])
      docs[d].path.push_back(docs[up].title);
    std::reverse(docs[d].path.begin(), docs[d].path.end());
  }
  for (std::uint32_t d = 0; d < docs.size(); ++d) {
    BookDocument& doc = docs[d];
    if (linkOnly[d]) continue;
    if (doc.title.empty() && doc.text.empty() && doc.synonyms.empty()) continue;
    sink(std::move(doc));
  }
  return whole;
}

}  // namespace vrok::search
