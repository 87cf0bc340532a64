#include "flash/CopyRecordCheck.h"

#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>

#include "host/Sha256.h"

namespace bf {

namespace {

constexpr std::size_t kReadPiece = 1 << 20;

// Feeds `length` bytes from the stream's position to the digest; returns the count read.
uint64_t Feed(std::ifstream& in, uint64_t length, Sha256& digest, std::vector<char>& buffer) {
  uint64_t done = 0;
  while (done < length && in) {
    const auto piece = static_cast<std::size_t>(std::min<uint64_t>(length - done, kReadPiece));
    in.read(buffer.data(), static_cast<std::streamsize>(piece));
    const auto got = static_cast<std::size_t>(in.gcount());
    digest.Update(std::span(reinterpret_cast<const uint8_t*>(buffer.data()), got));
    done += got;
    if (got < piece) break;
  }
  return done;
}

// The whole file's digest, from a stream of its own: it runs beside the chunks' on another
// core, so the check takes the time of one digest, not of two in a row.
std::string WholeFileDigest(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> buffer(kReadPiece);
  Sha256 whole;
  if (in) Feed(in, UINT64_MAX, whole, buffer);
  return whole.FinishHex();
}

RecordedFileCheck CheckFile(const std::filesystem::path& folder, const JsonValue& entry) {
  RecordedFileCheck check;
  const std::string name = entry["name"].text;
  check.path = (folder / name).string();
  check.recordedSize = entry["size"].Unsigned().value_or(0);
  const JsonValue& chunks = entry["chunks"];
  check.chunks = chunks.items.size();
  if (name.empty() || entry["sha256"].text.empty()) {
    check.problem = "the record gives no name or digest for it";
    return check;
  }
  std::error_code ec;
  const auto size = std::filesystem::file_size(check.path, ec);
  std::ifstream in(check.path, std::ios::binary);
  if (ec || !in) {
    check.problem = "cannot be read";
    return check;
  }
  check.size = static_cast<uint64_t>(size);
  std::future<std::string> whole = std::async(std::launch::async, WholeFileDigest, check.path);
  std::vector<char> buffer(kReadPiece);
  Sha256 chunkDigest;
  uint64_t position = 0;
  for (std::size_t i = 0; i < chunks.items.size(); ++i) {
    const JsonValue& c = chunks.items[i];
    const uint64_t offset = c["offset"].Unsigned().value_or(0);
    const uint64_t length = c["length"].Unsigned().value_or(0);
    // The map covers the file from its start, chunk after chunk.
    if (offset != position) {
      check.problem =
          "the record's chunk map has a hole or an overlap at chunk " + std::to_string(i + 1);
      return check;
    }
    const uint64_t got = Feed(in, length, chunkDigest, buffer);
    position += got;
    const bool same = got == length && chunkDigest.FinishHex() == c["sha256"].text;
    if (!same && !check.firstBadChunk) {
      check.firstBadChunk = i;
      check.badOffset = offset;
      check.badLength = length;
    }
    if (got < length) break;
  }
  const bool wholeSame = whole.get() == entry["sha256"].text;
  if (check.size != check.recordedSize) {
    check.problem = "its size is " + std::to_string(check.size) + " bytes, the record says " +
                    std::to_string(check.recordedSize);
  }
  if (check.firstBadChunk) {
    const std::string chunkText = "chunk " + std::to_string(*check.firstBadChunk + 1) + " of " +
                                  std::to_string(check.chunks) + " (offset " +
                                  std::to_string(check.badOffset) + ", " +
                                  std::to_string(check.badLength) + " bytes) differs";
    check.problem = check.problem.empty() ? chunkText : check.problem + "; " + chunkText;
  }
  if (!wholeSame && check.problem.empty()) check.problem = "its SHA-256 differs";
  check.matches = check.problem.empty();
  return check;
}

}  // namespace

std::optional<JsonValue> ReadCopyRecord(const std::string& recordPath, std::string* error) {
  std::ifstream in(recordPath, std::ios::binary);
  if (!in) {
    if (error != nullptr) *error = "cannot be read";
    return std::nullopt;
  }
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::optional<JsonValue> record = JsonValue::Parse(text);
  if (!record || record->kind != JsonValue::Kind::Object ||
      (*record)["files"].kind != JsonValue::Kind::Array) {
    if (error != nullptr) *error = "is not a copy record";
    return std::nullopt;
  }
  return record;
}

std::vector<RecordedFileCheck> CheckCopyRecord(const std::string& recordPath,
                                               const JsonValue& record) {
  const std::filesystem::path folder = std::filesystem::path(recordPath).parent_path();
  std::vector<RecordedFileCheck> checks;
  for (const JsonValue& entry : record["files"].items) checks.push_back(CheckFile(folder, entry));
  return checks;
}

}  // namespace bf
