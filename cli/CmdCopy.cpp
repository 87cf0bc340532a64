// bfk copy: the camera's flash into a recording file, by the very flows of the window's
// "Сохранить на диск...", with the terminal in place of the copy dialog.
#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#endif

#include <atomic>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/CameraLink.h"
#include "cli/Command.h"
#include "cli/CommandLine.h"
#include "cli/CopyConsole.h"
#include "cli/CopyReport.h"
#include "cli/TerminalPrompts.h"
#include "flash/CopyResume.h"
#include "flash/SectorRangeModel.h"
#include "frames/OverlayText.h"
#include "host/GuiThreadPrompts.h"
#include "host/TickSource.h"
#include "link/BackendRegistry.h"
#include "link/FTD2xx.h"
#include "link/LinkThread.h"
#include "sim/AllDrivers.h"

namespace {

constexpr const char* kUsage =
    "copy -o FILE [--camera CAMERA] [--range START-END] [--verify] [--resume]\n"
    "                            copy the camera's flash into a recording file; CAMERA as in\n"
    "                            BRINDLEFLASH_CAMERA (its default); START-END: the 4 MiB\n"
    "                            sectors (0-255) of a type 2 camera, asked for when omitted;\n"
    "                            --verify: every chunk read twice (exit 3 when some chunk's\n"
    "                            reads never agreed); --resume: go on with the unfinished\n"
    "                            copy in FILE (or beside it in FILE's .partial name) after\n"
    "                            its last whole chunk, when the camera's flash is as it was";

using bf::SectorRange;

std::optional<uint8_t> ParseSector(std::string_view text) {
  unsigned value = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || r.ec != std::errc() || r.ptr != text.data() + text.size() || value > 255) {
    return std::nullopt;
  }
  return static_cast<uint8_t>(value);
}

std::optional<SectorRange> ParseRange(std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  const auto dash = text.find('-');
  if (dash == std::string_view::npos) return std::nullopt;
  const auto start = ParseSector(text.substr(0, dash));
  const auto end = ParseSector(text.substr(dash + 1));
  if (!start || !end) return std::nullopt;
  return SectorRange{*start, *end};
}

// The type 2 range: from --range, or asked on the terminal, or refused. Called on the copying
// thread; the terminal is asked on the main thread, which reads the sector headers meanwhile.
class ConsoleRangeChooser final : public bf::RangeChooser {
 public:
  ConsoleRangeChooser(std::optional<SectorRange> given, bf::cli::ConsoleCopyHost& host)
      : given_(given), host_(host) {}

  std::optional<SectorRange> ChooseRange(uint8_t pointerSector, bool wrapped,
                                         const bf::SectorHeaderLookup& lookup) override {
    used_ = true;
    if (given_) return given_;
    std::optional<SectorRange> chosen;
    host_.Queue().Ask([&] { chosen = Ask(pointerSector, wrapped, lookup); });
    return chosen;
  }

  // Once the copy has ended.
  bool Used() const { return used_; }
  bool Refused() const { return refused_; }

 private:
  // Main thread.
  std::optional<SectorRange> Ask(uint8_t pointerSector, bool wrapped,
                                 const bf::SectorHeaderLookup& lookup) {
    if (isatty(STDIN_FILENO) == 0) {
      std::fprintf(stderr,
                   "bfk copy: this camera (type 2) copies a range of its 4 MiB sectors; give it "
                   "with --range START-END (0-255), since standard input is no terminal to ask "
                   "on\n");
      refused_ = true;
      return std::nullopt;
    }
    host_.EndProgressLine();
    const bf::SectorRangeModel model(pointerSector, wrapped);
    std::fprintf(stderr,
                 "The flash holds 256 sectors of 4 MiB; the write pointer is in sector %u%s.\n",
                 unsigned{pointerSector},
                 wrapped ? ", and the recording has gone round the end of the flash" : "");
    const uint8_t first = model.StartSector();
    const uint8_t last = model.EndSector();
    Describe("oldest", first, lookup);
    Describe("newest", last, lookup);
    for (;;) {
      std::fprintf(stderr, "Sectors to copy, START-END [%u-%u] (q to give up): ", unsigned{first},
                   unsigned{last});
      std::string line;
      if (!std::getline(std::cin, line) || line == "q") return std::nullopt;
      if (line.empty()) line = std::to_string(first) + "-" + std::to_string(last);
      if (const auto range = ParseRange(line)) return range;
      std::fprintf(stderr, "bfk copy: \"%s\" is not START-END with sectors 0-255\n", line.c_str());
    }
  }

  static void Describe(const char* what, uint8_t sector, const bf::SectorHeaderLookup& lookup) {
    const std::optional<bf::FrameHeader> header = lookup(sector);
    std::fprintf(stderr, "  %s sector %3u: %s\n", what, unsigned{sector},
                 header ? bf::BuildOverlayText(*header).c_str() : "no frame at its start");
  }

  std::optional<SectorRange> given_;
  bf::cli::ConsoleCopyHost& host_;
  bool used_ = false;
  bool refused_ = false;
};

// The session a second Ctrl-C stops at once; set while it runs.
std::atomic<bf::CopySession*> runningSession{nullptr};
static_assert(std::atomic<bf::CopySession*>::is_always_lock_free);

// Only async-signal-safe calls: a write(2) of a fixed text.
void SayFromHandler(const char* text, std::size_t length) {
#ifdef _WIN32
  (void)_write(2, text, static_cast<unsigned>(length));
#else
  const ssize_t written = ::write(STDERR_FILENO, text, length);
  (void)written;
#endif
}

template <std::size_t N>
void SayFromHandler(const char (&text)[N]) {
  SayFromHandler(text, N - 1);
}

void OnInterrupt(int) {
#ifdef _WIN32
  std::signal(SIGINT, OnInterrupt);  // the C runtime resets the handler before calling it
#endif
  // Said at once: on a slow link the chunk under way may take half a minute to arrive.
  if (bf::cli::ConsoleCopyHost::progressLineShown != 0) SayFromHandler("\n");
  bf::cli::ConsoleCopyHost::progressLineShown = 0;
  if (bf::cli::ConsoleCopyHost::interrupted == 0) {
    bf::cli::ConsoleCopyHost::interrupted = 1;
    SayFromHandler(
        "bfk copy: interrupted; stopping after the chunk under way (Ctrl-C again stops at once, "
        "keeping the whole chunks received)\n");
    return;
  }
  bf::cli::ConsoleCopyHost::interrupted = 2;
  if (bf::CopySession* session = runningSession.load()) session->StopAtOnce();
  SayFromHandler("bfk copy: interrupted again; stopping now\n");
}

// Ctrl-C means Cancel while the copy runs: the whole chunks received are kept. A second one
// gives up the chunk under way too.
class InterruptAsCancel {
 public:
  InterruptAsCancel() {
    bf::cli::ConsoleCopyHost::interrupted = 0;
#ifdef _WIN32
    previous_ = std::signal(SIGINT, OnInterrupt);
#else
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previous_);
#endif
  }
#ifdef _WIN32
  ~InterruptAsCancel() {
    std::signal(SIGINT, previous_);
  }
#else
  ~InterruptAsCancel() {
    sigaction(SIGINT, &previous_, nullptr);
  }
#endif
  InterruptAsCancel(const InterruptAsCancel&) = delete;
  InterruptAsCancel& operator=(const InterruptAsCancel&) = delete;

 private:
#ifdef _WIN32
  void (*previous_)(int) = SIG_DFL;
#else
  struct sigaction previous_ = {};
#endif
};

struct CopyOptions {
  std::string output;
  std::string camera;
  std::string rangeText;
  bool verify = false;
  bool resume = false;
};

void DeclareCopy(bf::cli::CommandLine& line, CopyOptions& o) {
  line.Value("-o,--output", o.output);
  bf::cli::DeclareCameraOption(line, o.camera);
  line.Value("--range", o.rangeText);
  line.Flag("--verify", o.verify);
  line.Flag("--resume", o.resume);
}

int RunCopy(const std::vector<std::string>& args) {
  CopyOptions o;
  bf::cli::CommandLine line("copy");
  DeclareCopy(line, o);
  std::optional<SectorRange> range;
  if (line.Parse(args)) bf::cli::CheckCameraOption(line, o.camera);
  if (!line.Failed() && line.Given("--range")) {
    range = ParseRange(o.rangeText);
    if (!range)
      line.Fail("--range wants START-END with sectors 0-255, not \"" + o.rangeText + "\"");
  }
  if (!line.Failed() && o.output.empty()) line.Fail("missing -o FILE");
  if (line.Failed()) return line.Report();
  const std::string& output = o.output;
  const std::string& camera = o.camera;
  const bool verify = o.verify;
  const bool resume = o.resume;

  std::optional<bf::CopyPlan> plan;
  if (resume) {
    if (range) {
      std::fprintf(stderr,
                   "bfk copy: --resume copies the range of the unfinished copy; leave out "
                   "--range\n");
      return bf::cli::kExitUsage;
    }
    std::string refusal;
    plan = bf::FindResumableCopy(output, &refusal);
    if (!plan) {
      std::fprintf(stderr, "bfk copy: cannot resume: %s\n", refusal.c_str());
      return bf::cli::kExitFailure;
    }
  }

  bf::TickSource& ticks = bf::SystemTickSource::Instance();
  std::string error;
  std::shared_ptr<bf::D2xxBackend> backend =
      bf::CreateBackend(camera, bf::AllDrivers(), ticks, &error);
  if (!backend) {
    std::fprintf(stderr, "bfk copy: %s\n", error.c_str());
    return 1;
  }
  bf::FTDClass link(backend, ticks);
  try {
    link.Open(0);
    link.ResetDevice();
  } catch (const bf::FTDException& e) {
    const std::string detail = backend->LastError();
    std::fprintf(stderr, "bfk copy: camera %s: %s%s%s\n", camera.c_str(), e.GetText(),
                 detail.empty() ? "" : ": ", detail.c_str());
    return 1;
  }

  bf::cli::ConsoleCopyHost host(isatty(STDERR_FILENO) != 0 ? stderr : nullptr);
  // Told where to write: nothing to confirm.
  bf::cli::TerminalPrompts terminal("bfk copy");
  terminal.SaveTo(output);
  terminal.SetBeforeMessage([&host] { host.EndProgressLine(); });
  // The copy runs on the link thread and asks on this one, as the window's does.
  bf::GuiThreadPrompts prompts(terminal, host.Queue());
  ConsoleRangeChooser chooser(range, host);
  bf::CopySummary summary;
  {
    InterruptAsCancel interrupt;
    bf::CopyServices services{link, prompts, host, chooser};
    services.readCameraClock = true;
    services.verify = verify;
    services.plan = plan ? &*plan : nullptr;
    bf::CopySession session(services);
    host.Attach(&session);
    runningSession.store(&session);
    // A Ctrl-C that came before the session was there stops it as soon as it is.
    if (bf::cli::ConsoleCopyHost::interrupted > 1) session.StopAtOnce();
    bf::LinkThread linkThread;
    linkThread.Post([&session] { session.Run(); });
    host.RunUntilClosed();
    linkThread.WaitIdle();
    runningSession.store(nullptr);
    host.Attach(nullptr);
    host.EndProgressLine();
    summary = session.Summary();
  }
  if (range && !chooser.Used() && summary.cameraType >= 0 && summary.cameraType != 2) {
    std::fprintf(stderr,
                 "bfk copy: --range applies to type 2 cameras only; this one is of type %d and "
                 "copied everything recorded\n",
                 summary.cameraType);
  }
  // With the recording on standard output the report must not end up inside it.
  std::FILE* report = output == "-" ? stderr : stdout;
  std::fputs(bf::cli::CopyReport(summary, verify).c_str(), report);
  if (std::fflush(report) != 0) return bf::cli::kExitFailure;
  if (!summary.Complete()) return bf::cli::kExitFailure;
  return verify && !summary.verified ? bf::cli::kExitNotVerified : bf::cli::kExitDone;
}

}  // namespace

BFK_COMMAND("copy", kUsage, RunCopy);
