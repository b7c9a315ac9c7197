#pragma once
// Runs a shell command line and collects what it prints, for the tests of
// the command-line tools.

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace vrok::test {

struct CommandRun {
  int status = -1;  // the exit status; -1 when the program died of a signal
  std::string out;  // what the command line sends to standard output
};

inline CommandRun RunCommand(const std::string& command) {
  CommandRun r;
  FILE* p = ::popen(command.c_str(), "r");
  if (p == nullptr) return r;
  std::array<char, 4096> buf{};
  std::size_t n = 0;
  while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
  const int st = ::pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

}  // namespace vrok::test
