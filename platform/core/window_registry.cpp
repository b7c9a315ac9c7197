#include "platform/core/window_registry.h"

#include <errno.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <utility>

namespace vrok {
namespace {

constexpr std::string_view kCloseRequest = "CLOSE\n";
constexpr std::string_view kCloseDone = "OK\n";
constexpr std::string_view kDenied = "DENIED\n";
constexpr std::string_view kActivateRequest = "ACTIVATE ";  // then the argument and a newline
constexpr std::string_view kRefused = "REFUSED\n";
constexpr std::size_t kMaxLine = kActivateRequest.size() + kMaxActivateArgument + 1;
constexpr int kRequestTimeoutMs = 500;  // how long a peer may keep the owner waiting
constexpr int kConnectTimeoutMs = 1000;

using Clock = std::chrono::steady_clock;

Clock::time_point DeadlineIn(int ms) { return Clock::now() + std::chrono::milliseconds(ms); }

// Whole milliseconds until `deadline`; 0 once it has passed.
int MillisecondsLeft(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) : fd_(fd) {}
  ~UniqueFd() {
    if (fd_ >= 0) close(fd_);
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

bool IsPrivateFolder(const std::string& folder) {
  struct stat st;
  if (folder.empty() || lstat(folder.c_str(), &st) != 0) return false;
  return S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 07777) == 0700;
}

bool PeerIsSameUser(int fd) {
  struct ucred cred;
  socklen_t len = sizeof cred;
  if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || len != sizeof cred) {
    return false;
  }
  return cred.uid == geteuid();
}

bool SendAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = send(fd, text.data(), text.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Reads one line of at most kMaxLine bytes, newline included, within
// `timeoutMs` in all. Empty on timeout, end of stream, error or overlong input.
std::string ReadLine(int fd, int timeoutMs) {
  const auto deadline = DeadlineIn(timeoutMs);
  std::string line;
  while (line.size() < kMaxLine) {
    const int left = MillisecondsLeft(deadline);
    if (left == 0) return {};
    pollfd p{fd, POLLIN, 0};
    const int ready = poll(&p, 1, left);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return {};
    char buffer[512];
    const ssize_t n =
        recv(fd, buffer, std::min(sizeof buffer, kMaxLine - line.size()), MSG_DONTWAIT);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return {};
    line.append(buffer, static_cast<std::size_t>(n));
    if (const auto end = line.find('\n'); end != std::string::npos) {
      // A peer that sends more than one line is not speaking our protocol.
      return end + 1 == line.size() ? line : std::string();
    }
  }
  return {};
}

bool FillAddress(const std::string& path, sockaddr_un& address) {
  address = {};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  path.copy(address.sun_path, path.size());
  return true;
}

// Connects to the socket at `path`; -1 with errno set on failure.
int Connect(const std::string& path) {
  sockaddr_un address;
  if (!FillAddress(path, address)) {
    errno = ENAMETOOLONG;
    return -1;
  }
  UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (fd.get() < 0) return -1;
  // A full backlog makes connect wait; the send timeout bounds that wait.
  const timeval timeout{kConnectTimeoutMs / 1000, (kConnectTimeoutMs % 1000) * 1000};
  setsockopt(fd.get(), SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  int rc;
  do {
    rc = connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
  } while (rc != 0 && errno == EINTR);
  return rc == 0 ? fd.release() : -1;
}

// Creates each missing folder on the way to `folder` (an absolute path) with
// mode 0700; folders that exist are left as they are.
void MakeParents(const std::string& folder) {
  for (std::size_t slash = folder.find('/', 1); slash != std::string::npos;
       slash = folder.find('/', slash + 1)) {
    mkdir(folder.substr(0, slash).c_str(), 0700);
  }
}

// Says `note` on standard error, unless it was the last thing said: a
// process that looks for its folder again says it once.
void Note(const std::string& note) {
  static std::string said;
  if (note == said) return;
  said = note;
  std::fputs(note.c_str(), stderr);
}

}  // namespace

std::string DefaultRuntimeFolder() {
  if (const char* own = getenv("VROK_RUNTIME_DIR"); own && *own) return own;
  if (const char* xdg = getenv("XDG_RUNTIME_DIR"); xdg && xdg[0] == '/') {
    return std::string(xdg) + "/vrok";
  }
  const char* tmp = getenv("TMPDIR");
  std::string shared = tmp && tmp[0] == '/' ? tmp : "/tmp";
  while (shared.size() > 1 && shared.back() == '/') shared.pop_back();
  shared += "/vrok-" + std::to_string(geteuid());
  if (EnsurePrivateFolder(shared)) return shared;

  // Another user made the shared name first, or made it open to others.
  std::string cache;
  if (const char* xdgCache = getenv("XDG_CACHE_HOME"); xdgCache && xdgCache[0] == '/') {
    cache = xdgCache;
  } else if (const char* home = getenv("HOME"); home && home[0] == '/') {
    cache = std::string(home) + "/.cache";
  }
  if (cache.empty()) {
    Note("vrok: " + shared + " is not private to this user and there is no home folder\n");
    return shared;
  }
  const std::string own = cache + "/vrok/run";
  MakeParents(own);
  if (!EnsurePrivateFolder(own)) {
    Note("vrok: neither " + shared + " nor " + own + " is private to this user\n");
    return shared;
  }
  Note("vrok: " + shared + " is not private to this user; using " + own + "\n");
  return own;
}

bool EnsurePrivateFolder(const std::string& folder) {
  if (folder.empty()) return false;
  // The umask may have narrowed the mode of a folder we just made.
  if (mkdir(folder.c_str(), 0700) == 0) {
    chmod(folder.c_str(), 0700);
  } else if (errno != EEXIST) {
    return false;
  }
  return IsPrivateFolder(folder);
}

bool IsValidClassName(std::string_view className) {
  if (className.empty() || className.size() > 64 || className.front() == '.') return false;
  for (const char c : className) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '_' || c == '-' || c == '.';
    if (!ok) return false;
  }
  return true;
}

WindowRegistration::WindowRegistration(int fd, std::string path, dev_t dev, ino_t ino,
                                       std::function<void()> onClose,
                                       std::function<bool(std::string_view)> onActivate)
    : listenFd_(fd),
      path_(std::move(path)),
      dev_(dev),
      ino_(ino),
      onClose_(std::move(onClose)),
      onActivate_(std::move(onActivate)) {}

WindowRegistration::~WindowRegistration() {
  // Removed while still listening, so nobody can have taken the name over yet.
  struct stat st;
  if (lstat(path_.c_str(), &st) == 0 && st.st_dev == dev_ && st.st_ino == ino_) {
    unlink(path_.c_str());
  }
  close(listenFd_);
}

bool WindowRegistration::HandleReadable() {
  UniqueFd client(accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC));
  if (client.get() < 0) return false;
  if (!PeerIsSameUser(client.get())) {
    SendAll(client.get(), kDenied);
    return false;
  }
  const std::string request = ReadLine(client.get(), kRequestTimeoutMs);
  if (request.size() > kActivateRequest.size() &&
      std::string_view(request).substr(0, kActivateRequest.size()) == kActivateRequest) {
    std::string_view argument(request);
    argument.remove_prefix(kActivateRequest.size());
    argument.remove_suffix(1);  // the newline
    // A copy, because the handler may destroy this registration.
    const auto onActivate = onActivate_;
    const bool taken = onActivate && onActivate(argument);
    SendAll(client.get(), taken ? kCloseDone : kRefused);
    return false;
  }
  if (request != kCloseRequest) return false;
  // A copy, because the handler may destroy this registration.
  const auto onClose = onClose_;
  if (onClose) onClose();
  SendAll(client.get(), kCloseDone);
  return true;
}

bool WindowRegistration::ServeUntilClosed(int timeoutMs) {
  const auto deadline = DeadlineIn(timeoutMs);
  for (;;) {
    const int left = MillisecondsLeft(deadline);
    if (left == 0) return false;
    pollfd p{listenFd_, POLLIN, 0};
    const int ready = poll(&p, 1, left);
    if (ready < 0 && errno != EINTR) return false;
    if (ready > 0 && HandleReadable()) return true;
  }
}

WindowRegistry::WindowRegistry(std::string folder) : folder_(std::move(folder)) {}

std::string WindowRegistry::SocketPath(std::string_view className) const {
  if (!IsValidClassName(className)) return {};
  std::string path = folder_ + "/" + std::string(className) + ".sock";
  sockaddr_un address;
  return FillAddress(path, address) ? path : std::string();
}

std::unique_ptr<WindowRegistration> WindowRegistry::Register(
    std::string_view className, std::function<void()> onClose,
    std::function<bool(std::string_view)> onActivate) const {
  const std::string path = SocketPath(className);
  if (path.empty() || !EnsurePrivateFolder(folder_)) return nullptr;

  struct stat st;
  if (lstat(path.c_str(), &st) == 0) {
    if (!S_ISSOCK(st.st_mode)) return nullptr;  // not ours to remove
    const UniqueFd probe(Connect(path));
    if (probe.get() >= 0 || errno != ECONNREFUSED) return nullptr;  // owner alive (or unknown)
    unlink(path.c_str());  // left behind by an owner that died
  }

  sockaddr_un address;
  FillAddress(path, address);
  UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (fd.get() < 0 ||
      bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    return nullptr;
  }
  if (listen(fd.get(), 8) != 0 || lstat(path.c_str(), &st) != 0) {
    unlink(path.c_str());
    return nullptr;
  }
  return std::unique_ptr<WindowRegistration>(new WindowRegistration(
      fd.release(), path, st.st_dev, st.st_ino, std::move(onClose), std::move(onActivate)));
}

bool WindowRegistry::Find(std::string_view className) const {
  const std::string path = SocketPath(className);
  if (path.empty() || !IsPrivateFolder(folder_)) return false;
  const UniqueFd fd(Connect(path));
  return fd.get() >= 0 && PeerIsSameUser(fd.get());
}

bool WindowRegistry::Destroy(std::string_view className, int timeoutMs) const {
  const std::string path = SocketPath(className);
  if (path.empty() || !IsPrivateFolder(folder_)) return false;
  const UniqueFd fd(Connect(path));
  if (fd.get() < 0 || !PeerIsSameUser(fd.get()) || !SendAll(fd.get(), kCloseRequest)) {
    return false;
  }
  return ReadLine(fd.get(), timeoutMs) == kCloseDone;
}

bool WindowRegistry::Activate(std::string_view className, std::string_view argument,
                              int timeoutMs) const {
  if (argument.size() > kMaxActivateArgument || argument.find('\n') != std::string_view::npos) {
    return false;
  }
  const std::string path = SocketPath(className);
  if (path.empty() || !IsPrivateFolder(folder_)) return false;
  const UniqueFd fd(Connect(path));
  // The peer check: a socket whose owner is another user is never spoken to.
  if (fd.get() < 0 || !PeerIsSameUser(fd.get())) return false;
  std::string request(kActivateRequest);
  request.append(argument);
  request.push_back('\n');
  if (!SendAll(fd.get(), request)) return false;
  return ReadLine(fd.get(), timeoutMs) == kCloseDone;
}

}  // namespace vrok
