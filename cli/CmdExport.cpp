// bfk export: one frame of a recording as a JPEG still, exactly as the player's "Сохранить".
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/Args.h"
#include "cli/Command.h"
#include "cli/FrameChoice.h"
#include "cli/OpenRecording.h"
#include "frames/JpegHeaderTable.h"
#include "host/FileErrorText.h"
#include "host/ReplacingFileWriter.h"
#include "host/ReportSystemError.h"
#include "recordings/FrameDecodes.h"
#include "recordings/Recording.h"
#include "recordings/StillFile.h"

namespace {

constexpr const char* kUsage =
    "usage: bfk export FILE --frame N|--from A|--to B -o OUT.jpg [--headers FILE]\n";

int RunExport(const std::vector<std::string>& args) {
  std::string input, output, headers, frameText;
  bf::cli::FrameChoice choice;
  std::string why;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--frame" && hasValue) {
      frameText = args[++i];
    } else if (a == "--from" && hasValue) {
      if (!choice.SetFrom(args[++i], why)) return bf::cli::UsageError("export", why);
    } else if (a == "--to" && hasValue) {
      if (!choice.SetTo(args[++i], why)) return bf::cli::UsageError("export", why);
    } else if (a == "-o" && hasValue) {
      output = args[++i];
    } else if (a == "--headers" && hasValue) {
      headers = args[++i];
    } else if (input.empty() && !a.empty() && a[0] != '-') {
      input = a;
    } else {
      std::fprintf(stderr, "bfk export: unexpected argument '%s'\n%s", a.c_str(), kUsage);
      return 2;
    }
  }
  if (!frameText.empty() && !bf::cli::ParseUnsigned(frameText)) {
    return bf::cli::UsageError("export", bf::cli::NotANumber("--frame", frameText));
  }
  if (!frameText.empty() && choice.Given()) {
    return bf::cli::UsageError("export",
                               "--frame names the frame; --from and --to cannot add to it");
  }
  if (const std::string problem = choice.OrderProblem(); !problem.empty()) {
    return bf::cli::UsageError("export", problem);
  }
  std::size_t frame = 0;
  const auto parsed = std::from_chars(frameText.data(), frameText.data() + frameText.size(), frame);
  if (input.empty() || output.empty() ||
      (!choice.Given() && (frameText.empty() || parsed.ec != std::errc() ||
                           parsed.ptr != frameText.data() + frameText.size()))) {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }

  bf::JpegHeaderTable table;
  const std::string headersPath = bf::cli::HeaderTablePathFor(headers);
  for (const std::string& source : {input, headersPath}) {
    if (bf::IsSameFile(output, source)) {
      std::fprintf(stderr, "bfk export: %s is the same file as %s, which the still is made from\n",
                   output.c_str(), source.c_str());
      return 2;
    }
  }
  if (!bf::cli::LoadHeaderTable("export", headersPath, table)) return 1;

  // Frame N is certain once frames 0..N are; the rest of a long recording is never scanned.
  bf::Recording recording;
  const std::size_t frameLimit =
      choice.Given() ? bf::kAllFrames : (frame < bf::kAllFrames ? frame + 1 : frame);
  if (!bf::cli::OpenRecordingOrSay("export", input, recording, frameLimit)) return 1;
  if (choice.Given()) {
    // The still of a stretch is its first frame, or with --to alone the last one up to B.
    const std::optional<std::vector<std::size_t>> frames = choice.Frames(recording.Index(), why);
    if (!frames) {
      std::fprintf(stderr, "bfk export: %s\n", why.c_str());
      return 1;
    }
    frame = choice.OnlyTo() ? frames->back() : frames->front();
    std::fprintf(stderr, "bfk export: frame %zu\n", frame);
  }
  if (frame >= recording.Count()) {
    std::fprintf(stderr, "bfk export: no frame %zu (the recording has %zu frames)\n", frame,
                 recording.Count());
    return 1;
  }
  const bf::FrameHeader& header = recording.Index()[frame].header;
  const std::span<const uint8_t> entry =
      table.SelectHeaderEntry(header.Compression(), header.Monochrome());
  if (entry.empty()) {
    std::fprintf(stderr, "bfk export: frame %zu has compression %u, which has no JPEG header\n",
                 frame, unsigned{header.Compression()});
    return 1;
  }
  std::vector<uint8_t> payload;
  if (!recording.ReadPayload(frame, payload)) {
    std::fprintf(stderr, "bfk export: %s changed on disk while it was read\n", input.c_str());
    return 1;
  }
  // A still that does not decode would pass for a picture wherever it is opened.
  if (!bf::FrameDecodes(table, header, payload)) {
    std::fprintf(stderr, "bfk export: frame %zu does not decode with %s; nothing was written\n",
                 frame, headersPath.c_str());
    return 1;
  }
  if (const uint32_t error = bf::WriteStillFile(entry, header, payload, output)) {
    std::fprintf(stderr, "bfk export: %s (%s)\n", bf::FileErrorText(error, output).c_str(),
                 bf::SystemErrorText(error).c_str());
    return 1;
  }
  // Written as the window writes it, but the picture is cut short and says so nowhere else.
  if (const std::size_t missing = bf::MissingPayloadBytes(header, payload.size())) {
    std::fprintf(stderr,
                 "bfk export: warning: frame %zu is incomplete: the recording ends %zu bytes "
                 "before the end of its picture\n",
                 frame, missing);
  }
  return 0;
}

}  // namespace

BFK_COMMAND("export",
            "export FILE --frame N|--from A|--to B -o OUT.jpg [--headers FILE]\n"
            "                            frame N as a JPEG still (-o - for standard output);\n"
            "                            A and B as in bfk cut: the first frame from A on, or\n"
            "                            the last up to B (both: the first from A to B);\n"
            "                            headers.dat from --headers, else where the window looks",
            RunExport);
