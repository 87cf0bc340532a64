#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "host/FileErrorText.h"
#include "host/ReplacingFileWriter.h"

namespace bf::cli {
std::vector<Command>& CommandTable() {
  static std::vector<Command> table;
  return table;
}
}  // namespace bf::cli

namespace {

int PrintUsage(std::FILE* out) {
  std::fprintf(out, "usage: bfk COMMAND [ARGS]\ncommands:\n");
  for (const auto& c : bf::cli::CommandTable()) std::fprintf(out, "  %s\n", c.usage.c_str());
  return out == stdout ? 0 : 2;
}

// Ctrl-C, a kill or a closed terminal: the half-written temporary of a file being replaced is
// removed, then the signal ends the process as it would have without the handler (the handler
// was reset to the default on entry, and the raised signal is delivered when it returns).
extern "C" void RemoveTemporariesAndDie(int sig) {
  bf::RemoveTemporaryFilesFromSignalHandler();
  std::raise(sig);
}

void InstallTerminationHandlers() {
  struct sigaction action {};
  action.sa_handler = RemoveTemporariesAndDie;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    struct sigaction previous {};
    // A signal ignored by whoever started bfk (nohup, a background job) stays ignored.
    if (::sigaction(sig, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    ::sigaction(sig, &action, nullptr);
  }
}

// Whatever a command printed must have reached standard output: a full disk or a closed pipe
// behind it is reported, not taken for success.
int CheckStandardOutput(int exitCode) {
  errno = 0;
  const bool flushed = std::fflush(stdout) == 0 && !std::ferror(stdout);
  const int flushError = errno;
  errno = 0;
  const bool closed = std::fclose(stdout) == 0;
  const int closeError = errno;
  if (flushed && closed) return exitCode;
  const int error = !flushed ? flushError : closeError;
  std::fprintf(stderr, "bfk: %s\n",
               bf::FileErrorText(error == 0 ? EIO : static_cast<uint32_t>(error), "standard output")
                   .c_str());
  return exitCode == 0 ? 1 : exitCode;
}

}  // namespace

int main(int argc, char** argv) {
  InstallTerminationHandlers();
  if (argc < 2) return PrintUsage(stderr);
  const std::string name = argv[1];
  if (name == "help" || name == "--help" || name == "-h") {
    return CheckStandardOutput(PrintUsage(stdout));
  }
  std::vector<std::string> args(argv + 2, argv + argc);
  for (const auto& c : bf::cli::CommandTable()) {
    if (c.name == name) return CheckStandardOutput(c.run(args));
  }
  std::fprintf(stderr, "bfk: unknown command '%s'\n", name.c_str());
  return PrintUsage(stderr);
}
