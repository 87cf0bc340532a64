#include "flash/CopyResume.h"

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "flash/CopyOutput.h"
#include "flash/CopyRecord.h"
#include "flash/CopyRecordCheck.h"
#include "flash/CopyState.h"

namespace bf {

namespace {

struct Candidate {
  std::optional<CopyPlan> plan;
  std::string why;  // why it cannot be resumed
};

Candidate Examine(const std::string& file) {
  Candidate c;
  const std::string recordPath = CopyRecordPath(file);
  std::error_code ec;
  if (!std::filesystem::exists(recordPath, ec)) {
    c.why = "no copy record " + recordPath;
    return c;
  }
  std::string error;
  const std::optional<JsonValue> record = ReadCopyRecord(recordPath, &error);
  if (!record) {
    c.why = "the copy record " + recordPath + " " + error;
    return c;
  }
  if ((*record)["outcome"].text == "complete") {
    c.why = "the copy in " + file + " is complete";
    return c;
  }
  std::optional<CopyPlan> plan =
      CopyPlanFromRecord(recordPath, *record, CopyPlanMode::Resume, &error);
  if (!plan) {
    c.why = recordPath + ": " + error;
    return c;
  }
  // Going on from bytes that are no longer the ones received would make a file no copy gives.
  for (const RecordedFileCheck& check : CheckCopyRecord(recordPath, *record)) {
    if (!check.matches) {
      c.why = check.path + " no longer holds what its copy record says: " + check.problem;
      return c;
    }
  }
  c.plan = std::move(plan);
  return c;
}

}  // namespace

std::optional<CopyPlan> FindResumableCopy(const std::string& path, std::string* refusal) {
  Candidate own = Examine(path);
  Candidate partial = Examine(PartialFileName(path));
  std::optional<CopyPlan> chosen;
  if (own.plan && partial.plan) {
    // Times are ISO 8601 in UTC: their text orders as they do.
    chosen =
        partial.plan->endTime >= own.plan->endTime ? std::move(partial.plan) : std::move(own.plan);
  } else if (own.plan) {
    chosen = std::move(own.plan);
  } else if (partial.plan) {
    chosen = std::move(partial.plan);
  }
  if (!chosen) {
    if (refusal != nullptr) {
      *refusal = "nothing to resume: " + own.why;
      // The partial file's side only matters when there is one.
      std::error_code ec;
      if (std::filesystem::exists(CopyRecordPath(PartialFileName(path)), ec)) {
        *refusal += "; " + partial.why;
      }
    }
    return std::nullopt;
  }
  chosen->outputPath = path;
  return chosen;
}

std::string ResumeQuestion(const CopyPlan& plan) {
  std::string when = plan.endTime;
  // "YYYY-MM-DDTHH:MM:SSZ" as the person reads it.
  if (when.size() == 20) when = when.substr(0, 10) + " " + when.substr(11, 8) + " UTC";
  return "Файл " + plan.files.front().path +
         " содержит незавершённую копию этой же флеш-памяти: скопировано " +
         std::to_string(plan.WholeChunkBytes()) + " байт, копирование прервано " + when +
         ".\nПродолжить копирование с места остановки?\n(Нет: копировать заново.)";
}

ResumeSource::ResumeSource(const CopyPlan& plan) : files_(plan.files) {}

bool ResumeSource::Covers(uint32_t fileIndex, uint64_t offset, uint64_t length) const {
  return fileIndex < files_.size() && offset + length <= files_[fileIndex].bytes;
}

void ResumeSource::Read(uint32_t fileIndex, uint64_t offset, std::span<uint8_t> bytes) const {
  const std::string& path = files_.at(fileIndex).path;
  std::ifstream in(path, std::ios::binary);
  if (in) in.seekg(static_cast<std::streamoff>(offset));
  if (in)
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!in || static_cast<std::size_t>(in.gcount()) != bytes.size()) {
    throw CopyFileError(EIO, path);
  }
}

}  // namespace bf
