#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "host/Sha256.h"
#include "review/DamagedStretches.h"

namespace bf {

// The copy record: a small JSON file beside a copied recording ("NAME.bfk.json") that says
// where its bytes came from and lets anyone check later that they are still the ones received.

// One whole chunk as it went to the file.
struct ChunkDigest {
  uint64_t offset = 0;
  uint64_t length = 0;
  std::string sha256;
};

// The digests of one output file, fed with every chunk as it is written (the file is never
// read back for them). Fed by the copying thread; read on the GUI thread once that has ended.
class FileDigest {
 public:
  void Add(std::span<const uint8_t> chunk);
  // The file's digest; call once, when the file is complete.
  std::string FinishHex() { return whole_.FinishHex(); }
  uint64_t Size() const { return size_; }
  const std::vector<ChunkDigest>& Chunks() const { return chunks_; }

  // The name the bytes are under once the file is in place; empty while it is not (or when
  // nothing was kept).
  std::string keptAs;

 private:
  Sha256 whole_;
  uint64_t size_ = 0;
  std::vector<ChunkDigest> chunks_;
};

struct RecordedFile {
  std::string name;  // the file's name, without its folder (the record lies beside it)
  uint64_t size = 0;
  std::string sha256;
  std::vector<ChunkDigest> chunks;
  // What its frame index says; framesRead is false when the file could not be indexed.
  bool framesRead = false;
  uint64_t frames = 0;
  uint32_t firstTime = 0;
  uint32_t lastTime = 0;
  std::vector<DamagedStretch> damaged;
};

struct CopyRecord {
  std::string programVersion;
  int cameraType = -1;
  std::optional<uint32_t> flashPointer;
  std::optional<uint32_t> wrapFlag;
  std::optional<uint32_t> rangeStart;  // type 2: the sectors asked for
  std::optional<uint32_t> rangeEnd;
  std::vector<RecordedFile> files;
  std::string outcome;  // "complete", "cancelled" or "failed"
  std::string failure;  // the failure's message
  uint64_t bytesAsked = 0;
  uint64_t bytesReceived = 0;
  int64_t startTime = 0;  // seconds since 1970 UTC, of the PC
  int64_t endTime = 0;
  // Read once before the copy's first command; empty when the camera did not answer it.
  std::optional<uint32_t> cameraClock;
  int64_t pcClock = 0;
  // A continued copy: the bytes taken from the unfinished copy, and its (first) file's name.
  uint64_t resumedBytes = 0;
  std::string resumedFrom;
  // Verification (bfk copy --verify).
  bool verify = false;
  uint32_t rereadChunks = 0;
  struct Unverified {
    uint32_t file = 0;
    uint64_t offset = 0;
    uint64_t length = 0;
  };
  std::vector<Unverified> unverifiedChunks;
};

// The frame facts of a file written: frames, their time span and damaged stretches.
void ReadFrameFacts(const std::string& path, RecordedFile& file);

// "YYYY-MM-DDTHH:MM:SSZ".
std::string IsoUtc(int64_t seconds);

std::string CopyRecordJson(const CopyRecord& record);
// Where the record of a copy whose (first) file is `path` goes.
std::string CopyRecordPath(const std::string& path);
// Writes the record through the replacing writer. Returns 0 or the system error code.
uint32_t WriteCopyRecord(const std::string& path, const CopyRecord& record);

}  // namespace bf
