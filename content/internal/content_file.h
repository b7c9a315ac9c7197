#pragma once
// One read-only content file. Every read is checked against the file's size
// at open first, so no caller can read outside it.
//
// Reads are served from a read-only mapping of the file when one can be
// made, and otherwise with positioned reads. A file that shrinks under the
// reader would make an access to a mapped page past its new end raise
// SIGBUS; a process-wide handler turns such a fault inside one of these
// mappings into a failed read (the page is replaced by zeros, the read
// reports failure, and the file falls back to positioned reads, which see
// the new size). Faults outside the mappings go to the handler that was
// there before.

#include <cstdint>
#include <span>
#include <string>

namespace vrok {

class ContentFile {
 public:
  // Why Open failed.
  enum class OpenError { kNone, kMissing, kNotRegular, kUnreadable };

  ContentFile() = default;
  ContentFile(const ContentFile&) = delete;
  ContentFile& operator=(const ContentFile&) = delete;
  ContentFile(ContentFile&& other) noexcept;
  ContentFile& operator=(ContentFile&& other) noexcept;
  ~ContentFile();

  // Opens an existing regular file for reading. Never blocks: a FIFO or a
  // device in its place is refused (kNotRegular).
  bool Open(const std::string& path);
  OpenError LastError() const { return error_; }
  bool IsOpen() const { return fd_ >= 0; }
  std::uint64_t Size() const { return size_; }
  bool IsMapped() const { return map_ != nullptr; }

  // True when [offset, offset + length) lies inside the file.
  bool Contains(std::uint64_t offset, std::uint64_t length) const {
    return offset <= size_ && length <= size_ - offset;
  }

  // Reads exactly dest.size() bytes at offset; false (a short read counts as
  // a failure) when the range is not inside the file or the read fails.
  bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> dest) const;

  // The system calls the read path has made in this process (positioned
  // reads), and the reads served from mappings; for benchmarks.
  static std::uint64_t ReadCalls();
  static std::uint64_t MappedReads();
  // Whether files opened from now on are mapped (on by default); lets
  // benchmarks and tests compare the two read paths.
  static void SetMapping(bool on);

 private:
  void Close();
  bool ReadByCalls(std::uint64_t offset, std::span<std::uint8_t> dest) const;

  int fd_ = -1;
  std::uint64_t size_ = 0;
  OpenError error_ = OpenError::kNone;
  // The mapping and its slot in the fault handler's table; the slot is
  // released (and the file read by calls) once a fault has been seen.
  const std::uint8_t* map_ = nullptr;
  mutable int slot_ = -1;
};

}  // namespace vrok
