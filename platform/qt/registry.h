#pragma once
// The registry key HKEY_LOCAL_MACHINE "SOFTWARE\Apps\KESTOR Vrok", kept in
// an INI file in the QSettings format: the key is the group
// "HKEY_LOCAL_MACHINE/SOFTWARE/Apps/KESTOR Vrok", "InstallDir" a string and
// "InitialTab" an integer. Tools outside the program write this file too, so
// it is read and written line by line: lines we do not change, comments
// included, are kept as they are.
//
// The file is read when first needed and again only when it has changed on
// disk; a change is written once, to a temporary file that then replaces the
// file. A file that is a symbolic link is resolved and its target replaced,
// so the link stays. A file larger than kMaxFile, or one that is not a
// regular file (a FIFO, a folder), is refused: Problem() says why.

#include <sys/types.h>

#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vrok::platform {

class Registry {
 public:
  static constexpr qint64 kMaxFile = 1 << 20;

  explicit Registry(QString file) : file_(std::move(file)) {}

  // --registry FILE, else $VROK_REGISTRY, else the user's config folder.
  static QString DefaultFile();
  const QString& File() const { return file_; }

  // "Open or create the key": the file can be read, or created when absent.
  bool CanOpen() const;
  // The installation folder; none when the key or the value is missing, or
  // the text is longer than 256 characters.
  std::optional<QString> InstallDir() const;
  // "InitialTab"; none when the key cannot be opened or the value is absent
  // or not a number.
  std::optional<std::uint32_t> InitialTab() const;

  bool SetInitialTab(std::uint32_t value);

  // The desktop window's settings: a whole number or a text under name;
  // none when absent (or, for a number, not a whole number).
  std::optional<long long> Number(const QString& name) const;
  std::optional<QString> Text(const QString& name) const;
  bool SetNumber(const QString& name, long long value);
  bool SetText(const QString& name, const QString& value);
  bool SetInstallDir(const QString& folder);

  // Why the file was refused at the last read or write, in one short
  // sentence naming the file; empty when nothing went wrong.
  const QString& Problem() const { return problem_; }

 private:
  // What was read, and which version of the file it came from.
  struct Loaded {
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    std::int64_t mtimeNs = 0;
    std::vector<std::string> lines;  // each with its line end, if it had one
  };

  // Reads the file unless the copy in memory is still current. False when
  // the file exists but cannot be used.
  bool Load() const;
  // The raw value of the key's `name` (the last one in the file wins).
  std::optional<QString> Value(const QString& name) const;
  bool Write(const QString& name, const QString& escapedValue);

  QString file_;
  mutable std::optional<Loaded> loaded_;
  mutable QString problem_;
};

// The INI file's escaping, as QSettings reads and writes it.
namespace ini {
// A value as QSettings writes a string (quoted when it must be).
std::string EscapeString(const QString& text);
// The value text of a line (after "="); a list (unquoted commas) is none.
std::optional<QString> UnescapeString(std::string_view raw);
// A key or section name: "\" separates groups, "%XX" and "%UXXXX" escape.
QString UnescapeKey(std::string_view raw);
}  // namespace ini

}  // namespace vrok::platform
