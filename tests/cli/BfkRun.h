#pragma once
#include <string>

#include "support/RunProgram.h"

namespace bf::test {

using ShellRun = ProgramRun;

// Runs a command line with /bin/sh and collects what it writes to its standard output (send
// standard error there with 2>&1 where it matters).
inline ShellRun Shell(const std::string& command) {
  return RunShell(command);
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
