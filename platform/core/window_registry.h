#pragma once
// Top-level windows that other processes of the same user can find and close.
//
// A window of class C registers by listening on the Unix-domain socket
// "<folder>/C.sock" in a runtime folder private to the user (a directory owned
// by the effective user, mode 0700; anything else is refused). Finding a window
// connects to that socket. Closing one sends the line "CLOSE\n"; the owner
// checks the peer's user id, runs its close handler and answers "OK\n" (or
// "DENIED\n" to another user). Bringing one to the front sends
// "ACTIVATE <argument>\n" (the argument one line of at most
// kMaxActivateArgument bytes); after the same check the owner runs its
// activate handler and answers "OK\n" when the handler took the request,
// else "REFUSED\n". Every other input is dropped unanswered.

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace vrok {

// The class of the reader's main window: the one name that the reader and the
// sync plug-in share.
inline constexpr std::string_view kReaderWindowClass = "Vrok";

inline constexpr std::size_t kMaxActivateArgument = 4096;

// $VROK_RUNTIME_DIR when set, else $XDG_RUNTIME_DIR/vrok, else
// ${TMPDIR:-/tmp}/vrok-<uid> when that is (or can be made) a private folder.
// Anyone can create that name first; when it is not private, the folder is
// ${XDG_CACHE_HOME:-~/.cache}/vrok/run, created 0700, and a line on standard
// error says so (once, however often a process asks).
std::string DefaultRuntimeFolder();

// Creates `folder` with mode 0700 when it is missing (its parent must exist).
// True when it is then a directory, not a symbolic link, owned by the effective
// user and with permission bits exactly 0700.
bool EnsurePrivateFolder(const std::string& folder);

// Class names: 1 to 64 of A-Z a-z 0-9 _ - . , not starting with a dot.
bool IsValidClassName(std::string_view className);

// A registered window, listening until it is destroyed. The owner polls Fd()
// for readability (a QSocketNotifier in the reader) and calls HandleReadable().
class WindowRegistration {
 public:
  ~WindowRegistration();  // stops listening and removes its socket
  WindowRegistration(const WindowRegistration&) = delete;
  WindowRegistration& operator=(const WindowRegistration&) = delete;

  int Fd() const { return listenFd_; }

  // Serves one waiting connection without blocking on the accept; a
  // connected peer gets at most a short time to send its request. When the
  // peer is the same user and asks to close (or to come to the front), calls
  // the close (activate) handler and answers afterwards. The handlers may
  // destroy this registration: nothing of it is touched once one has been
  // called. True when the close handler was called.
  bool HandleReadable();

  // Blocks, serving connections, until a close request was handled (true) or
  // `timeoutMs` passed (false). For owners without an event loop, and tests.
  bool ServeUntilClosed(int timeoutMs);

 private:
  friend class WindowRegistry;
  WindowRegistration(int fd, std::string path, dev_t dev, ino_t ino, std::function<void()> onClose,
                     std::function<bool(std::string_view)> onActivate);

  int listenFd_;
  std::string path_;
  dev_t dev_;  // identity of our socket file, so that we never remove another's
  ino_t ino_;
  std::function<void()> onClose_;
  std::function<bool(std::string_view)> onActivate_;
};

class WindowRegistry {
 public:
  explicit WindowRegistry(std::string folder = DefaultRuntimeFolder());

  // Registers a window of `className`; `onClose` runs when a process of the
  // same user destroys it, `onActivate` (when given) when one asks it to come
  // to the front, with the request's argument; it answers whether it did.
  // Null when the folder is not private, the name is invalid, or a live
  // window of that class is already registered. The socket left behind by a
  // dead owner is removed and replaced.
  std::unique_ptr<WindowRegistration> Register(
      std::string_view className, std::function<void()> onClose,
      std::function<bool(std::string_view)> onActivate = nullptr) const;

  // True when a live window of `className` owned by this user is registered.
  bool Find(std::string_view className) const;

  // Asks the window of `className` to close and waits up to `timeoutMs` for its
  // owner to confirm. True once the owner has run its close handler.
  bool Destroy(std::string_view className, int timeoutMs = 5000) const;

  // Asks the window of `className`, owned by this user, to come to the front
  // with `argument` (no newline, at most kMaxActivateArgument bytes) and waits
  // up to `timeoutMs` for the answer. True once the owner took the request.
  bool Activate(std::string_view className, std::string_view argument, int timeoutMs = 5000) const;

 private:
  std::string SocketPath(std::string_view className) const;  // empty when unusable

  std::string folder_;
};

}  // namespace vrok
