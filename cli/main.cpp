#include <cstdio>
#include <string>
#include <vector>

#include "cli/Command.h"

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
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return PrintUsage(stderr);
  const std::string name = argv[1];
  if (name == "help" || name == "--help" || name == "-h") return PrintUsage(stdout);
  std::vector<std::string> args(argv + 2, argv + argc);
  for (const auto& c : bf::cli::CommandTable()) {
    if (c.name == name) return c.run(args);
  }
  std::fprintf(stderr, "bfk: unknown command '%s'\n", name.c_str());
  return PrintUsage(stderr);
}
