#pragma once
#include <functional>
#include <string>
#include <vector>

namespace bf::cli {

// Exit codes of every command (listed in the manual page).
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
// bfk copy --verify: copied, but some chunk's reads never agreed.
inline constexpr int kExitNotVerified = 3;

// A bfk sub-command. Each command lives in its own cli/Cmd*.cpp, next to its usage text, and
// registers itself with one static BFK_COMMAND(name, usage, run[, help]); main() dispatches by
// name and answers "bfk help NAME" and "bfk NAME --help" from the table, so a command needs no
// help code of its own. run() returns the process exit code.
struct Command {
  std::string name;
  std::string usage;  // synopsis without "bfk " and a short description; shown by "bfk help"
  std::function<int(const std::vector<std::string>& args)> run;
  std::string help = {};  // optional longer text for "bfk help NAME"
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
