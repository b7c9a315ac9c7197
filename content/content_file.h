#pragma once
// One read-only content file, read with positioned reads. Every read is
// checked against the file's size first, so no caller can read outside it.

#include <cstdint>
#include <span>
#include <string>

namespace vrok {

class ContentFile {
 public:
  ContentFile() = default;
  ContentFile(const ContentFile&) = delete;
  ContentFile& operator=(const ContentFile&) = delete;
  ContentFile(ContentFile&& other) noexcept;
  ContentFile& operator=(ContentFile&& other) noexcept;
  ~ContentFile();

  // Opens an existing file for reading, with the random-access hint.
  bool Open(const std::string& path);
  bool IsOpen() const { return fd_ >= 0; }
  std::uint64_t Size() const { return size_; }

  // True when [offset, offset + length) lies inside the file.
  bool Contains(std::uint64_t offset, std::uint64_t length) const {
    return offset <= size_ && length <= size_ - offset;
  }

  // Reads exactly dest.size() bytes at offset; false (a short read counts as
  // a failure) when the range is not inside the file or the read fails.
  bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> dest) const;

 private:
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

}  // namespace vrok
