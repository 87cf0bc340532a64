#include "flash/CopyRecord.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "host/CalendarTime.h"
#include "host/ReplacingFileWriter.h"
#include "recordings/Recording.h"

namespace bf {

void ReadFrameFacts(const std::string& path, RecordedFile& file) {
  Recording recording;
  if (recording.Open(path) != Recording::OpenStatus::Opened) return;
  const FrameIndex& index = recording.Index();
  file.framesRead = true;
  file.frames = index.size();
  file.firstTime = index.front().header.Timestamp();
  file.lastTime = file.firstTime;
  for (const FrameIndexEntry& e : index) {
    file.firstTime = std::min(file.firstTime, e.header.Timestamp());
    file.lastTime = std::max(file.lastTime, e.header.Timestamp());
  }
  file.damaged = FindDamagedStretches(index);
}

std::string IsoUtc(int64_t seconds) {
  std::tm tm{};
  char text[32] = "";
  if (UtcCalendarTime(static_cast<std::time_t>(seconds), &tm)) {
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  }
  return text;
}

namespace {

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (u < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", unsigned{u});
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string Number(uint64_t value) {
  return std::to_string(value);
}

std::string Number(int64_t value) {
  return std::to_string(value);
}

}  // namespace

std::string CopyRecordJson(const CopyRecord& r) {
  std::string out = "{\n";
  out += "  \"program_version\": " + Quoted(r.programVersion) + ",\n";
  out += "  \"camera_type\": " + std::to_string(r.cameraType) + ",\n";
  out += "  \"flash_pointer\": " + (r.flashPointer ? Number(uint64_t{*r.flashPointer}) : "null") +
         ",\n";
  out += "  \"wrap_flag\": " + (r.wrapFlag ? Number(uint64_t{*r.wrapFlag}) : "null") + ",\n";
  if (r.rangeStart && r.rangeEnd) {
    out += "  \"range\": {\"start_sector\": " + Number(uint64_t{*r.rangeStart}) +
           ", \"end_sector\": " + Number(uint64_t{*r.rangeEnd}) + "},\n";
  }
  out += "  \"outcome\": " + Quoted(r.outcome) + ",\n";
  if (!r.failure.empty()) out += "  \"failure\": " + Quoted(r.failure) + ",\n";
  out += "  \"bytes_asked\": " + Number(r.bytesAsked) + ",\n";
  out += "  \"bytes_received\": " + Number(r.bytesReceived) + ",\n";
  out += "  \"start_time\": " + Quoted(IsoUtc(r.startTime)) + ",\n";
  out += "  \"end_time\": " + Quoted(IsoUtc(r.endTime)) + ",\n";
  out += "  \"clock\": {\"camera_read\": " + std::string(r.cameraClock ? "true" : "false");
  if (r.cameraClock) {
    out += ", \"camera\": " + Quoted(IsoUtc(*r.cameraClock));
    out += ", \"camera_seconds\": " + Number(uint64_t{*r.cameraClock});
  }
  out += ", \"pc\": " + Quoted(IsoUtc(r.pcClock)) + ", \"pc_seconds\": " + Number(r.pcClock);
  if (r.cameraClock) {
    out += ", \"camera_minus_pc_seconds\": " +
           Number(static_cast<int64_t>(*r.cameraClock) - r.pcClock);
  }
  out += "},\n";
  if (r.resumedBytes > 0) {
    out += "  \"resumed\": {\"from\": " + Quoted(r.resumedFrom) +
           ", \"bytes\": " + Number(r.resumedBytes) + "},\n";
  }
  if (r.verify) {
    out += "  \"verify\": {\"verified\": " +
           std::string(r.unverifiedChunks.empty() && r.outcome == "complete" ? "true" : "false") +
           ", \"reread_chunks\": " + Number(uint64_t{r.rereadChunks}) +
           ", \"unverified_chunks\": [";
    for (std::size_t i = 0; i < r.unverifiedChunks.size(); ++i) {
      const CopyRecord::Unverified& u = r.unverifiedChunks[i];
      const std::string name = u.file < r.files.size() ? r.files[u.file].name : std::string();
      out += std::string(i == 0 ? "" : ", ") + "{\"file\": " + Quoted(name) +
             ", \"offset\": " + Number(u.offset) + ", \"length\": " + Number(u.length) + "}";
    }
    out += "]},\n";
  }
  out += "  \"files\": [";
  for (std::size_t i = 0; i < r.files.size(); ++i) {
    const RecordedFile& f = r.files[i];
    out += i == 0 ? "\n" : ",\n";
    out += "    {\n      \"name\": " + Quoted(f.name) + ",\n";
    out += "      \"size\": " + Number(f.size) + ",\n";
    out += "      \"sha256\": " + Quoted(f.sha256) + ",\n";
    if (f.framesRead) {
      out += "      \"frames\": " + Number(f.frames) + ",\n";
      out += "      \"time_span\": {\"first\": " + Quoted(IsoUtc(f.firstTime)) +
             ", \"last\": " + Quoted(IsoUtc(f.lastTime)) + "},\n";
    } else {
      out += "      \"frames\": 0,\n";
    }
    out += "      \"damaged_stretches\": [";
    for (std::size_t d = 0; d < f.damaged.size(); ++d) {
      out += std::string(d == 0 ? "" : ", ") + "{\"offset\": " + Number(f.damaged[d].offset) +
             ", \"length\": " + Number(f.damaged[d].length) + "}";
    }
    out += "],\n      \"chunks\": [";
    for (std::size_t c = 0; c < f.chunks.size(); ++c) {
      const ChunkDigest& chunk = f.chunks[c];
      out += std::string(c == 0 ? "\n" : ",\n") + "        {\"offset\": " + Number(chunk.offset) +
             ", \"length\": " + Number(chunk.length) + ", \"sha256\": " + Quoted(chunk.sha256) +
             "}";
    }
    out += f.chunks.empty() ? "]\n    }" : "\n      ]\n    }";
  }
  out += r.files.empty() ? "]\n}\n" : "\n  ]\n}\n";
  return out;
}

std::string CopyRecordPath(const std::string& path) {
  return path + ".json";
}

uint32_t WriteCopyRecord(const std::string& path, const CopyRecord& record) {
  const std::string text = CopyRecordJson(record);
  ReplacingFileWriter writer;
  if (const uint32_t error = writer.Open(path); error != 0) return error;
  if (const uint32_t error =
          writer.Write(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
      error != 0) {
    writer.Abandon();
    return error;
  }
  return writer.Commit();
}

}  // namespace bf
