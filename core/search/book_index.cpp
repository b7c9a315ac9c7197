#include "core/search/book_index.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xapian.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <set>
#include <stdexcept>

#include "content/hex.h"
#include "content/utf8.h"
#include "core/pages/page_text.h"
#include "core/search/book_documents.h"
#include "core/search/search_text.h"

namespace vrok::search {

namespace {

namespace fs = std::filesystem;

constexpr const char* kStampsKey = "vrok-stamps";
// The layout of the documents' data; an index of another layout is rebuilt.
constexpr const char* kLayoutKey = "vrok-layout";
constexpr const char* kLayout = "2";
constexpr Xapian::termcount kTitleWeight = 6;
constexpr Xapian::termcount kEntryWeight = 4;

// Words too common to narrow a search ("clot in leg" looks for clot, leg).
const Xapian::SimpleStopper& Stopper() {
  static const Xapian::SimpleStopper* stopper = [] {
    auto* s = new Xapian::SimpleStopper;
    for (const char* w : {"a",    "an",   "and",   "are",  "as", "at",   "be", "by", "for", "from",
                          "how",  "i",    "in",    "is",   "it", "of",   "on", "or", "the", "to",
                          "what", "when", "which", "with", "do", "does", "my", "can"})
      s->add(w);
    return s;
  }();
  return *stopper;
}

// Document data: page, data (hex), title, path (joined by U+001F),
// sections (each "begin U+001E row U+001E label", joined by U+001F), text;
// one field a line, the text last.
std::string Pack(const BookDocument& doc) {
  std::string out = std::to_string(doc.page) + "\n" + ToHex(doc.data) + "\n";
  out += ToUtf8(doc.title) + "\n";
  for (std::size_t i = 0; i < doc.path.size(); ++i) {
    if (i) out.push_back('\x1f');
    out += ToUtf8(doc.path[i]);
  }
  out.push_back('\n');
  for (std::size_t i = 0; i < doc.sections.size(); ++i) {
    const BookSection& section = doc.sections[i];
    std::string label = ToUtf8(section.label);
    for (char& c : label)
      if (c == '\x1e' || c == '\x1f') c = ' ';
    if (i) out.push_back('\x1f');
    out += std::to_string(section.begin) + '\x1e' + std::to_string(section.row) + '\x1e' + label;
  }
  out += "\n" + ToUtf8(doc.text);
  return out;
}

// A decimal number of at most `max`; nothing for anything else.
std::optional<std::uint64_t> Number(std::string_view digits, std::uint64_t max) {
  if (digits.empty() || digits.size() > 10) return std::nullopt;
  std::uint64_t number = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + static_cast<unsigned>(c - '0');
  }
  if (number > max) return std::nullopt;
  return number;
}

// The stored data read back; false for anything malformed (a damaged index).
bool Unpack(const std::string& packed, SearchHit& hit, std::u16string& text,
            std::vector<BookSection>& sections) {
  std::size_t at = 0;
  const auto field = [&](std::string& out) {
    const std::size_t end = packed.find('\n', at);
    if (end == std::string::npos) return false;
    out = packed.substr(at, end - at);
    at = end + 1;
    return true;
  };
  std::string page, data, title, path, parts;
  if (!field(page) || !field(data) || !field(title) || !field(path) || !field(parts)) return false;
  const std::optional<std::uint64_t> number = Number(page, 0xFFFFFFFFu);
  std::optional<std::vector<std::uint8_t>> bytes = FromHex(data);
  if (!number || !bytes) return false;
  hit.page = static_cast<std::uint32_t>(*number);
  hit.data = std::move(*bytes);
  const auto decode = [](std::string_view s) {
    return FromUtf8(s).value_or(std::u16string(u"\uFFFD"));
  };
  hit.title = decode(title);
  for (std::size_t begin = 0; begin <= path.size() && !path.empty();) {
    const std::size_t end = std::min(path.find('\x1f', begin), path.size());
    hit.path.push_back(decode(std::string_view(path).substr(begin, end - begin)));
    begin = end + 1;
  }
  text = decode(std::string_view(packed).substr(at));
  for (std::size_t begin = 0; begin < parts.size();) {
    const std::size_t end = std::min(parts.find('\x1f', begin), parts.size());
    const std::string_view part = std::string_view(parts).substr(begin, end - begin);
    begin = end + 1;
    const std::size_t a = part.find('\x1e');
    const std::size_t b = a == std::string_view::npos ? a : part.find('\x1e', a + 1);
    if (b == std::string_view::npos) return false;
    const auto offset = Number(part.substr(0, a), text.size());
    const auto row = Number(part.substr(a + 1, b - a - 1), 0xFFFFFFFFu);
    if (!offset || !row) return false;
    sections.push_back({static_cast<std::size_t>(*offset), static_cast<std::uint32_t>(*row),
                        decode(part.substr(b + 1))});
  }
  return true;
}

// The index file: a header, then the single-file Xapian database. The
// header holds the database's length and a checksum of its bytes, checked
// before Xapian reads any of them: Xapian's own reading of a damaged
// database is not safe (a fuzzed file made it free memory it never
// allocated).
constexpr char kMagic[8] = {'V', 'R', 'O', 'K', 'S', 'I', 'X', '1'};
constexpr std::size_t kHeader = 32;  // magic, length, checksum, zeros

// A 64-bit checksum, eight bytes a step (FNV-1a's constants).
struct Checksum {
  std::uint64_t value = 0xcbf29ce484222325ull;
  void Add(const unsigned char* bytes, std::size_t n) {
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
      std::uint64_t word;
      std::memcpy(&word, bytes + i, 8);
      value = (value ^ word) * 0x100000001b3ull;
      value ^= value >> 29;
    }
    for (; i < n; ++i) value = (value ^ bytes[i]) * 0x100000001b3ull;
  }
};

void PutLe64(unsigned char* at, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) at[i] = static_cast<unsigned char>(v >> (8 * i));
}
std::uint64_t GetLe64(const unsigned char* at) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | at[i];
  return v;
}

// Reads exactly n bytes at offset; false on a short read or an error.
bool ReadAt(int fd, unsigned char* out, std::size_t n, off_t offset) {
  while (n > 0) {
    const ssize_t got = ::pread(fd, out, n, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    out += got;
    n -= static_cast<std::size_t>(got);
    offset += got;
  }
  return true;
}

// The checksum of n bytes from offset, read in blocks; empty on a short read.
std::optional<std::uint64_t> ChecksumOf(int fd, off_t offset, std::uint64_t n) {
  std::vector<unsigned char> block(1 << 20);
  Checksum sum;
  while (n > 0) {
    const std::size_t step = static_cast<std::size_t>(std::min<std::uint64_t>(n, block.size()));
    if (!ReadAt(fd, block.data(), step, offset)) return std::nullopt;
    sum.Add(block.data(), step);
    offset += static_cast<off_t>(step);
    n -= step;
  }
  return sum.value;
}

std::string TempName(const std::string& file, const char* what) {
  return file + "." + what + "." + std::to_string(::getpid()) + "." +
         std::to_string(reinterpret_cast<std::uintptr_t>(&file) & 0xFFFFFF);
}

}  // namespace

int OpenSealedIndex(const std::string& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st {};
  unsigned char header[kHeader];
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
            static_cast<std::uint64_t>(st.st_size) >= kHeader && ReadAt(fd, header, kHeader, 0) &&
            std::memcmp(header, kMagic, sizeof kMagic) == 0;
  if (ok) {
    const std::uint64_t length = GetLe64(header + 8);
    ok = length == static_cast<std::uint64_t>(st.st_size) - kHeader &&
         ChecksumOf(fd, kHeader, length) == GetLe64(header + 16) &&
         ::lseek(fd, kHeader, SEEK_SET) == static_cast<off_t>(kHeader);
  }
  if (!ok) {
    ::close(fd);
    return -1;
  }
  return fd;
}

std::string StampsOf(const ContentDatabase& db) {
  const ContentGeometry& g = db.Geometry();
  return std::to_string(g.stamp1) + "-" + std::to_string(g.stamp2) + "-" + std::to_string(g.stamp3);
}

bool BuildIndex(const ContentDatabase& db, const std::string& file, std::string& error,
                const std::function<void(double)>& progress) {
  if (!db.IsBook()) {
    error = "the book cannot be read";
    return false;
  }
  const std::string work = TempName(file, "build");
  const std::string packed = TempName(file, "new");
  std::error_code ignored;
  const auto clear = [&] {
    fs::remove_all(work, ignored);
    fs::remove(packed, ignored);
  };
  try {
    Xapian::WritableDatabase out(work, Xapian::DB_CREATE_OR_OVERWRITE | Xapian::DB_BACKEND_GLASS);
    Xapian::TermGenerator terms;
    terms.set_stemmer(Xapian::Stem("en"));
    terms.set_stemming_strategy(Xapian::TermGenerator::STEM_SOME);
    terms.set_database(out);
    terms.set_flags(Xapian::TermGenerator::FLAG_SPELLING);
    const std::uint32_t rows = db.RowCount();
    std::uint32_t done = 0;
    const bool whole = WalkBook(db, [&](BookDocument&& doc) {
      Xapian::Document x;
      terms.set_document(x);
      const std::string title = KeyText(doc.title);
      terms.index_text(title, kTitleWeight);
      terms.increase_termpos();
      terms.index_text_without_positions(title, 1, "T");  // title words, for the title boost
      for (const std::u16string& entry : doc.synonyms) {
        terms.index_text(KeyText(entry), kEntryWeight);
        terms.increase_termpos();
      }
      terms.index_text(KeyText(doc.text));
      x.set_data(Pack(doc));
      out.add_document(x);
      if (progress && (++done & 255) == 0) progress(std::min(0.9, 0.9 * done / std::max(1u, rows)));
    });
    if (!whole) {
      clear();
      error = "the book is damaged";
      return false;
    }
    out.set_metadata(kStampsKey, StampsOf(db));
    out.set_metadata(kLayoutKey, kLayout);
    out.commit();
    // The database goes after the header's room; the header follows it.
    const int fd = ::open(packed.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throw std::runtime_error("cannot write " + packed);
    const int seal = ::dup(fd);
    if (seal < 0 || ::lseek(fd, kHeader, SEEK_SET) != static_cast<off_t>(kHeader)) {
      ::close(fd);
      if (seal >= 0) ::close(seal);
      throw std::runtime_error("cannot write " + packed);
    }
    out.compact(fd, Xapian::DBCOMPACT_SINGLE_FILE);  // closes fd
    out.close();
    struct stat st {};
    unsigned char header[kHeader] = {};
    std::memcpy(header, kMagic, sizeof kMagic);
    bool sealed = ::fstat(seal, &st) == 0 && static_cast<std::uint64_t>(st.st_size) > kHeader;
    if (sealed) {
      const std::uint64_t length = static_cast<std::uint64_t>(st.st_size) - kHeader;
      const std::optional<std::uint64_t> sum = ChecksumOf(seal, kHeader, length);
      PutLe64(header + 8, length);
      PutLe64(header + 16, sum.value_or(0));
      sealed = sum && ::pwrite(seal, header, kHeader, 0) == static_cast<ssize_t>(kHeader) &&
               ::fsync(seal) == 0;
    }
    ::close(seal);
    if (!sealed) throw std::runtime_error("cannot write " + packed);
  } catch (const Xapian::Error& e) {
    clear();
    error = "cannot build the search index: " + e.get_msg();
    return false;
  } catch (const std::exception& e) {
    clear();
    error = std::string("cannot build the search index: ") + e.what();
    return false;
  }
  fs::remove_all(work, ignored);
  if (std::rename(packed.c_str(), file.c_str()) != 0) {
    fs::remove(packed, ignored);
    error = "cannot write " + file;
    return false;
  }
  if (progress) progress(1.0);
  return true;
}

// --- BookIndex ----------------------------------------------------------------

struct BookIndex::State {
  Xapian::Database db;
  Xapian::Stem stem{"en"};
};

BookIndex::BookIndex() = default;
BookIndex::~BookIndex() = default;
BookIndex::BookIndex(BookIndex&&) noexcept = default;
BookIndex& BookIndex::operator=(BookIndex&&) noexcept = default;

bool BookIndex::Open(const std::string& file, const std::string& stamps) {
  state_.reset();
  try {
    const int fd = OpenSealedIndex(file);
    if (fd < 0) return false;
    auto state = std::make_unique<State>();
    state->db = Xapian::Database(fd);  // owns fd from here
    if (!stamps.empty() && state->db.get_metadata(kStampsKey) != stamps) return false;
    if (state->db.get_metadata(kLayoutKey) != kLayout) return false;
    // Touch the tables a query reads, so damage shows here and not later.
    (void)state->db.get_doccount();
    (void)state->db.get_avlength();
    state_ = std::move(state);
    return true;
  } catch (const Xapian::Error&) {
    return false;
  } catch (const std::exception&) {
    return false;
  }
}

bool BookIndex::IsOpen() const { return state_ != nullptr; }

std::uint32_t BookIndex::DocumentCount() const {
  if (!state_) return 0;
  try {
    return state_->db.get_doccount();
  } catch (const Xapian::Error&) {
    return 0;
  }
}

namespace {

// Keys of the query's words, stemmed as the index stems them.
std::vector<std::string> StemmedKeys(const std::string& keyText, const Xapian::Stem& stem) {
  std::vector<std::string> out;
  std::size_t at = 0;
  while (at < keyText.size()) {
    const std::size_t end = std::min(keyText.find(' ', at), keyText.size());
    const std::string word = keyText.substr(at, end - at);
    at = end + 1;
    if (word.empty() || Stopper()(word)) continue;
    out.push_back(stem(word));
  }
  return out;
}

// A sentence or so around the best match of the text: the sentence with the
// most matched words, cut to about 160 characters around its first match.
// Answers where in the text that first match lies (npos when no word of
// the text matched).
std::size_t MakeSnippet(const std::u16string& text, const SearchAnswer& answer, SearchHit& hit) {
  constexpr std::size_t kLength = 160;
  const std::vector<Word> words = WordsOf(text);
  std::size_t bestFrom = 0, bestTo = 0;
  int bestScore = -1;
  std::size_t sentence = 0;  // start of the current sentence
  std::set<std::string> seen;
  int score = 0;
  std::size_t firstMatch = std::u16string::npos, bestFirst = 0;
  const auto closeSentence = [&](std::size_t end) {
    if (score > bestScore) {
      bestScore = score;
      bestFrom = sentence;
      bestTo = end;
      bestFirst = firstMatch == std::u16string::npos ? sentence : firstMatch;
    }
    seen.clear();
    score = 0;
    firstMatch = std::u16string::npos;
  };
  std::size_t w = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    const bool end = i == text.size() || text[i] == u'\n' ||
                     ((text[i] == u'.' || text[i] == u'!' || text[i] == u'?' || text[i] == u';') &&
                      (i + 1 == text.size() || text[i + 1] == u' ' || text[i + 1] == u'\n'));
    while (w < words.size() && words[w].end <= i) {
      if (KeyMatches(answer, words[w].key)) {
        if (seen.insert(words[w].key).second) ++score;
        if (firstMatch == std::u16string::npos) firstMatch = words[w].begin;
      }
      ++w;
    }
    if (end) {
      closeSentence(i < text.size() ? i + 1 : i);
      sentence = i + 1;
      while (sentence < text.size() && (text[sentence] == u' ' || text[sentence] == u'\n'))
        ++sentence;
    }
  }
  if (bestScore < 0) return std::u16string::npos;
  std::size_t from = bestFrom, to = bestTo;
  if (to - from > kLength) {
    from = bestFirst > kLength / 3 + bestFrom ? bestFirst - kLength / 3 : bestFrom;
    to = std::min(to, from + kLength);
    // Whole words at the cut ends.
    while (from > bestFrom && text[from - 1] != u' ') --from;
    while (to < bestTo && to > from && text[to - 1] != u' ') --to;
    if (to <= from) to = std::min(bestTo, from + kLength);
  }
  std::u16string snippet;
  const std::size_t lead = from > bestFrom ? 1 : 0;
  if (lead) snippet = u"\u2026";
  snippet += text.substr(from, to - from);
  while (!snippet.empty() && (snippet.back() == u' ' || snippet.back() == u'\n'))
    snippet.pop_back();
  if (to < bestTo) snippet += u"\u2026";
  for (const Word& word : words) {
    if (word.begin < from || word.end > to) continue;
    if (KeyMatches(answer, word.key))
      hit.bold.emplace_back(word.begin - from + lead, word.end - from + lead);
  }
  hit.snippet = std::move(snippet);
  return bestScore > 0 ? bestFirst : std::u16string::npos;
}

// A hit on a record page opens at the section its snippet comes from: the
// section's row as the page's anchor, as a link to it would carry it.
void OpenAtSection(std::size_t match, const std::vector<BookSection>& sections, SearchHit& hit) {
  if (match == std::u16string::npos || !hit.data.empty()) return;
  const BookSection* in = nullptr;
  for (const BookSection& section : sections)
    if (section.begin <= match) in = &section;
  if (in == nullptr) return;
  hit.section = in->label;
  std::u16string anchor = Decimal(in->row);
  anchor.push_back(u'\0');
  for (const char16_t c : anchor) {
    hit.data.push_back(static_cast<std::uint8_t>(c & 0xFF));
    hit.data.push_back(static_cast<std::uint8_t>(c >> 8));
  }
}

}  // namespace

bool KeyMatches(const SearchAnswer& answer, const std::string& key) {
  static const Xapian::Stem stem("en");
  if (answer.lastPrefix && key.compare(0, answer.lastPrefix->size(), *answer.lastPrefix) == 0)
    return true;
  if (std::find(answer.keys.begin(), answer.keys.end(), key) != answer.keys.end()) return true;
  const std::string stemmed = stem(key);
  return std::find(answer.keys.begin(), answer.keys.end(), stemmed) != answer.keys.end();
}

SearchAnswer BookIndex::Query(std::u16string_view typed, std::uint32_t max) const {
  SearchAnswer answer;
  if (!state_) return answer;
  const std::string keys = KeyText(typed);
  if (keys.empty()) {
    answer.ok = true;
    return answer;
  }
  const bool partial = !typed.empty() && typed.back() != u' ';
  try {
    Xapian::QueryParser parser;
    parser.set_database(state_->db);
    parser.set_stemmer(state_->stem);
    parser.set_stemming_strategy(Xapian::QueryParser::STEM_SOME);
    parser.set_stopper(&Stopper());
    unsigned flags = Xapian::QueryParser::FLAG_SPELLING_CORRECTION;
    if (partial) flags |= Xapian::QueryParser::FLAG_PARTIAL;
    Xapian::Enquire enquire(state_->db);
    // The words as typed, with pages whose titles hold them (or begin with
    // the last word) first among equals.
    const auto run = [&](const std::string& text, Xapian::Query::op op) {
      parser.set_default_op(op);
      const Xapian::Query words = parser.parse_query(text, flags);
      parser.set_default_op(Xapian::Query::OP_OR);
      const Xapian::Query titles =
          parser.parse_query(text, flags & ~Xapian::QueryParser::FLAG_SPELLING_CORRECTION, "T");
      enquire.set_query(Xapian::Query(Xapian::Query::OP_AND_MAYBE, words, titles));
      return enquire.get_mset(0, max, 100);
    };
    // A correction is sought for the words as whole words; one that turns a
    // word into a stop word is no correction.
    parser.set_default_op(Xapian::Query::OP_AND);
    parser.parse_query(keys, Xapian::QueryParser::FLAG_SPELLING_CORRECTION);
    std::string corrected = parser.get_corrected_query_string();
    for (std::size_t at = 0; at < corrected.size();) {
      const std::size_t end = std::min(corrected.find(' ', at), corrected.size());
      if (Stopper()(corrected.substr(at, end - at))) {
        corrected.clear();
        break;
      }
      at = end + 1;
    }
    // All the words, else any of them, else the corrected query.
    std::string used = keys;
    Xapian::MSet found = run(keys, Xapian::Query::OP_AND);
    if (found.empty()) found = run(keys, Xapian::Query::OP_OR);
    if (!corrected.empty() && corrected != keys) {
      answer.suggestion = FromUtf8(corrected).value_or(u"");
      if (found.empty()) {
        used = corrected;
        found = run(corrected, Xapian::Query::OP_AND);
        if (found.empty()) found = run(corrected, Xapian::Query::OP_OR);
        answer.corrected = !found.empty();
      }
    }
    answer.keys = StemmedKeys(used, state_->stem);
    if (partial) {
      const std::size_t space = used.rfind(' ');
      std::string last = used.substr(space == std::string::npos ? 0 : space + 1);
      if (!last.empty()) answer.lastPrefix = std::move(last);
    }
    // Unstemmed forms match too (a key that is its own stem's prefix).
    std::size_t at = 0;
    while (at < used.size()) {
      const std::size_t end = std::min(used.find(' ', at), used.size());
      const std::string word = used.substr(at, end - at);
      if (!word.empty() && !Stopper()(word)) answer.keys.push_back(word);
      at = end + 1;
    }
    answer.total = found.get_matches_estimated();
    for (Xapian::MSetIterator i = found.begin(); i != found.end(); ++i) {
      SearchHit hit;
      std::u16string text;
      std::vector<BookSection> sections;
      if (!Unpack(i.get_document().get_data(), hit, text, sections)) continue;
      OpenAtSection(MakeSnippet(text, answer, hit), sections, hit);
      answer.hits.push_back(std::move(hit));
    }
    answer.ok = true;
  } catch (const Xapian::Error&) {
    answer = SearchAnswer{};
  } catch (const std::exception&) {
    answer = SearchAnswer{};
  }
  return answer;
}

}  // namespace vrok::search
