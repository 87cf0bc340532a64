#include "flash/CopySession.h"

#include "clock/CameraClock.h"
#include "flash/CopyState.h"
#include "flash/FlashReply.h"
#include "flash/NandReadout.h"
#include "flash/PackedReadout.h"
#include "flash/SectorReadout.h"
#include "link/FTDException.h"

namespace bf {

namespace {

// For the copy record, before the flow's first command: the camera's clock and the PC's, read
// together. A camera that does not answer it still gets its copy; the record says so.
void ReadClockForRecord(CopyState& state) {
  state.pcClockAtStart = WallClockSeconds();
  try {
    uint32_t bytesRead = 0;
    const uint32_t value = ReadCameraClock(state.Link(), &bytesRead);
    if (bytesRead == 4) {
      state.cameraClock = value;
      return;
    }
  } catch (const FTDException&) {
  }
  // Part of a reply may still be on its way; it must not be taken for the camera type.
  state.DropPendingReply();
}

// Step A: the camera type, then that type's flow.
void StartReadout(CopyState& state) {
  state.running = 1;
  state.outcome = CopyOutcome::Running;
  state.startTime = WallClockSeconds();
  if (state.readCameraClock) ReadClockForRecord(state);
  uint8_t type = 0xFF;
  try {
    state.Link().WriteByte(CMD_GET_CAMERA_TYPE);
    ReadReply(state.Link(), std::span(&type, 1));
  } catch (...) {
    // A camera gone before the first question, or an answer of the wrong length: its text,
    // then the dialog closes.
    state.ReportCurrentFailure();
    state.Close(kCopyResultOk, CopyOutcome::Failed);
    return;
  }
  state.cameraType = type;
  state.kind = FindCameraKind(type);
  if (state.kind == nullptr) {
    state.prompts.ShowMessage(kWrongTypeText, "", MessageIcon::None);
    state.Close(kCopyResultOk, CopyOutcome::WrongType);
    return;
  }
  switch (state.kind->type) {
    case CAMERA_SECTORS:
      SaveSectorFlash(state);
      break;
    case CAMERA_PACKED_PAGES:
      SavePackedFlash(state);
      break;
    case CAMERA_NAND_PAGES:
      SaveNandFlash(state);
      break;
  }
}

}  // namespace

CopySession::CopySession(const CopyServices& services)
    : state_(std::make_unique<CopyState>(services)) {}

CopySession::~CopySession() {
  CopyState& s = *state_;
  s.running = 0;
  s.StopTicks();
  std::string keptAs;
  if (s.output) s.output->CommitUnfinished(keptAs);  // nobody is left to tell about a failure
}

void CopySession::Run() {
  if (state_->started) return;
  state_->started = true;
  // Cancelled while it waited for the link: nothing goes to the camera.
  if (state_->cancelled.load() != 0) {
    state_->Close(kCopyResultCancel, CopyOutcome::Cancelled);
    return;
  }
  StartReadout(*state_);
}

void CopySession::OnTick(CopyClock clock) {
  CopyState& s = *state_;
  // Only the tick adds to the tick-counted clock; the transfer clock is the copying thread's.
  uint32_t elapsed = s.elapsedMs.load();
  const bool changed =
      UpdateProgress(clock, elapsed, s.doneBytes.load(), s.totalBytes.load(), s.display);
  if (clock == CopyClock::TickSeconds) s.elapsedMs.store(elapsed);
  if (changed) s.host.ShowProgress(s.display);
}

void CopySession::Cancel() {
  state_->cancelled = 1;
  state_->running = 0;
}

void CopySession::StopAtOnce() {
  state_->cancelled.store(1);
  state_->stopAtOnce.store(1);
  state_->running.store(0);
}

const CopyDisplay& CopySession::Display() const {
  return state_->display;
}

bool CopySession::Started() const {
  return state_->started;
}

bool CopySession::Finished() const {
  return state_->finished;
}

CopySummary CopySession::Summary() const {
  const CopyState& s = *state_;
  CopySummary summary;
  summary.outcome = s.outcome;
  summary.cameraType = s.cameraType;
  summary.totalBytes = s.totalBytes.load();
  summary.doneBytes = s.doneBytes.load();
  summary.bytesAsked = s.bytesAsked.load();
  summary.bytesReceived = s.bytesReceived.load();
  summary.chunks = s.chunks.load();
  summary.shortChunks = s.shortChunks.load();
  summary.files = s.files;
  summary.keptFiles = s.keptFiles;
  summary.failure = s.failure;
  summary.result = s.result;
  summary.recordFile = s.recordFile;
  summary.recordFailure = s.recordFailure;
  summary.rereadChunks = s.rereadChunks;
  summary.unverifiedChunks = s.unverifiedChunks;
  summary.resumedBytes = s.resumedBytes;
  if (s.resumedBytes > 0) summary.resumedFrom = s.plan->files.front().path;
  for (const auto& c : s.compared) summary.compared.push_back(*c);
  if (s.plan && s.plan->mode == CopyPlanMode::Verify) {
    // Read to the end of the range, or of an unfinished copy's last file; every file of the
    // record compared to its end and nothing found different.
    summary.comparedWhole = s.outcome == CopyOutcome::Completed ||
                            (s.outcome == CopyOutcome::Cancelled && s.comparedToFileEnd);
    bool matches = summary.comparedWhole && s.compared.size() >= s.plan->files.size();
    for (const auto& c : s.compared) {
      matches = matches && c->exists && c->differingBytes == 0 && c->compared == c->fileSize;
    }
    summary.copyMatches = matches;
  }
  summary.verified = s.verify && s.outcome == CopyOutcome::Completed && s.unverifiedChunks.empty();
  return summary;
}

bool CopySession::Running() const {
  return state_->running.load() != 0;
}

uint32_t CopySession::DoneBytes() const {
  return state_->doneBytes.load();
}

uint32_t CopySession::TotalBytes() const {
  return state_->totalBytes.load();
}

uint32_t CopySession::ElapsedMs() const {
  return state_->elapsedMs.load();
}

}  // namespace bf
