#include "FaultMatrix.h"

#include <cstdio>
#include <set>

#include "link/CameraCommands.h"

namespace bf::test {

void ArmMatrixFault(sim::SimCamera& camera, uint64_t base, const MatrixFault& fault) {
  if (fault.afterStop) {
    camera.ArmFaultAfterCommand(CMD_STOP_STREAM, fault.n, fault.mode);
  } else {
    camera.ArmFault(base + fault.n, fault.mode);
  }
}

std::vector<sim::CallFault> AllModes() {
  using sim::CallFault;
  return {CallFault::Fail,    CallFault::Unplug,     CallFault::TimeoutHalf, CallFault::ShortRead,
          CallFault::Silence, CallFault::ExtraBytes, CallFault::FlipBit};
}

const char* ModeName(sim::CallFault mode) {
  switch (mode) {
    case sim::CallFault::Fail:
      return "fail";
    case sim::CallFault::Unplug:
      return "unplug";
    case sim::CallFault::TimeoutHalf:
      return "half";
    case sim::CallFault::ShortRead:
      return "short";
    case sim::CallFault::Silence:
      return "silence";
    case sim::CallFault::ExtraBytes:
      return "extra";
    case sim::CallFault::FlipBit:
      return "flip";
    case sim::CallFault::None:
      break;
  }
  return "none";
}

std::string MatrixFigures::Line() const {
  char text[512];
  std::snprintf(
      text, sizeof text,
      "faultmatrix: %-22s calls=%llu sampled=%llu injected=%llu survived=%llu "
      "wrong_successes=%llu bytes_lost=%llu undetectable_flips=%llu",
      flow.c_str(), static_cast<unsigned long long>(cleanCalls),
      static_cast<unsigned long long>(sampledCalls), static_cast<unsigned long long>(injected),
      static_cast<unsigned long long>(survived), static_cast<unsigned long long>(wrongSuccesses),
      static_cast<unsigned long long>(bytesLost),
      static_cast<unsigned long long>(undetectableFlips));
  return text;
}

std::vector<uint64_t> SweepCalls(uint64_t cleanCalls, const MatrixPlan& plan) {
  std::vector<uint64_t> calls;
  if (cleanCalls <= plan.limit || cleanCalls <= 2 * plan.edge) {
    for (uint64_t n = 1; n <= cleanCalls; ++n) calls.push_back(n);
    return calls;
  }
  const uint64_t middle = cleanCalls - 2 * plan.edge;
  const uint64_t room = plan.limit > 2 * plan.edge ? plan.limit - 2 * plan.edge : 1;
  const uint64_t stride = (middle + room - 1) / room;
  for (uint64_t n = 1; n <= plan.edge; ++n) calls.push_back(n);
  for (uint64_t n = plan.edge + 1; n <= cleanCalls - plan.edge; n += stride) calls.push_back(n);
  for (uint64_t n = cleanCalls - plan.edge + 1; n <= cleanCalls; ++n) calls.push_back(n);
  return calls;
}

MatrixFigures RunMatrix(const std::string& name, const MatrixFlow& flow, const MatrixPlan& plan) {
  MatrixFigures figures;
  figures.flow = name;
  const MatrixRun clean = flow(std::nullopt);
  figures.cleanCalls = clean.calls;
  if (!clean.succeeded || !clean.exact || !clean.problems.empty() || !clean.nextSucceeded) {
    figures.failures.push_back(name + ": the clean run itself fails");
  }
  const std::vector<uint64_t> calls = SweepCalls(clean.calls, plan);
  figures.sampledCalls = calls.size();
  for (sim::CallFault mode : plan.modes) {
    std::set<uint64_t> hitCalls;
    for (uint64_t n : calls) {
      const MatrixRun run = flow(MatrixFault{mode, n, plan.afterStop});
      if (!run.hit || !hitCalls.insert(run.hitCall).second) continue;
      ++figures.injected;
      const bool flipped = run.succeeded && !run.exact && mode == sim::CallFault::FlipBit;
      figures.undetectableFlips += flipped ? 1 : 0;
      const bool wrongSuccess = run.succeeded && !run.exact && !flipped;
      figures.wrongSuccesses += wrongSuccess ? 1 : 0;
      figures.bytesLost += run.bytesLost;
      std::vector<std::string> problems = run.problems;
      if (wrongSuccess) problems.push_back("reported success with output that differs");
      if (run.bytesLost != 0) {
        problems.push_back(std::to_string(run.bytesLost) + " bytes received but not in the file");
      }
      if (!run.nextSucceeded) problems.push_back("the next operation after a replug failed");
      if (problems.empty()) {
        ++figures.survived;
        continue;
      }
      std::string line = name + " " + ModeName(mode) + (plan.afterStop ? " after stop" : "") +
                         " at call " + std::to_string(run.hitCall) + ":";
      for (const std::string& p : problems) line += " " + p + ";";
      figures.failures.push_back(line);
    }
  }
  std::printf("%s\n", figures.Line().c_str());
  std::fflush(stdout);
  return figures;
}

}  // namespace bf::test
