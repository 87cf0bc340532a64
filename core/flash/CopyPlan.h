#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/JsonValue.h"

namespace bf {

// A copy that repeats the one a copy record describes, over the same flash range in the same
// chunks: to compare the file with the flash again (Verify), or to go on after the record's last
// whole chunk (Resume). It may run only while the camera's type, write pointer and wrap flag are
// still those of the record: with any of them changed the flash holds other bytes.
enum class CopyPlanMode { Verify, Resume };

struct PlannedFile {
  std::string path;    // the file the record lists, in the record's folder
  uint64_t bytes = 0;  // the bytes of its whole chunks: where its chunk map ends
};

struct CopyPlan {
  CopyPlanMode mode = CopyPlanMode::Verify;
  std::string recordPath;
  int cameraType = -1;
  uint32_t flashPointer = 0;
  uint32_t wrapFlag = 0;
  std::optional<std::pair<uint8_t, uint8_t>> range;  // type 2: the 4 MiB sectors asked for
  bool recordComplete = false;
  std::string endTime;  // the record's end time (ISO 8601, UTC): the break of an unfinished copy
  std::vector<PlannedFile> files;
  // Resume: the name the continued copy goes to (the name the person chose).
  std::string outputPath;

  uint64_t WholeChunkBytes() const;
};

// The plan of the copy a parsed record describes. Nothing when the record lacks the camera's
// state or a file's chunk map; error then says why.
std::optional<CopyPlan> CopyPlanFromRecord(const std::string& recordPath, const JsonValue& record,
                                           CopyPlanMode mode, std::string* error);

// How the camera's state differs from the record's, in the window's language ("тип камеры 1, в
// записи копии 0; ..."); empty when type, pointer and wrap flag are the record's.
std::string CameraStateDifference(const CopyPlan& plan, int cameraType, uint32_t pointer,
                                  uint32_t wrapFlag);

// The messages that refuse a plan because the flash changed since the record was written; %1
// stands for CameraStateDifference.
inline constexpr const char* kVerifyRefusedText =
    "Копию нельзя проверить: флеш-память камеры изменилась после копирования (%1).";
inline constexpr const char* kResumeRefusedText =
    "Копирование нельзя продолжить: флеш-память камеры изменилась после прерванного "
    "копирования (%1).";

// text with its first "%1" replaced by value (a value holding "%1" stays as it is).
std::string FillPlaceholder(const std::string& text, const std::string& value);

}  // namespace bf
