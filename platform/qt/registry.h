#pragma once
// The registry key HKEY_LOCAL_MACHINE "SOFTWARE\Apps\KESTOR Vrok", kept in
// an INI file through QSettings: the key is the group
// "HKEY_LOCAL_MACHINE/SOFTWARE/Apps/KESTOR Vrok", "InstallDir" a string and
// "InitialTab" an integer. Tools outside the program write this file too.

#include <QString>
#include <cstdint>
#include <optional>

namespace vrok::platform {

class Registry {
 public:
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
  bool SetInstallDir(const QString& folder);

 private:
  bool Write(const QString& name, const QVariant& value);
  QString file_;
};

}  // namespace vrok::platform
