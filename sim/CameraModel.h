#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "sim/CommandParser.h"
#include "sim/FrameMaker.h"
#include "sim/RxQueue.h"
#include "sim/SimFlash.h"
#include "sim/SimOptions.h"

namespace bf::sim {

// The camera behind the bridge: its settings, clock, live stream, flash recording and erase,
// driven by command bytes and by time. It is lazy: whatever time has brought (frames, the end
// of an erase) is produced when Advance is called with the current time.
// Threads: one at a time (the backend serialises every call).
class CameraModel {
 public:
  CameraModel(const SimOptions& options, uint64_t nowMs);

  // Command bytes from the host, in whatever split they were written.
  void Receive(const uint8_t* data, std::size_t n, uint64_t nowMs);
  // Produces everything due up to nowMs.
  void Advance(uint64_t nowMs);
  // The next moment Advance would produce something (UINT64_MAX: nothing scheduled).
  uint64_t NextEventMs() const;

  RxQueue& Output() { return output_; }

  // Fault hooks.
  void SetMute(bool mute) { mute_ = mute; }
  bool Muted() const { return mute_; }
  void SetDropReplyBytes(uint32_t k) { dropReplyBytes_ = k; }
  void SetGarbageBeforeFrame(uint32_t frame, uint32_t bytes);
  // Queues bytes that are neither a frame header nor a reply.
  void InjectGarbage(std::size_t n);
  // How many times the camera has executed the command with this code.
  uint64_t CommandCount(uint8_t code) const { return commandCounts_[code]; }
  // Keeps a copy of every frame record streamed to the host from now on, so a test can tell a
  // picture the host showed from one the camera never sent.
  void KeepStreamedRecords(bool keep) { keepStreamed_ = keep; }
  const std::vector<std::vector<uint8_t>>& StreamedRecords() const { return streamed_; }

  // State, for tests and the demo.
  const FrameSettings& Settings() const { return settings_; }
  bool Streaming() const { return streaming_; }
  bool Autonomous() const { return autonomous_; }
  bool LedsOn() const { return ledsOn_; }
  bool ExternalRecording() const { return externalRecording_; }
  uint8_t Sensitivity() const { return sensitivity_; }
  uint32_t ClockValue(uint64_t nowMs) const;
  uint32_t FramesProduced() const { return frameNumber_; }
  const SimFlash& Flash() const { return *flash_; }
  SimFlash& Flash() { return *flash_; }

 private:
  void Execute(uint8_t code, const uint8_t* args, std::size_t n, uint64_t nowMs);
  void Reply(std::vector<uint8_t> bytes);
  void ReplyFlash(uint64_t address, uint64_t count);
  void StartStream(uint64_t nowMs);
  uint64_t FrameIntervalUs() const;
  void ProduceFrame(uint64_t atUs);
  std::vector<uint8_t> StatusRecord();

  SimOptions options_;
  FrameSettings settings_;
  std::unique_ptr<SimFlash> flash_;
  FrameMaker maker_;
  CommandParser parser_;
  RxQueue output_;
  std::mt19937_64 random_;

  uint32_t clockBase_;
  uint64_t clockSetMs_;
  uint32_t notReadyLeft_;
  uint8_t sensitivity_ = 0;
  bool ledsOn_ = true;
  bool externalRecording_ = false;
  bool autonomous_ = false;

  bool streaming_ = false;
  uint64_t streamStartUs_ = 0;
  uint64_t nextFrameUs_ = 0;
  uint32_t frameNumber_ = 0;
  uint32_t streamedFrames_ = 0;

  bool erasing_ = false;
  uint64_t eraseDoneMs_ = 0;

  bool mute_ = false;
  std::array<uint64_t, 256> commandCounts_{};
  bool keepStreamed_ = false;
  std::vector<std::vector<uint8_t>> streamed_;
  uint32_t dropReplyBytes_ = 0;
  uint32_t garbageBeforeFrame_ = 0;
  uint32_t garbageBytes_ = 0;
  uint32_t unstableReads_ = 0;  // replies that brought the unstable byte so far
  uint64_t replyReadyMs_ = 0;   // when the reply of the command being executed may be read
};

}  // namespace bf::sim
