#include "platform/qt/registry.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace vrok::platform {

namespace {
const QString kKey = QStringLiteral("HKEY_LOCAL_MACHINE/SOFTWARE/Apps/KESTOR Vrok/");
constexpr qsizetype kMaxInstallDir = 256;
}  // namespace

QString Registry::DefaultFile() {
  const QString env = qEnvironmentVariable("VROK_REGISTRY");
  if (!env.isEmpty()) return env;
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/vrok/registry.ini");
}

bool Registry::CanOpen() const {
  const QFileInfo info(file_);
  if (info.exists()) {
    if (!info.isFile() || !info.isReadable()) return false;
    QSettings settings(file_, QSettings::IniFormat);
    return settings.status() == QSettings::NoError;
  }
  return QDir().mkpath(info.absolutePath());
}

std::optional<QString> Registry::InstallDir() const {
  if (!QFileInfo(file_).isReadable()) return std::nullopt;
  QSettings settings(file_, QSettings::IniFormat);
  if (settings.status() != QSettings::NoError) return std::nullopt;
  const QVariant v = settings.value(kKey + QStringLiteral("InstallDir"));
  if (!v.isValid() || v.typeId() != QMetaType::QString) return std::nullopt;
  const QString dir = v.toString();
  if (dir.size() > kMaxInstallDir) return std::nullopt;
  return dir;
}

std::optional<std::uint32_t> Registry::InitialTab() const {
  if (!CanOpen()) return std::nullopt;
  QSettings settings(file_, QSettings::IniFormat);
  bool ok = false;
  const qlonglong v = settings.value(kKey + QStringLiteral("InitialTab")).toLongLong(&ok);
  if (!ok) return std::nullopt;
  return static_cast<std::uint32_t>(v);
}

bool Registry::Write(const QString& name, const QVariant& value) {
  if (!CanOpen()) return false;
  QSettings settings(file_, QSettings::IniFormat);
  settings.setValue(kKey + name, value);
  settings.sync();
  return settings.status() == QSettings::NoError;
}

bool Registry::SetInitialTab(std::uint32_t value) {
  return Write(QStringLiteral("InitialTab"), static_cast<qlonglong>(value));
}

bool Registry::SetInstallDir(const QString& folder) {
  return Write(QStringLiteral("InstallDir"), folder);
}

}  // namespace vrok::platform
