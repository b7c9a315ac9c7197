#include "cli/markdown_source.h"

#include <cmark-gfm-core-extensions.h>
#include <cmark-gfm-extension_api.h>
#include <cmark-gfm.h>
#include <cmark-gfm/node.h>
#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "cli/search_order.h"
#include "content/utf8.h"

namespace vrok {

namespace {

namespace fs = std::filesystem;

// A footnote's label: the public interface does not give it, the node
// record does.
std::string Label(cmark_node* n) {
  const cmark_chunk& c = n->as.literal;
  return c.data
             ? std::string(reinterpret_cast<const char*>(c.data), static_cast<std::size_t>(c.len))
             : "";
}

struct Failure {
  std::string message;
};

[[noreturn]] void Fail(const std::string& file, int line, const std::string& what) {
  throw Failure{file + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " + what};
}

std::u16string Wide(const std::string& file, int line, const std::string& utf8) {
  auto wide = FromUtf8(utf8);
  if (!wide) Fail(file, line, "not valid UTF-8");
  return *wide;
}

BookNode Str(std::u16string field, std::u16string text, std::vector<BookNode> children = {}) {
  BookNode n;
  n.field = std::move(field);
  n.type = u"string";
  n.text = std::move(text);
  n.children = std::move(children);
  return n;
}
BookNode Num(std::u16string field, std::uint32_t value) {
  BookNode n;
  n.field = std::move(field);
  n.value = value;
  return n;
}
BookNode Ref(std::u16string field, std::string id) {
  BookNode n;
  n.field = std::move(field);
  n.ref = std::move(id);
  return n;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail(path.string(), 0, "cannot read the file");
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Text for the book's markup: &, < and > as entities.
// "{{" is written "{{open}}", so that the author's text never names a row.
std::string Escape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if (c == '{' && i + 1 < text.size() && text[i + 1] == '{') {
      out += "{{open}}";
      ++i;
    } else {
      out += c;
    }
  }
  return out;
}

// The size of a PNG or JPEG picture, from its header.
bool PictureSize(const std::string& bytes, std::uint32_t& width, std::uint32_t& height) {
  const auto at = [&bytes](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
  if (bytes.size() >= 24 && bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0) {
    width = at(16) << 24 | at(17) << 16 | at(18) << 8 | at(19);
    height = at(20) << 24 | at(21) << 16 | at(22) << 8 | at(23);
    return true;
  }
  if (bytes.size() < 4 || at(0) != 0xFF || at(1) != 0xD8) return false;
  for (std::size_t i = 2; i + 9 < bytes.size();) {
    if (at(i) != 0xFF) return false;
    const int marker = at(i + 1);
    const std::size_t length = at(i + 2) << 8 | at(i + 3);
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      height = at(i + 5) << 8 | at(i + 6);
      width = at(i + 7) << 8 | at(i + 8);
      return true;
    }
    i += 2 + length;
  }
  return false;
}

struct Topic {
  fs::path file;
  std::string id;
  std::u16string title;
  std::optional<std::uint32_t> key;
  std::vector<std::u16string> terms;
};

struct Chapter {
  std::u16string title;
  std::vector<std::size_t> topics;  // indexes into the topics
};

class MarkdownBook {
 public:
  explicit MarkdownBook(fs::path folder) : folder_(std::move(folder)) {}

  Book Build() {
    const fs::path bookFile = folder_ / "book.yaml";
    if (!fs::is_regular_file(bookFile))
      Fail(bookFile.string(), 0, "a Markdown book needs this file");
    const YAML::Node meta = LoadYaml(bookFile.string(), ReadFile(bookFile), 0);
    if (!meta.IsMap() || !meta["title"]) Fail(bookFile.string(), 0, "\"title\" is missing");
    title_ = Wide(bookFile.string(), 0, Scalar(meta["title"], bookFile.string(), 0, "title"));
    if (const auto stamps = meta["stamps"]) {
      if (!stamps.IsSequence() || stamps.size() != 3) {
        Fail(bookFile.string(), stamps.Mark().line + 1, "\"stamps\" are three numbers");
      }
      book_.stamp1 = static_cast<std::uint16_t>(Number(stamps[0], bookFile.string(), 65535));
      book_.stamp2 = static_cast<std::uint16_t>(Number(stamps[1], bookFile.string(), 65535));
      book_.stamp3 = Number(stamps[2], bookFile.string(), 0xFFFFFFFFu);
    }
    Collect();
    for (std::size_t t = 0; t < topics_.size(); ++t) records_.push_back(Record(t));

    BookNode& root = book_.root;
    root.field = u"root";
    std::vector<BookNode> contents{Str(u"table type", u"configurable tight hierarchy"),
                                   Str(u"view mode", u"html list"), Num(u"is path", 1)};
    for (const auto& name : sectionNames_) contents.push_back(Str(u"field name", name));
    for (const Chapter& chapter : chapters_) {
      std::vector<BookNode> items;
      for (const std::size_t t : chapter.topics) items.push_back(std::move(records_[t]));
      if (chapter.title.empty()) {  // topics of the book's own folder
        for (auto& item : items) contents.push_back(std::move(item));
        continue;
      }
      BookNode list = Str(u"hierarchy item", chapter.title, {Str(u"view mode", u"html list")});
      for (auto& item : items) list.children.push_back(std::move(item));
      contents.push_back(std::move(list));
    }
    BookNode table = Str(u"table", u"CONTENTS", std::move(contents));
    table.id = "contents";
    root.children.push_back(std::move(table));
    root.children.push_back(Index());
    BookNode notice =
        Str(u"table", u"NOTICE",
            {Str(u"table type", u"html"), Str(u"html", u"<B>" + EscapeWide(title_) + u"</B>")});
    notice.id = "notice";
    root.children.push_back(std::move(notice));
    for (auto& extra : extraTables_) root.children.push_back(std::move(extra));
    return std::move(book_);
  }

 private:
  static std::u16string EscapeWide(const std::u16string& text) {
    return *FromUtf8(Escape(ToUtf8(text)));
  }

  static YAML::Node LoadYaml(const std::string& file, const std::string& text, int firstLine) {
    try {
      return YAML::Load(text);
    } catch (const YAML::Exception& e) {
      Fail(file, firstLine + e.mark.line + 1, "not valid YAML: " + e.msg);
    }
  }

  static std::string Scalar(const YAML::Node& n, const std::string& file, int firstLine,
                            const char* what) {
    if (!n.IsScalar())
      Fail(file, firstLine + n.Mark().line + 1, std::string("\"") + what + "\" must be a text");
    return n.Scalar();
  }

  static std::uint32_t Number(const YAML::Node& n, const std::string& file, std::uint32_t most) {
    const std::string s = n.IsScalar() ? n.Scalar() : "";
    std::uint64_t v = 0;
    bool ok = !s.empty() && s.size() <= 10;
    for (const char c : s) {
      ok = ok && c >= '0' && c <= '9';
      v = v * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (!ok || v > most) {
      Fail(file, n.Mark().line + 1, "a number from 0 to " + std::to_string(most) + " is needed");
    }
    return static_cast<std::uint32_t>(v);
  }

  // The topics, the book's own first, then each chapter folder's, by name.
  void Collect() {
    std::vector<fs::path> files, folders;
    for (const auto& e : fs::directory_iterator(folder_)) {
      if (e.is_directory() && e.path().filename().string()[0] != '.') folders.push_back(e.path());
      if (e.is_regular_file() && e.path().extension() == ".md") files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    std::sort(folders.begin(), folders.end());
    AddChapter(u"", files);
    for (const fs::path& folder : folders) {
      std::vector<fs::path> md;
      for (const auto& e : fs::directory_iterator(folder)) {
        if (e.is_regular_file() && e.path().extension() == ".md") md.push_back(e.path());
      }
      if (md.empty()) continue;  // a folder of pictures
      std::sort(md.begin(), md.end());
      std::u16string title = Wide(folder.string(), 0, folder.filename().string());
      const fs::path meta = folder / "folder.yaml";
      if (fs::is_regular_file(meta)) {
        const YAML::Node y = LoadYaml(meta.string(), ReadFile(meta), 0);
        if (!y.IsMap()) Fail(meta.string(), 1, "a map with a \"title\" is needed");
        if (y["title"])
          title = Wide(meta.string(), 0, Scalar(y["title"], meta.string(), 0, "title"));
      }
      AddChapter(title, md);
    }
    if (topics_.empty()) Fail(folder_.string(), 0, "no Markdown topics (*.md) in the folder");
  }

  void AddChapter(std::u16string title, const std::vector<fs::path>& files) {
    if (files.empty()) return;
    Chapter chapter{std::move(title), {}};
    for (const fs::path& file : files) {
      chapter.topics.push_back(topics_.size());
      topics_.push_back(ReadFrontMatter(file));
      const std::string& id = topics_.back().id;
      if (!topicOfFile_.emplace(fs::weakly_canonical(file).string(), topics_.size() - 1).second ||
          !ids_.insert(id).second) {
        Fail(file.string(), 1, "the id '" + id + "' is taken by another topic");
      }
    }
    chapters_.push_back(std::move(chapter));
  }

  // The front matter: between a first line "---" and the next "---".
  Topic ReadFrontMatter(const fs::path& file) {
    const std::string text = ReadFile(file);
    Topic t;
    t.file = file;
    std::string rel = fs::relative(file, folder_).replace_extension().generic_string();
    std::replace(rel.begin(), rel.end(), '/', '-');
    t.id = rel;
    std::size_t bodyAt = 0;
    YAML::Node meta;
    if (text.starts_with("---\n")) {
      const std::size_t end = text.find("\n---", 3);
      if (end == std::string::npos) Fail(file.string(), 1, "the front matter has no closing ---");
      meta = LoadYaml(file.string(), text.substr(4, end - 3), 1);
      const std::size_t lineEnd = text.find('\n', end + 1);
      bodyAt = lineEnd == std::string::npos ? text.size() : lineEnd + 1;
    }
    bodies_.push_back(text.substr(bodyAt));
    bodyLine_.push_back(
        1 + static_cast<int>(std::count(text.begin(),
                                        text.begin() + static_cast<std::ptrdiff_t>(bodyAt), '\n')));
    const std::string name = file.string();
    if (!meta.IsDefined() || meta.IsNull()) Fail(name, 1, "the front matter needs a \"title\"");
    if (!meta.IsMap()) Fail(name, 2, "the front matter must be a map");
    if (!meta["title"]) Fail(name, 1, "the front matter needs a \"title\"");
    for (const auto& member : meta) {
      const std::string k = member.first.Scalar();
      if (k != "title" && k != "id" && k != "key" && k != "index") {
        Fail(name, 1 + member.first.Mark().line + 1, "unknown front matter \"" + k + "\"");
      }
    }
    t.title = Wide(name, 2, Scalar(meta["title"], name, 1, "title"));
    if (meta["id"]) t.id = Scalar(meta["id"], name, 1, "id");
    if (meta["key"]) t.key = Number(meta["key"], name, 0xFFFFFEFFu);
    if (const auto index = meta["index"]) {
      if (index.IsScalar()) {
        t.terms.push_back(Wide(name, 1 + index.Mark().line + 1, index.Scalar()));
      } else if (index.IsSequence()) {
        for (const auto& term : index)
          t.terms.push_back(Wide(name, 1 + term.Mark().line + 1, Scalar(term, name, 1, "index")));
      } else {
        Fail(name, 1 + index.Mark().line + 1, "\"index\" is a term or a list of terms");
      }
    }
    return t;
  }

  // --- One topic's Markdown.

  struct Page {
    std::size_t topic = 0;
    std::string file;
    int firstLine = 1;
    std::vector<std::pair<std::u16string, std::string>> sections;  // heading, markup
    std::map<std::string, int> footnoteNumbers;                    // label -> number
    std::vector<BookNode> footnotes;
    int figures = 0, grids = 0;
  };

  int Line(const Page& p, cmark_node* n) const {
    return p.firstLine + cmark_node_get_start_line(n) - 1;
  }

  BookNode Record(std::size_t t) {
    const Topic& topic = topics_[t];
    Page page;
    page.topic = t;
    page.file = topic.file.string();
    page.firstLine = bodyLine_[t];
    cmark_gfm_core_extensions_ensure_registered();
    std::unique_ptr<cmark_parser, void (*)(cmark_parser*)> parser(
        cmark_parser_new(CMARK_OPT_FOOTNOTES), cmark_parser_free);
    cmark_parser_attach_syntax_extension(parser.get(), cmark_find_syntax_extension("table"));
    const std::string& body = bodies_[t];
    cmark_parser_feed(parser.get(), body.data(), body.size());
    std::unique_ptr<cmark_node, void (*)(cmark_node*)> doc(cmark_parser_finish(parser.get()),
                                                           cmark_node_free);

    std::string* current = nullptr;
    for (cmark_node* n = cmark_node_first_child(doc.get()); n; n = cmark_node_next(n)) {
      const cmark_node_type type = cmark_node_get_type(n);
      if (type == CMARK_NODE_HEADING && cmark_node_get_heading_level(n) == 1) {
        Fail(page.file, Line(page, n),
             "the title goes in the front matter, not in a first-level heading");
      }
      if (type == CMARK_NODE_HEADING && cmark_node_get_heading_level(n) == 2) {
        std::u16string heading = *FromUtf8(Inlines(page, n, true));
        if (heading.empty()) Fail(page.file, Line(page, n), "an empty section heading");
        for (const auto& s : page.sections) {
          if (s.first == heading)
            Fail(page.file, Line(page, n),
                 "the section \"" + ToUtf8(heading) + "\" is given twice");
        }
        page.sections.emplace_back(std::move(heading), std::string());
        current = &page.sections.back().second;
        continue;
      }
      if (type == CMARK_NODE_FOOTNOTE_DEFINITION) {
        Footnote(page, n);
        continue;
      }
      if (!current) {
        page.sections.emplace_back(u"Overview", std::string());
        current = &page.sections.back().second;
      }
      const std::string block = Block(page, n);
      if (!block.empty()) {
        if (!current->empty()) *current += "<BR><BR>";
        *current += block;
      }
    }
    for (const auto& [label, number] : page.footnoteNumbers) {
      if (page.footnotes[static_cast<std::size_t>(number - 1)].field.empty()) {
        Fail(page.file, 0, "the footnote [^" + label + "] has no text");
      }
    }

    BookNode record = Str(u"hierarchy item", topic.title);
    record.id = topic.id;
    record.key = topic.key;
    // One field per heading of the book, in the heading's order; a heading
    // the topic lacks gets an empty field.
    std::vector<std::string> fields(sectionNames_.size());
    for (auto& [heading, markup] : page.sections) {
      std::size_t at = 0;
      while (at < sectionNames_.size() && sectionNames_[at] != heading) ++at;
      if (at == sectionNames_.size()) {
        sectionNames_.push_back(heading);
        fields.emplace_back();
      }
      fields[at] = std::move(markup);
    }
    // Headings first met in later topics come after these: this record has
    // no field for them, which shows as no such section.
    for (const std::string& markup : fields)
      record.children.push_back(Str(u"field", *FromUtf8(markup)));
    if (!page.footnotes.empty())
      record.children.push_back(Str(u"footnotes", u"", std::move(page.footnotes)));
    return record;
  }

  // A footnote's text, numbered by its first reference.
  void Footnote(Page& page, cmark_node* n) {
    const std::string name = Label(n);
    const auto it = page.footnoteNumbers.find(name);
    if (it == page.footnoteNumbers.end()) {
      Fail(page.file, Line(page, n), "the footnote [^" + name + "] is never referred to");
    }
    std::string text;
    for (cmark_node* c = cmark_node_first_child(n); c; c = cmark_node_next(c)) {
      const std::string block = Block(page, c);
      if (!text.empty() && !block.empty()) text += "<BR>";
      text += block;
    }
    BookNode note = Str(u"footnote", *FromUtf8(text));
    note.id = topics_[page.topic].id + "-fn" + std::to_string(it->second);
    if (page.footnotes.size() < static_cast<std::size_t>(it->second))
      page.footnotes.resize(it->second);
    page.footnotes[static_cast<std::size_t>(it->second - 1)] = std::move(note);
  }

  std::string Block(Page& page, cmark_node* n) {
    const std::string kind = cmark_node_get_type_string(n);
    switch (cmark_node_get_type(n)) {
      case CMARK_NODE_PARAGRAPH:
        return Inlines(page, n, false);
      case CMARK_NODE_HEADING:
        return "<B>" + Inlines(page, n, false) + "</B>";
      case CMARK_NODE_LIST: {
        std::string out;
        int number = cmark_node_get_list_start(n);
        const bool ordered = cmark_node_get_list_type(n) == CMARK_ORDERED_LIST;
        for (cmark_node* item = cmark_node_first_child(n); item; item = cmark_node_next(item)) {
          if (!out.empty()) out += "<BR>";
          out += ordered ? std::to_string(number++) + ". " : "\u2022 ";
          std::string inner;
          for (cmark_node* c = cmark_node_first_child(item); c; c = cmark_node_next(c)) {
            if (!inner.empty()) inner += "<BR>";
            inner += Block(page, c);
          }
          out += inner;
        }
        return out;
      }
      case CMARK_NODE_BLOCK_QUOTE: {
        std::string out;
        for (cmark_node* c = cmark_node_first_child(n); c; c = cmark_node_next(c)) {
          if (!out.empty()) out += "<BR><BR>";
          out += Block(page, c);
        }
        return "<I>" + out + "</I>";
      }
      case CMARK_NODE_CODE_BLOCK: {
        std::string text = Escape(cmark_node_get_literal(n) ? cmark_node_get_literal(n) : "");
        while (text.ends_with("\n")) text.pop_back();
        std::string out;
        for (const char c : text) out += c == '\n' ? std::string("<BR>") : std::string(1, c);
        return out;
      }
      case CMARK_NODE_THEMATIC_BREAK:
        return "";
      case CMARK_NODE_HTML_BLOCK:
        Fail(page.file, Line(page, n), "HTML blocks are not taken; write Markdown");
      default:
        break;
    }
    if (kind == "table") return Grid(page, n);
    Fail(page.file, Line(page, n), "a " + kind + " is not taken here");
  }

  // A Markdown table: a grid page of its own, linked from the text.
  std::string Grid(Page& page, cmark_node* n) {
    const Topic& topic = topics_[page.topic];
    const int number = ++page.grids;
    const std::string id = topic.id + "-table" + std::to_string(number);
    std::vector<BookNode> kids{Str(u"table type", u"table")};
    std::uint32_t columns = 0;
    bool header = true;
    for (cmark_node* row = cmark_node_first_child(n); row; row = cmark_node_next(row)) {
      std::vector<BookNode> cells;
      for (cmark_node* cell = cmark_node_first_child(row); cell; cell = cmark_node_next(cell)) {
        cells.push_back(
            Str(header ? u"column name" : u"field", *FromUtf8(Inlines(page, cell, false))));
      }
      if (header) {
        columns = static_cast<std::uint32_t>(cells.size());
        kids.push_back(Num(u"column count", columns));
        for (auto& c : cells) kids.push_back(std::move(c));
      } else {
        kids.push_back(Str(u"row", u"", std::move(cells)));
      }
      header = false;
    }
    const std::u16string name = topic.title + u": table " + *FromUtf8(std::to_string(number));
    BookNode table = Str(u"table", name, std::move(kids));
    table.id = id;
    extraTables_.push_back(std::move(table));
    return "<A HREF='{{row:" + id + "}}'>Table " + std::to_string(number) + "</A>";
  }

  // A picture: an item and a figure page; shown in the text.
  std::string Figure(Page& page, cmark_node* n, const std::string& alt) {
    const Topic& topic = topics_[page.topic];
    const char* url = cmark_node_get_url(n);
    const fs::path file = topic.file.parent_path() / (url ? url : "");
    if (!fs::is_regular_file(file)) Fail(page.file, Line(page, n), "no picture " + file.string());
    const std::string bytes = ReadFile(file);
    std::uint32_t width = 0, height = 0;
    if (!PictureSize(bytes, width, height) || width > 65535 || height > 65535) {
      Fail(page.file, Line(page, n), file.string() + " is not a PNG or JPEG picture");
    }
    ImageVariant v;
    v.width = static_cast<std::uint16_t>(width);
    v.height = static_cast<std::uint16_t>(height);
    v.bytes.assign(bytes.begin(), bytes.end());
    book_.items.push_back(MakeImageItem({v}));
    const int number = ++page.figures;
    const std::string id = topic.id + "-figure" + std::to_string(number);
    const std::u16string caption =
        alt.empty() ? topic.title + u": figure " + *FromUtf8(std::to_string(number))
                    : *FromUtf8(alt);
    std::vector<BookNode> kids{Str(u"table type", u"figure"),
                               Num(u"data", static_cast<std::uint32_t>(book_.items.size() - 1))};
    if (!alt.empty()) kids.push_back(Str(u"note", *FromUtf8(alt)));
    BookNode table = Str(u"table", caption, std::move(kids));
    table.id = id;
    extraTables_.push_back(std::move(table));
    return "<IMG SRC='{{row:" + id + "}}'>";
  }

  // A link's target: another topic (by its file, relative to this one).
  std::string LinkTarget(Page& page, cmark_node* n) {
    const std::string url = cmark_node_get_url(n) ? cmark_node_get_url(n) : "";
    if (url.find("://") != std::string::npos || url.starts_with("mailto:")) return "";
    const std::string path = url.substr(0, url.find('#'));
    if (path.empty()) return topics_[page.topic].id;
    const fs::path file = fs::weakly_canonical(topics_[page.topic].file.parent_path() / path);
    const auto it = topicOfFile_.find(file.string());
    if (it == topicOfFile_.end())
      Fail(page.file, Line(page, n), "the link leads to no topic: " + url);
    return topics_[it->second].id;
  }

  // The markup of a node's inline children.
  std::string Inlines(Page& page, cmark_node* parent, bool plain) {
    std::string out;
    for (cmark_node* n = cmark_node_first_child(parent); n; n = cmark_node_next(n)) {
      const char* literal = cmark_node_get_literal(n);
      switch (cmark_node_get_type(n)) {
        case CMARK_NODE_TEXT:
        case CMARK_NODE_CODE:
          out += Escape(literal ? literal : "");
          break;
        case CMARK_NODE_SOFTBREAK:
          out += " ";
          break;
        case CMARK_NODE_LINEBREAK:
          out += plain ? " " : "<BR>";
          break;
        case CMARK_NODE_EMPH:
          out += plain ? Inlines(page, n, plain) : "<I>" + Inlines(page, n, plain) + "</I>";
          break;
        case CMARK_NODE_STRONG:
          out += plain ? Inlines(page, n, plain) : "<B>" + Inlines(page, n, plain) + "</B>";
          break;
        case CMARK_NODE_HTML_INLINE: {
          std::string tag = literal ? literal : "";
          std::string upper = tag;
          for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
          static const char* kTaken[] = {"<SUP>", "</SUP>", "<SUB>", "</SUB>",
                                         "<BR>",  "<BR/>",  "<BR />"};
          if (std::find(std::begin(kTaken), std::end(kTaken), upper) == std::end(kTaken)) {
            Fail(page.file, Line(page, parent),
                 "the HTML " + tag + " is not taken; write Markdown");
          }
          if (!plain) out += upper.starts_with("<BR") ? "<BR>" : upper;
          break;
        }
        case CMARK_NODE_LINK: {
          const std::string target = LinkTarget(page, n);
          const std::string text = Inlines(page, n, plain);
          out +=
              target.empty() || plain ? text : "<A HREF='{{row:" + target + "}}'>" + text + "</A>";
          break;
        }
        case CMARK_NODE_IMAGE:
          if (!plain) out += Figure(page, n, PlainText(n));
          break;
        case CMARK_NODE_FOOTNOTE_REFERENCE: {
          // A reference names its definition (its own text is a number).
          const std::string label = Label(n->parent_footnote_def ? n->parent_footnote_def : n);
          const auto it = page.footnoteNumbers
                              .try_emplace(label, static_cast<int>(page.footnoteNumbers.size()) + 1)
                              .first;
          if (page.footnotes.size() < static_cast<std::size_t>(it->second))
            page.footnotes.resize(it->second);
          const std::string number = std::to_string(it->second);
          if (!plain) {
            out += "<SUP><A HREF='{{row:" + topics_[page.topic].id + "-fn" + number + "}}'>" +
                   number + "</A></SUP>";
          }
          break;
        }
        default: {
          const std::string kind = cmark_node_get_type_string(n);
          if (kind == "strikethrough" || kind == "table_cell") {
            out += Inlines(page, n, plain);
            break;
          }
          Fail(page.file, Line(page, parent), "a " + kind + " is not taken here");
        }
      }
    }
    return out;
  }

  static std::string PlainText(cmark_node* parent) {
    std::string out;
    for (cmark_node* n = cmark_node_first_child(parent); n; n = cmark_node_next(n)) {
      if (const char* literal = cmark_node_get_literal(n)) out += literal;
      out += PlainText(n);
    }
    return Escape(out);
  }

  // The INDEX: every title and index term, grouped by first letter; the
  // groups are sorted by vrok-book ("sort": true), the entries here.
  BookNode Index() {
    std::map<std::u16string, std::vector<std::pair<std::u16string, std::string>>>
        groups;  // by letter
    for (const Topic& t : topics_) {
      std::vector<std::u16string> terms{t.title};
      for (const auto& term : t.terms) {
        if (std::find(terms.begin(), terms.end(), term) == terms.end()) terms.push_back(term);
      }
      for (const auto& term : terms) {
        const std::u16string key = SearchKey(EscapeWide(term));
        if (key.empty()) continue;
        // The group's letter is shown in capitals (a folded letter of A-Z or
        // of Latin-1 back to its capital).
        std::u16string letter(1, key[0]);
        if ((letter[0] >= u'a' && letter[0] <= u'z') ||
            (letter[0] >= 0xE0 && letter[0] <= 0xFE && letter[0] != 0xF7)) {
          letter[0] = static_cast<char16_t>(letter[0] - 0x20);
        }
        groups[letter].emplace_back(EscapeWide(term), t.id);
      }
    }
    std::vector<BookNode> kids{Str(u"table type", u"index")};
    for (auto& [letter, entries] : groups) {
      std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return SearchKey(a.first) < SearchKey(b.first);
      });
      BookNode group = Str(u"hierarchy item", letter);
      for (const auto& [text, id] : entries)
        group.children.push_back(Str(u"hierarchy item", text, {Ref(u"link", id)}));
      kids.push_back(std::move(group));
    }
    BookNode table = Str(u"table", u"INDEX", std::move(kids));
    table.id = "index";
    table.sort = true;
    return table;
  }

  fs::path folder_;
  Book book_;
  std::u16string title_;
  std::vector<Topic> topics_;
  std::vector<std::string> bodies_;
  std::vector<int> bodyLine_;
  std::vector<Chapter> chapters_;
  std::vector<BookNode> records_;
  std::vector<BookNode> extraTables_;
  std::vector<std::u16string> sectionNames_;
  std::map<std::string, std::size_t> topicOfFile_;
  std::set<std::string> ids_;
};

}  // namespace

std::optional<Book> ReadMarkdownBook(const std::string& folder, std::string& error) {
  try {
    if (!fs::is_directory(folder)) {
      error = folder + ": not a folder";
      return std::nullopt;
    }
    return MarkdownBook(folder).Build();
  } catch (const Failure& f) {
    error = f.message;
  } catch (const fs::filesystem_error& e) {
    error = e.what();
  } catch (const YAML::Exception& e) {
    error = std::string("YAML: ") + e.what();
  }
  return std::nullopt;
}

}  // namespace vrok
