#pragma once
// The fault matrix: a flow run once clean to count its device calls, then once for every call
// and every fault mode on a fresh simulated camera, each run judged by the same oracles.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sim/SimCamera.h"

namespace bf::test {

// A fault for one run: mode on call n of the flow (1 = its first device call), or on the n-th
// call after the flow's first stop command.
struct MatrixFault {
  sim::CallFault mode = sim::CallFault::None;
  uint64_t n = 0;
  bool afterStop = false;
};

// Arms the fault on camera, counting from the call count `base` the flow started at.
void ArmMatrixFault(sim::SimCamera& camera, uint64_t base, const MatrixFault& fault);

// What one run of a flow came to.
struct MatrixRun {
  uint64_t calls = 0;      // device calls of the flow's run
  bool hit = false;        // the fault took effect (a clean run: false)
  uint64_t hitCall = 0;    // the flow's call it took effect on (1 = its first call)
  bool succeeded = false;  // the flow reported success
  bool exact = false;      // its output equals what the camera holds (or was sent) exactly
  uint64_t bytesLost = 0;  // bytes reported as received that the file does not hold
  std::vector<std::string> problems;  // broken oracles other than a wrong success
  bool nextSucceeded = false;         // the same operation after a replug
};

// The figures of one flow's sweep.
struct MatrixFigures {
  std::string flow;
  uint64_t cleanCalls = 0;
  uint64_t sampledCalls = 0;
  uint64_t injected = 0;
  uint64_t survived = 0;
  uint64_t wrongSuccesses = 0;
  uint64_t bytesLost = 0;
  // Successes whose output carries a flipped bit: the link has no checksum, so no flow can
  // tell; counted apart from the wrong successes a flow could have avoided.
  uint64_t undetectableFlips = 0;
  std::vector<std::string> failures;  // one line per run that did not survive

  // "faultmatrix: <flow> calls=... injected=... survived=... wrong_successes=... bytes_lost=..."
  std::string Line() const;
};

using MatrixFlow = std::function<MatrixRun(const std::optional<MatrixFault>& fault)>;

struct MatrixPlan {
  std::vector<sim::CallFault> modes;
  bool afterStop = false;  // count the calls from the flow's first stop command
  // A flow with more calls than this is sampled: every call of the first and last `edge`
  // calls, and a stride through the middle that keeps about `limit` calls in all.
  uint64_t limit = 400;
  uint64_t edge = 100;
};

// Every mode of the plan, the seven modes by default.
std::vector<sim::CallFault> AllModes();
const char* ModeName(sim::CallFault mode);

// The calls a sweep over cleanCalls visits under the plan's sampling, in order.
std::vector<uint64_t> SweepCalls(uint64_t cleanCalls, const MatrixPlan& plan);

// Runs flow clean, then for every mode and every call of the sweep; a read fault that finds no
// read from its call on, or lands on a call an earlier run of the same mode already hit, is not
// counted. Prints the figures line to stdout and returns it.
MatrixFigures RunMatrix(const std::string& name, const MatrixFlow& flow, const MatrixPlan& plan);

}  // namespace bf::test
