// bfk cut: a stretch of a recording as a recording file of its own.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/Args.h"
#include "cli/Command.h"
#include "cli/CommandLine.h"
#include "cli/OpenRecording.h"
#include "cli/StretchBound.h"
#include "host/FileErrorText.h"
#include "host/ReplacingFileWriter.h"
#include "recordings/Recording.h"
#include "review/StretchCut.h"

namespace {

using bf::cli::StretchBound;

int Failed(uint32_t error, const std::string& output) {
  std::fprintf(stderr, "bfk cut: %s\n", bf::FileErrorText(error, output).c_str());
  return bf::cli::kExitFailure;
}

struct CutOptions {
  std::string input, output, fromText, toText;
};

void DeclareCut(bf::cli::CommandLine& line, CutOptions& o) {
  line.Operand("FILE", o.input);
  line.Value("-o", o.output);
  line.Value("--from", o.fromText);
  line.Value("--to", o.toText);
}

int RunCut(const std::vector<std::string>& args) {
  CutOptions o;
  bf::cli::CommandLine line("cut");
  DeclareCut(line, o);
  line.Parse(args);
  const std::string& input = o.input;
  const std::string& output = o.output;
  const std::string& fromText = o.fromText;
  const std::string& toText = o.toText;
  if (!line.Failed() && input.empty()) line.Fail("missing the recording FILE");
  if (!line.Failed() && output.empty()) line.Fail("missing -o OUT.bfk");
  if (!line.Failed() && fromText.empty()) line.Fail("missing --from");
  if (!line.Failed() && toText.empty()) line.Fail("missing --to");
  if (line.Failed()) return line.Report();

  std::string why;
  const std::optional<StretchBound> from = bf::cli::ParseStretchBound(fromText, why);
  if (!from) return bf::cli::UsageError("cut", "--from: " + why);
  const std::optional<StretchBound> to = bf::cli::ParseStretchBound(toText, why);
  if (!to) return bf::cli::UsageError("cut", "--to: " + why);
  if ((from->isFrame && to->isFrame && from->frame > to->frame) ||
      (!from->isFrame && !to->isFrame && from->time > to->time)) {
    return bf::cli::UsageError("cut", "--from " + fromText + " is after --to " + toText);
  }
  if (bf::IsSameFile(output, input)) {
    return bf::cli::UsageError("cut", output + " is the recording being cut");
  }

  bf::Recording recording;
  if (!bf::cli::OpenRecordingOrSay("cut", input, recording)) return bf::cli::kExitFailure;
  const bf::FrameIndex& index = recording.Index();
  for (const StretchBound* b : {&*from, &*to}) {
    if (b->isFrame && b->frame >= index.size()) {
      std::fprintf(stderr, "bfk cut: no frame %llu (the recording has %zu frames, 0 to %zu)\n",
                   static_cast<unsigned long long>(b->frame), index.size(), index.size() - 1);
      return bf::cli::kExitFailure;
    }
  }
  const std::vector<std::size_t> frames = bf::FramesInStretch(index, *from, *to);
  if (frames.empty()) {
    std::fprintf(stderr, "bfk cut: no frame of %s lies from %s to %s; nothing written\n",
                 input.c_str(), fromText.c_str(), toText.c_str());
    return bf::cli::kExitFailure;
  }

  const bf::StretchWriteOutcome written = bf::WriteStretch(recording, frames, output);
  if (written.unreadableFrame) {
    std::fprintf(stderr,
                 "bfk cut: frame %zu of %s can no longer be read as indexed; %s left as it was\n",
                 *written.unreadableFrame, input.c_str(), output.c_str());
    return bf::cli::kExitFailure;
  }
  if (written.error != 0) return Failed(written.error, output);
  // Standard output may be the recording itself (-o -): the summary goes beside it.
  std::FILE* report = output == "-" ? stderr : stdout;
  const std::size_t last = frames.back();
  if (written.lastIncomplete) {
    std::fprintf(stderr,
                 "bfk cut: warning: frame %zu is incomplete: %s ends before the end of its "
                 "picture, and so does %s\n",
                 last, input.c_str(), output.c_str());
  }
  std::fprintf(report, "%zu frames (%zu to %zu) written to %s\n", frames.size(), frames.front(),
               last, output.c_str());
  return bf::cli::kExitDone;
}

}  // namespace

BFK_COMMAND("cut",
            "cut -o OUT.bfk --from A --to B FILE   the frames from A to B as a recording file",
            &RunCut,
            "A and B are frame numbers (as bfk info lists them), local times\n"
            "\"YYYY-MM-DD HH:MM:SS\" or UTC times \"YYYY-MM-DDTHH:MM:SSZ\", both ends included.\n"
            "A time takes the frames whose camera time lies in the stretch, in file order.\n"
            "The frame records are copied byte for byte and followed by erased flash (FF).\n");
