#pragma once
// The flows the camera_replies fuzz target drives against a scripted camera, and the checks it
// makes of how they end. Shared with the tool that records the seed corpus from the simulated
// camera (tests/fuzz/tools/record_camera_replies.cpp), so that a recorded seed is a clean run of
// exactly what the target replays.
//
// Input of the target: four setup bytes, then the camera's script (sim/ScriptedBackend.h).
//   byte 0  the flow: 0 status handshake, 1 live view, 2 flash copy (the camera type is the
//           first reply of the script); taken modulo 3.
//   byte 1  bit 0: once the script runs out the device fails at once (else it is silent first);
//           live view: bit 1 motion detector on (no frame timeout);
//           copy: bit 1 the person declines the save dialog, bit 2 declines the range (type 2),
//           bits 4..7 Cancel is pressed at that pump of the copy (0: never).
//   byte 2  live view: the operator clicks Stop after this many pictures (0: only byte 3 counts);
//           copy: the first 4 MiB sector chosen (type 2), also the one the range dialog looks at.
//   byte 3  live view: the operator clicks Stop at this pump at the latest (0: the 200th);
//           copy: the last 4 MiB sector chosen (type 2).
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "flash/CopySession.h"
#include "flash/RangeChooser.h"
#include "host/PostedCalls.h"
#include "link/CameraCommands.h"
#include "link/FTD2xx.h"
#include "link/StatusHandshake.h"
#include "live/LiveCapture.h"
#include "support/ButtonLiveHost.h"
#include "support/ScriptedPrompts.h"

namespace bf::fuzz {

enum class Flow : uint8_t { Handshake = 0, Live = 1, Copy = 2 };
inline constexpr int kFlowCount = 3;
inline constexpr std::size_t kSetupBytes = 4;

struct FlowSetup {
  Flow flow = Flow::Handshake;
  uint8_t mode = 0;
  uint8_t p1 = 0;
  uint8_t p2 = 0;

  static FlowSetup Parse(const uint8_t* data, std::size_t size) {
    uint8_t b[kSetupBytes] = {};
    for (std::size_t i = 0; i < kSetupBytes && i < size; ++i) b[i] = data[i];
    return {static_cast<Flow>(b[0] % kFlowCount), b[1], b[2], b[3]};
  }
  std::vector<uint8_t> Bytes() const { return {static_cast<uint8_t>(flow), mode, p1, p2}; }

  bool FailsAtScriptEnd() const { return (mode & 0x01) != 0; }
  bool DetectorOn() const { return (mode & 0x02) != 0; }
  bool DeclinesFile() const { return (mode & 0x02) != 0; }
  bool DeclinesRange() const { return (mode & 0x04) != 0; }
  int CancelAtPump() const { return mode >> 4; }
  int StopAfterPictures() const { return p1; }
  int StopAtPump() const { return p2 == 0 ? 200 : p2; }
};

// What a flow did, and the first check it broke (empty: none).
struct FlowResult {
  std::string broken;
  int messages = 0;
  int pumps = 0;
  std::optional<CopySummary> copy;
  uint64_t copiedHash = 0;  // FNV-1a over the copied files' bytes, in order
};

namespace detail {

inline void Expect(FlowResult& result, bool ok, const std::string& what) {
  if (!ok && result.broken.empty()) result.broken = what;
}

inline int CountByte(const std::vector<uint8_t>& bytes, uint8_t value) {
  int n = 0;
  for (uint8_t b : bytes) n += b == value ? 1 : 0;
  return n;
}

// The main window reduced to what the live view touches.
class LiveWindow final : public ButtonLiveHost {
 public:
  bool lockedEnabled = true;
  int pictures = 0;
  std::string broken;

  void EnableLiveLockedControls(bool on) override { lockedEnabled = on; }
  bool ShowFrame(const FrameHeader& header, std::span<const uint8_t> payload) override {
    if (!IsFrameHeader(header)) broken = "a picture without a frame header was shown";
    if (payload.size() != PayloadLength(header))
      broken = "a picture was shown with a payload of another length than its header's";
    ++pictures;
    return true;
  }
};

// The copy dialog: the copy runs on this thread, which stands for the GUI thread too.
class CopyWindow final : public CopyDialogHost {
 public:
  void StartTicks(CopyClock) override { ticking = true; }
  void StopTicks() override { ticking = false; }
  void ShowProgress(const CopyDisplay&) override {}
  void CloseDialog(int) override { ++closes; }

  bool ticking = false;
  int closes = 0;

 private:
  PostedCalls posted_;
};

// The type 2 range dialog: looks at the first sector chosen, then confirms the range (or not).
class RangeDialog final : public RangeChooser {
 public:
  RangeDialog(uint8_t first, uint8_t last, bool declines)
      : first_(first), last_(last), declines_(declines) {}
  std::optional<SectorRange> ChooseRange(uint8_t, bool, const SectorHeaderLookup& lookup) override {
    lookup(first_);
    if (declines_) return std::nullopt;
    return SectorRange{first_, last_};
  }

 private:
  uint8_t first_;
  uint8_t last_;
  bool declines_;
};

// A folder of its own for one copy, removed with everything in it.
struct CopyFolder {
  CopyFolder() {
    // A token per process, so that runs side by side never share a folder.
    static const unsigned token = std::random_device{}();
    static std::atomic<int> serial{0};
    path = std::filesystem::temp_directory_path() /
           ("bf_replies_" + std::to_string(token) + "_" + std::to_string(serial++));
    std::filesystem::create_directories(path);
  }
  ~CopyFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::filesystem::path path;
};

inline FlowResult RunHandshake(FTD2xx& link, TickSource& ticks,
                               const std::function<std::vector<uint8_t>()>& written) {
  FlowResult result;
  ScriptedPrompts prompts;
  int applied = 0;
  const auto status =
      RunStatusHandshake(link, prompts, ticks, [&](const CameraStatus&) { ++applied; });
  result.messages = static_cast<int>(prompts.shown.size());
  Expect(result, !status || status->IsValid(), "the handshake accepted an invalid status");
  // A failure after the record was applied (sending the LED command, say) still fails.
  Expect(result, applied <= 1 && (!status || applied == 1),
         "a valid status must be applied exactly once");
  Expect(result, result.messages == (status ? 0 : 1),
         "a handshake must end with one message exactly when it fails");
  if (written) {
    const std::vector<uint8_t> bytes = written();
    Expect(result, CountByte(bytes, CMD_GET_STATUS) <= 1 + kStatusRetries,
           "more status queries than the retries allow");
    Expect(result, CountByte(bytes, CMD_STOP_STREAM) <= kStatusRetries,
           "more stop commands than the retries allow");
  }
  return result;
}

inline FlowResult RunLive(const FlowSetup& setup, FTD2xx& link, TickSource& ticks) {
  FlowResult result;
  LiveWindow window;
  ScriptedPrompts prompts;
  LiveCapture capture(link, window, prompts, prompts, ticks);
  window.state.frameTimeout =
      setup.DetectorOn() ? kFrameTimeoutUnlimited : kFrameTimeoutDetectorOff;
  bool stopped = false;
  prompts.onPump = [&] {
    if (stopped) return;
    const bool enoughPictures =
        setup.StopAfterPictures() > 0 && window.pictures >= setup.StopAfterPictures();
    if (!enoughPictures && prompts.pumps < setup.StopAtPump()) return;
    // The operator clicks Stop while the loop runs: the button pops out, its handler runs
    // nested in the loop's pump.
    stopped = true;
    window.pushed = false;
    capture.OnStartStopClicked();
  };
  window.pushed = true;
  capture.OnStartStopClicked();
  result.messages = static_cast<int>(prompts.shown.size());
  result.pumps = prompts.pumps;
  Expect(result, window.broken.empty(), window.broken);
  Expect(result, !capture.LoopRunning(), "the live loop is still on the stack");
  Expect(result, window.state.streamingFlag == 0, "the live view ended still streaming");
  Expect(result, window.buttonState == LiveViewState::Off, "Start/Stop does not show \"Старт\"");
  Expect(result, !window.pushed, "Start/Stop stayed pushed in");
  Expect(result, window.lockedEnabled, "the controls locked by the live view stay disabled");
  return result;
}

inline void HashFile(const std::string& path, uint64_t& hash) {
  std::ifstream in(path, std::ios::binary);
  char buffer[1 << 14];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    for (std::streamsize i = 0; i < in.gcount(); ++i) {
      hash = (hash ^ static_cast<uint8_t>(buffer[i])) * 0x100000001b3ull;
    }
  }
}

inline uint64_t SizeOf(const std::string& path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  return ec ? 0 : size;
}

inline FlowResult RunCopy(const FlowSetup& setup, FTD2xx& link) {
  FlowResult result;
  CopyFolder folder;
  const std::string chosen = (folder.path / "copy.bfk").string();
  {
    CopyWindow window;
    ScriptedPrompts prompts;
    RangeDialog range(setup.p1, setup.p2, setup.DeclinesRange());
    if (setup.DeclinesFile()) {
      prompts.saveFiles.push_back(std::nullopt);
    } else {
      prompts.saveFiles.push_back(chosen);
    }
    CopyServices services{link, prompts, window, range, nullptr, {}};
    services.requests = &prompts;
    CopySession session(services);
    prompts.onPump = [&] {
      if (setup.CancelAtPump() != 0 && prompts.pumps == setup.CancelAtPump()) session.Cancel();
    };
    session.Run();
    if (window.closes == 0) {
      result.broken = "the copy never asked to close";
      return result;
    }
    const CopySummary summary = session.Summary();
    result.copy = summary;
    result.messages = static_cast<int>(prompts.shown.size());
    result.pumps = prompts.pumps;
    Expect(result, window.closes == 1, "the copy dialog was asked to close more than once");
    Expect(result, !window.ticking, "the progress ticks were left running");
    Expect(result, session.Finished(), "the copy closed its dialog but does not know it");
    uint64_t inFiles = 0;
    result.copiedHash = 0xcbf29ce484222325ull;
    for (const std::string& file : summary.files) {
      Expect(result, std::filesystem::exists(file), "a copied file is not in place: " + file);
      inFiles += SizeOf(file);
      HashFile(file, result.copiedHash);
    }
    if (summary.Complete()) {
      Expect(result, inFiles == summary.bytesReceived && inFiles == summary.doneBytes,
             "a complete copy holds other bytes than it reports");
    }
    const bool ended =
        summary.outcome == CopyOutcome::Completed || summary.outcome == CopyOutcome::Cancelled;
    if (ended && summary.shortChunks == 0) {
      Expect(result, inFiles == summary.bytesReceived,
             "the files hold other bytes than the camera sent");
    }
  }
  // The session is gone: only the files it reported may be left, no temporaries beside them.
  std::set<std::string> reported;
  if (result.copy) {
    reported.insert(result.copy->files.begin(), result.copy->files.end());
    if (!result.copy->recordFile.empty()) reported.insert(result.copy->recordFile);
  }
  for (const auto& entry : std::filesystem::directory_iterator(folder.path)) {
    Expect(result, reported.count(entry.path().string()) == 1,
           "a file the copy did not report was left behind: " + entry.path().filename().string());
  }
  return result;
}

}  // namespace detail

// Opens the link and runs the flow over it. `written` (may be empty) gives the bytes the host
// wrote.
inline FlowResult RunFlow(const FlowSetup& setup, FTD2xx& link, TickSource& ticks,
                          const std::function<std::vector<uint8_t>()>& written = {}) {
  if (setup.flow != Flow::Handshake) {
    // The window opened the device at start-up; the handshake opens it itself.
    try {
      link.Open(0);
    } catch (const FTDException&) {
      return {};
    }
  }
  switch (setup.flow) {
    case Flow::Handshake:
      return detail::RunHandshake(link, ticks, written);
    case Flow::Live:
      return detail::RunLive(setup, link, ticks);
    case Flow::Copy:
      return detail::RunCopy(setup, link);
  }
  return {};
}

}  // namespace bf::fuzz
