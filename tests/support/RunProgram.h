#pragma once
#include <cstdio>
#include <string>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace bf::test {

struct ProgramRun {
  int exitCode = -1;   // -1 when the program could not be run or did not exit normally
  std::string output;  // what it printed
};

// Runs a command line through the platform's shell and collects its standard output (send
// standard error there with 2>&1 where it matters).
inline ProgramRun RunShell(const std::string& command) {
  ProgramRun run;
#ifdef _WIN32
  std::FILE* pipe = ::_popen(command.c_str(), "rb");
#else
  std::FILE* pipe = ::popen(command.c_str(), "r");
#endif
  if (pipe == nullptr) return run;
  char buffer[4096];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
#ifdef _WIN32
  run.exitCode = ::_pclose(pipe);
#else
  const int status = ::pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
  return run;
}

// The same with standard error collected too.
inline ProgramRun RunCommandLine(const std::string& commandLine) {
  return RunShell(commandLine + " 2>&1");
}

// bfk of this build with the given arguments (already quoted as the shell needs).
inline ProgramRun RunBfk(const std::string& args) {
  return RunCommandLine(std::string("\"") + BF_BFK_PATH + "\" " + args);
}

}  // namespace bf::test
