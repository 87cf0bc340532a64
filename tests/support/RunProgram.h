#pragma once
#include <cstdio>
#include <string>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace bf::test {

struct ProgramRun {
  int exitCode = -1;   // -1 when the program could not be run or did not exit normally
  std::string output;  // standard output and standard error together
};

// Runs a command line through the platform's shell and collects what it prints.
inline ProgramRun RunCommandLine(const std::string& commandLine) {
  ProgramRun run;
  const std::string command = commandLine + " 2>&1";
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

// bfk of this build with the given arguments (already quoted as the shell needs).
inline ProgramRun RunBfk(const std::string& args) {
  return RunCommandLine(std::string("\"") + BF_BFK_PATH + "\" " + args);
}

}  // namespace bf::test
