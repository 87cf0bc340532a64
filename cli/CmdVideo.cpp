// bfk video: a recording as a video file (Motion JPEG copy or H.264).
#include <cstdio>
#include <string>
#include <vector>

#include "cli/Args.h"
#include "cli/CmdVideoModule.h"
#include "cli/Command.h"
#include "cli/CommandLine.h"
#include "cli/FrameChoice.h"
#include "cli/OpenRecording.h"
#include "host/ReplacingFileWriter.h"
#include "recordings/VideoExportOptions.h"

namespace {

constexpr const char* kName = "video";

struct VideoArgs {
  std::string input, output, headers, pace, rotate;
  bool burnIn = false;
  bf::cli::FrameChoice choice;
};

void DeclareVideo(bf::cli::CommandLine& line, VideoArgs& a) {
  line.Operand("FILE", a.input);
  line.Value("-o", a.output);
  a.choice.Declare(line);
  line.Value("--pace", a.pace);
  line.Value("--rotate", a.rotate);
  line.Flag("--burn-in", a.burnIn);
  line.Value("--headers", a.headers);
}

// The option values as the export takes them; a malformed one fails the command line.
void TakeVideo(bf::cli::CommandLine& line, VideoArgs& a, bf::VideoExportOptions& options) {
  options.output = a.output;
  options.burnIn = a.burnIn;
  a.choice.Take(line);
  if (line.Given("--pace")) {
    if (a.pace == "recorded") {
      options.rate = 0;
    } else if (const auto fps = bf::cli::ParseUnsigned(a.pace); fps && *fps >= 1 && *fps <= 1000) {
      options.rate = *fps;
    } else {
      line.Fail("--pace: '" + a.pace + "' is neither 'recorded' nor a rate of 1..1000");
    }
  } else {
    options.rate = bf::cli::PlayerFpsSetting();
  }
  if (line.Given("--rotate")) {
    const std::optional<uint32_t> degrees = bf::cli::ParseUnsigned(a.rotate);
    if (!degrees) {
      line.Fail(bf::cli::NotANumber("--rotate", a.rotate));
    } else if (*degrees != 0 && *degrees != 90 && *degrees != 180 && *degrees != 270) {
      line.Fail("--rotate: " + std::to_string(*degrees) + " is not 0, 90, 180 or 270");
    }
    options.rotation = static_cast<int>(degrees.value_or(0));
  }
}

int RunVideo(const std::vector<std::string>& args) {
  VideoArgs a;
  bf::VideoExportOptions options;
  bf::cli::CommandLine line(kName);
  DeclareVideo(line, a);
  if (line.Parse(args)) TakeVideo(line, a, options);
  const std::string& input = a.input;
  const std::string& headers = a.headers;
  const bf::cli::FrameChoice& choice = a.choice;
  if (!line.Failed() && input.empty()) line.Fail("no recording FILE given");
  if (!line.Failed() && options.output.empty()) line.Fail("no output given (-o OUT)");
  if (!line.Failed()) {
    if (const auto container = bf::ContainerForPath(options.output)) {
      options.container = *container;
    } else {
      line.Fail("-o: '" + options.output + "' does not end in .mkv, .avi or .mp4");
    }
  }
  if (!line.Failed()) line.Fail(choice.OrderProblem());
  if (line.Failed()) return line.Report();
  options.range = choice.NumberRange();
  if (bf::IsSameFile(input, options.output)) {
    std::fprintf(stderr, "bfk video: the output %s is the recording itself\n",
                 options.output.c_str());
    return bf::cli::kExitFailure;
  }

  std::string whyNot;
  const bf::cli::VideoModuleEntry exportVideo = bf::cli::LoadVideoModule(whyNot);
  if (exportVideo == nullptr) {
    std::fprintf(stderr, "bfk video: %s\n", whyNot.c_str());
    return bf::cli::kExitFailure;
  }
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
    options.range = *stretch;
  }

  // Ctrl+C leaves no half-written temporary beside the output: bfk's termination handlers
  // remove it.
  bf::ExportProgress progress;
  bf::ExportOutcome outcome;
  exportVideo(&recording, &table, &options, &progress, &outcome);
  bf::cli::ReportUndecodable(kName, bf::cli::HeaderTablePathFor(headers), outcome.undecodable);
  if (outcome.status != bf::ExportOutcome::Status::Done) {
    std::fprintf(stderr, "bfk video: %s\n", outcome.error.c_str());
    return bf::cli::kExitFailure;
  }
  // The summary goes to standard error when the video itself goes to standard output.
  std::FILE* report = options.output == "-" ? stderr : stdout;
  std::fprintf(report, "%u frames written to %s, %u skipped\n", outcome.written,
               options.output.c_str(), outcome.skipped);
  return std::fflush(report) == 0 ? bf::cli::kExitDone : bf::cli::kExitFailure;
}

}  // namespace

BFK_COMMAND(kName,
            "video FILE -o OUT.mkv|OUT.avi|OUT.mp4|- [--from A] [--to B] [--pace recorded|FPS]\n"
            "      [--rotate 0|90|180|270] [--burn-in] [--headers FILE]\n"
            "                            a recording as a video",
            RunVideo,
            "Writes frames A..B (default: all) of the recording FILE as a video. OUT.mkv and\n"
            "OUT.avi hold the rebuilt JPEGs as a Motion JPEG stream, copied without\n"
            "re-encoding; OUT.mp4 holds H.264 (4:2:0), which phones and browsers play. \"-\"\n"
            "writes Matroska to standard output.\n"
            "\n"
            "--pace sets the frame times as the player paces playback: 'recorded' follows the\n"
            "recorded timestamps (the frames of one second spread over it, a lone frame held\n"
            "until the next, gaps above 20 s cut to 22.222 s); a number is a fixed rate in\n"
            "frames per second. The default is the window's \"Player fps\" setting (10 when\n"
            "unset), read from ~/.config/Kelvane/BrindleFlash 1.1.3.conf.\n"
            "--rotate turns the pictures clockwise without re-encoding them (a lossless JPEG\n"
            "transform; edge blocks that are not whole are dropped).\n"
            "--burn-in draws each frame's overlay line (local date and time, compression,\n"
            "colour mode, frame rate, motion detector) into the top of its picture; the\n"
            "Motion JPEG pictures are then encoded again instead of copied.\n"
            "\n"
            "A frame that cannot be rebuilt or decoded, or whose size differs from the first\n"
            "one, is skipped and counted. A recording that changes on disk while it is read\n"
            "fails the export. The file appears only when the video is complete.\n"
            "A and B are frame numbers or times as bfk cut takes them (local\n"
            "\"YYYY-MM-DD HH:MM:SS\" or UTC \"YYYY-MM-DDTHH:MM:SSZ\"); times take the frames\n"
            "whose camera time lies from A to B, which must stand together in the file.\n");
