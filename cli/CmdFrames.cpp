// bfk frames: every frame of a recording as a JPEG still in a folder.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/Args.h"
#include "cli/CancelOnSignal.h"
#include "cli/Command.h"
#include "cli/CommandLine.h"
#include "cli/FrameChoice.h"
#include "cli/OpenRecording.h"
#include "recordings/FramesExport.h"

namespace {

constexpr const char* kName = "frames";

struct FramesOptions {
  std::string input, folder, headers;
  bf::cli::FrameChoice choice;
};

void DeclareFrames(bf::cli::CommandLine& line, FramesOptions& o) {
  line.Operand("FILE", o.input);
  line.Value("-d", o.folder);
  o.choice.Declare(line);
  line.Value("--headers", o.headers);
}

int RunFrames(const std::vector<std::string>& args) {
  FramesOptions o;
  bf::cli::CommandLine line(kName);
  DeclareFrames(line, o);
  if (line.Parse(args)) o.choice.Take(line);
  if (!line.Failed() && o.input.empty()) line.Fail("no recording FILE given");
  if (!line.Failed() && o.folder.empty()) line.Fail("no folder given (-d DIR)");
  if (!line.Failed()) line.Fail(o.choice.OrderProblem());
  if (line.Failed()) return line.Report();
  const std::string& input = o.input;
  const std::string& folder = o.folder;
  const std::string& headers = o.headers;
  const bf::cli::FrameChoice& choice = o.choice;
  bf::ExportRange range = choice.NumberRange();

  bf::JpegHeaderTable table;
  if (!bf::cli::LoadHeaderTable(kName, headers, table)) return bf::cli::kExitFailure;
  bf::Recording recording;
  if (!bf::cli::OpenRecordingOrSay(kName, input, recording)) return bf::cli::kExitFailure;
  if (choice.HasTime()) {
    std::string why;
    const std::optional<bf::ExportRange> stretch = choice.StretchRange(recording.Index(), why);
    if (!stretch) {
      std::fprintf(stderr, "bfk %s: %s\n", kName, why.c_str());
      return bf::cli::kExitFailure;
    }
    range = *stretch;
  }

  bf::ExportProgress progress;
  bf::cli::CancelOnSignal signals(progress.cancel);
  const bf::ExportOutcome outcome = bf::ExportFrames(recording, table, folder, range, progress);
  if (outcome.status == bf::ExportOutcome::Status::Cancelled) {
    std::fprintf(stderr, "bfk frames: interrupted; the files in %s are as they were\n",
                 folder.c_str());
    std::fflush(stderr);
    signals.EndLikeTheSignal();
    return bf::cli::kExitFailure;
  }
  if (outcome.status != bf::ExportOutcome::Status::Done) {
    std::fprintf(stderr, "bfk frames: %s\n", outcome.error.c_str());
    return bf::cli::kExitFailure;
  }
  std::printf("%u frames written to %s, %u skipped\n", outcome.written, folder.c_str(),
              outcome.skipped);
  bf::cli::ReportUndecodable(kName, bf::cli::HeaderTablePathFor(headers), outcome.undecodable);
  // Not one picture out of a range that holds some: the table does not fit the recording.
  if (outcome.written == 0 && !outcome.undecodable.empty()) return bf::cli::kExitFailure;
  return std::fflush(stdout) == 0 ? bf::cli::kExitDone : bf::cli::kExitFailure;
}

}  // namespace

BFK_COMMAND(kName,
            "frames FILE -d DIR [--from A] [--to B] [--headers FILE]\n"
            "                            every frame as a JPEG still in DIR",
            RunFrames,
            "Writes frames A..B (default: all) of the recording FILE into the folder DIR (made\n"
            "when missing), each as the JPEG still the player's \"Сохранить\" saves: the\n"
            "rebuilt picture followed by the frame's 16-byte header. The files are named by\n"
            "the frame's local time and index, e.g. 2026-12-06_14-03-05_000123.jpg; a file of\n"
            "that name is replaced, never the recording itself. Frames with an unknown\n"
            "compression are skipped and counted. The stills appear together when all are\n"
            "written: a run that fails or is interrupted (Ctrl-C) leaves the files of DIR as\n"
            "they were, earlier stills included.\n"
            "headers.dat: --headers, else the window's \"InstallPath\", the current folder,\n"
            "bfk's folder, the installed data folder.\n"
            "A and B are frame numbers or times as bfk cut takes them (local\n"
            "\"YYYY-MM-DD HH:MM:SS\" or UTC \"YYYY-MM-DDTHH:MM:SSZ\"); times take the frames\n"
            "whose camera time lies from A to B, which must stand together in the file.\n");
