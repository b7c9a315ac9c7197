#include "content/content_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace vrok {

ContentFile::ContentFile(ContentFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(std::exchange(other.size_, 0)) {}

ContentFile& ContentFile::operator=(ContentFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

ContentFile::~ContentFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool ContentFile::Open(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_RANDOM);
  *this = ContentFile();
  fd_ = fd;
  size_ = static_cast<std::uint64_t>(st.st_size);
  return true;
}

bool ContentFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> dest) const {
  if (fd_ < 0 || !Contains(offset, dest.size())) return false;
  std::size_t done = 0;
  while (done < dest.size()) {
    const ssize_t n = ::pread(fd_, dest.data() + done, dest.size() - done,
                              static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;  // error, or the file shrank under us
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace vrok
