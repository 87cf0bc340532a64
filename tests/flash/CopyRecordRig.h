#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "CopyRig.h"
#include "flash/CopyRecordCheck.h"
#include "flash/NandReadout.h"
#include "host/JsonValue.h"
#include "support/TestFolder.h"

namespace bf::test {

// The record a copy left beside `file`, read back; a record that cannot be read fails the test.
inline JsonValue RecordOf(const std::string& file) {
  std::string error;
  const auto record = ReadCopyRecord(file + ".json", &error);
  EXPECT_TRUE(record.has_value()) << file << ".json " << error;
  return record.value_or(JsonValue{});
}

// Copies into `file`, which must complete, and makes the rig fresh for what comes next; the
// summary goes to `summary` if given. Call it through ASSERT_NO_FATAL_FAILURE so that a copy that
// does not complete ends the test.
inline void CopyWhole(CopyRig& r, const std::string& file, CopySummary* summary = nullptr) {
  const CopySummary s = r.Run(file);
  if (summary != nullptr) *summary = s;
  ASSERT_TRUE(s.Complete()) << s.failure;
  r.Fresh();
}

// The record's check of a copy into one file finds that file as it was received.
inline void ExpectRecordMatchesItsFile(const std::string& file, const JsonValue& record) {
  const auto checks = CheckCopyRecord(file + ".json", record);
  ASSERT_EQ(checks.size(), 1u);
  EXPECT_TRUE(checks[0].matches) << checks[0].problem;
}

// Where the split range below starts: 100 bytes into the last sector of a NAND flash.
inline constexpr uint32_t kSplitStart = 255 * kNandSectorBytes + 100;

// A NAND flash that wrapped: frames at the end of the flash and again at its start, a range from
// the last sector to the first, so a copy of it goes into two files. Returns the range's last
// byte on the flash.
inline uint32_t LayOutSplitRange(CopyRig& r) {
  r.WriteFrames(kSplitStart, 2);
  r.WriteFrames(0, 2);
  const uint32_t end = kNandSectorBytes - 1 - 1000;
  r.WriteFiller(end - 1, 1, 0xFF);
  r.WriteFiller(end, 1, 0xD9);
  r.SetPointer(9 * kNandSectorBytes, true);
  r.chooser.range = {{255, 0}};
  return end;
}

}  // namespace bf::test
