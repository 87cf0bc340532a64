// Recording into the simulated flash and reading it back in each camera type's address form.
#include <gtest/gtest.h>

#include "FlashReadout.h"
#include "flash/CameraKind.h"
#include "flash/FlashAddress.h"
#include "frames/HeaderGenerator.h"
#include "frames/JpegInfo.h"
#include "frames/RebuildJpeg.h"

namespace bf::test {
namespace {

constexpr CameraType kTypes[] = {CAMERA_SECTORS, CAMERA_PACKED_PAGES, CAMERA_NAND_PAGES};

sim::SimOptions Options(CameraType type) {
  sim::SimOptions o;
  o.type = type;
  o.frameRateIndex = 7;
  return o;
}

// Autonomous recording of `ms` of maximum-rate frames.
void Record(SimRig& rig, uint64_t ms) {
  rig.link.WriteByte(CMD_AUTONOMOUS_ON);
  rig.link.WriteByte(CMD_START_STREAM);
  rig.clock.Advance(ms);
  rig.link.WriteByte(CMD_STOP_STREAM);
  rig.link.WriteByte(CMD_AUTONOMOUS_OFF);
  EXPECT_EQ(rig.Queued(), 0u) << "autonomous frames go to flash, not to the host";
}

// Everything recorded since the flash was empty, read the way each type's readout reads it.
std::vector<uint8_t> ReadUnwrapped(SimRig& rig, CameraType type) {
  const PointerAndWrap p = AskPointer(rig, type);
  EXPECT_EQ(p.wrap, 0);
  if (type == CAMERA_SECTORS) {
    uint32_t ordinal = 0;
    EXPECT_TRUE(p.pointer == kFirstDataSector || DataSectorOrdinal(p.pointer, &ordinal));
    return ReadDataSectors(rig, kFirstDataSector, ordinal);
  }
  if (type == CAMERA_PACKED_PAGES) {
    return ReadBytes(rig, type, 0, PackedToLinear(p.pointer) - 1);
  }
  return ReadBytes(rig, type, 0, p.pointer);  // the pointer names the last byte written
}

void ExpectFramesInOrder(const std::vector<uint8_t>& bytes, std::size_t expected,
                         PictureSize size) {
  const RecordScan scan = ScanRecords(bytes);
  ASSERT_EQ(scan.offsets.size(), expected);
  EXPECT_EQ(scan.end, bytes.size());
  const JpegHeaderTable table = GenerateHeaderTable(size);
  uint32_t previous = 0;
  for (std::size_t i = 0; i < scan.offsets.size(); ++i) {
    const auto h = FrameHeader::FromBytes(bytes.data() + scan.offsets[i]);
    EXPECT_GE(h.Timestamp(), previous);
    previous = h.Timestamp();
    if (i == 0 || i + 1 == scan.offsets.size()) {
      std::span<const uint8_t> payload(bytes.data() + scan.offsets[i] + 16, PayloadLength(h));
      const JpegInfo info = DecodeCheckJpeg(RebuildJpeg(table, h, payload));
      EXPECT_TRUE(info.ok) << info.error;
      EXPECT_EQ(info.width, size.width);
    }
  }
}

TEST(SimFlash, AutonomousRecordingReadsBackInOrderForEveryType) {
  for (CameraType type : kTypes) {
    SCOPED_TRACE(static_cast<int>(type));
    SimRig rig(Options(type));
    Record(rig, 2'000);
    const uint32_t produced = rig.camera->Model().FramesProduced();
    EXPECT_EQ(produced, 41u);
    const auto bytes = ReadUnwrapped(rig, type);
    ExpectFramesInOrder(bytes, produced, {320, 240});
    if (type == CAMERA_SECTORS) {
      for (std::size_t at : ScanRecords(bytes).offsets) EXPECT_EQ(at % kSectorSize, 0u);
    }
  }
}

TEST(SimFlash, SectorCameraSkipsTheZoneGapsSoTheDataSectorsFormOneStream) {
  SimRig rig(Options(CAMERA_SECTORS));
  // Start 4 sectors before the end of zone 0's data area.
  rig.camera->Model().Flash().SetWritePosition(uint64_t{kZoneDataSectors - 4} * kSectorSize);
  Record(rig, 1'000);
  const PointerAndWrap p = AskPointer(rig, CAMERA_SECTORS);
  ASSERT_GT(p.pointer, kZoneSectors);
  const auto stream = ReadDataSectors(rig, 32'188, 4 + (p.pointer - kZoneSectors));
  ExpectFramesInOrder(stream, rig.camera->Model().FramesProduced(), {320, 240});
  const auto gap = ReadSectors(rig, 32'192, kZoneSectors);
  EXPECT_TRUE(std::all_of(gap.begin(), gap.end(), [](uint8_t b) { return b == 0xFF; }));
}

TEST(SimFlash, RecordingPastTheEndWrapsAndCutsTheOldestFrame) {
  for (CameraType type : kTypes) {
    SCOPED_TRACE(static_cast<int>(type));
    SimRig rig(Options(type));
    Record(rig, 3'000);  // old frames at the start of the data space
    auto& flash = rig.camera->Model().Flash();
    flash.SetWritePosition(flash.DataSize() - 100 * kSectorSize);
    Record(rig, 1'000);
    const PointerAndWrap p = AskPointer(rig, type);
    EXPECT_EQ(p.wrap, 1);
    // The bytes at the pointer are the rest of an old frame: recorded, but not a header.
    std::vector<uint8_t> after;
    if (type == CAMERA_SECTORS) {
      EXPECT_GT(p.pointer, kFirstDataSector);
      after = ReadSectors(rig, p.pointer, p.pointer + 1);
    } else if (type == CAMERA_PACKED_PAGES) {
      const uint32_t at = PackedToLinear(p.pointer);
      after = ReadBytes(rig, type, at, at + 511);
    } else {
      after = ReadBytes(rig, type, p.pointer + 1, p.pointer + 512);
    }
    ASSERT_EQ(after.size(), 512u);
    EXPECT_FALSE(std::all_of(after.begin(), after.end(), [](uint8_t b) { return b == 0xFF; }));
    if (type != CAMERA_SECTORS) {
      EXPECT_FALSE(IsFrameHeader(after.data()));
    }
  }
}

// A prefilled wrapped flash, read the way each readout finds its oldest frame.
TEST(SimFlash, PrefilledWrappedFlashIsReadableByEachTypesWrappedReadout) {
  for (CameraType type : kTypes) {
    SCOPED_TRACE(static_cast<int>(type));
    sim::SimOptions o = Options(type);
    o.prefillFrames = 30;
    o.prefillRecordings = 3;
    o.prefillWrapped = true;
    SimRig rig(o);
    const PointerAndWrap p = AskPointer(rig, type);
    ASSERT_EQ(p.wrap, 1);
    std::vector<uint8_t> bytes;
    if (type == CAMERA_SECTORS) {
      // Probe sectors from 512 after the pointer for one that starts with a header.
      uint32_t s = p.pointer + 512;
      int probes = 0;
      for (; probes < 256; ++probes, s = NextDataSector(s)) {
        if (IsFrameHeader(ReadSectors(rig, s, s + 1).data())) break;
      }
      ASSERT_LT(probes, 256);
      uint32_t pointer = 0;
      ASSERT_TRUE(DataSectorOrdinal(p.pointer, &pointer));
      // Only the last stretch before the top: the rest is older tiles of the same kind.
      const uint32_t tail = 2'000;
      bytes = ReadDataSectors(rig, DataSectorAt(kDataSectorCount - tail), tail + pointer);
    } else if (type == CAMERA_PACKED_PAGES) {
      const uint32_t block = (PackedPage(p.pointer) / 64 + 1) * 64 * kPageSize;
      const auto window = ReadBytes(rig, type, block, block + 131'071);
      std::size_t i = 0;
      while (i + 16 <= window.size() && !IsFrameHeader(window.data() + i)) ++i;
      ASSERT_LT(i + 16, window.size());
      const uint32_t tailStart = kPackedFlashBytes - (1u << 20);
      bytes = ReadBytes(rig, type, tailStart, kPackedFlashBytes - 1);
      const auto head = ReadBytes(rig, type, 0, block - 1);
      bytes.insert(bytes.end(), head.begin(), head.end());
    } else {
      const uint32_t tailStart = kNandFlashBytes - kNandSectorBytes;
      bytes = ReadBytes(rig, type, tailStart, kNandFlashBytes - 1);
      const auto head = ReadBytes(rig, type, 0, p.pointer);
      bytes.insert(bytes.end(), head.begin(), head.end());
    }
    // From the first header on, old frames lead seamlessly into the 30 recorded ones.
    std::size_t start = 0;
    while (!IsFrameHeader(bytes.data() + start)) ++start;
    const RecordScan scan = ScanRecords(bytes, start);
    std::size_t recent = 0;
    for (std::size_t at : scan.offsets) {
      if (FrameHeader::FromBytes(bytes.data() + at).Timestamp() >= o.clock - 8 * 86'400) ++recent;
    }
    EXPECT_EQ(recent, 30u);
    EXPECT_LT(rig.camera->Model().Flash().Store().AllocatedBytes(), 4u << 20);
  }
}

TEST(SimFlash, EraseAnswersAfterTheEraseTimeThenTheFlashIsEmpty) {
  for (CameraType type : kTypes) {
    SCOPED_TRACE(static_cast<int>(type));
    sim::SimOptions o = Options(type);
    o.prefillFrames = 10;
    o.prefillWrapped = true;
    o.eraseMs = 4'500;
    SimRig rig(o);
    const uint64_t start = rig.clock.NowMs();
    rig.link.WriteByte(CMD_ERASE_FLASH);
    std::vector<uint8_t> reply;
    while (reply.empty() && rig.clock.NowMs() - start < 60'000) reply = rig.ReadOnce(1);
    EXPECT_EQ(reply, std::vector<uint8_t>{0x80});
    EXPECT_GE(rig.clock.NowMs() - start, 4'500u);
    EXPECT_LE(rig.clock.NowMs() - start, 4'700u);
    const PointerAndWrap p = AskPointer(rig, type);
    EXPECT_EQ(p.pointer, type == CAMERA_SECTORS ? kFirstDataSector : 0u);
    EXPECT_EQ(p.wrap, 0);
    const auto bytes =
        type == CAMERA_SECTORS ? ReadSectors(rig, 192, 200) : ReadBytes(rig, type, 0, 4095);
    EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(rig.camera->Model().Flash().Store().AllocatedBytes(), 0u);
  }
}

TEST(SimFlash, ReadRequestsReturnExactlyTheirRangeAndNothingForAnEmptyRange) {
  SimRig sectors(Options(CAMERA_SECTORS));
  RequestFlashRange(sectors.link, 500, 503);
  EXPECT_EQ(sectors.Drain().size(), 3u * 512);
  RequestFlashRange(sectors.link, 503, 500);
  EXPECT_TRUE(sectors.Drain().empty());

  SimRig packed(Options(CAMERA_PACKED_PAGES));
  packed.link.WriteByte(CMD_READ_FLASH);
  packed.link.WriteDword(MakePackedAddress(1, 2047));
  packed.link.WriteDword(MakePackedAddress(2, 0));
  EXPECT_EQ(packed.Drain().size(), 2u);  // both ends included

  SimRig nand(Options(CAMERA_NAND_PAGES));
  // A whole-device request is served lazily, without holding 1 GiB anywhere.
  nand.link.WriteByte(CMD_READ_FLASH);
  const auto a = EncodeNandAddress(0);
  const auto b = EncodeNandAddress(kNandFlashBytes - 1);
  nand.link.WriteBuffer(a.data(), 5);
  nand.link.WriteBuffer(b.data(), 5);
  EXPECT_EQ(nand.Queued(), kNandFlashBytes);
  std::vector<uint8_t> chunk(8 << 20);
  ASSERT_EQ(nand.link.ReadWithTimeout(chunk.data(), 8 << 20), 8u << 20);
  EXPECT_TRUE(std::all_of(chunk.begin(), chunk.end(), [](uint8_t x) { return x == 0xFF; }));
  EXPECT_EQ(nand.camera->Model().Flash().Store().AllocatedBytes(), 0u)
      << "reading erased flash must not allocate";
  nand.link.Purge(kPurgeRx | kPurgeTx);
  EXPECT_EQ(nand.Queued(), 0u);
}

TEST(FlashAddress, SectorZonesAndNandFormRoundTrip) {
  EXPECT_EQ(NextDataSector(100), 101u);
  EXPECT_EQ(NextDataSector(32'191), 32'768u);
  EXPECT_EQ(NextDataSector(64'767), 65'536u);
  EXPECT_EQ(NextDataSector(228'607), 229'376u);
  EXPECT_EQ(NextDataSector(261'375), 192u);
  EXPECT_EQ(DataSectorAt(0), 192u);
  EXPECT_EQ(DataSectorAt(31'999), 32'191u);
  EXPECT_EQ(DataSectorAt(32'000), 32'768u);
  EXPECT_EQ(DataSectorAt(kDataSectorCount - 1), 261'375u);
  uint32_t ordinal = 0;
  EXPECT_FALSE(DataSectorOrdinal(32'192, &ordinal));
  EXPECT_FALSE(DataSectorOrdinal(191, &ordinal));
  for (uint32_t n : {0u, 1u, 31'999u, 32'000u, 100'000u, kDataSectorCount - 1}) {
    ASSERT_TRUE(DataSectorOrdinal(DataSectorAt(n), &ordinal));
    EXPECT_EQ(ordinal, n);
  }
  EXPECT_EQ(EncodeNandAddress(0x3FFFFFFF), (NandAddress{0xFF, 0x07, 0xFF, 0xFF, 0x07}));
  EXPECT_EQ(EncodeNandAddress(4'194'304), (NandAddress{0x00, 0x00, 0x00, 0x08, 0x00}));
  const uint8_t ones[5] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(DecodeNandAddress(ones), 0xFFFFFFFFu);
  for (uint32_t a = 0; a < kNandFlashBytes; a += 0x12345) {
    ASSERT_EQ(DecodeNandAddress(EncodeNandAddress(a).data()), a);
  }
  EXPECT_EQ(PackedToLinear(MakePackedAddress(65'535, 2047)), 134'217'727u);
  EXPECT_EQ(LinearToPacked(134'217'727u), kPackedLastByte);
}

}  // namespace
}  // namespace bf::test
