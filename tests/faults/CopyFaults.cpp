// The three flash readouts under every fault on every device call (sampled where a copy has
// many): a success only with the camera's bytes exactly, a failure with a file that holds
// exactly the chunks reported, the dialog closed with no timer left, and a next copy that
// succeeds after a replug. A second sweep fails the drain that follows a failed copy as well.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "FaultMatrix.h"
#include "flash/CopyRig.h"

namespace bf::test {
namespace {

// The bytes the reported chunks stand for, as the camera holds them (type 0 chunks at their
// full length with what did not arrive as zeros, the others as far as they arrived).
std::vector<uint8_t> ReportedBytes(CopyRig& r, CameraType type) {
  std::vector<uint8_t> out;
  for (const CopyChunk& c : r.log->Chunks()) {
    uint64_t address = c.start;
    if (type == CAMERA_SECTORS) address *= kSectorSize;
    if (type == CAMERA_PACKED_PAGES) address = PackedToLinear(c.start);
    auto bytes = r.rig.camera->FlashBytes(address, c.asked);
    if (type == CAMERA_SECTORS) {
      std::fill(bytes.begin() + c.received, bytes.end(), 0);
    } else {
      bytes.resize(c.received);
    }
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  return out;
}

struct CopyResult {
  CopySummary summary;
  std::vector<uint8_t> file;
  bool fileExists = false;
  std::vector<uint8_t> reported;
  bool closedIdle = false;
  std::size_t messages = 0;
};

CopyResult RunCopy(CopyRig& r, CameraType type, const std::string& path) {
  CopyResult out;
  out.summary = r.Run(path);
  out.fileExists = std::filesystem::exists(path);
  if (out.fileExists) out.file = ReadFile(path);
  out.reported = ReportedBytes(r, type);
  out.closedIdle = r.host->closeCount == 1 && !r.host->ticking;
  out.messages = r.prompts.shown.size();
  return out;
}

// The whole readout of the prepared flash, from a clean run.
const std::vector<uint8_t>& Reference(CameraType type) {
  static std::map<CameraType, std::vector<uint8_t>> cache;
  auto it = cache.find(type);
  if (it != cache.end()) return it->second;
  CopyRig r(type);
  PrepareSmallCopy(r, type);
  const CopyResult clean = RunCopy(r, type, r.dir.File("reference.bfk"));
  EXPECT_TRUE(clean.summary.Complete());
  return cache[type] = clean.file;
}

struct CopyFlowRun {
  MatrixRun run;
  CopyOutcome outcome = CopyOutcome::NotStarted;
};

// One run of the copy under fault; failCall (counted like the fault, nonzero) also fails that
// call of the flow with an I/O error.
CopyFlowRun RunCopyFlowWith(CameraType type, const std::optional<MatrixFault>& fault,
                            uint64_t failCall) {
  const std::vector<uint8_t>& reference = Reference(type);
  CopyRig r(type);
  PrepareSmallCopy(r, type);
  MatrixRun run;
  const uint64_t base = r.rig.camera->CallCount();
  if (fault) ArmMatrixFault(*r.rig.camera, base, *fault);
  if (failCall != 0) r.rig.camera->FailCall(base + failCall, ftstatus::kIoError);
  const CopyResult out = RunCopy(r, type, r.dir.File("fault.bfk"));
  run.calls = r.rig.camera->CallCount() - base;
  run.hit = r.rig.camera->FaultHitCall() != 0;
  run.hitCall = run.hit ? r.rig.camera->FaultHitCall() - base : 0;
  run.succeeded = out.summary.outcome == CopyOutcome::Completed && out.messages == 0;
  run.exact = out.fileExists && out.file == reference;
  if (!out.closedIdle) run.problems.push_back("the dialog did not close cleanly");
  if (!run.succeeded && out.messages == 0 && out.summary.outcome != CopyOutcome::Cancelled) {
    run.problems.push_back("ended without success and without a word");
  }
  if (out.fileExists) {
    const std::size_t same = FirstDifference(out.file, out.reported);
    // A flipped bit reaches the file as it came: the link gives no way to see it.
    const bool flipped = fault && fault->mode == sim::CallFault::FlipBit;
    if (out.file.size() != out.reported.size() || (same != out.file.size() && !flipped)) {
      run.problems.push_back("the file does not hold exactly the chunks reported");
    }
    if (!run.succeeded && !flipped) {
      run.bytesLost = out.reported.size() - std::min(out.reported.size(), same);
    }
  } else if (!out.summary.files.empty()) {
    run.problems.push_back("a file reported written is not there");
  }

  r.rig.camera->Replug();
  r.Fresh();
  r.rig.clock.Advance(1000);
  r.rig.link.Close();
  r.rig.link.Open(0);
  const CopyResult next = RunCopy(r, type, r.dir.File("next.bfk"));
  run.nextSucceeded = next.summary.Complete() && next.messages == 0 && next.file == reference;
  return {run, out.summary.outcome};
}

MatrixRun RunCopyFlow(CameraType type, const std::optional<MatrixFault>& fault) {
  return RunCopyFlowWith(type, fault, 0).run;
}

// A fault while the flow cleans up after a failure: a copy that fails empties the receive
// queue as its last device call, so the same fault again with that last call failing too
// puts a second fault on the drain. Runs that did not fail are not counted.
MatrixRun RunCopyFlowFailingItsDrain(CameraType type, const std::optional<MatrixFault>& fault) {
  if (!fault) return RunCopyFlow(type, fault);
  const CopyFlowRun first = RunCopyFlowWith(type, fault, 0);
  if (!first.run.hit || first.outcome != CopyOutcome::Failed) {
    MatrixRun skipped = first.run;
    skipped.hit = false;
    return skipped;
  }
  CopyFlowRun second = RunCopyFlowWith(type, fault, first.run.calls);
  if (second.outcome != CopyOutcome::Failed) {
    second.run.problems.push_back("a failing drain changed how the copy ended");
  }
  return second.run;
}

// Open defects of the readouts that the sweep still tolerates, each named by the problem text
// of its line; none are left: a reply cut short, extra bytes after one and a camera that falls
// silent mid-copy all end as a failure with a file that holds exactly the chunks reported.
bool KnownCopyDefect(const std::string& line) {
  static const std::vector<std::string> known = {};
  std::string rest = line.substr(line.find(':') + 1);
  for (const std::string& k : known) {
    for (auto at = rest.find(k); at != std::string::npos; at = rest.find(k)) {
      rest.erase(at, k.size());
    }
  }
  return !known.empty() && rest.empty();
}

// The copies write real files, so their sweep costs real time: it runs when asked for
// (scripts/faults.sh sets BF_FAULT_MATRIX=full).
bool FullMatrixWanted() {
  const char* wanted = std::getenv("BF_FAULT_MATRIX");
  return wanted != nullptr && std::string(wanted) == "full";
}

void ExpectAllSurvived(const MatrixFigures& figures) {
  EXPECT_GT(figures.injected, 0u);
  uint64_t known = 0;
  for (const std::string& line : figures.failures) {
    if (KnownCopyDefect(line)) {
      ++known;
      std::printf("known defect: %s\n", line.c_str());
    } else {
      ADD_FAILURE() << line;
    }
  }
  EXPECT_EQ(figures.survived + known, figures.injected);
}

TEST(CopyFaultMatrix, SectorReadout) {
  if (!FullMatrixWanted()) GTEST_SKIP() << "BF_FAULT_MATRIX=full runs it";
  ExpectAllSurvived(RunMatrix(
      "copy-sectors", [](const auto& f) { return RunCopyFlow(CAMERA_SECTORS, f); }, {AllModes()}));
}

TEST(CopyFaultMatrix, PackedReadout) {
  if (!FullMatrixWanted()) GTEST_SKIP() << "BF_FAULT_MATRIX=full runs it";
  ExpectAllSurvived(RunMatrix("copy-packed",
                              [](const auto& f) { return RunCopyFlow(CAMERA_PACKED_PAGES, f); },
                              {AllModes()}));
}

TEST(CopyFaultMatrix, NandReadout) {
  if (!FullMatrixWanted()) GTEST_SKIP() << "BF_FAULT_MATRIX=full runs it";
  ExpectAllSurvived(RunMatrix(
      "copy-nand", [](const auto& f) { return RunCopyFlow(CAMERA_NAND_PAGES, f); }, {AllModes()}));
}

TEST(CopyFaultMatrix, DrainAfterAFailureFailingToo) {
  if (!FullMatrixWanted()) GTEST_SKIP() << "BF_FAULT_MATRIX=full runs it";
  for (CameraType type : {CAMERA_SECTORS, CAMERA_PACKED_PAGES, CAMERA_NAND_PAGES}) {
    const std::string name = std::string(type == CAMERA_SECTORS        ? "copy-sectors"
                                         : type == CAMERA_PACKED_PAGES ? "copy-packed"
                                                                       : "copy-nand") +
                             "-drain";
    ExpectAllSurvived(RunMatrix(
        name, [type](const auto& f) { return RunCopyFlowFailingItsDrain(type, f); }, {AllModes()}));
  }
}

}  // namespace
}  // namespace bf::test
