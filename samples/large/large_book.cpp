#include "samples/large/large_book.h"

#include <cstdio>
#include <string_view>

#include "content/writer/book_source.h"

namespace vrok {

namespace {

constexpr std::uint32_t kFieldsPerRecord = 8;

BookNode Text(std::u16string field, std::u16string text) {
  BookNode n;
  n.field = std::move(field);
  n.type = u"string";
  n.text = std::move(text);
  return n;
}

BookNode Link(std::string id) {
  BookNode n;
  n.field = u"link";
  n.ref = std::move(id);
  return n;
}

std::u16string Ascii(std::string_view s) { return {s.begin(), s.end()}; }

std::string RecordId(std::uint32_t i) { return "large-record-" + std::to_string(i); }

// Rows a subtree takes.
std::uint64_t CountRows(const BookNode& node) {
  std::uint64_t n = 1;
  for (const BookNode& child : node.children) n += CountRows(child);
  return n;
}

// Field texts repeat (the writer stores each distinct text once) except the
// first, which links to two other records and to the sample's topics.
BookNode Record(std::uint32_t i, std::uint32_t count) {
  BookNode record = Text(u"hierarchy item", u"Case " + Ascii(std::to_string(i + 1)));
  record.id = RecordId(i);
  const std::uint32_t next = (i + 1) % count, far = (i * 7919u + 13u) % count;
  record.children.push_back(
      Text(u"field", u"Follows on from <A HREF='{{row:" + Ascii(RecordId(far)) + u"}}'>case " +
                         Ascii(std::to_string(far + 1)) + u"</A>; see also <A HREF='{{row:" +
                         Ascii(RecordId(next)) + u"}}#s3'>the next case</A> and <A HREF='{{row:" +
                         u"a_z_in_detail}}'>the topics</A>."));
  static const char16_t* const kCommon[] = {
      u"<B>History</B>: two days of symptoms, no recent travel.",
      u"Observations within normal limits except a raised heart rate.",
      u"Bloods: full count, renal function and CRP.",
      u"Plan: review in 24 hours; safety-net advice given.",
      u"Drug chart checked; no interactions found.",
      u"Seen with a senior; agreed with the plan.",
      u"Discharged with a letter to the family doctor."};
  for (std::uint32_t f = 1; f < kFieldsPerRecord; ++f)
    record.children.push_back(Text(u"field", kCommon[(i + f) % 7]));
  return record;
}

}  // namespace

std::optional<Book> LargeSampleBook(const std::string& sampleSource, const LargeBookShape& shape,
                                    std::string& error) {
  std::optional<Book> book = ReadBookSource(sampleSource, error);
  if (!book) return std::nullopt;
  const std::uint64_t sampleRows = CountRows(book->root);
  // Index: one table row, its type, 26 groups, two rows per entry; the
  // flat index the same without the groups.
  const std::uint64_t indexRows = 2 + 26 + 2ull * shape.indexEntries + 2 + 2ull * shape.flatEntries;
  const std::uint64_t fixedRows = sampleRows + indexRows + 2 + kFieldsPerRecord;
  if (fixedRows >= shape.rows) {
    error = "the sample and the index already take " + std::to_string(fixedRows) + " rows";
    return std::nullopt;
  }
  const auto records =
      static_cast<std::uint32_t>((shape.rows - fixedRows) / (1 + kFieldsPerRecord));
  if (records == 0) {
    error = "no room for case records";
    return std::nullopt;
  }

  BookNode cases = Text(u"table", u"Case records");
  cases.id = "large-records";
  cases.children.push_back(Text(u"table type", u"html list"));
  for (const char16_t* name : {u"Summary", u"History", u"Examination", u"Results", u"Plan",
                               u"Drugs", u"Review", u"Outcome"})
    cases.children.push_back(Text(u"field name", name));
  for (std::uint32_t i = 0; i < records; ++i) cases.children.push_back(Record(i, records));

  BookNode index = Text(u"table", u"Large index");
  index.id = "large-index";
  index.children.push_back(Text(u"table type", u"index"));
  // Entries in ascending order: "Aa 00001" ... grouped by first letter.
  const std::uint32_t perLetter = (shape.indexEntries + 25) / 26;
  std::uint32_t made = 0;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    BookNode group = Text(u"hierarchy item", std::u16string(1, static_cast<char16_t>(letter)));
    for (std::uint32_t k = 0; k < perLetter && made < shape.indexEntries; ++k, ++made) {
      char name[32];
      std::snprintf(name, sizeof name, "%c%c entry %06u", letter,
                    static_cast<char>('a' + (k * 26 / perLetter)), k);
      BookNode entry = Text(u"hierarchy item", Ascii(name));
      entry.children.push_back(Link(RecordId(made % records)));
      group.children.push_back(std::move(entry));
    }
    index.children.push_back(std::move(group));
  }

  // Entries in ascending order: "Flat 0000001" ...; every one at the top.
  BookNode flat = Text(u"table", u"Flat index");
  flat.id = "large-flat-index";
  flat.children.push_back(Text(u"table type", u"index"));
  for (std::uint32_t k = 0; k < shape.flatEntries; ++k) {
    char name[32];
    std::snprintf(name, sizeof name, "Flat %07u", k + 1);
    BookNode entry = Text(u"hierarchy item", Ascii(name));
    entry.children.push_back(Link(RecordId(k % records)));
    flat.children.push_back(std::move(entry));
  }

  book->root.children.push_back(std::move(cases));
  book->root.children.push_back(std::move(index));
  book->root.children.push_back(std::move(flat));
  return book;
}

}  // namespace vrok
