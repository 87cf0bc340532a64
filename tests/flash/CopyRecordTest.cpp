// The record every copy leaves beside its file: hashes that sha256sum agrees with, a chunk map
// that covers the file, the outcome, the pointer as read and the clocks at the start.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "CopyRecordRig.h"
#include "flash/CopyRecord.h"
#include "flash/CopyRecordCheck.h"
#include "flash/NandReadout.h"
#include "host/JsonValue.h"
#include "host/Sha256.h"
#include "link/FTD2xx.h"
#include "support/RunProgram.h"

namespace bf::test {
namespace {

namespace fs = std::filesystem;

std::string Sha256Sum(const std::string& path) {
#ifdef _WIN32
  // No sha256sum under Wine: the system's own hash, which the standard's test vectors check.
  return Sha256Hex(ReadFile(path));
#else
  const ProgramRun run = RunShell("sha256sum '" + path + "'");
  EXPECT_EQ(run.exitCode, 0) << run.output;
  return run.output.substr(0, run.output.find(' '));
#endif
}

// The entry's name, size and digest are the file's, and its chunks follow one another from
// offset 0 to the end, each with the digest of its own bytes.
void ExpectDescribes(const JsonValue& entry, const std::string& path) {
  SCOPED_TRACE(path);
  const std::vector<uint8_t> bytes = ReadFile(path);
  ASSERT_FALSE(bytes.empty());
  EXPECT_EQ(entry["name"].text, fs::path(path).filename().string());
  EXPECT_EQ(entry["size"].Unsigned(), bytes.size());
  EXPECT_EQ(entry["sha256"].text, Sha256Sum(path));
  uint64_t next = 0;
  for (const JsonValue& chunk : entry["chunks"].items) {
    const uint64_t offset = chunk["offset"].Unsigned().value_or(~0ull);
    const uint64_t length = chunk["length"].Unsigned().value_or(0);
    ASSERT_EQ(offset, next);
    ASSERT_GT(length, 0u);
    ASSERT_LE(offset + length, bytes.size());
    EXPECT_EQ(chunk["sha256"].text,
              Sha256Hex(std::span(bytes).subspan(static_cast<std::size_t>(offset),
                                                 static_cast<std::size_t>(length))));
    next = offset + length;
  }
  EXPECT_EQ(next, bytes.size()) << "the chunk map covers the file";
}

void WriteOld(const std::string& path) {
  std::ofstream(path, std::ios::binary) << std::string(3000, 'Z');
}

int64_t PcSecondsNow() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

class CompleteCopyRecord : public ::testing::TestWithParam<CameraType> {};

TEST_P(CompleteCopyRecord, HoldsTheFilesHashesChunksPointerAndClocks) {
  const CameraType type = GetParam();
  CopyRig r(type);
  PrepareSmallCopy(r, type);
  r.readCameraClock = true;
  const std::string file = r.dir.File("copy.bfk");
  const CopySummary s = r.Run(file);
  ASSERT_TRUE(s.Complete());
  EXPECT_EQ(s.recordFile, file + ".json");
  ASSERT_GT(s.chunks, 1u) << "a copy of several chunks";

  const JsonValue record = RecordOf(file);
  ASSERT_EQ(record["files"].items.size(), 1u);
  ExpectDescribes(record["files"][0], file);
  EXPECT_EQ(record["files"][0]["chunks"].items.size(), s.chunks);
  EXPECT_EQ(record["files"][0]["frames"].Unsigned(), 3u);
  EXPECT_EQ(record["files"][0]["damaged_stretches"].items.size(), 0u);
  EXPECT_EQ(record["files"][0]["time_span"]["first"].text, "2009-06-14T17:20:00Z");
  EXPECT_EQ(record["outcome"].text, "complete");
  EXPECT_TRUE(record["failure"].IsNull());
  EXPECT_EQ(record["camera_type"].Unsigned(), uint64_t{type});
  EXPECT_EQ(record["bytes_asked"].Unsigned(), s.bytesAsked);
  EXPECT_EQ(record["bytes_received"].Unsigned(), fs::file_size(file));
  EXPECT_FALSE(record["program_version"].text.empty());
  EXPECT_EQ(record["wrap_flag"].Unsigned(), 0u);
  ASSERT_TRUE(record["flash_pointer"].Unsigned().has_value());
  if (type == CAMERA_NAND_PAGES) {
    EXPECT_EQ(record["flash_pointer"].Unsigned(), uint64_t{kNandSectorBytes} + 1'200'000);
    EXPECT_EQ(record["range"]["start_sector"].Unsigned(), 0u);
    EXPECT_EQ(record["range"]["end_sector"].Unsigned(), 1u);
  } else {
    EXPECT_TRUE(record["range"].IsNull());
  }
  const JsonValue& clock = record["clock"];
  EXPECT_TRUE(clock["camera_read"].boolean);
  EXPECT_EQ(clock["camera_seconds"].Unsigned(), 1'245'067'200u) << "read before anything else";
  EXPECT_EQ(clock["camera"].text, "2009-06-15T12:00:00Z");
  EXPECT_EQ(clock["camera_minus_pc_seconds"].Signed(),
            1'245'067'200 - clock["pc_seconds"].Signed().value_or(0));
  // Text times are ISO 8601 in UTC.
  EXPECT_EQ(record["start_time"].text.size(), 20u);
  EXPECT_EQ(record["start_time"].text.back(), 'Z');

  // The check finds the file as it was received.
  ExpectRecordMatchesItsFile(file, record);
}

INSTANTIATE_TEST_SUITE_P(AllTypes, CompleteCopyRecord,
                         ::testing::Values(CAMERA_SECTORS, CAMERA_PACKED_PAGES, CAMERA_NAND_PAGES));

TEST(CopyRecord, ACancelledCopysRecordLiesBesideThePartialFile) {
  CopyRig r(CAMERA_PACKED_PAGES);
  PrepareSmallCopy(r, CAMERA_PACKED_PAGES);
  const std::string file = r.dir.File("old.bfk");
  WriteOld(file);
  r.log->At(1, [&r] { r.session->Cancel(); });
  const CopySummary s = r.Run(file);
  ASSERT_EQ(s.outcome, CopyOutcome::Cancelled);
  const std::string partial = r.dir.File("old.partial.bfk");
  EXPECT_FALSE(fs::exists(file + ".json")) << "the old file's record is not the partial's";
  const JsonValue record = RecordOf(partial);
  EXPECT_EQ(record["outcome"].text, "cancelled");
  EXPECT_TRUE(record["failure"].IsNull());
  ASSERT_EQ(record["files"].items.size(), 1u);
  ExpectDescribes(record["files"][0], partial);
  EXPECT_EQ(record["files"][0]["chunks"].items.size(), 1u);
  EXPECT_LT(record["bytes_received"].Unsigned().value_or(0), s.totalBytes);
}

// Cancelled while the last chunk received may still be on its way to the disk: the record and
// the counts hold exactly the chunks in the file, and its hashes are the file's.
class CancelledCopyRecord : public ::testing::TestWithParam<CameraType> {};

TEST_P(CancelledCopyRecord, ListsExactlyTheChunksInTheFile) {
  const CameraType type = GetParam();
  CopyRig r(type);
  PrepareSmallCopy(r, type);
  r.log->At(2, [&r] { r.session->Cancel(); });
  const std::string file = r.dir.File("cancelled.bfk");
  const CopySummary s = r.Run(file);
  ASSERT_EQ(s.outcome, CopyOutcome::Cancelled);
  ASSERT_EQ(s.chunks, 2u);
  EXPECT_EQ(fs::file_size(file), 2 * CopyChunkBytes(type));
  const JsonValue record = RecordOf(file);
  EXPECT_EQ(record["outcome"].text, "cancelled");
  ASSERT_EQ(record["files"].items.size(), 1u);
  ExpectDescribes(record["files"][0], file);
  EXPECT_EQ(record["files"][0]["chunks"].items.size(), 2u);
  EXPECT_EQ(record["bytes_received"].Unsigned(), fs::file_size(file));
  EXPECT_EQ(record["bytes_asked"].Unsigned(), fs::file_size(file));
  ExpectRecordMatchesItsFile(file, record);
}

INSTANTIATE_TEST_SUITE_P(AllTypes, CancelledCopyRecord,
                         ::testing::Values(CAMERA_SECTORS, CAMERA_PACKED_PAGES, CAMERA_NAND_PAGES));

TEST(CopyRecord, AFailedCopysRecordGivesTheFailure) {
  // The sector copy's worker writes the chunks; the record is made once it is joined.
  CopyRig r(CAMERA_SECTORS);
  PrepareSmallCopy(r, CAMERA_SECTORS);
  const std::string file = r.dir.File("new.bfk");
  r.log->At(1, [&r] { r.rig.camera->Unplug(); });
  const CopySummary s = r.Run(file);
  ASSERT_EQ(s.outcome, CopyOutcome::Failed);
  const JsonValue record = RecordOf(file);
  EXPECT_EQ(record["outcome"].text, "failed");
  EXPECT_EQ(record["failure"].text, s.failure);
  EXPECT_FALSE(s.failure.empty());
  ASSERT_EQ(record["files"].items.size(), 1u);
  ExpectDescribes(record["files"][0], file);
}

TEST(CopyRecord, ASplitRangeHasOneRecordForBothFiles) {
  CopyRig r(CAMERA_NAND_PAGES);
  LayOutSplitRange(r);
  const std::string first = r.dir.File("split.bfk");
  const std::string second = SecondFileName(first);
  const CopySummary s = r.Run(first);
  ASSERT_TRUE(s.Complete()) << s.failure;
  ASSERT_EQ(s.files.size(), 2u);
  EXPECT_FALSE(fs::exists(second + ".json"));
  const JsonValue record = RecordOf(first);
  ASSERT_EQ(record["files"].items.size(), 2u);
  ExpectDescribes(record["files"][0], first);
  ExpectDescribes(record["files"][1], second);
  EXPECT_EQ(record["range"]["start_sector"].Unsigned(), 255u);
  EXPECT_EQ(record["range"]["end_sector"].Unsigned(), 0u);
  EXPECT_EQ(record["wrap_flag"].Unsigned(), 1u);
  EXPECT_EQ(record["bytes_received"].Unsigned(), fs::file_size(first) + fs::file_size(second));
}

TEST(CopyRecord, TheClockDifferenceIsTheCamerasLeadOverThePc) {
  sim::SimOptions options = CopyRig::Options(CAMERA_PACKED_PAGES);
  const int64_t before = PcSecondsNow();
  options.clock = static_cast<uint32_t>(before + 90'000);  // a day and an hour ahead
  CopyRig r(options);
  PrepareSmallCopy(r, CAMERA_PACKED_PAGES);
  r.readCameraClock = true;
  const std::string file = r.dir.File("ahead.bfk");
  ASSERT_TRUE(r.Run(file).Complete());
  const int64_t after = PcSecondsNow();
  const JsonValue clock = RecordOf(file)["clock"];
  ASSERT_TRUE(clock["camera_read"].boolean);
  const int64_t pc = clock["pc_seconds"].Signed().value_or(0);
  EXPECT_GE(pc, before);
  EXPECT_LE(pc, after);
  EXPECT_EQ(clock["camera_seconds"].Unsigned(), options.clock);
  EXPECT_EQ(clock["camera_minus_pc_seconds"].Signed(), int64_t{options.clock} - pc);
  EXPECT_EQ(clock["pc"].text, IsoUtc(pc));
}

TEST(CopyRecord, ACameraWhoseClockReadFailsStillGetsItsCopy) {
  CopyRig r(CAMERA_PACKED_PAGES);
  PrepareSmallCopy(r, CAMERA_PACKED_PAGES);
  r.readCameraClock = true;
  // The very next device call is the clock request's write.
  r.rig.camera->ArmFault(r.rig.camera->CallCount() + 1, sim::CallFault::Fail);
  const std::string file = r.dir.File("noclock.bfk");
  const CopySummary s = r.Run(file);
  EXPECT_TRUE(s.Complete()) << s.failure;
  EXPECT_NE(r.rig.camera->FaultHitCall(), 0u);
  const JsonValue record = RecordOf(file);
  EXPECT_FALSE(record["clock"]["camera_read"].boolean);
  EXPECT_TRUE(record["clock"]["camera_seconds"].IsNull());
  EXPECT_TRUE(record["clock"]["camera_minus_pc_seconds"].IsNull());
  ExpectDescribes(record["files"][0], file);
}

TEST(CopyRecord, TheCheckNamesTheFirstChunkThatNoLongerMatches) {
  CopyRig r(CAMERA_SECTORS);
  PrepareSmallCopy(r, CAMERA_SECTORS);
  const std::string file = r.dir.File("flip.bfk");
  ASSERT_TRUE(r.Run(file).Complete());
  const JsonValue record = RecordOf(file);
  const JsonValue& chunks = record["files"][0]["chunks"];
  ASSERT_GE(chunks.items.size(), 3u);
  const uint64_t at = chunks[2]["offset"].Unsigned().value_or(0) + 17;
  {
    std::fstream f(file, std::ios::binary | std::ios::in | std::ios::out);
    f.seekg(static_cast<std::streamoff>(at));
    const int c = f.get();
    f.seekp(static_cast<std::streamoff>(at));
    f.put(static_cast<char>(c ^ 0x10));
    ASSERT_TRUE(f.flush());
  }
  auto checks = CheckCopyRecord(file + ".json", record);
  ASSERT_EQ(checks.size(), 1u);
  EXPECT_FALSE(checks[0].matches);
  EXPECT_EQ(checks[0].firstBadChunk, 2u);
  EXPECT_NE(checks[0].problem.find("chunk 3 of"), std::string::npos) << checks[0].problem;

  // A file cut short is caught too, by its size.
  fs::resize_file(file, at);
  checks = CheckCopyRecord(file + ".json", record);
  EXPECT_FALSE(checks[0].matches);
  EXPECT_NE(checks[0].problem.find("size"), std::string::npos) << checks[0].problem;
}

}  // namespace
}  // namespace bf::test
