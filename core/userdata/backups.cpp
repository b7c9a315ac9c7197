#include "core/userdata/backups.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <filesystem>

#include "core/userdata/file_system.h"
#include "core/userdata/record_file.h"
#include "core/userdata/user_data_import.h"

namespace vrok {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr std::size_t kStampLength = 17;  // YYYY-MM-DD_HHMMSS

bool IsBackupName(const std::string& name) {
  if (name.size() < kStampLength) return false;
  for (std::size_t i = 0; i < kStampLength; ++i) {
    const char c = name[i];
    const bool digit = c >= '0' && c <= '9';
    if (i == 4 || i == 7 ? c != '-' : i == 10 ? c != '_' : !digit) return false;
  }
  return name.size() == kStampLength ||
         (name[kStampLength] == '-' && name.size() > kStampLength + 1 &&
          std::all_of(name.begin() + kStampLength + 1, name.end(),
                      [](char c) { return c >= '0' && c <= '9'; }));
}

std::string Stamp(std::int64_t now) {
  const std::time_t t = static_cast<std::time_t>(now);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%d_%H%M%S", &tm);
  return buffer;
}

// A real folder (never a link), made private when absent.
bool EnsureFolder(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  return ::mkdir(path.c_str(), 0700) == 0;
}

bool SyncPath(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

// The four files as they are now; a missing file reads as empty.
std::optional<std::vector<Bytes>> CurrentFiles(const std::string& folder) {
  std::vector<Bytes> contents;
  for (const auto& name : UserDataFiles(folder)) {
    const auto kind = RealFileSystem().KindOf(name);
    if (!kind) return std::nullopt;
    if (*kind == FileSystem::Kind::kMissing) {
      contents.emplace_back();
      continue;
    }
    auto bytes = ReadWhole(RealFileSystem(), name);
    if (!bytes) return std::nullopt;
    contents.push_back(std::move(*bytes));
  }
  return contents;
}

std::optional<std::vector<Bytes>> BackupFiles(const std::string& folder, const std::string& name) {
  std::vector<Bytes> contents;
  const std::string dir = BackupsFolder(folder) + "/" + name;
  for (const auto& live : UserDataFiles(folder)) {
    auto bytes = ReadWhole(RealFileSystem(), dir + "/" + fs::path(live).filename().string());
    if (!bytes) return std::nullopt;
    contents.push_back(std::move(*bytes));
  }
  return contents;
}

// True when a data file holds no record beyond the version record.
bool Empty(const std::vector<Bytes>& contents) {
  return contents[0].size() <= 2 && contents[2].size() <= 2;
}

void RemoveTree(const std::string& path) {
  std::error_code error;
  fs::remove_all(path, error);
}

}  // namespace

std::string BackupsFolder(const std::string& folder) { return folder + "/backups"; }

std::vector<std::string> ListBackups(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(BackupsFolder(folder), error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (IsBackupName(name) && it->is_directory(error) && !it->is_symlink(error))
      names.push_back(name);
  }
  // Newest first: the stamp, then the number after it.
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const auto number = [](const std::string& n) {
      return n.size() > kStampLength ? std::stoll(n.substr(kStampLength + 1)) : 1;
    };
    const auto sa = a.substr(0, kStampLength), sb = b.substr(0, kStampLength);
    return sa != sb ? sa > sb : number(a) > number(b);
  });
  return names;
}

BackupResult MakeBackup(const std::string& folder, std::int64_t now, bool force,
                        std::string* made) {
  const auto current = CurrentFiles(folder);
  if (!current) return BackupResult::kFailed;
  const auto existing = ListBackups(folder);
  if (!force) {
    if (existing.empty() && Empty(*current)) return BackupResult::kUnchanged;
    if (!existing.empty() && BackupFiles(folder, existing.front()) == current)
      return BackupResult::kUnchanged;
  }
  const std::string backups = BackupsFolder(folder);
  if (!EnsureFolder(backups)) return BackupResult::kFailed;
  std::string name = Stamp(now);
  for (int n = 2; fs::exists(fs::symlink_status(backups + "/" + name)); ++n)
    name = Stamp(now) + "-" + std::to_string(n);
  const std::string temp = backups + "/." + name + ".tmp";
  RemoveTree(temp);
  if (::mkdir(temp.c_str(), 0700) != 0) return BackupResult::kFailed;
  const auto live = UserDataFiles(folder);
  for (std::size_t i = 0; i < live.size(); ++i) {
    const std::string copy = temp + "/" + fs::path(live[i]).filename().string();
    if (!WriteWhole(RealFileSystem(), copy, (*current)[i])) {
      RemoveTree(temp);
      return BackupResult::kFailed;
    }
  }
  if (!SyncPath(temp, O_RDONLY | O_DIRECTORY) ||
      ::rename(temp.c_str(), (backups + "/" + name).c_str()) != 0) {
    RemoveTree(temp);
    return BackupResult::kFailed;
  }
  SyncPath(backups, O_RDONLY | O_DIRECTORY);
  if (made) *made = name;
  const auto all = ListBackups(folder);
  for (std::size_t i = kKeptBackups; i < all.size(); ++i) RemoveTree(backups + "/" + all[i]);
  SyncPath(backups, O_RDONLY | O_DIRECTORY);
  return BackupResult::kMade;
}

bool RestoreBackup(const std::string& folder, const std::string& name, std::int64_t now) {
  if (!IsBackupName(name)) return false;
  const auto contents = BackupFiles(folder, name);
  if (!contents) return false;
  // The copy to restore is read before the current data's copy may prune it.
  if (MakeBackup(folder, now) == BackupResult::kFailed) return false;
  return ReplaceUserData(folder, *contents);
}

}  // namespace vrok
