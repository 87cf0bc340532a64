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

int RunErase(const std::vector<std::string>& argv) {
  std::vector<std::string> args = argv;
  std::string selection;
  if (!bf::cli::TakeCameraOption(args, &selection, "erase")) return 2;
  bool yes = false;
  for (const std::string& a : args) {
    if (a == "--yes" || a == "-y") {
      yes = true;
    } else {
      std::fprintf(stderr, "bfk erase: unexpected argument '%s'\nusage: bfk %s\n", a.c_str(),
                   kUsage);
      return 2;
    }
  }
  bf::cli::TerminalPrompts prompts("bfk erase");
  if (!yes && !prompts.CanAsk()) {
    // Nobody can answer the question: an unattended erase must be asked for explicitly.
    std::fprintf(stderr, "bfk erase: refusing to erase without --yes: input is not a terminal\n");
    return 2;
  }
  std::optional<bf::cli::CameraLink> camera =
      bf::cli::OpenCameraLink(selection, bf::SystemTickSource::Instance(), "erase");
  if (!camera) return 1;

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
      return 1;
    case bf::EraseResult::NotErased:
    case bf::EraseResult::LinkFailed:
      break;
  }
  return 1;
}

}  // namespace

BFK_COMMAND("erase", kUsage, RunErase);
