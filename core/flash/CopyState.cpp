#include "flash/CopyState.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <new>

#include "flash/FlashFailure.h"
#include "flash/HashingCopyOutput.h"
#include "host/FileErrorText.h"
#include "host/Version.h"
#include "link/FTDException.h"

namespace bf {

int64_t WallClockSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

CopyFileError::CopyFileError(uint32_t code, const std::string& path)
    : std::runtime_error(FileErrorText(code, path)), code_(code), path_(path) {}

namespace {

// For hosts that give no request point: nothing comes in between chunks but Cancel, which is an
// atomic the copy reads anyway.
class NoRequests final : public RequestPoint {
 public:
  void TakeRequests() override {}
};

RequestPoint& RequestsOf(const CopyServices& services) {
  static NoRequests none;
  return services.requests != nullptr ? *services.requests : none;
}

}  // namespace

CopyState::CopyState(const CopyServices& services)
    : prompts(services.prompts),
      requests(RequestsOf(services)),
      host(services.host),
      rangeChooser(services.rangeChooser),
      progress(services.progress),
      makeOutput(services.makeOutput ? services.makeOutput
                                     : CopyOutputFactory(MakeReplacingCopyOutput)),
      ticks(services.link.Ticks()),
      link(&services.link),
      readCameraClock(services.readCameraClock),
      verify(services.verify),
      offerResume(services.offerResume) {
  if (services.plan != nullptr) {
    plan = *services.plan;
    if (plan->mode == CopyPlanMode::Resume) resumeSource = std::make_unique<ResumeSource>(*plan);
  }
}

CopyState::~CopyState() = default;

FTD2xx& CopyState::Link() {
  return *link;
}

void CopyState::ReadChunk(FTD2xx& chunkLink, std::span<uint8_t> chunk) {
  if (ReadFlashBytes(chunkLink, chunk, &stopAtOnce) < chunk.size()) {
    if (stopAtOnce.load() != 0) throw CopyStopped();
    shortChunks.fetch_add(1);
    throw FlashReplyError();
  }
}

void CopyState::ReadRequestedChunk(FTD2xx& chunkLink, std::span<uint8_t> chunk,
                                   const std::function<void()>& request) {
  if (resumeSource && !digests.empty()) {
    // The chunk goes to the file where the file's digest stands now.
    const auto fileIndex = static_cast<uint32_t>(digests.size() - 1);
    const uint64_t offset = digests.back()->HandedOver();
    if (resumeSource->Covers(fileIndex, offset, chunk.size())) {
      // Received whole before the break: taken from the unfinished copy, not asked again.
      resumeSource->Read(fileIndex, offset, chunk);
      resumedBytes += chunk.size();
      return;
    }
  }
  request();
  // The last chunk goes to the disk while this one travels: started only now, its writing
  // cannot hold the request back.
  if (heldFile_ != nullptr) heldFile_->StartWriting();
  heldFile_ = nullptr;
  ReadChunk(chunkLink, chunk);
  if (!verify) return;
  constexpr int kMoreReads = 3;
  std::vector<std::vector<uint8_t>> reads{{chunk.begin(), chunk.end()}};
  std::vector<uint8_t> again(chunk.size());
  for (int read = 0; read < 1 + kMoreReads; ++read) {
    request();
    ReadChunk(chunkLink, again);
    for (const std::vector<uint8_t>& earlier : reads) {
      if (earlier == again) {
        std::copy(again.begin(), again.end(), chunk.begin());
        return;
      }
    }
    if (read == 0) ++rereadChunks;
    reads.push_back(again);
  }
  std::copy(reads.front().begin(), reads.front().end(), chunk.begin());
  // Written next, where the file's digest stands now.
  const uint64_t offset = digests.empty() ? 0 : digests.back()->HandedOver();
  unverifiedChunks.push_back(
      {static_cast<uint32_t>(digests.empty() ? 0 : digests.size() - 1), offset, chunk.size()});
}

void CopyState::CountChunk(uint32_t start, uint32_t asked, uint32_t received, uint32_t fileIndex) {
  bytesAsked.fetch_add(asked);
  bytesReceived.fetch_add(received);
  chunks.fetch_add(1);
  if (received < asked) shortChunks.fetch_add(1);
  if (handedOver_) unsettled_ = CopyChunk{start, asked, received, fileIndex};
  handedOver_ = false;
  if (progress != nullptr) progress->OnChunk({start, asked, received, fileIndex});
  // Comparing an unfinished copy: once its last file has been read again to its end, the rest
  // of the range was never in it.
  if (plan && plan->mode == CopyPlanMode::Verify && !plan->recordComplete &&
      fileIndex + 1 >= plan->files.size() && fileIndex < compared.size() &&
      compared[fileIndex]->compared >= compared[fileIndex]->fileSize) {
    comparedToFileEnd = true;
    running.store(0);
  }
}

void CopyState::HandChunkToFile(CopyOutput& file, std::span<const uint8_t> bytes) {
  // The chunk before is written by now as a rule: its write ran while this one was read.
  FinishWrites(file);
  WriteChunk(file, bytes);
  handedOver_ = true;
  heldFile_ = &file;
}

uint32_t CopyState::SettleWrites(CopyOutput& file) {
  const uint32_t error = file.Drain();
  heldFile_ = nullptr;
  if (error != 0 && unsettled_) {
    // Counted when handed over, but never in the file.
    bytesAsked.fetch_sub(unsettled_->asked);
    bytesReceived.fetch_sub(unsettled_->received);
    chunks.fetch_sub(1);
    if (unsettled_->received < unsettled_->asked) shortChunks.fetch_sub(1);
  }
  unsettled_.reset();
  handedOver_ = false;
  return error;
}

void CopyState::FinishWrites(CopyOutput& file) {
  if (const uint32_t error = SettleWrites(file); error != 0)
    throw CopyFileError(error, file.Path());
}

void CopyState::StartTicks(CopyClock clock) {
  host.StartTicks(clock);
  ticking = clock;
}

void CopyState::StopTicks() {
  if (!ticking) return;
  host.StopTicks();
  ticking.reset();
}

std::optional<std::string> CopyState::ChooseCopyFile() {
  if (plan) {
    return plan->mode == CopyPlanMode::Resume ? plan->outputPath : plan->files.front().path;
  }
  std::optional<std::string> path = ChooseSaveFile(prompts);
  if (!path || !offerResume || !pointerRead) return path;
  std::optional<CopyPlan> found = FindResumableCopy(*path, nullptr);
  // Only the very flash range the unfinished copy read can be continued.
  if (!found || found->range != rangeAsked ||
      !CameraStateDifference(*found, cameraType, pointerRead->pointer, pointerRead->wrapFlag)
           .empty()) {
    return path;
  }
  if (prompts.ShowMessage(ResumeQuestion(*found), "", MessageIcon::Question,
                          MessageButtons::YesNo) == MessageAnswer::Yes) {
    plan = std::move(found);
    resumeSource = std::make_unique<ResumeSource>(*plan);
  }
  return path;
}

std::unique_ptr<CopyOutput> CopyState::OpenOutput(const std::string& path) {
  auto digest = std::make_shared<FileDigest>(/*beside=*/true);
  std::unique_ptr<CopyOutput> inner;
  if (plan && plan->mode == CopyPlanMode::Verify) {
    // The record's own files, in its order, whatever names the flow would give them.
    auto comparison = std::make_shared<ComparedFile>();
    comparison->fileIndex = static_cast<uint32_t>(compared.size());
    comparison->exists = compared.size() < plan->files.size();
    comparison->path = comparison->exists ? plan->files[compared.size()].path : path;
    compared.push_back(comparison);
    inner = MakeComparingCopyOutput(comparison);
  } else {
    inner = makeOutput();
  }
  // A comparison is looked at after every chunk, so it runs at once; a file is written behind.
  const bool writeBehind = !(plan && plan->mode == CopyPlanMode::Verify);
  std::unique_ptr<CopyOutput> file = MakeHashingCopyOutput(std::move(inner), digest, writeBehind);
  digests.push_back(digest);
  if (const uint32_t error = file->Open(path); error != 0) {
    prompts.ShowMessage(FileErrorText(error, path), "", kStandardReportIcon);
    failure = FileErrorText(error, path);
    return nullptr;
  }
  // An unfinished copy whose last file holds nothing: there is nothing to read for it.
  if (plan && plan->mode == CopyPlanMode::Verify && !plan->recordComplete &&
      compared.size() == plan->files.size() && compared.back()->fileSize == 0) {
    comparedToFileEnd = true;
    running.store(0);
  }
  return file;
}

bool CopyState::CommitOutput(std::unique_ptr<CopyOutput> file, bool finishedCopy) {
  if (!file) return true;
  // A chunk a failure left on its way to the file counts only once it is in; a write that failed
  // is returned again by the commit below.
  SettleWrites(*file);
  std::string keptAs;
  uint32_t error = 0;
  if (finishedCopy) {
    error = file->Commit();
    if (error == 0) keptAs = file->Path();
  } else {
    error = file->CommitUnfinished(keptAs);
  }
  if (error == 0) {
    if (!keptAs.empty()) files.push_back(keptAs);
    if (!finishedCopy && keptAs != file->Path()) keptFiles.push_back({file->Path(), keptAs});
    return true;
  }
  if (error != reportedFileError || file->Path() != reportedFilePath) {
    failure = FileErrorText(error, file->Path());
    prompts.ShowMessage(failure, "", kStandardReportIcon);
    reportedFileError = error;
    reportedFilePath = file->Path();
  }
  return false;
}

void CopyState::WriteRecord() {
  // A comparison leaves the record of the copy it checked as it is.
  if (plan && plan->mode == CopyPlanMode::Verify) return;
  CopyRecord record;
  std::string firstPath;
  for (const std::shared_ptr<FileDigest>& digest : digests) {
    // Standard output cannot carry a record beside it.
    if (digest->keptAs.empty() || digest->keptAs == "-") continue;
    if (firstPath.empty()) firstPath = digest->keptAs;
    RecordedFile file;
    file.name = std::filesystem::path(digest->keptAs).filename().string();
    file.size = digest->Size();
    file.sha256 = digest->FinishHex();
    file.chunks = digest->Chunks();
    ReadFrameFacts(digest->keptAs, file);
    record.files.push_back(std::move(file));
  }
  if (firstPath.empty()) return;
  record.programVersion = kVersionText;
  record.cameraType = cameraType;
  if (pointerRead) {
    record.flashPointer = pointerRead->pointer;
    record.wrapFlag = pointerRead->wrapFlag;
  }
  if (rangeAsked) {
    record.rangeStart = rangeAsked->first;
    record.rangeEnd = rangeAsked->second;
  }
  record.outcome = outcome == CopyOutcome::Completed   ? "complete"
                   : outcome == CopyOutcome::Cancelled ? "cancelled"
                                                       : "failed";
  if (outcome != CopyOutcome::Completed && outcome != CopyOutcome::Cancelled) {
    record.failure = failure;
  }
  record.bytesAsked = bytesAsked.load();
  record.bytesReceived = bytesReceived.load();
  record.startTime = startTime;
  record.endTime = WallClockSeconds();
  record.cameraClock = cameraClock;
  record.pcClock = pcClockAtStart;
  if (resumedBytes > 0) {
    record.resumedBytes = resumedBytes;
    record.resumedFrom = std::filesystem::path(plan->files.front().path).filename().string();
  }
  record.verify = verify;
  record.rereadChunks = rereadChunks;
  for (const UnverifiedChunk& c : unverifiedChunks) {
    record.unverifiedChunks.push_back({c.fileIndex, c.offset, c.length});
  }
  const std::string path = CopyRecordPath(firstPath);
  if (const uint32_t error = WriteCopyRecord(path, record); error != 0) {
    // The recording itself is in place; the record's loss is said, not taken for the copy's.
    recordFailure = FileErrorText(error, path);
    prompts.ShowMessage(recordFailure, "", kStandardReportIcon);
    return;
  }
  recordFile = path;
}

void CopyState::DropResumedCopy() {
  if (!plan || plan->mode != CopyPlanMode::Resume || resumedBytes == 0) return;
  // The unfinished copy's bytes are all in the complete file now; an unfinished copy left beside
  // it would only be offered for resuming again. A file the copy replaced is not touched.
  std::error_code ec;
  for (const PlannedFile& f : plan->files) {
    if (std::find(files.begin(), files.end(), f.path) == files.end()) {
      std::filesystem::remove(f.path, ec);
    }
  }
  if (plan->recordPath != recordFile) std::filesystem::remove(plan->recordPath, ec);
}

std::string CopyState::KeptFilesText() const {
  std::string text;
  for (const KeptFile& kept : keptFiles) {
    if (kept.partial.empty()) continue;  // nothing came: the file was simply not touched
    // Put together around the placeholders, so that a name holding "%2" stays as it is.
    const std::string pattern = kPartialKeptText;
    const std::size_t at1 = pattern.find("%1");
    const std::size_t at2 = pattern.find("%2");
    const std::string line = pattern.substr(0, at1) + kept.chosen +
                             pattern.substr(at1 + 2, at2 - at1 - 2) + kept.partial +
                             pattern.substr(at2 + 2);
    text += (text.empty() ? "" : "\n") + line;
  }
  return text;
}

void CopyState::Close(int closeResult, CopyOutcome closeOutcome) {
  StopTicks();
  // Given up at the person's word: what was received is kept as for Cancel.
  if (stoppedMidChunk && closeOutcome == CopyOutcome::Failed) closeOutcome = CopyOutcome::Cancelled;
  if (!CommitOutput(std::move(output), closeOutcome == CopyOutcome::Completed)) {
    closeOutcome = CopyOutcome::Failed;
  }
  outcome = closeOutcome;
  WriteRecord();
  if (outcome == CopyOutcome::Completed) DropResumedCopy();
  const std::string kept = KeptFilesText();
  if (failureToShow) {
    prompts.ShowMessage(kept.empty() ? *failureToShow : *failureToShow + "\n\n" + kept, "",
                        failureIcon);
    failureToShow.reset();
  } else if (!kept.empty()) {
    prompts.ShowMessage(kept, "", MessageIcon::None);
  }
  outcome = closeOutcome;
  result = closeResult;
  finished = true;
  running.store(0);
  host.CloseDialog(closeResult);
}

void CopyState::DropPendingReply() {
  // The rest of a reply cut off by the failure, or bytes beyond it, would otherwise be taken
  // for the answers of the next copy (its camera type, its pointer).
  try {
    link->Purge(kPurgeRx);
  } catch (const FTDException&) {
    // The device is gone; reopening it empties the buffers anyway.
  }
}

void CopyState::ReportCurrentFailure() {
  ReportFailure(std::current_exception());
}

void CopyState::ReportFailure(std::exception_ptr error) {
  outcome = CopyOutcome::Failed;
  try {
    std::rethrow_exception(error);
  } catch (const CopyStopped&) {
    // No failure: the person stopped the copy. The rest of the cut-off reply is dropped.
    stoppedMidChunk = true;
    DropPendingReply();
  } catch (const FTDException& e) {
    failure = e.GetText();
    failureToShow = failure;
    failureIcon = MessageIcon::Error;
    DropPendingReply();
  } catch (const FlashReplyError& e) {
    failure = e.what();
    failureToShow = failure;
    failureIcon = MessageIcon::Error;
    DropPendingReply();
  } catch (const FlashReadError& e) {
    failure = e.what();
    failureToShow = failure;
    failureIcon = MessageIcon::Error;
    DropPendingReply();
  } catch (const FlashAddressFailure& e) {
    failure = ReportAddressFailure(prompts, e);
  } catch (const CopyFileError& e) {
    failure = e.what();
    reportedFileError = e.Code();
    reportedFilePath = e.Path();
    failureToShow = failure;
    failureIcon = kStandardReportIcon;
  } catch (const std::bad_alloc&) {
    failure = kGeneralFailureText;
    failureToShow = failure;
    failureIcon = kStandardReportIcon;
  } catch (const std::exception& e) {
    failure = e.what();
    failureToShow = failure;
    failureIcon = kStandardReportIcon;
  }
}

void WriteChunk(CopyOutput& file, std::span<const uint8_t> bytes) {
  if (bytes.empty()) return;
  if (const uint32_t error = file.Write(bytes); error != 0) {
    throw CopyFileError(error, file.Path());
  }
}

std::optional<std::string> ChooseSaveFile(UserPrompts& prompts) {
  FileDialogRequest request;
  request.filter = kRecordingFilter;
  request.defaultExtension = "bfk";
  request.confirmOverwrite = true;
  request.hideReadOnly = true;
  return prompts.ChooseSaveFile(request);
}

FlashPointerReply ReadPointerAndWrap(FTD2xx& link, const CameraKind& kind) {
  FlashPointerReply reply;
  uint8_t pointer[5] = {};
  link.WriteByte(CMD_GET_FLASH_POINTER);
  ReadReply(link, std::span(pointer, kind.pointerReplyBytes));
  reply.pointer = DecodeFlashPointer(kind, pointer);
  link.WriteByte(CMD_GET_WRAP_FLAG);
  ReadReply(link, std::span(&reply.wrapFlag, 1));
  return reply;
}

std::optional<FlashPointerReply> QueryFlashPointer(CopyState& state) {
  const FlashPointerReply reply = ReadPointerAndWrap(state.Link(), *state.kind);
  state.pointerRead = reply;
  if (state.plan) {
    const std::string changed =
        CameraStateDifference(*state.plan, state.cameraType, reply.pointer, reply.wrapFlag);
    if (!changed.empty()) {
      state.failure = FillPlaceholder(
          state.plan->mode == CopyPlanMode::Verify ? kVerifyRefusedText : kResumeRefusedText,
          changed);
      state.prompts.ShowMessage(state.failure, "", MessageIcon::Error);
      state.Close(kCopyResultCancel, CopyOutcome::Refused);
      return std::nullopt;
    }
  }
  if (IsFlashEmpty(*state.kind, reply.pointer, reply.wrapFlag)) {
    state.prompts.ShowMessage(kEmptyFlashText, "", MessageIcon::None);
    state.Close(kCopyResultCancel, CopyOutcome::FlashEmpty);
    return std::nullopt;
  }
  return reply;
}

}  // namespace bf
