// bfk devices: every FTDI bridge libftdi finds, numbered as "ftdi:N" counts them.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "cli/CommandLine.h"
#include "link/FtdiDevices.h"

namespace {

constexpr const char* kUsage =
    "devices                     list the FTDI bridges: index (ftdi:N), serial number\n"
    "                            (ftdi:serial=SERIAL), description, bus and port path, and\n"
    "                            whether each can be opened";

int RunDevices(const std::vector<std::string>& args) {
  // No options: anything given is an unexpected argument.
  bf::cli::CommandLine line("devices");
  if (!line.Parse(args)) return line.Report();
  std::vector<bf::FtdiDeviceInfo> devices;
  std::string error;
  if (!bf::ListFtdiDevices(&devices, &error)) {
    std::fprintf(stderr, "bfk devices: %s\n", error.c_str());
    return bf::cli::kExitFailure;
  }
  if (devices.empty()) {
    std::printf("no FTDI bridge found\n");
    return bf::cli::kExitDone;
  }
  for (const bf::FtdiDeviceInfo& d : devices) {
    const std::string state =
        d.openable ? "can be opened" + (d.note.empty() ? std::string() : " (" + d.note + ")")
                   : "cannot be opened: " + d.reason;
    std::printf("ftdi:%u  serial %s  \"%s\" (0403:%04x)  bus %u port %s  %s\n", d.index,
                d.serial.empty() ? "?" : d.serial.c_str(), d.description.c_str(), d.productId,
                unsigned{d.bus}, d.portPath.c_str(), state.c_str());
  }
  return bf::cli::kExitDone;
}

}  // namespace

BFK_COMMAND("devices", kUsage, RunDevices);
