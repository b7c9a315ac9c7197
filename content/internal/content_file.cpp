#include "content/internal/content_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <utility>

namespace vrok {

namespace {

std::atomic<std::uint64_t> g_readCalls{0};
std::atomic<std::uint64_t> g_mappedReads{0};
std::atomic<bool> g_mapping{true};

// The mappings the fault handler answers for. A slot is in use while its
// begin is not 0; faulted is set by the handler and never cleared.
struct Slot {
  std::atomic<std::uintptr_t> begin{0};
  std::atomic<std::uintptr_t> end{0};
  std::atomic<int> faulted{0};
};
std::array<Slot, 64> g_slots;
std::uintptr_t g_pageSize = 4096;
struct sigaction g_previous {};
std::once_flag g_installed;
bool g_handlerReady = false;

// SIGBUS inside one of our mappings: the file is shorter than it was. Put a
// page of zeros where the missing page was, so that the access can finish,
// and mark the mapping; the read that made the access then fails. Any other
// SIGBUS goes to the previous handler, or kills as it would have.
void OnBusError(int sig, siginfo_t* info, void* context) {
  if (info != nullptr && info->si_code > 0) {
    const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (Slot& s : g_slots) {
      const std::uintptr_t begin = s.begin.load(std::memory_order_relaxed);
      if (begin == 0 || at < begin || at >= s.end.load(std::memory_order_relaxed)) continue;
      s.faulted.store(1, std::memory_order_relaxed);
      void* page = reinterpret_cast<void*>(at & ~(g_pageSize - 1));
      if (::mmap(page, g_pageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) !=
          MAP_FAILED)
        return;
      break;
    }
  }
  if ((g_previous.sa_flags & SA_SIGINFO) != 0 && g_previous.sa_sigaction != nullptr) {
    g_previous.sa_sigaction(sig, info, context);
    return;
  }
  if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN) {
    g_previous.sa_handler(sig);
    return;
  }
  // Returning re-runs the access, which now faults with the default action.
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  ::sigemptyset(&dfl.sa_mask);
  ::sigaction(SIGBUS, &dfl, nullptr);
}

void InstallHandler() {
  const long page = ::sysconf(_SC_PAGESIZE);
  if (page > 0) g_pageSize = static_cast<std::uintptr_t>(page);
  struct sigaction action {};
  action.sa_sigaction = OnBusError;
  ::sigemptyset(&action.sa_mask);
  // SA_NODEFER: a later fault in another mapping must not find the signal
  // still blocked.
  action.sa_flags = SA_SIGINFO | SA_NODEFER | SA_ONSTACK;
  g_handlerReady = ::sigaction(SIGBUS, &action, &g_previous) == 0;
}

int TakeSlot(const std::uint8_t* map, std::uint64_t size) {
  constexpr std::uintptr_t kReserved = ~std::uintptr_t{0};  // matches no address
  for (std::size_t i = 0; i < g_slots.size(); ++i) {
    Slot& s = g_slots[i];
    std::uintptr_t expected = 0;
    if (!s.begin.compare_exchange_strong(expected, kReserved)) continue;
    const auto begin = reinterpret_cast<std::uintptr_t>(map);
    s.end.store(begin + size, std::memory_order_relaxed);
    s.faulted.store(0, std::memory_order_relaxed);
    s.begin.store(begin);
    return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

ContentFile::ContentFile(ContentFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      size_(std::exchange(other.size_, 0)),
      error_(other.error_),
      map_(std::exchange(other.map_, nullptr)),
      slot_(std::exchange(other.slot_, -1)) {}

ContentFile& ContentFile::operator=(ContentFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    size_ = std::exchange(other.size_, 0);
    error_ = other.error_;
    map_ = std::exchange(other.map_, nullptr);
    slot_ = std::exchange(other.slot_, -1);
  }
  return *this;
}

ContentFile::~ContentFile() { Close(); }

void ContentFile::Close() {
  if (slot_ >= 0) {
    g_slots[static_cast<std::size_t>(slot_)].begin.store(0);
    slot_ = -1;
  }
  if (map_ != nullptr) {
    ::munmap(const_cast<std::uint8_t*>(map_), size_);
    map_ = nullptr;
  }
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  size_ = 0;
}

bool ContentFile::Open(const std::string& path) {
  // O_NONBLOCK keeps a FIFO in the file's place from blocking the open; the
  // file must then prove to be a regular one before it is read.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    error_ = errno == ENOENT || errno == ENOTDIR ? OpenError::kMissing : OpenError::kUnreadable;
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    error_ = OpenError::kNotRegular;
    ::close(fd);
    return false;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    error_ = OpenError::kUnreadable;
    ::close(fd);
    return false;
  }
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_RANDOM);
  *this = ContentFile();
  fd_ = fd;
  size_ = static_cast<std::uint64_t>(st.st_size);
  error_ = OpenError::kNone;

  if (g_mapping.load(std::memory_order_relaxed) && size_ > 0) {
    std::call_once(g_installed, InstallHandler);
    void* map = g_handlerReady ? ::mmap(nullptr, size_, PROT_READ, MAP_SHARED, fd, 0) : MAP_FAILED;
    if (map != MAP_FAILED) {
      map_ = static_cast<const std::uint8_t*>(map);
      slot_ = TakeSlot(map_, size_);
      if (slot_ < 0) {  // no slot free: read by calls
        ::munmap(map, size_);
        map_ = nullptr;
      }
    }
  }
  return true;
}

bool ContentFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> dest) const {
  if (fd_ < 0 || !Contains(offset, dest.size())) return false;
  if (map_ != nullptr) {
    const Slot& s = g_slots[static_cast<std::size_t>(slot_)];
    if (s.faulted.load(std::memory_order_relaxed) == 0) {
      if (!dest.empty()) std::memcpy(dest.data(), map_ + offset, dest.size());
      // The handler runs on this thread, in the middle of the copy.
      std::atomic_signal_fence(std::memory_order_seq_cst);
      if (s.faulted.load(std::memory_order_relaxed) != 0) return false;  // the file shrank
      g_mappedReads.fetch_add(1, std::memory_order_relaxed);
      return true;
    }
  }
  return ReadByCalls(offset, dest);
}

bool ContentFile::ReadByCalls(std::uint64_t offset, std::span<std::uint8_t> dest) const {
  std::size_t done = 0;
  while (done < dest.size()) {
    g_readCalls.fetch_add(1, std::memory_order_relaxed);
    const ssize_t n =
        ::pread(fd_, dest.data() + done, dest.size() - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;  // error, or the file shrank under us
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::uint64_t ContentFile::ReadCalls() { return g_readCalls.load(std::memory_order_relaxed); }
std::uint64_t ContentFile::MappedReads() { return g_mappedReads.load(std::memory_order_relaxed); }
void ContentFile::SetMapping(bool on) { g_mapping.store(on, std::memory_order_relaxed); }

}  // namespace vrok
