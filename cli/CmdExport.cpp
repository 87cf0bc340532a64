// bfk export: one frame of a recording as a JPEG still, exactly as the player's "Сохранить".
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/Args.h"
#include "cli/Command.h"
#include "cli/CommandLine.h"
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

struct ExportOptions {
  std::string input, output, headers, frameText;
  bf::cli::FrameChoice choice;
};

void DeclareExport(bf::cli::CommandLine& line, ExportOptions& o) {
  line.Operand("FILE", o.input);
  line.Value("--frame", o.frameText);
  o.choice.Declare(line);
  line.Value("-o", o.output);
  line.Value("--headers", o.headers);
}

int RunExport(const std::vector<std::string>& args) {
  ExportOptions o;
  bf::cli::CommandLine line("export");
  DeclareExport(line, o);
  if (line.Parse(args)) o.choice.Take(line);
  const std::string& input = o.input;
  const std::string& output = o.output;
  const std::string& headers = o.headers;
  const std::string& frameText = o.frameText;
  const bf::cli::FrameChoice& choice = o.choice;
  std::string why;
  if (!line.Failed() && !frameText.empty() && !bf::cli::ParseUnsigned(frameText)) {
    line.Fail(bf::cli::NotANumber("--frame", frameText));
  }
  if (!line.Failed() && !frameText.empty() && choice.Given()) {
    line.Fail("--frame names the frame; --from and --to cannot add to it");
  }
  if (!line.Failed()) line.Fail(choice.OrderProblem());
  if (!line.Failed() && input.empty()) line.Fail("missing the recording FILE");
  if (!line.Failed() && output.empty()) line.Fail("missing -o OUT.jpg");
  if (!line.Failed() && !choice.Given() && frameText.empty()) {
    line.Fail("missing --frame N, --from A or --to B");
  }
  if (line.Failed()) return line.Report();
  std::size_t frame = *bf::cli::ParseUnsigned(frameText.empty() ? "0" : frameText);

  bf::JpegHeaderTable table;
  const std::string headersPath = bf::cli::HeaderTablePathFor(headers);
  for (const std::string& source : {input, headersPath}) {
    if (bf::IsSameFile(output, source)) {
      std::fprintf(stderr, "bfk export: %s is the same file as %s, which the still is made from\n",
                   output.c_str(), source.c_str());
      return bf::cli::kExitUsage;
    }
  }
  if (!bf::cli::LoadHeaderTable("export", headersPath, table)) return bf::cli::kExitFailure;

  // Frame N is certain once frames 0..N are; the rest of a long recording is never scanned.
  bf::Recording recording;
  const std::size_t frameLimit =
      choice.Given() ? bf::kAllFrames : (frame < bf::kAllFrames ? frame + 1 : frame);
  if (!bf::cli::OpenRecordingOrSay("export", input, recording, frameLimit))
    return bf::cli::kExitFailure;
  if (choice.Given()) {
    // The still of a stretch is its first frame, or with --to alone the last one up to B.
    const std::optional<std::vector<std::size_t>> frames = choice.Frames(recording.Index(), why);
    if (!frames) {
      std::fprintf(stderr, "bfk export: %s\n", why.c_str());
      return bf::cli::kExitFailure;
    }
    frame = choice.OnlyTo() ? frames->back() : frames->front();
    std::fprintf(stderr, "bfk export: frame %zu\n", frame);
  }
  if (frame >= recording.Count()) {
    std::fprintf(stderr, "bfk export: no frame %zu (the recording has %zu frames)\n", frame,
                 recording.Count());
    return bf::cli::kExitFailure;
  }
  const bf::FrameHeader& header = recording.Index()[frame].header;
  const std::span<const uint8_t> entry =
      table.SelectHeaderEntry(header.Compression(), header.Monochrome());
  if (entry.empty()) {
    std::fprintf(stderr, "bfk export: frame %zu has compression %u, which has no JPEG header\n",
                 frame, unsigned{header.Compression()});
    return bf::cli::kExitFailure;
  }
  std::vector<uint8_t> payload;
  if (!recording.ReadPayload(frame, payload)) {
    std::fprintf(stderr, "bfk export: %s changed on disk while it was read\n", input.c_str());
    return bf::cli::kExitFailure;
  }
  // A still that does not decode would pass for a picture wherever it is opened.
  if (!bf::FrameDecodes(table, header, payload)) {
    std::fprintf(stderr, "bfk export: frame %zu does not decode with %s; nothing was written\n",
                 frame, headersPath.c_str());
    return bf::cli::kExitFailure;
  }
  if (const uint32_t error = bf::WriteStillFile(entry, header, payload, output)) {
    std::fprintf(stderr, "bfk export: %s (%s)\n", bf::FileErrorText(error, output).c_str(),
                 bf::SystemErrorText(error).c_str());
    return bf::cli::kExitFailure;
  }
  // Written as the window writes it, but the picture is cut short and says so nowhere else.
  if (const std::size_t missing = bf::MissingPayloadBytes(header, payload.size())) {
    std::fprintf(stderr,
                 "bfk export: warning: frame %zu is incomplete: the recording ends %zu bytes "
                 "before the end of its picture\n",
                 frame, missing);
  }
  return bf::cli::kExitDone;
}

}  // namespace

BFK_COMMAND("export",
            "export FILE --frame N|--from A|--to B -o OUT.jpg [--headers FILE]\n"
            "                            frame N as a JPEG still (-o - for standard output);\n"
            "                            A and B as in bfk cut: the first frame from A on, or\n"
            "                            the last up to B (both: the first from A to B);\n"
            "                            headers.dat from --headers, else where the window looks",
            RunExport);
