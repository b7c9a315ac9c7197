#include "platform/qt/registry.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace vrok::platform {

namespace {
const QString kKey = QStringLiteral("HKEY_LOCAL_MACHINE/SOFTWARE/Apps/KESTOR Vrok/");
// How a new value line is written: the section, then the key in it.
constexpr std::string_view kSection = "HKEY_LOCAL_MACHINE";
constexpr std::string_view kKeyInSection = "SOFTWARE\\Apps\\KESTOR%20Vrok\\";
constexpr qsizetype kMaxInstallDir = 256;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// A line without its line end.
std::string_view Body(const std::string& line) {
  std::string_view s(line);
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

std::string_view LineEnd(const std::string& line) {
  return std::string_view(line).substr(Body(line).size());
}

// The section a "[name]" line opens, unescaped; none for other lines.
std::optional<QString> SectionOf(std::string_view body) {
  body = Trim(body);
  if (body.size() < 2 || body.front() != '[') return std::nullopt;
  const auto end = body.find(']');
  if (end == std::string_view::npos) return std::nullopt;
  QString name = ini::UnescapeKey(Trim(body.substr(1, end - 1)));
  if (name.compare(QLatin1String("general"), Qt::CaseInsensitive) == 0) name.clear();
  return name;
}

bool IsComment(std::string_view body) {
  body = Trim(body);
  return body.empty() || body.front() == ';' || body.front() == '#';
}

// Where a value's trailing comment starts (an unquoted ';'), else npos.
std::size_t CommentStart(std::string_view raw) {
  bool quoted = false;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\\') {
      ++i;
    } else if (raw[i] == '"') {
      quoted = !quoted;
    } else if (raw[i] == ';' && !quoted) {
      return i;
    }
  }
  return std::string_view::npos;
}

std::int64_t MtimeNs(const struct stat& st) {
  return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

namespace ini {

std::string EscapeString(const QString& text) {
  std::string out;
  // A string that starts with '@' would read back as a typed value.
  if (text.startsWith(QLatin1Char('@'))) out += '@';
  const std::size_t start = out.size();
  bool needsQuotes = false;
  bool escapeNextIfHex = false;
  const std::u32string codePoints = text.toStdU32String();
  for (const char32_t c : codePoints) {
    if (c == ';' || c == ',' || c == '=') needsQuotes = true;
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (escapeNextIfHex && hex) {
      // "\x1" followed by "2" would read as "\x12".
      out += "\\x" + QByteArray::number(static_cast<int>(c), 16).toStdString();
      continue;
    }
    escapeNextIfHex = false;
    switch (c) {
      case U'\0':
        out += "\\0";
        escapeNextIfHex = true;
        break;
      case U'\a':
        out += "\\a";
        break;
      case U'\b':
        out += "\\b";
        break;
      case U'\f':
        out += "\\f";
        break;
      case U'\n':
        out += "\\n";
        break;
      case U'\r':
        out += "\\r";
        break;
      case U'\t':
        out += "\\t";
        break;
      case U'\v':
        out += "\\v";
        break;
      case U'"':
        out += "\\\"";
        break;
      case U'\\':
        out += "\\\\";
        break;
      default:
        if (c <= 0x1F) {
          out += "\\x" + QByteArray::number(static_cast<int>(c), 16).toStdString();
          escapeNextIfHex = true;
        } else {
          out += QString::fromUcs4(&c, 1).toUtf8().toStdString();
        }
    }
  }
  if (needsQuotes || (out.size() > start && (out[start] == ' ' || out.back() == ' '))) {
    out.insert(start, 1, '"');
    out += '"';
  }
  return out;
}

std::optional<QString> UnescapeString(std::string_view raw) {
  raw = Trim(raw);
  if (const auto comment = CommentStart(raw); comment != std::string_view::npos) {
    raw = Trim(raw.substr(0, comment));
  }
  std::string bytes;       // UTF-8
  std::size_t keepTo = 0;  // trailing unquoted blanks are dropped
  bool quoted = false;
  for (std::size_t i = 0; i < raw.size();) {
    const char c = raw[i++];
    if (c == '"') {
      quoted = !quoted;
      keepTo = bytes.size();
      continue;
    }
    if (c == ',' && !quoted) return std::nullopt;  // a list, not a string
    if (c != '\\') {
      bytes += c;
      if (quoted || (c != ' ' && c != '\t')) keepTo = bytes.size();
      continue;
    }
    if (i == raw.size()) break;
    const char e = raw[i++];
    char32_t code = 0;
    switch (e) {
      case 'a':
        bytes += '\a';
        break;
      case 'b':
        bytes += '\b';
        break;
      case 'f':
        bytes += '\f';
        break;
      case 'n':
        bytes += '\n';
        break;
      case 'r':
        bytes += '\r';
        break;
      case 't':
        bytes += '\t';
        break;
      case 'v':
        bytes += '\v';
        break;
      case '"':
      case '?':
      case '\'':
      case '\\':
        bytes += e;
        break;
      case 'x':
        for (int digits = 0; i < raw.size() && digits < 8; ++digits, ++i) {
          const char h = raw[i];
          const int v = h >= '0' && h <= '9'   ? h - '0'
                        : h >= 'a' && h <= 'f' ? h - 'a' + 10
                        : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                               : -1;
          if (v < 0) break;
          code = code * 16 + static_cast<char32_t>(v);
        }
        bytes += QString::fromUcs4(&code, 1).toUtf8().toStdString();
        break;
      default:
        if (e >= '0' && e <= '7') {
          code = static_cast<char32_t>(e - '0');
          for (int digits = 1; i < raw.size() && digits < 3 && raw[i] >= '0' && raw[i] <= '7';
               ++digits, ++i) {
            code = code * 8 + static_cast<char32_t>(raw[i] - '0');
          }
          bytes += QString::fromUcs4(&code, 1).toUtf8().toStdString();
        }
        // Any other escaped character is skipped.
    }
    keepTo = bytes.size();
  }
  bytes.resize(keepTo);
  QString text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
  if (text.startsWith(QLatin1String("@@"))) return text.mid(1);
  if (text.startsWith(QLatin1Char('@'))) return std::nullopt;  // a typed value, not text
  return text;
}

QString UnescapeKey(std::string_view raw) {
  QString out;
  std::string run;  // UTF-8 bytes not yet added
  const auto flush = [&] {
    out += QString::fromUtf8(run.data(), static_cast<qsizetype>(run.size()));
    run.clear();
  };
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    if (c == '\\') {
      run += '/';
      continue;
    }
    if (c != '%' || i + 1 == raw.size()) {
      run += c;
      continue;
    }
    std::size_t first = i + 1;
    std::size_t digits = 2;
    if (raw[first] == 'U') {
      ++first;
      digits = 4;
    }
    bool ok = first + digits <= raw.size();
    const int code =
        ok ? QByteArray(raw.data() + first, static_cast<qsizetype>(digits)).toInt(&ok, 16) : 0;
    if (!ok) {
      run += '%';
      continue;
    }
    flush();
    out += QChar(static_cast<char16_t>(code));
    i = first + digits - 1;
  }
  flush();
  return out;
}

}  // namespace ini

QString Registry::DefaultFile() {
  const QString env = qEnvironmentVariable("VROK_REGISTRY");
  if (!env.isEmpty()) return env;
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/vrok/registry.ini");
}

bool Registry::Load() const {
  const QByteArray path = QFile::encodeName(file_);
  struct stat st;
  if (::stat(path.constData(), &st) != 0) {
    struct stat link;
    if (errno == ENOENT && ::lstat(path.constData(), &link) != 0) {
      loaded_ = Loaded{};  // absent: an empty key, created when written
      problem_.clear();
      return true;
    }
    problem_ = QStringLiteral("registry file %1 cannot be read").arg(file_);
    loaded_.reset();
    return false;
  }
  if (loaded_ && loaded_->exists && loaded_->dev == st.st_dev && loaded_->ino == st.st_ino &&
      loaded_->size == st.st_size && loaded_->mtimeNs == MtimeNs(st)) {
    return true;  // unchanged since it was read
  }
  loaded_.reset();

  // Opened without waiting, so that a FIFO in its place cannot block us.
  const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    problem_ = QStringLiteral("registry file %1 cannot be read").arg(file_);
    return false;
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } const closer{fd};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    problem_ = QStringLiteral("registry file %1 is not a regular file").arg(file_);
    return false;
  }
  if (st.st_size > kMaxFile) {
    problem_ = QStringLiteral("registry file %1 is larger than 1 MiB").arg(file_);
    return false;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    problem_ = QStringLiteral("registry file %1 cannot be read").arg(file_);
    return false;
  }
  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      problem_ = QStringLiteral("registry file %1 cannot be read").arg(file_);
      return false;
    }
    if (n == 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    if (static_cast<qint64>(text.size()) > kMaxFile) {  // it grew while we read
      problem_ = QStringLiteral("registry file %1 is larger than 1 MiB").arg(file_);
      return false;
    }
  }
  Loaded loaded;
  loaded.exists = true;
  loaded.dev = st.st_dev;
  loaded.ino = st.st_ino;
  loaded.size = st.st_size;
  loaded.mtimeNs = MtimeNs(st);
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find('\n', at);
    const std::size_t next = end == std::string::npos ? text.size() : end + 1;
    loaded.lines.push_back(text.substr(at, next - at));
    at = next;
  }
  loaded_ = std::move(loaded);
  problem_.clear();
  return true;
}

std::optional<QString> Registry::Value(const QString& name) const {
  if (!Load() || !loaded_->exists) return std::nullopt;
  const QString wanted = kKey + name;
  QString section;
  std::optional<std::string_view> raw;
  for (const std::string& line : loaded_->lines) {
    const std::string_view body = Body(line);
    if (const auto opened = SectionOf(body)) {
      section = *opened;
      continue;
    }
    if (IsComment(body)) continue;
    const auto eq = body.find('=');
    if (eq == std::string_view::npos) continue;
    const QString key = ini::UnescapeKey(Trim(body.substr(0, eq)));
    if ((section.isEmpty() ? key : section + QLatin1Char('/') + key) == wanted) {
      raw = body.substr(eq + 1);
    }
  }
  if (!raw) return std::nullopt;
  return ini::UnescapeString(*raw);
}

bool Registry::CanOpen() const {
  if (!Load()) return false;
  if (loaded_->exists) return true;
  return QDir().mkpath(QFileInfo(file_).absolutePath());
}

std::optional<QString> Registry::InstallDir() const {
  const auto dir = Value(QStringLiteral("InstallDir"));
  if (!dir || dir->size() > kMaxInstallDir) return std::nullopt;
  return dir;
}

std::optional<std::uint32_t> Registry::InitialTab() const {
  const auto text = Value(QStringLiteral("InitialTab"));
  if (!text) return std::nullopt;
  bool ok = false;
  const qlonglong v = text->toLongLong(&ok);
  if (!ok) return std::nullopt;
  return static_cast<std::uint32_t>(v);
}

bool Registry::Write(const QString& name, const QString& escapedValue) {
  if (!CanOpen()) return false;
  std::vector<std::string> lines = loaded_->lines;
  const std::string value = escapedValue.toStdString();

  // The last line that sets the value is changed in place, keeping its
  // spelling of the key and its trailing comment.
  const QString wanted = kKey + name;
  QString section;
  std::optional<std::size_t> found;
  std::optional<std::size_t> lastInSection;  // the last line of our section
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view body = Body(lines[i]);
    if (const auto opened = SectionOf(body)) {
      section = *opened;
      if (section == QLatin1String(kSection.data(), kSection.size())) lastInSection = i;
      continue;
    }
    if (section == QLatin1String(kSection.data(), kSection.size()) && !Trim(body).empty())
      lastInSection = i;
    if (IsComment(body)) continue;
    const auto eq = body.find('=');
    if (eq == std::string_view::npos) continue;
    const QString key = ini::UnescapeKey(Trim(body.substr(0, eq)));
    if ((section.isEmpty() ? key : section + QLatin1Char('/') + key) == wanted) found = i;
  }
  const std::string newLine = std::string(kKeyInSection) + name.toStdString() + "=" + value;
  if (found) {
    std::string& line = lines[*found];
    const std::string_view body = Body(line);
    const auto eq = body.find('=');
    const std::string_view rest = body.substr(eq + 1);
    const auto comment = CommentStart(rest);
    std::string changed(body.substr(0, eq + 1));
    changed += value;
    if (comment != std::string_view::npos) {
      changed += ' ';
      changed += rest.substr(comment);
    }
    changed += LineEnd(line).empty() ? std::string_view("\n") : LineEnd(line);
    line = changed;
  } else {
    if (!lines.empty() && LineEnd(lines.back()).empty()) lines.back() += '\n';
    if (lastInSection) {
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*lastInSection + 1), newLine + "\n");
    } else {
      if (!lines.empty()) lines.push_back("\n");
      lines.push_back("[" + std::string(kSection) + "]\n");
      lines.push_back(newLine + "\n");
    }
  }

  // A link is followed once: its target is replaced, the link stays.
  const QByteArray path = QFile::encodeName(file_);
  std::string target = path.toStdString();
  struct stat st;
  mode_t mode = 0600;
  if (::lstat(path.constData(), &st) == 0) {
    if (S_ISLNK(st.st_mode)) {
      char* resolved = ::realpath(path.constData(), nullptr);
      if (resolved == nullptr) {
        problem_ = QStringLiteral("registry file %1 is a link to nothing").arg(file_);
        return false;
      }
      target = resolved;
      ::free(resolved);
    }
    if (::stat(target.c_str(), &st) == 0) mode = st.st_mode & 07777;
  }

  std::string text;
  for (const std::string& line : lines) text += line;
  std::string temp = target + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    problem_ = QStringLiteral("registry file %1 cannot be written").arg(file_);
    return false;
  }
  const bool written = WriteAll(fd, text) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || ::rename(temp.c_str(), target.c_str()) != 0) {
    ::unlink(temp.c_str());
    problem_ = QStringLiteral("registry file %1 cannot be written").arg(file_);
    return false;
  }
  // The rename is durable once the folder is.
  const std::string folder = target.substr(0, target.rfind('/') + 1);
  if (const int dir =
          ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }

  Loaded now;
  now.exists = true;
  now.lines = std::move(lines);
  if (::stat(target.c_str(), &st) == 0) {
    now.dev = st.st_dev;
    now.ino = st.st_ino;
    now.size = st.st_size;
    now.mtimeNs = MtimeNs(st);
  }
  loaded_ = std::move(now);
  problem_.clear();
  return true;
}

bool Registry::SetInitialTab(std::uint32_t value) {
  return Write(QStringLiteral("InitialTab"), QString::number(value));
}

std::optional<long long> Registry::Number(const QString& name) const {
  const auto text = Value(name);
  if (!text) return std::nullopt;
  bool ok = false;
  const qlonglong v = text->trimmed().toLongLong(&ok);
  if (!ok) return std::nullopt;
  return v;
}

std::optional<QString> Registry::Text(const QString& name) const { return Value(name); }

bool Registry::SetNumber(const QString& name, long long value) {
  if (Number(name) == value) return true;  // unchanged: no write
  return Write(name, QString::number(value));
}

bool Registry::SetText(const QString& name, const QString& value) {
  if (Text(name) == value) return true;
  return Write(name, QString::fromStdString(ini::EscapeString(value)));
}

bool Registry::SetInstallDir(const QString& folder) {
  return Write(QStringLiteral("InstallDir"), QString::fromStdString(ini::EscapeString(folder)));
}

}  // namespace vrok::platform
