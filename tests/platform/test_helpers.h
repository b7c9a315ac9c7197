#pragma once
// Test helpers: a temporary folder, a command's output, and a stand-in for a
// running reader, a child process that registers a window and exits with
// status 0 once asked to close.

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "platform/core/window_registry.h"

namespace vrok::test {

class TempFolder {
 public:
  TempFolder() {
    char name[] = "/tmp/vrok-test-XXXXXX";
    if (mkdtemp(name)) path_ = name;
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  const std::string& Path() const { return path_; }
  // The runtime folder the tests register in; the registry creates it.
  std::string Runtime() const { return path_ + "/run"; }

 private:
  std::string path_;
};

// What a shell command writes to its standard output, and its exit status
// (-1 when it did not exit normally).
inline std::string CommandOutput(const std::string& command, int* status = nullptr) {
  std::string text;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) {
    if (status) *status = -1;
    return text;
  }
  char buffer[4096];
  while (const std::size_t n = fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
  const int raw = pclose(pipe);
  if (status) *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return text;
}

class FakeReader {
 public:
  // Returns once the child has registered (or failed to).
  explicit FakeReader(const std::string& folder, std::string_view className = kReaderWindowClass) {
    int ready[2];
    if (pipe(ready) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      bool closed = false;
      auto window = WindowRegistry(folder).Register(className, [&] { closed = true; });
      const char state = window ? 'y' : 'n';
      if (write(ready[1], &state, 1) != 1 || !window) _exit(2);
      const bool served = window->ServeUntilClosed(30000);
      window.reset();
      _exit(served && closed ? 0 : 3);
    }
    close(ready[1]);
    char state = 'n';
    registered_ = pid_ > 0 && read(ready[0], &state, 1) == 1 && state == 'y';
    close(ready[0]);
  }
  ~FakeReader() {
    if (pid_ > 0 && !status_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  FakeReader(const FakeReader&) = delete;
  FakeReader& operator=(const FakeReader&) = delete;

  bool Registered() const { return registered_; }

  // The exit status once the child has ended within `timeoutMs` (minus the
  // signal number when killed); nothing while it still runs.
  std::optional<int> WaitExit(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!status_ && pid_ > 0) {
      int raw = 0;
      if (waitpid(pid_, &raw, WNOHANG) == pid_) {
        status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -WTERMSIG(raw);
      } else if (std::chrono::steady_clock::now() >= deadline) {
        break;
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    }
    return status_;
  }

  // Ends the child the way a crash would, leaving its socket behind.
  void Kill() {
    kill(pid_, SIGKILL);
    WaitExit(5000);
  }

 private:
  pid_t pid_ = -1;
  bool registered_ = false;
  std::optional<int> status_;
};

}  // namespace vrok::test
