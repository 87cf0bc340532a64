// bf-usb-bridge: runs a command inside a umockdev test bed with emulated FTDI bridges and the
// simulated camera behind each, so that the window and bfk reach it through libftdi1 and libusb
// as they would reach real hardware. Run it under umockdev-wrapper (scripts/with-usb-bridge.sh
// does). The command inherits the environment; its exit status is the program's.
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/TickSource.h"
#include "sim/SimCamera.h"
#include "sim/SimOptions.h"
#include "sim/usb/UsbTestbed.h"

extern char** environ;

namespace {

constexpr const char* kUsage =
    "usage: bf-usb-bridge [--chip ft232r|ft232h] [--bridges N] [--serial SERIAL]\n"
    "                     [--camera KEY=VALUE,...] [--unplug-after-bytes N] [--plug-on-sigusr1]\n"
    "                     [--fault FAULT,...]\n"
    "                     -- COMMAND [ARG...]\n"
    "  --chip     the emulated bridge: ft232r (full speed, 64-byte packets, the default) or\n"
    "             ft232h (high speed, 512-byte packets)\n"
    "  --bridges  how many bridges, each with its own simulated camera (default 1); their\n"
    "             serial numbers count up from SERIAL (default BF000001)\n"
    "  --camera   the simulated cameras' options, on top of the demo camera (sim/OPTIONS.md);\n"
    "             given again, for the next bridge (the last one given serves the rest)\n"
    "  --unplug-after-bytes  the first bridge unplugs once N bulk bytes have crossed it\n"
    "  --plug-on-sigusr1  the first bridge starts unplugged; each SIGUSR1 to bf-usb-bridge plugs\n"
    "             it in, or pulls it when it is in (it comes back as a new device, its camera\n"
    "             started afresh)\n"
    "  --fault    faults of the first bridge: refuse-latency (the latency timer request stalls),\n"
    "             stall-in-after=N, stall-out-after=N (the bulk IN or OUT endpoint halts once,\n"
    "             after N bytes, until the host clears it), short-in-every=N (every N-th bulk IN\n"
    "             transfer with data ends early, short), out-at-most=N (bulk OUT takes at most\n"
    "             N bytes a transfer), claimed (another program holds the interface),\n"
    "             kernel-driver (the kernel's ftdi_sio is bound until detached)\n"
    "With BF_USB_BRIDGE_SUMMARY set, each bridge's traffic is summed up on stderr at the end.\n";

// "BF000001" + 1 = "BF000002": the trailing digits count up, keeping their width.
std::string NthSerial(const std::string& first, size_t n) {
  size_t digits = first.size();
  while (digits > 0 && first[digits - 1] >= '0' && first[digits - 1] <= '9') --digits;
  if (digits == first.size()) return n == 0 ? first : first + std::to_string(n + 1);
  const std::string tail = first.substr(digits);
  std::string number = std::to_string(std::stoull(tail) + n);
  if (number.size() < tail.size()) number.insert(0, tail.size() - number.size(), '0');
  return first.substr(0, digits) + number;
}

bool ParseCount(const char* text, unsigned long long* value) {
  char* end = nullptr;
  *value = std::strtoull(text, &end, 10);
  return *text != '\0' && *end == '\0' && *text != '-';
}

// "stall-in-after=1000,refuse-latency" and the like; false with *error for anything else.
bool ParseFaults(const std::string& text, bf::sim::usb::ChipFaults* faults, std::string* error) {
  size_t at = 0;
  while (at <= text.size()) {
    const size_t comma = std::min(text.find(',', at), text.size());
    const std::string item = text.substr(at, comma - at);
    at = comma + 1;
    const size_t equals = item.find('=');
    const std::string key = item.substr(0, equals);
    unsigned long long value = 0;
    const bool counted = equals != std::string::npos &&
                         ParseCount(item.c_str() + equals + 1, &value) && value > 0 &&
                         value <= UINT32_MAX;
    if (key == "refuse-latency" && equals == std::string::npos) {
      faults->refuseLatencyTimer = true;
    } else if (key == "claimed" && equals == std::string::npos) {
      faults->claimedElsewhere = true;
    } else if (key == "kernel-driver" && equals == std::string::npos) {
      faults->kernelDriver = "ftdi_sio";
    } else if (key == "stall-in-after" && counted) {
      faults->stallInAfterBytes = value;
    } else if (key == "stall-out-after" && counted) {
      faults->stallOutAfterBytes = value;
    } else if (key == "short-in-every" && counted) {
      faults->shortInEvery = static_cast<uint32_t>(value);
    } else if (key == "out-at-most" && counted) {
      faults->outAtMost = static_cast<uint32_t>(value);
    } else {
      *error = "unknown fault or missing count: \"" + item + "\"";
      return false;
    }
  }
  return true;
}

// The command's process, for the signal handler: an interrupt or termination meant for the
// whole run goes on to the command, and the bridge stays up until the command has ended.
volatile sig_atomic_t childPid = 0;

void ForwardSignal(int signal) {
  if (childPid > 0) kill(static_cast<pid_t>(childPid), signal);
}

}  // namespace

int main(int argc, char** argv) {
  bf::sim::usb::ChipIdentity identity;
  unsigned long long bridges = 1;
  unsigned long long unplugAfter = 0;
  bool plugOnSignal = false;
  bf::sim::usb::ChipFaults faults;
  std::vector<std::string> cameraOptions;
  int i = 1;
  for (; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    if (a == "--") {
      ++i;
      break;
    } else if (a == "--chip" && hasValue) {
      const std::string chip = argv[++i];
      if (chip == "ft232r") {
        identity.kind = bf::sim::usb::ChipKind::FT232R;
      } else if (chip == "ft232h") {
        identity.kind = bf::sim::usb::ChipKind::FT232H;
      } else {
        std::fprintf(stderr, "bf-usb-bridge: unknown chip \"%s\" (ft232r or ft232h)\n",
                     chip.c_str());
        return 2;
      }
    } else if (a == "--bridges" && hasValue) {
      if (!ParseCount(argv[++i], &bridges) || bridges < 1 || bridges > 100) {
        std::fprintf(stderr, "bf-usb-bridge: --bridges takes a count from 1 to 100\n");
        return 2;
      }
    } else if (a == "--serial" && hasValue) {
      identity.serial = argv[++i];
      if (identity.serial.empty()) {
        std::fprintf(stderr, "bf-usb-bridge: --serial needs a serial number\n");
        return 2;
      }
    } else if (a == "--camera" && hasValue) {
      cameraOptions.emplace_back(argv[++i]);
    } else if (a == "--unplug-after-bytes" && hasValue) {
      if (!ParseCount(argv[++i], &unplugAfter) || unplugAfter == 0) {
        std::fprintf(stderr, "bf-usb-bridge: --unplug-after-bytes takes a count above 0\n");
        return 2;
      }
    } else if (a == "--fault" && hasValue) {
      std::string error;
      if (!ParseFaults(argv[++i], &faults, &error)) {
        std::fprintf(stderr, "bf-usb-bridge: --fault: %s\n", error.c_str());
        return 2;
      }
    } else if (a == "--plug-on-sigusr1") {
      plugOnSignal = true;
    } else {
      std::fprintf(stderr, "%s", kUsage);
      return 2;
    }
  }
  if (i >= argc) {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }
  std::string why;
  if (!bf::sim::usb::UsbTestbed::Available(&why)) {
    std::fprintf(stderr, "bf-usb-bridge: %s\n", why.c_str());
    return 2;
  }
  if (cameraOptions.empty()) cameraOptions.emplace_back();
  std::vector<bf::sim::SimOptions> options;
  for (const std::string& text : cameraOptions) {
    std::string error;
    const auto parsed = bf::sim::ParseSimOptions(text, bf::sim::SimOptions::Demo(), &error);
    if (!parsed) {
      std::fprintf(stderr, "bf-usb-bridge: --camera: %s\n", error.c_str());
      return 2;
    }
    options.push_back(*parsed);
  }

  bf::SystemTickSource ticks;
  std::vector<std::unique_ptr<bf::sim::SimCamera>> cameras;
  int status = 0;
  // With plugging by signal, SIGUSR1 and the child's end are taken with sigwaitinfo: blocked
  // here, before the test bed starts its threads, so that no other thread takes them. The
  // child gets the mask as it was.
  sigset_t waited;
  sigemptyset(&waited);
  sigaddset(&waited, SIGUSR1);
  sigaddset(&waited, SIGCHLD);
  sigset_t original;
  pthread_sigmask(plugOnSignal ? SIG_BLOCK : SIG_SETMASK, plugOnSignal ? &waited : nullptr,
                  &original);
  try {
    bf::sim::usb::UsbTestbed testbed;
    const std::string firstSerial = identity.serial;
    auto plugNth = [&](size_t n) {
      cameras.push_back(
          std::make_unique<bf::sim::SimCamera>(options[std::min(n, options.size() - 1)], ticks));
      identity.serial = NthSerial(firstSerial, n);
      const size_t bridge = testbed.Plug(identity, *cameras.back());
      if (n == 0) testbed.Chip(bridge).SetFaults(faults);
      return bridge;
    };
    std::optional<size_t> first;
    if (!plugOnSignal) first = plugNth(0);
    for (size_t n = 1; n < bridges; ++n) plugNth(n);
    if (unplugAfter != 0 && first) testbed.UnplugAfterBulkBytes(*first, unplugAfter);

    struct sigaction forward {};
    forward.sa_handler = ForwardSignal;
    sigemptyset(&forward.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &forward, nullptr);
    pid_t child = -1;
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setsigmask(&attributes, &original);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    const int spawned = posix_spawnp(&child, argv[i], nullptr, &attributes, argv + i, environ);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
      std::fprintf(stderr, "bf-usb-bridge: cannot start %s: %s\n", argv[i], std::strerror(spawned));
      return 127;
    }
    childPid = child;
    int wait = 0;
    while (plugOnSignal) {
      const int signal = sigwaitinfo(&waited, nullptr);
      if (signal == SIGCHLD) {
        if (waitpid(child, &wait, WNOHANG) == child) break;
      } else if (signal == SIGUSR1 && first) {
        testbed.Unplug(*first);
        first.reset();
        std::fprintf(stderr, "bf-usb-bridge: bridge pulled\n");
      } else if (signal == SIGUSR1) {
        first = plugNth(0);
        std::fprintf(stderr, "bf-usb-bridge: bridge plugged in\n");
      }
    }
    while (!plugOnSignal && waitpid(child, &wait, 0) < 0) {
      if (errno != EINTR) {
        std::perror("bf-usb-bridge: waitpid");
        return 1;
      }
    }
    status = WIFEXITED(wait) ? WEXITSTATUS(wait) : 128 + WTERMSIG(wait);
    if (std::getenv("BF_USB_BRIDGE_SUMMARY") != nullptr) {
      for (size_t n = 0; n < cameras.size(); ++n) {
        const bf::sim::usb::FtdiChip& chip = testbed.Chip(n);
        std::fprintf(stderr,
                     "bf-usb-bridge: bridge %zu (%s): %zu control requests, %llu bytes to the "
                     "camera, %llu bytes from it\n",
                     n, chip.Identity().serial.c_str(), chip.ControlLog().size(),
                     static_cast<unsigned long long>(chip.BytesOut()),
                     static_cast<unsigned long long>(chip.BytesIn()));
      }
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bf-usb-bridge: %s\n", e.what());
    return 1;
  }
  return status;
}
