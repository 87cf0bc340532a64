#pragma once
#include <map>
#include <string>
#include <vector>

#include <CLI/App.hpp>

namespace bf::cli {

// One command's options, declared once (each Cmd*.cpp has one Declare... function) and parsed
// by CLI11. Every problem is a usage error: "bfk COMMAND: problem", the usage, exit code 2.
// An option given twice keeps its last value. Main thread.
class CommandLine {
 public:
  explicit CommandLine(std::string command);

  // An option with a value, e.g. Value("-o", output) or Value("-o,--output", output).
  // `missing` is the complaint when the value is left out; "NAME needs a value" by default.
  void Value(const std::string& names, std::string& into, const std::string& missing = {});
  void Flag(const std::string& names, bool& into);
  // The plain operand (the recording FILE); a second one is an unexpected argument.
  void Operand(const std::string& name, std::string& into);

  // Whether the option (by one of its names) was given, if only with an empty value.
  bool Given(const std::string& name) const { return app_.count(name) > 0; }

  // Parses the command's arguments (those after its name); false once a problem is noted.
  bool Parse(const std::vector<std::string>& args);
  // Notes a problem found after parsing; the first one noted is the one reported.
  void Fail(const std::string& message);
  bool Failed() const { return !error_.empty(); }
  // Reports the first problem; returns kExitUsage.
  int Report() const;

 private:
  std::string command_;
  CLI::App app_;
  std::map<std::string, std::string> missing_;
  std::string error_;
};

}  // namespace bf::cli
