#pragma once
// The few file operations the record files need, behind an interface so
// that tests can make any step fail or "lose power" between steps. Every
// operation reports failure by its result; none throws.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vrok {

class FileSystem {
 public:
  using Handle = int;  // an open file; negative means none
  static constexpr Handle kNoFile = -1;
  // What a name is, without following a symbolic link.
  enum class Kind { kMissing, kFile, kLink, kOther };
  // Mode of record files created anew: the user's alone.
  static constexpr unsigned kPrivateMode = 0600;

  virtual ~FileSystem() = default;

  // True when the path names an existing file, false when nothing is there;
  // nothing when that cannot be told (a permission error, for example).
  virtual std::optional<bool> Exists(const std::string& path) = 0;
  // What is at path; nothing when that cannot be told.
  virtual std::optional<Kind> KindOf(const std::string& path) {
    const auto exists = Exists(path);
    if (!exists) return std::nullopt;
    return *exists ? Kind::kFile : Kind::kMissing;
  }
  // Opens an existing regular file for reading and writing. Never follows a
  // symbolic link and never blocks on a device or a pipe.
  virtual Handle Open(const std::string& path) = 0;
  // Opens an existing regular file for reading only, the same way.
  virtual Handle OpenForReading(const std::string& path) { return Open(path); }
  // Creates the file empty for reading and writing, with this mode. A name
  // already there (a file, or a link, which is never followed) is removed
  // first and the file is then created exclusively.
  virtual Handle Create(const std::string& path, unsigned mode = kPrivateMode) = 0;
  // The permission bits of the regular file at path; nothing when none.
  virtual std::optional<unsigned> ModeOf(const std::string&) { return std::nullopt; }
  // Whether files may be created, renamed and removed in the folder of path.
  virtual bool CanChangeFolderOf(const std::string&) { return true; }
  // Takes an exclusive advisory lock on the file at path (created empty,
  // private, when absent), without waiting; it is held until Unlock. kNoFile
  // when it cannot be had: heldByAnother tells a lock held elsewhere from a
  // lock file that cannot be opened.
  virtual Handle Lock(const std::string& path, bool& heldByAnother) {
    (void)path;
    heldByAnother = false;
    return kNoFile;
  }
  virtual void Unlock(Handle lock) { Close(lock); }
  virtual void Close(Handle file) = 0;
  virtual std::optional<std::uint64_t> Size(Handle file) = 0;
  // Reads or writes exactly bytes.size() bytes at offset; false otherwise.
  virtual bool ReadAt(Handle file, std::uint64_t offset, std::span<std::uint8_t> bytes) = 0;
  virtual bool WriteAt(Handle file, std::uint64_t offset, std::span<const std::uint8_t> bytes) = 0;
  // Flushes the file's contents to the disk.
  virtual bool Sync(Handle file) = 0;
  // Atomically replaces `to` (if present) by `from`.
  virtual bool Rename(const std::string& from, const std::string& to) = 0;
  virtual bool Remove(const std::string& path) = 0;
  // Flushes the names in the folder that holds path (after creating,
  // renaming or removing files in it).
  virtual bool SyncFolderOf(const std::string& path) = 0;
};

// The real file system through POSIX calls.
class PosixFileSystem final : public FileSystem {
 public:
  std::optional<bool> Exists(const std::string& path) override;
  std::optional<Kind> KindOf(const std::string& path) override;
  Handle Open(const std::string& path) override;
  Handle OpenForReading(const std::string& path) override;
  Handle Create(const std::string& path, unsigned mode = kPrivateMode) override;
  std::optional<unsigned> ModeOf(const std::string& path) override;
  bool CanChangeFolderOf(const std::string& path) override;
  Handle Lock(const std::string& path, bool& heldByAnother) override;
  void Close(Handle file) override;
  std::optional<std::uint64_t> Size(Handle file) override;
  bool ReadAt(Handle file, std::uint64_t offset, std::span<std::uint8_t> bytes) override;
  bool WriteAt(Handle file, std::uint64_t offset, std::span<const std::uint8_t> bytes) override;
  bool Sync(Handle file) override;
  bool Rename(const std::string& from, const std::string& to) override;
  bool Remove(const std::string& path) override;
  bool SyncFolderOf(const std::string& path) override;
};

// Replaces the file at path by one holding exactly bytes: written to
// "<path>.tmp" (created exclusively, with the mode of the file it replaces
// or private), flushed, renamed over path, and the folder flushed. At every
// instant path is the old file or the new one. False on any failure.
bool WriteWhole(FileSystem& files, const std::string& path, std::span<const std::uint8_t> bytes);
// The whole of a regular file (never through a link); nothing when it is
// missing, unreadable or larger than maxBytes.
std::optional<std::vector<std::uint8_t>> ReadWhole(FileSystem& files, const std::string& path,
                                                   std::uint64_t maxBytes = std::uint64_t{64}
                                                                            << 20);

// The process's one PosixFileSystem.
FileSystem& RealFileSystem();

}  // namespace vrok
