#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/Command.h"

#ifndef BF_VERSION_TEXT
#define BF_VERSION_TEXT "1.1.3.183"
#endif

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

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return PrintOverview(stderr);
  const std::string name = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  if (name == "--version" || name == "-V") {
    std::printf("bfk %s\n", BF_VERSION_TEXT);
    return std::fflush(stdout) == 0 ? bf::cli::kExitDone : bf::cli::kExitFailure;
  }
  if (name == "help" || name == "--help" || name == "-h") {
    if (args.empty()) return PrintOverview(stdout);
    const Command* c = Find(args[0]);
    return c != nullptr ? PrintHelp(*c) : Unknown(args[0]);
  }
  const Command* c = Find(name);
  if (c == nullptr) return Unknown(name);
  if (std::find_if(args.begin(), args.end(),
                   [](const std::string& a) { return a == "--help" || a == "-h"; }) != args.end()) {
    return PrintHelp(*c);
  }
  return c->run(args);
}
