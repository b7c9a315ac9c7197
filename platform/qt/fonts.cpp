#include "platform/qt/fonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>
#include <map>

#include "platform/qt/environment.h"

namespace vrok::platform {

namespace {
struct Added {
  int id = -1;
  int count = 0;
};
std::map<QString, Added>& Table() {
  static std::map<QString, Added> table;
  return table;
}
}  // namespace

bool AddFontResource(const QString& path) {
  Added& entry = Table()[path];
  if (entry.count == 0) {
    entry.id = QFontDatabase::addApplicationFont(path);
    if (entry.id < 0) {
      Table().erase(path);
      return false;
    }
    const QStringList families = QFontDatabase::applicationFontFamilies(entry.id);
    if (path.endsWith(QLatin1String(kPageFontFile)) && !families.isEmpty())
      QFont::insertSubstitution(QLatin1String(kPageFontFace), families.first());
  }
  ++entry.count;
  return true;
}

bool RemoveFontResource(const QString& path) {
  const auto it = Table().find(path);
  if (it == Table().end()) return false;
  if (--it->second.count == 0) {
    QFontDatabase::removeApplicationFont(it->second.id);
    if (path.endsWith(QLatin1String(kPageFontFile)))
      QFont::removeSubstitutions(QLatin1String(kPageFontFace));
    Table().erase(it);
  }
  return true;
}

int FontResourceCount(const QString& path) {
  const auto it = Table().find(path);
  return it == Table().end() ? 0 : it->second.count;
}

PageFontUse::PageFontUse() : path_(ProgramFile(QLatin1String(kPageFontFile))) {
  added_ = AddFontResource(path_);
}

PageFontUse::~PageFontUse() {
  if (added_) RemoveFontResource(path_);
}

}  // namespace vrok::platform
