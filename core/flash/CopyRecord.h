#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "flash/FileDigest.h"
#include "review/DamagedStretches.h"

namespace bf {

// The copy record: a small JSON file beside a copied recording ("NAME.bfk.json") that says
// where its bytes came from and lets anyone check later that they are still the ones received.

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
