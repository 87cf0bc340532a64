#include "flash/CopyState.h"

#include <new>

#include "flash/FlashFailure.h"
#include "flash/SectorReader.h"
#include "host/FileErrorText.h"
#include "link/FTDException.h"

namespace bf {

CopyFileError::CopyFileError(uint32_t code, const std::string& path)
    : std::runtime_error(FileErrorText(code, path)), code_(code), path_(path) {}

CopyState::CopyState(const CopyServices& services)
    : prompts(services.prompts),
      host(services.host),
      rangeChooser(services.rangeChooser),
      progress(services.progress),
      makeOutput(services.makeOutput ? services.makeOutput
                                     : CopyOutputFactory(MakeReplacingCopyOutput)),
      ticks(services.link.Ticks()),
      link(&services.link) {}

CopyState::~CopyState() = default;

FTD2xx& CopyState::Link() {
  if (link == nullptr) throw std::logic_error("the link is with the sector reader");
  return *link;
}

void CopyState::Post(std::function<void(CopyState&)> fn) {
  std::weak_ptr<int> token = alive;
  host.PostToGui([token, this, fn = std::move(fn)] {
    if (token.lock()) fn(*this);
  });
}

void CopyState::ReadChunk(FTD2xx& chunkLink, std::span<uint8_t> chunk) {
  if (ReadFlashBytes(chunkLink, chunk) < chunk.size()) {
    shortChunks.fetch_add(1);
    throw FlashReplyError();
  }
}

void CopyState::CountChunk(uint32_t start, uint32_t asked, uint32_t received, uint32_t fileIndex) {
  bytesAsked.fetch_add(asked);
  bytesReceived.fetch_add(received);
  chunks.fetch_add(1);
  if (received < asked) shortChunks.fetch_add(1);
  if (progress != nullptr) progress->OnChunk({start, asked, received, fileIndex});
}

void CopyState::StartTimer(uint32_t id) {
  host.StartTimer(id, kCopyTimerPeriodMs);
  timerId = id;
}

void CopyState::StopTimer() {
  if (!timerId) return;
  host.StopTimer(*timerId);
  timerId.reset();
}

std::unique_ptr<CopyOutput> CopyState::OpenOutput(const std::string& path) {
  std::unique_ptr<CopyOutput> file = makeOutput();
  if (const uint32_t error = file->Open(path); error != 0) {
    prompts.ShowMessage(FileErrorText(error, path), "", kStandardReportIcon);
    failure = FileErrorText(error, path);
    return nullptr;
  }
  return file;
}

bool CopyState::CommitOutput(std::unique_ptr<CopyOutput> file) {
  if (!file) return true;
  const uint32_t error = file->Commit();
  if (error == 0) {
    files.push_back(file->Path());
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

void CopyState::Close(int closeResult, CopyOutcome closeOutcome) {
  StopTimer();
  if (!CommitOutput(std::move(output))) closeOutcome = CopyOutcome::Failed;
  outcome = closeOutcome;
  result = closeResult;
  finished = true;
  running.store(0);
  host.CloseDialog(closeResult);
}

void CopyState::DropPendingReply() {
  // The rest of a reply cut off by the failure, or bytes beyond it, would otherwise be taken
  // for the answers of the next copy (its camera type, its pointer).
  if (link == nullptr) return;
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
  } catch (const FTDException& e) {
    failure = e.GetText();
    prompts.ShowMessage(failure, "", MessageIcon::Error);
    DropPendingReply();
  } catch (const FlashReplyError& e) {
    failure = e.what();
    prompts.ShowMessage(failure, "", MessageIcon::Error);
    DropPendingReply();
  } catch (const FlashReadError& e) {
    failure = e.what();
    prompts.ShowMessage(failure, "", MessageIcon::Error);
    DropPendingReply();
  } catch (const FlashAddressFailure& e) {
    failure = ReportAddressFailure(prompts, e);
  } catch (const CopyFileError& e) {
    failure = e.what();
    reportedFileError = e.Code();
    reportedFilePath = e.Path();
    prompts.ShowMessage(failure, "", kStandardReportIcon);
  } catch (const std::bad_alloc&) {
    failure = kGeneralFailureText;
    prompts.ShowMessage(failure, "", kStandardReportIcon);
  } catch (const std::exception& e) {
    failure = e.what();
    prompts.ShowMessage(failure, "", kStandardReportIcon);
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
  if (IsFlashEmpty(*state.kind, reply.pointer, reply.wrapFlag)) {
    state.prompts.ShowMessage(kEmptyFlashText, "", MessageIcon::None);
    state.Close(kCopyResultCancel, CopyOutcome::FlashEmpty);
    return std::nullopt;
  }
  return reply;
}

}  // namespace bf
