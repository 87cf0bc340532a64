// bfk verify: reads the flash range of a copy's record again, in the copy's own chunks, and
// compares it with the file (and the second file of a split range).
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/CameraLink.h"
#include "cli/Command.h"
#include "cli/CommandLine.h"
#include "cli/CopyConsole.h"
#include "cli/FormatLine.h"
#include "cli/TerminalPrompts.h"
#include "flash/CopyPlan.h"
#include "flash/CopyRecord.h"
#include "flash/CopyRecordCheck.h"
#include "flash/CopySession.h"
#include "flash/RangeChooser.h"
#include "host/GuiThreadPrompts.h"
#include "host/TickSource.h"
#include "link/LinkThread.h"

namespace {

using bf::cli::FormatLine;

constexpr const char* kUsage =
    "verify FILE [--camera CAMERA]\n"
    "                            read the flash range of FILE's copy record (FILE.json) again\n"
    "                            and compare it chunk by chunk with the file; refused when the\n"
    "                            camera's type, write pointer or wrap flag differ from the\n"
    "                            record (exit 0: everything matches, 3: stretches differ,\n"
    "                            1: not compared)";

// The record gives the range; nobody is asked.
class NoRangeChooser final : public bf::RangeChooser {
 public:
  std::optional<bf::SectorRange> ChooseRange(uint8_t, bool,
                                             const bf::SectorHeaderLookup&) override {
    return std::nullopt;
  }
};

std::string VerifyReport(const std::string& recordPath, const bf::CopySummary& s) {
  std::string out = "verify report\n  record: " + recordPath + "\n";
  out += FormatLine("  camera type: %d\n", s.cameraType);
  std::string outcome;
  switch (s.outcome) {
    case bf::CopyOutcome::Completed:
      outcome = "the whole range read again";
      break;
    case bf::CopyOutcome::Cancelled:
      outcome = s.comparedWhole ? "read again as far as the unfinished copy goes" : "cancelled";
      break;
    case bf::CopyOutcome::Refused:
      outcome = "refused: " + s.failure;
      break;
    default:
      outcome = "not compared" + (s.failure.empty() ? std::string() : ": " + s.failure);
      break;
  }
  for (char& c : outcome) {
    if (c == '\n') c = ' ';
  }
  out += "  outcome: " + outcome + "\n";
  for (const bf::ComparedFile& f : s.compared) {
    out += "file: " + (f.exists ? f.path : std::string("(not in the copy)")) + "\n";
    out +=
        FormatLine("  compared: %llu bytes of %llu\n", static_cast<unsigned long long>(f.compared),
                   static_cast<unsigned long long>(f.fileSize));
    for (const bf::DifferingStretch& d : f.stretches) {
      out += FormatLine("  differs: at offset %llu, %llu bytes\n",
                        static_cast<unsigned long long>(d.offset),
                        static_cast<unsigned long long>(d.length));
    }
    if (f.tooManyStretches) {
      out += FormatLine("  more stretches not listed; %llu bytes differ in all\n",
                        static_cast<unsigned long long>(f.differingBytes));
    }
  }
  out += std::string("  matches: ") + (s.copyMatches ? "yes" : "no") + "\n";
  return out;
}

struct VerifyOptions {
  std::string file;
  std::string camera;
};

void DeclareVerify(bf::cli::CommandLine& line, VerifyOptions& o) {
  line.Operand("FILE", o.file);
  bf::cli::DeclareCameraOption(line, o.camera);
}

int RunVerify(const std::vector<std::string>& args) {
  VerifyOptions o;
  bf::cli::CommandLine line("verify");
  DeclareVerify(line, o);
  if (line.Parse(args)) bf::cli::CheckCameraOption(line, o.camera);
  if (!line.Failed() && o.file.empty()) line.Fail("missing the recording FILE");
  if (line.Failed()) return line.Report();
  const std::string& camera = o.camera;
  // The recording or its record.
  std::string file = o.file;
  const std::string suffix = ".json";
  if (file.size() > suffix.size() && file.ends_with(suffix)) file.resize(file.size() - 5);
  const std::string recordPath = bf::CopyRecordPath(file);
  std::string error;
  const std::optional<bf::JsonValue> record = bf::ReadCopyRecord(recordPath, &error);
  if (!record) {
    std::fprintf(stderr, "bfk verify: no copy record to compare with: %s %s\n", recordPath.c_str(),
                 error.c_str());
    return bf::cli::kExitFailure;
  }
  const std::optional<bf::CopyPlan> plan =
      bf::CopyPlanFromRecord(recordPath, *record, bf::CopyPlanMode::Verify, &error);
  if (!plan) {
    std::fprintf(stderr, "bfk verify: %s: %s\n", recordPath.c_str(), error.c_str());
    return bf::cli::kExitFailure;
  }

  bf::TickSource& ticks = bf::SystemTickSource::Instance();
  std::optional<bf::cli::CameraLink> link = bf::cli::OpenCameraLink(camera, ticks, "verify");
  if (!link) return bf::cli::kExitFailure;
  bf::cli::ConsoleCopyHost host(isatty(STDERR_FILENO) != 0 ? stderr : nullptr);
  bf::cli::TerminalPrompts terminal("bfk verify");
  terminal.SaveTo(plan->files.front().path);
  terminal.SetBeforeMessage([&host] { host.EndProgressLine(); });
  bf::GuiThreadPrompts prompts(terminal, host.Queue());
  NoRangeChooser chooser;
  bf::CopySummary summary;
  {
    bf::CopyServices services{*link->link, prompts, host, chooser};
    services.plan = &*plan;
    bf::CopySession session(services);
    host.Attach(&session);
    bf::LinkThread linkThread;
    linkThread.Post([&session] { session.Run(); });
    host.RunUntilClosed();
    linkThread.WaitIdle();
    host.Attach(nullptr);
    host.EndProgressLine();
    summary = session.Summary();
  }
  std::fputs(VerifyReport(recordPath, summary).c_str(), stdout);
  if (std::fflush(stdout) != 0) return bf::cli::kExitFailure;
  if (summary.copyMatches) return bf::cli::kExitDone;
  return summary.comparedWhole ? bf::cli::kExitNotVerified : bf::cli::kExitFailure;
}

}  // namespace

BFK_COMMAND("verify", kUsage, RunVerify);
