#include "userdata/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

namespace vrok {
namespace {

constexpr std::uint64_t kMaxOffset = std::numeric_limits<off_t>::max();

bool OffsetFits(std::uint64_t offset, std::size_t size) {
  return offset <= kMaxOffset && size <= kMaxOffset - offset;
}

// Repeats a pread or pwrite, io(bytes done so far), until all `size` bytes
// are moved. A short transfer is resumed; an error or the end of the file
// (a read of 0) fails.
template <typename Io>
bool TransferAll(std::uint64_t offset, std::size_t size, Io io) {
  if (!OffsetFits(offset, size)) return false;
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = io(done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::optional<bool> PosixFileSystem::Exists(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) return S_ISREG(st.st_mode);
  if (errno == ENOENT) return false;
  return std::nullopt;
}

FileSystem::Handle PosixFileSystem::Open(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  return fd >= 0 ? fd : kNoFile;
}

FileSystem::Handle PosixFileSystem::Create(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  return fd >= 0 ? fd : kNoFile;
}

void PosixFileSystem::Close(Handle file) {
  if (file >= 0) ::close(file);
}

std::optional<std::uint64_t> PosixFileSystem::Size(Handle file) {
  struct stat st {};
  if (::fstat(file, &st) != 0 || st.st_size < 0) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size);
}

bool PosixFileSystem::ReadAt(Handle file, std::uint64_t offset, std::span<std::uint8_t> bytes) {
  return TransferAll(offset, bytes.size(), [&](std::size_t done) {
    return ::pread(file, bytes.data() + done, bytes.size() - done,
                   static_cast<off_t>(offset + done));
  });
}

bool PosixFileSystem::WriteAt(Handle file, std::uint64_t offset,
                              std::span<const std::uint8_t> bytes) {
  return TransferAll(offset, bytes.size(), [&](std::size_t done) {
    return ::pwrite(file, bytes.data() + done, bytes.size() - done,
                    static_cast<off_t>(offset + done));
  });
}

bool PosixFileSystem::Sync(Handle file) { return ::fsync(file) == 0; }

bool PosixFileSystem::Rename(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

bool PosixFileSystem::Remove(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool PosixFileSystem::SyncFolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "."
                             : slash == 0               ? "/"
                                                        : path.substr(0, slash);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

FileSystem& RealFileSystem() {
  static PosixFileSystem files;
  return files;
}

}  // namespace vrok
