#pragma once
// What went over the wire in one scripted session, as the link trace writes it (one JSON object
// per device call), with the time field taken out: ops, bytes, counts and order remain. Each
// session's trace is compared with the one kept under tests/data/golden/NAME.jsonl; with
// BF_GOLDEN_WRITE=1 in the environment the kept trace is written instead (for a new session).
#include <memory>
#include <string>
#include <vector>

#include "host/TickSource.h"
#include "host/UserPrompts.h"
#include "link/FTD2xx.h"
#include "link/TraceBackend.h"
#include "sim/SimCamera.h"
#include "sim/SimOptions.h"
#include "sim/VirtualClock.h"
#include "support/ScriptedPrompts.h"
#include "support/TempFolder.h"

namespace bf::test {

// The simulated camera on a virtual clock behind the trace backend and the real link. The link
// is not opened: the start-up handshake opens it, other sessions call OpenLink().
class GoldenRig {
 public:
  explicit GoldenRig(const sim::SimOptions& options);
  ~GoldenRig();
  GoldenRig(const GoldenRig&) = delete;
  GoldenRig& operator=(const GoldenRig&) = delete;

  void OpenLink() { link->Open(0); }
  // The trace so far, one line per device call, without the times.
  std::vector<std::string> TraceLines();
  // A folder of this rig's own for output files, removed with the rig.
  std::string Folder() const { return folder_.Path().string(); }

  VirtualClock clock;
  sim::SimCamera* camera = nullptr;  // owned by the trace backend
  std::shared_ptr<FTDClass> link;
  ScriptedPrompts prompts;

 private:
  TraceBackend* trace_ = nullptr;  // owned by the link
  std::string tracePath_;
  TempFolder folder_{"bf-golden"};
};

// Drops the "t" field of a trace line.
std::string WithoutTime(const std::string& line);

// Compares lines with the kept trace `name` (or writes it, see above); a difference is reported
// as a test failure naming the first line that differs.
void ExpectGoldenTrace(const std::string& name, const std::vector<std::string>& lines);

}  // namespace bf::test
