#pragma once
#include <functional>
#include <string>
#include <vector>

namespace bf::cli {

// A bfk sub-command. Each command lives in its own cli/Cmd*.cpp and registers itself with a
// static BFK_COMMAND; main() dispatches by name. run() returns the process exit code.
struct Command {
  std::string name;
  std::string usage;  // one line, shown by "bfk help"
  std::function<int(const std::vector<std::string>& args)> run;
};

std::vector<Command>& CommandTable();

struct CommandRegistrar {
  explicit CommandRegistrar(Command c) { CommandTable().push_back(std::move(c)); }
};

}  // namespace bf::cli

#define BFK_CONCAT2(a, b) a##b
#define BFK_CONCAT(a, b) BFK_CONCAT2(a, b)
#define BFK_COMMAND(...)                                                 \
  static ::bf::cli::CommandRegistrar BFK_CONCAT(bfkCommand_, __LINE__) { \
    ::bf::cli::Command {                                                 \
      __VA_ARGS__                                                        \
    }                                                                    \
  }
