#pragma once
// The few file operations the record files need, behind an interface so
// that tests can make any step fail or "lose power" between steps. Every
// operation reports failure by its result; none throws.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace vrok {

class FileSystem {
 public:
  using Handle = int;  // an open file; negative means none
  static constexpr Handle kNoFile = -1;

  virtual ~FileSystem() = default;

  // True when the path names an existing file, false when nothing is there;
  // nothing when that cannot be told (a permission error, for example).
  virtual std::optional<bool> Exists(const std::string& path) = 0;
  // Opens an existing file for reading and writing.
  virtual Handle Open(const std::string& path) = 0;
  // Creates the file empty (replacing one of the same name) for reading and writing.
  virtual Handle Create(const std::string& path) = 0;
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
  Handle Open(const std::string& path) override;
  Handle Create(const std::string& path) override;
  void Close(Handle file) override;
  std::optional<std::uint64_t> Size(Handle file) override;
  bool ReadAt(Handle file, std::uint64_t offset, std::span<std::uint8_t> bytes) override;
  bool WriteAt(Handle file, std::uint64_t offset, std::span<const std::uint8_t> bytes) override;
  bool Sync(Handle file) override;
  bool Rename(const std::string& from, const std::string& to) override;
  bool Remove(const std::string& path) override;
  bool SyncFolderOf(const std::string& path) override;
};

// The process's one PosixFileSystem.
FileSystem& RealFileSystem();

}  // namespace vrok
