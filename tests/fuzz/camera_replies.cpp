// Plays arbitrary camera replies to the status handshake, the live view and the flash copies:
// the input is four setup bytes and a script of what every D2XX call answers
// (tests/fuzz/CameraRepliesFlows.h, sim/ScriptedBackend.h). Beyond the sanitizers, every flow
// must end soon after the device has died, within virtual time the calls explain, leave the
// window idle, and a copy must hold exactly the bytes it reports.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "fuzz/CameraRepliesFlows.h"
#include "host/TickSource.h"
#include "link/FTD2xx.h"
#include "sim/ScriptedBackend.h"
#include "sim/VirtualClock.h"

namespace {

// Once the device is dead a flow may report, purge and close, but must not go on asking.
constexpr uint64_t kMostCallsToADeadDevice = 8;
// Every wait comes from a read that waited out its 200 ms timeout, apart from the handshake's
// pauses and a little slack for the time limits of the drains.
constexpr uint64_t kMsPerCall = 200;
constexpr uint64_t kSlackMs = 10'000;

[[noreturn]] void Broken(const std::string& what) {
  std::fprintf(stderr, "camera_replies: %s\n", what.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const bf::fuzz::FlowSetup setup = bf::fuzz::FlowSetup::Parse(data, size);
  std::vector<uint8_t> script;
  if (size > bf::fuzz::kSetupBytes) script.assign(data + bf::fuzz::kSetupBytes, data + size);

  bf::VirtualClock clock;
  const uint64_t begun = clock.NowMs();
  const auto whenExhausted = setup.FailsAtScriptEnd()
                                 ? bf::sim::ScriptedBackend::WhenExhausted::Failing
                                 : bf::sim::ScriptedBackend::WhenExhausted::SilentThenFailing;
  auto backend =
      std::make_shared<bf::sim::ScriptedBackend>(std::move(script), clock, whenExhausted);
  bf::fuzz::FlowResult result;
  {
    bf::FTDClass link(backend, clock);
    result = bf::fuzz::RunFlow(setup, link, clock, [&] { return backend->Written(); });
  }
  if (!result.broken.empty()) Broken(result.broken);
  if (backend->DeadCalls() > kMostCallsToADeadDevice) {
    Broken("the flow went on calling a dead device (" + std::to_string(backend->DeadCalls()) +
           " calls)");
  }
  const uint64_t elapsed = clock.NowMs() - begun;
  if (elapsed > backend->CallCount() * kMsPerCall + kSlackMs) {
    Broken("the flow waited " + std::to_string(elapsed) + " ms over " +
           std::to_string(backend->CallCount()) + " calls");
  }
  if (static_cast<uint64_t>(result.pumps) > backend->CallCount() + 1) {
    Broken("the flow pumped events without talking to the camera");
  }
  return 0;
}
