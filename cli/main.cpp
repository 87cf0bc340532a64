#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "host/FileErrorText.h"
#include "host/ReplacingFileWriter.h"
#include "host/Version.h"

namespace bf::cli {
std::vector<Command>& CommandTable() {
  static std::vector<Command> table;
  return table;
}
}  // namespace bf::cli

namespace {

using bf::cli::Command;
using bf::cli::CommandTable;

const Command* Find(const std::string& name) {
  for (const Command& c : CommandTable()) {
    if (c.name == name) return &c;
  }
  return nullptr;
}

int PrintOverview(std::FILE* out) {
  std::vector<const Command*> sorted;
  for (const Command& c : CommandTable()) sorted.push_back(&c);
  std::sort(sorted.begin(), sorted.end(),
            [](const Command* a, const Command* b) { return a->name < b->name; });
  std::fprintf(out,
               "usage: bfk COMMAND [ARGS]    (bfk help COMMAND, bfk COMMAND --help: details;\n"
               "                              bfk --version)\ncommands:\n");
  for (const Command* c : sorted) std::fprintf(out, "  %s\n", c->usage.c_str());
  std::fprintf(out, "exit codes: 0 done, 1 failure, 2 usage error\n");
  return out == stdout ? bf::cli::kExitDone : bf::cli::kExitUsage;
}

int PrintHelp(const Command& c) {
  std::printf("usage: bfk %s\n", c.usage.c_str());
  if (!c.help.empty()) std::printf("\n%s", c.help.c_str());
  if (!c.help.empty() && c.help.back() != '\n') std::printf("\n");
  return std::fflush(stdout) == 0 ? bf::cli::kExitDone : bf::cli::kExitFailure;
}

int Unknown(const std::string& name) {
  std::fprintf(stderr, "bfk: unknown command '%s'\n", name.c_str());
  PrintOverview(stderr);
  return bf::cli::kExitUsage;
}

// Ctrl-C, a kill or a closed terminal: the half-written temporary of a file being replaced is
// removed, then the signal ends the process as it would have without the handler (the handler
// was reset to the default on entry, and the raised signal is delivered when it returns).
extern "C" void RemoveTemporariesAndDie(int sig) {
  bf::RemoveTemporaryFilesFromSignalHandler();
  std::raise(sig);
}

void InstallTerminationHandlers() {
#ifdef _WIN32
  for (int sig : {SIGINT, SIGTERM}) std::signal(sig, RemoveTemporariesAndDie);
#else
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
#endif
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
  if (argc < 2) return PrintOverview(stderr);
  const std::string name = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  if (name == "--version" || name == "-V") {
    std::printf("bfk %s\n", bf::kVersionText);
    return CheckStandardOutput(bf::cli::kExitDone);
  }
  if (name == "help" || name == "--help" || name == "-h") {
    if (args.empty()) return CheckStandardOutput(PrintOverview(stdout));
    const Command* c = Find(args[0]);
    return c != nullptr ? PrintHelp(*c) : Unknown(args[0]);
  }
  const Command* c = Find(name);
  if (c == nullptr) return Unknown(name);
  if (std::find_if(args.begin(), args.end(),
                   [](const std::string& a) { return a == "--help" || a == "-h"; }) != args.end()) {
    return CheckStandardOutput(PrintHelp(*c));
  }
  return CheckStandardOutput(c->run(args));
}
