#include "cli/CopyRecordInfo.h"

#include <cstdio>
#include <filesystem>

#include "cli/Command.h"
#include "flash/CopyRecord.h"
#include "flash/CopyRecordCheck.h"
#include "review/DamagedStretches.h"

namespace bf::cli {

namespace {

std::string Or(const JsonValue& value, const std::string& otherwise) {
  if (value.kind == JsonValue::Kind::String || value.kind == JsonValue::Kind::Number) {
    return value.text;
  }
  return otherwise;
}

// The entry of the record for this file; the first when none has its name.
const JsonValue& EntryFor(const std::string& path, const JsonValue& record) {
  const std::string name = std::filesystem::path(path).filename().string();
  for (const JsonValue& entry : record["files"].items) {
    if (entry["name"].text == name) return entry;
  }
  return record["files"][0];
}

}  // namespace

std::string CopyRecordFacts(const std::string& path, const JsonValue& record,
                            const Recording& recording) {
  const JsonValue& entry = EntryFor(path, record);
  const JsonValue& clock = record["clock"];
  std::string out = "copy record: " + CopyRecordPath(path) + "\n";
  out += "  program version: " + Or(record["program_version"], "?") + "\n";
  out += "  camera type: " + Or(record["camera_type"], "?") + "\n";
  out += "  flash pointer: " + Or(record["flash_pointer"], "not read") +
         ", wrap flag: " + Or(record["wrap_flag"], "not read") + "\n";
  if (!record["range"].IsNull()) {
    out += "  sectors asked: " + Or(record["range"]["start_sector"], "?") + "-" +
           Or(record["range"]["end_sector"], "?") + "\n";
  }
  out += "  outcome: " + Or(record["outcome"], "?") +
         (record["failure"].IsNull() ? "" : ": " + record["failure"].text) + "\n";
  out += "  bytes asked: " + Or(record["bytes_asked"], "?") +
         ", received: " + Or(record["bytes_received"], "?") + "\n";
  out += "  copied: " + Or(record["start_time"], "?") + " .. " + Or(record["end_time"], "?") + "\n";
  if (clock["camera_read"].boolean) {
    out += "  camera clock at the start: " + Or(clock["camera"], "?") + ", PC " +
           Or(clock["pc"], "?") + " (camera - PC: " + Or(clock["camera_minus_pc_seconds"], "?") +
           " s)\n";
  } else {
    out += "  camera clock: not read\n";
  }
  if (record["files"].items.size() > 1) {
    out += "  files of the copy:";
    for (const JsonValue& f : record["files"].items) out += " " + f["name"].text;
    out += "\n";
  }
  const std::size_t damagedNow = FindDamagedStretches(recording.Index()).size();
  out += "  size: recorded " + Or(entry["size"], "?") + ", now " +
         std::to_string(recording.Size()) + "\n";
  out += "  frames: recorded " + Or(entry["frames"], "?") + ", now " +
         std::to_string(recording.Count()) + "\n";
  out += "  damaged stretches: recorded " +
         std::to_string(entry["damaged_stretches"].items.size()) + ", now " +
         std::to_string(damagedNow) + "\n";
  out += "  sha256 recorded: " + Or(entry["sha256"], "?") + " (bfk info --check compares)\n";
  return out;
}

int CheckAgainstCopyRecord(const std::string& path) {
  const std::string recordPath = CopyRecordPath(path);
  std::error_code ec;
  if (!std::filesystem::exists(recordPath, ec)) {
    std::fprintf(stderr, "bfk info: %s: no copy record beside it (%s)\n", path.c_str(),
                 recordPath.c_str());
    return kExitFailure;
  }
  std::string error;
  const std::optional<JsonValue> record = ReadCopyRecord(recordPath, &error);
  if (!record) {
    std::fprintf(stderr, "bfk info: %s %s\n", recordPath.c_str(), error.c_str());
    return kExitFailure;
  }
  bool all = true;
  for (const RecordedFileCheck& check : CheckCopyRecord(recordPath, *record)) {
    if (check.matches) {
      std::printf("%s: matches its copy record (%llu bytes, %zu chunks)\n", check.path.c_str(),
                  static_cast<unsigned long long>(check.size), check.chunks);
    } else {
      all = false;
      std::printf("%s: does NOT match its copy record: %s\n", check.path.c_str(),
                  check.problem.c_str());
    }
  }
  if (record->fields.at("files").items.empty()) {
    std::printf("%s lists no file\n", recordPath.c_str());
    all = false;
  }
  return all ? kExitDone : kExitFailure;
}

}  // namespace bf::cli
