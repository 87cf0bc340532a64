#pragma once
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace bf::test {

struct ShellRun {
  int exitCode = -1;  // -1 when the command did not exit normally
  std::string output;
};

// Runs a command line with /bin/sh and collects what it writes to its standard output (send
// standard error there with 2>&1 where it matters).
inline ShellRun Shell(const std::string& command) {
  ShellRun run;
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
  const int status = ::pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

// A word for the shell, quoted.
inline std::string Quoted(const std::string& word) {
  std::string out = "'";
  for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

inline std::string Bfk() {
  return Quoted(BF_BFK_PATH);
}

}  // namespace bf::test
