#include "flash/CopyPlan.h"

#include <filesystem>

namespace bf {

uint64_t CopyPlan::WholeChunkBytes() const {
  uint64_t sum = 0;
  for (const PlannedFile& f : files) sum += f.bytes;
  return sum;
}

namespace {

// The end of a chunk map that runs without a hole from offset 0; nothing when it does not.
std::optional<uint64_t> ChunkMapEnd(const JsonValue& chunks) {
  uint64_t end = 0;
  for (const JsonValue& c : chunks.items) {
    const auto offset = c["offset"].Unsigned();
    const auto length = c["length"].Unsigned();
    if (!offset || !length || *offset != end) return std::nullopt;
    end += *length;
  }
  return end;
}

}  // namespace

std::optional<CopyPlan> CopyPlanFromRecord(const std::string& recordPath, const JsonValue& record,
                                           CopyPlanMode mode, std::string* error) {
  auto fail = [error](const std::string& why) -> std::optional<CopyPlan> {
    if (error != nullptr) *error = why;
    return std::nullopt;
  };
  CopyPlan plan;
  plan.mode = mode;
  plan.recordPath = recordPath;
  const auto type = record["camera_type"].Unsigned();
  const auto pointer = record["flash_pointer"].Unsigned();
  const auto wrap = record["wrap_flag"].Unsigned();
  if (!type || !pointer || !wrap || *type > 2 || *pointer > UINT32_MAX || *wrap > 255) {
    return fail("the record does not give the camera's type, write pointer and wrap flag");
  }
  plan.cameraType = static_cast<int>(*type);
  plan.flashPointer = static_cast<uint32_t>(*pointer);
  plan.wrapFlag = static_cast<uint32_t>(*wrap);
  const auto start = record["range"]["start_sector"].Unsigned();
  const auto end = record["range"]["end_sector"].Unsigned();
  if (start && end && *start <= 255 && *end <= 255) {
    plan.range = {static_cast<uint8_t>(*start), static_cast<uint8_t>(*end)};
  }
  if (plan.cameraType == 2 && !plan.range) return fail("the record does not give the range");
  plan.recordComplete = record["outcome"].text == "complete";
  plan.endTime = record["end_time"].text;
  const std::filesystem::path folder = std::filesystem::path(recordPath).parent_path();
  for (const JsonValue& entry : record["files"].items) {
    const std::optional<uint64_t> bytes = ChunkMapEnd(entry["chunks"]);
    if (entry["name"].text.empty() || !bytes) {
      return fail("the record's chunk map of a file is incomplete");
    }
    plan.files.push_back({(folder / entry["name"].text).string(), *bytes});
  }
  if (plan.files.empty()) return fail("the record lists no file");
  return plan;
}

std::string CameraStateDifference(const CopyPlan& plan, int cameraType, uint32_t pointer,
                                  uint32_t wrapFlag) {
  std::string text;
  auto add = [&text](const char* what, uint64_t now, uint64_t recorded) {
    if (now == recorded) return;
    text += (text.empty() ? "" : "; ") + std::string(what) + " " + std::to_string(now) +
            ", в записи копии " + std::to_string(recorded);
  };
  if (cameraType != plan.cameraType) {
    add("тип камеры", static_cast<uint64_t>(cameraType), static_cast<uint64_t>(plan.cameraType));
    return text;  // another type's pointer means nothing next to this one's
  }
  add("указатель записи", pointer, plan.flashPointer);
  add("признак переполнения", wrapFlag, plan.wrapFlag);
  return text;
}

std::string FillPlaceholder(const std::string& text, const std::string& value) {
  const std::size_t at = text.find("%1");
  if (at == std::string::npos) return text;
  return text.substr(0, at) + value + text.substr(at + 2);
}

}  // namespace bf
