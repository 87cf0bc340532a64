// bfk erase: the flash erase of the window's "Стереть", on the terminal.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/CameraLink.h"
#include "cli/Command.h"
#include "cli/TerminalPrompts.h"
#include "flash/EraseFlash.h"

namespace {

constexpr const char* kUsage =
    "erase [--camera CAMERA] [--yes]  erase the camera's flash (asks first unless --yes)";

// One frame of the spinner and the seconds so far, over the previous frame; only on a terminal.
class Spinner {
 public:
  Spinner() : shown_(isatty(fileno(stderr)) != 0) {}
  void Show(uint32_t elapsedMs) {
    if (!shown_) return;
    static constexpr char kFrames[] = {'|', '/', '-', '\\'};
    std::fprintf(stderr, "\r%c erasing the camera's flash... %u s ", kFrames[frame_++ % 4],
                 elapsedMs / 1000);
    std::fflush(stderr);
    drawn_ = true;
  }
  void Clear() {
    if (!drawn_) return;
    std::fprintf(stderr, "\r%45s\r", "");
    std::fflush(stderr);
    drawn_ = false;
  }

 private:
  bool shown_;
  bool drawn_ = false;
  unsigned frame_ = 0;
};

struct EraseOptions {
  std::string selection;
  bool yes = false;
};

void DeclareErase(bf::cli::CommandLine& line, EraseOptions& o) {
  bf::cli::DeclareCameraOption(line, o.selection);
  line.Flag("-y,--yes", o.yes);
}

int RunErase(const std::vector<std::string>& args) {
  EraseOptions o;
  bf::cli::CommandLine line("erase");
  DeclareErase(line, o);
  if (line.Parse(args)) bf::cli::CheckCameraOption(line, o.selection);
  if (line.Failed()) return line.Report();
  const std::string& selection = o.selection;
  const bool yes = o.yes;
  bf::cli::TerminalPrompts prompts("bfk erase");
  if (!yes && !prompts.CanAsk()) {
    // Nobody can answer the question: an unattended erase must be asked for explicitly.
    std::fprintf(stderr, "bfk erase: refusing to erase without --yes: input is not a terminal\n");
    return bf::cli::kExitUsage;
  }
  std::optional<bf::cli::CameraLink> camera =
      bf::cli::OpenCameraLink(selection, bf::SystemTickSource::Instance(), "erase");
  if (!camera) return bf::cli::kExitFailure;

  Spinner spinner;
  bf::EraseOptions options;
  options.ask = !yes;
  options.waiting = [&spinner](uint32_t elapsedMs) { spinner.Show(elapsedMs); };
  const bf::EraseResult result = bf::EraseFlash(*camera->link, prompts, options);
  spinner.Clear();
  switch (result) {
    case bf::EraseResult::Erased:
      std::printf("flash erased\n");
      return std::fflush(stdout) == 0 ? 0 : 1;
    case bf::EraseResult::Declined:
      std::fprintf(stderr, "bfk erase: nothing erased\n");
      return bf::cli::kExitFailure;
    case bf::EraseResult::NotErased:
    case bf::EraseResult::LinkFailed:
      break;
  }
  return bf::cli::kExitFailure;
}

}  // namespace

BFK_COMMAND("erase", kUsage, RunErase);
