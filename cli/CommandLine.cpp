#include "cli/CommandLine.h"

// The whole library in this one file: App.hpp alone leaves the configuration reader undefined.
#include <CLI/CLI.hpp>

#include "cli/Args.h"

namespace bf::cli {

CommandLine::CommandLine(std::string command) : command_(std::move(command)), app_(command_) {
  // "bfk COMMAND --help" is answered from the command table before a command runs.
  app_.set_help_flag();
  // Unknown options and surplus operands are collected and reported as bfk words them.
  app_.allow_extras();
  // A path such as /home/me/a.bfk is an operand, also where CLI11 would read it as a Windows
  // /option.
  app_.allow_windows_style_options(false);
  app_.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

void CommandLine::Value(const std::string& names, std::string& into, const std::string& missing) {
  CLI::Option* option = app_.add_option(names, into);
  missing_[option->get_name()] = missing.empty() ? option->get_name() + " needs a value" : missing;
}

void CommandLine::Flag(const std::string& names, bool& into) {
  app_.add_flag(names, into);
}

void CommandLine::Operand(const std::string& name, std::string& into) {
  app_.add_option(name, into);
}

bool CommandLine::Parse(const std::vector<std::string>& args) {
  // CLI11 takes the arguments last first.
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app_.parse(reversed);
  } catch (const CLI::ArgumentMismatch& e) {
    // "NAME: 1 required TEXT missing" when an option's value is left out.
    const std::string what = e.what();
    const auto known = missing_.find(what.substr(0, what.find(':')));
    Fail(known != missing_.end() ? known->second : what);
    return false;
  } catch (const CLI::ParseError& e) {
    Fail(e.what());
    return false;
  }
  const std::vector<std::string> extras = app_.remaining();
  if (!extras.empty()) Fail("unexpected argument '" + extras.front() + "'");
  return !Failed();
}

void CommandLine::Fail(const std::string& message) {
  if (error_.empty()) error_ = message;
}

int CommandLine::Report() const {
  return UsageError(command_, error_);
}

}  // namespace bf::cli
