#include "core/userdata/file_system.h"

#include <fcntl.h>
#include <sys/file.h>
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

// Opens without following a link and without blocking on a FIFO or a
// device, then accepts only a regular file and goes back to blocking I/O.
int OpenRegular(const std::string& path, int access) {
  const int fd = ::open(path.c_str(), access | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st {};
  const int flags = ::fcntl(fd, F_GETFL);
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 ||
      ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::optional<bool> PosixFileSystem::Exists(const std::string& path) {
  const auto kind = KindOf(path);
  if (!kind) return std::nullopt;
  return *kind == Kind::kFile;
}

std::optional<FileSystem::Kind> PosixFileSystem::KindOf(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    return S_ISREG(st.st_mode) ? Kind::kFile : S_ISLNK(st.st_mode) ? Kind::kLink : Kind::kOther;
  }
  if (errno == ENOENT) return Kind::kMissing;
  return std::nullopt;
}

FileSystem::Handle PosixFileSystem::Open(const std::string& path) {
  const int fd = OpenRegular(path, O_RDWR);
  return fd >= 0 ? fd : kNoFile;
}

FileSystem::Handle PosixFileSystem::OpenForReading(const std::string& path) {
  const int fd = OpenRegular(path, O_RDONLY);
  return fd >= 0 ? fd : kNoFile;
}

FileSystem::Handle PosixFileSystem::Create(const std::string& path, unsigned mode) {
  // Whatever has the name goes (a link is removed, never followed); the new
  // file is then created exclusively, so nothing planted in between is used.
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) return kNoFile;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        static_cast<mode_t>(mode & 07777));
  if (fd < 0) return kNoFile;
  // The umask may have narrowed the mode; the file gets exactly this one.
  if (::fchmod(fd, static_cast<mode_t>(mode & 07777)) != 0) {
    ::close(fd);
    ::unlink(path.c_str());
    return kNoFile;
  }
  return fd;
}

std::optional<unsigned> PosixFileSystem::ModeOf(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<unsigned>(st.st_mode & 07777);
}

bool PosixFileSystem::CanChangeFolderOf(const std::string& path) {
  return ::access(FolderOf(path).c_str(), W_OK | X_OK) == 0;
}

FileSystem::Handle PosixFileSystem::Lock(const std::string& path, bool& heldByAnother) {
  heldByAnother = false;
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                  static_cast<mode_t>(kPrivateMode));
  // A lock file that cannot be written (a read-only folder) still locks.
  if (fd < 0) fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return kNoFile;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return kNoFile;
  }
  int result = 0;
  do {
    result = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    heldByAnother = errno == EWOULDBLOCK;
    ::close(fd);
    return kNoFile;
  }
  return fd;
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
  const int fd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

bool WriteWhole(FileSystem& files, const std::string& path, std::span<const std::uint8_t> bytes) {
  const std::string temp = path + ".tmp";
  const auto file = files.Create(temp, files.ModeOf(path).value_or(FileSystem::kPrivateMode));
  if (file == FileSystem::kNoFile) return false;
  const bool written = files.WriteAt(file, 0, bytes) && files.Sync(file);
  files.Close(file);
  if (!written || !files.Rename(temp, path)) {
    files.Remove(temp);
    return false;
  }
  return files.SyncFolderOf(path);
}

std::optional<std::vector<std::uint8_t>> ReadWhole(FileSystem& files, const std::string& path,
                                                   std::uint64_t maxBytes) {
  const auto file = files.OpenForReading(path);
  if (file == FileSystem::kNoFile) return std::nullopt;
  const auto size = files.Size(file);
  std::optional<std::vector<std::uint8_t>> bytes;
  if (size && *size <= maxBytes) {
    bytes.emplace(static_cast<std::size_t>(*size));
    if (!files.ReadAt(file, 0, *bytes)) bytes.reset();
  }
  files.Close(file);
  return bytes;
}

FileSystem& RealFileSystem() {
  static PosixFileSystem files;
  return files;
}

}  // namespace vrok
