#pragma once
// Copies of the four record files kept in "backups/" of the user's data
// folder, one folder per copy named by its time ("YYYY-MM-DD_HHMMSS", UTC;
// "-2", "-3", ... when two fall in one second). A copy is written into a
// hidden folder, every file flushed, then the folder is renamed into place
// and "backups/" flushed, so a copy either exists whole or not at all. The
// newest kKeptBackups copies are kept; older ones are removed.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vrok {

inline constexpr int kKeptBackups = 10;

std::string BackupsFolder(const std::string& folder);

// Names of the copies, newest first.
std::vector<std::string> ListBackups(const std::string& folder);

enum class BackupResult { kMade, kUnchanged, kFailed };
// Copies the record files of folder when they differ from the newest copy
// (or always, when force), then prunes. A folder without any bookmark or
// note and without copies gets none.
BackupResult MakeBackup(const std::string& folder, std::int64_t now, bool force = false,
                        std::string* made = nullptr);

// Puts the files of copy `name` in place of the record files, all four at
// once (crash-safe, as an import swaps them in), after a copy of the
// current files (unless the newest copy holds them already). The stores must be closed. False when
// nothing changed.
bool RestoreBackup(const std::string& folder, const std::string& name, std::int64_t now);

}  // namespace vrok
