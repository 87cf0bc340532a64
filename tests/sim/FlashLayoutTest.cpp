// The simulated camera's own address code against the program's, on the worked examples of the
// three flash address models. The two are written apart (the camera's side: where it writes and
// what a request names; the host's side: how it reads pointers and builds requests), so they
// must meet here rather than share a mistake in every end-to-end copy.
#include "sim/FlashLayout.h"

#include <gtest/gtest.h>

#include <vector>

#include "flash/CameraKind.h"
#include "flash/FlashAddress.h"

namespace bf::sim {
namespace {

// The bytes a request the host builds for [start, end] names on the camera's side.
DeviceBytes Named(CameraType type, uint32_t start, uint32_t end) {
  const CameraKind& kind = KindOf(type);
  const FlashReadRequest r = BuildReadRequest(kind, start, end);
  std::vector<uint8_t> bounds(r.start.begin(), r.start.begin() + r.boundBytes);
  bounds.insert(bounds.end(), r.end.begin(), r.end.begin() + r.boundBytes);
  return RequestedDeviceBytes(type, bounds.data());
}

// The camera's data-sector number of a bound that is a data sector or one past one.
uint32_t NumberOfBound(uint32_t sector) {
  uint32_t n = 0;
  if (DataSectorNumber(sector, &n)) return n;
  EXPECT_TRUE(DataSectorNumber(sector - 1, &n)) << sector;
  return n + 1;
}

TEST(FlashLayout, LayoutsAgreeWithTheProgramsCameraTable) {
  for (const CameraKind& kind : kCameraKinds) {
    EXPECT_EQ(LayoutOf(kind.type).deviceBytes, kind.deviceBytes) << kind.type;
    EXPECT_EQ(LayoutOf(kind.type).dataBytes, kind.dataBytes) << kind.type;
    EXPECT_EQ(LayoutOf(kind.type).boundBytes, kind.addressBytes) << kind.type;
  }
}

TEST(FlashLayout, ZoneDataAreasAreTheProgramsZoneBounds) {
  for (uint32_t sector : {192u, 32'191u, 32'768u, 64'767u, 65'536u, 229'376u, 261'375u}) {
    const DataZone host = GetZoneBounds(sector);
    const SectorSpan camera = ZoneDataArea(sector / kCameraZoneSectors);
    EXPECT_EQ(camera.first, host.first) << sector;
    EXPECT_EQ(camera.end, host.end) << sector;
  }
  // The gaps the program refuses hold no data sector for the camera either.
  uint32_t n = 0;
  for (uint32_t sector : {0u, 191u, 32'192u, 32'193u, 32'767u, 64'768u, 262'143u}) {
    EXPECT_FALSE(DataSectorNumber(sector, &n)) << sector;
  }
}

TEST(FlashLayout, TheCamerasNextSectorIsTheProgramsNextDataSector) {
  for (uint32_t from : {32'191u, 64'767u, 97'535u, 130'303u, 163'071u, 195'839u, 228'607u, 261'375u,
                        192u, 1000u, 40'000u}) {
    uint32_t n = 0;
    ASSERT_TRUE(DataSectorNumber(from, &n)) << from;
    const uint32_t next = PhysicalDataSector((n + 1) % (kCameraZones * kCameraZoneDataSectors));
    EXPECT_EQ(next, NextDataSector(from)) << from;
  }
}

TEST(FlashLayout, SectorCountsAreTheProgramsCounts) {
  const uint32_t all = kCameraZones * kCameraZoneDataSectors;
  struct Case {
    uint32_t first, end, expected;
  };
  for (const Case& c : {Case{192, 192, 0}, Case{192, 32'768, 32'000}, Case{192, 261'376, 256'000},
                        Case{229'376, 192, 32'000}, Case{32'000, 192, 224'192}}) {
    const uint32_t camera = c.first == kCameraFirstDataSector
                                ? NumberOfBound(c.end)
                                : all - NumberOfBound(c.first) + NumberOfBound(c.end);
    EXPECT_EQ(camera, c.expected) << c.first << ".." << c.end;
    EXPECT_EQ(CountDataSectors(c.first, c.end), c.expected) << c.first << ".." << c.end;
  }
}

TEST(FlashLayout, SectorRequestsNameWholeSectorsEndExcluded) {
  const DeviceBytes r = Named(CAMERA_SECTORS, 192, 192 + 124);
  EXPECT_EQ(r.first, 192u * 512);
  EXPECT_EQ(r.count, 124u * 512);
  EXPECT_EQ(Named(CAMERA_SECTORS, 500, 500).count, 0u);
  EXPECT_EQ(Named(CAMERA_SECTORS, 501, 500).count, 0u);
}

TEST(FlashLayout, PackedExamplesNameTheSameBytesOnBothSides) {
  const uint32_t lastByte = MakePackedAddress(65'535, 2047);
  EXPECT_EQ(Named(CAMERA_PACKED_PAGES, lastByte, lastByte).first, PackedToLinear(lastByte));
  EXPECT_EQ(PackedToLinear(lastByte), 134'217'727u);
  // A step across a page, and the byte before a page start.
  const uint32_t stepped = PackedStep(MakePackedAddress(1, 2032), 256);
  EXPECT_EQ(stepped, MakePackedAddress(2, 240));
  EXPECT_EQ(Named(CAMERA_PACKED_PAGES, MakePackedAddress(1, 2032), stepped).count, 257u);
  const uint32_t previous = PackedPrevious(MakePackedAddress(2, 0));
  EXPECT_EQ(Named(CAMERA_PACKED_PAGES, previous, MakePackedAddress(2, 0)).count, 2u);
  EXPECT_EQ(PackedToLinear(PackedDifference(MakePackedAddress(2, 0), previous)), 1u);
  // The last block, advanced to its last byte: one block of bytes.
  const uint32_t lastBlock = MakePackedAddress(65'472, 0);
  const uint32_t end = PackedAdvance(lastBlock, 131'071);
  EXPECT_EQ(end, lastByte);
  EXPECT_EQ(Named(CAMERA_PACKED_PAGES, lastBlock, end).count, 131'072u);
  EXPECT_EQ(Named(CAMERA_PACKED_PAGES, 0, PackedAdvance(0, 131'071)).count, 131'072u);
  EXPECT_EQ(NextPackedBlock(lastBlock), 0u);
  EXPECT_EQ(Named(CAMERA_PACKED_PAGES, NextPackedBlock(lastBlock), 0).first, 0u);
}

TEST(FlashLayout, NandExamplesNameTheSameBytesOnBothSides) {
  const DeviceBytes last = Named(CAMERA_NAND_PAGES, 0x3FFF'FFFF, 0x3FFF'FFFF);
  EXPECT_EQ(last.first, 0x3FFF'FFFFu);
  EXPECT_EQ(last.count, 1u);
  for (uint32_t sector = 0; sector < 256; ++sector) {
    const uint32_t start = sector * kNandSectorBytes;
    const DeviceBytes r = Named(CAMERA_NAND_PAGES, start, start + kNandSectorBytes - 1);
    ASSERT_EQ(r.first, start) << sector;
    ASSERT_EQ(r.count, kNandSectorBytes) << sector;
  }
  const std::vector<uint8_t> allFf(10, 0xFF);
  EXPECT_EQ(RequestedDeviceBytes(CAMERA_NAND_PAGES, allFf.data()).first,
            DecodeNandAddress(allFf.data()));
  EXPECT_EQ(DecodeNandAddress(allFf.data()), 0xFFFF'FFFFu);
}

TEST(FlashLayout, PointerRepliesReadBackAsTheProgramExpects) {
  for (const CameraKind& kind : kCameraKinds) {
    const std::vector<uint8_t> empty = PointerReplyFor(kind.type, 0, false);
    ASSERT_EQ(empty.size(), kind.pointerReplyBytes);
    EXPECT_TRUE(IsFlashEmpty(kind, DecodeFlashPointer(kind, empty.data()), 0)) << kind.type;
  }
  const CameraKind& sectors = KindOf(CAMERA_SECTORS);
  // The next sector to write: one past a partly written sector, over the gap between zones.
  EXPECT_EQ(DecodeFlashPointer(sectors, PointerReplyFor(CAMERA_SECTORS, 513, false).data()), 194u);
  const uint64_t zone0 = uint64_t{kCameraZoneDataSectors} * 512;
  EXPECT_EQ(DecodeFlashPointer(sectors, PointerReplyFor(CAMERA_SECTORS, zone0, false).data()),
            NextDataSector(32'191));
  const CameraKind& packed = KindOf(CAMERA_PACKED_PAGES);
  EXPECT_EQ(DecodeFlashPointer(packed, PointerReplyFor(CAMERA_PACKED_PAGES, 4097, false).data()),
            MakePackedAddress(2, 1));
  const CameraKind& nand = KindOf(CAMERA_NAND_PAGES);
  EXPECT_EQ(DecodeFlashPointer(nand, PointerReplyFor(CAMERA_NAND_PAGES, 0, true).data()),
            0x3FFF'FFFFu);
  EXPECT_EQ(PointerReplyFor(CAMERA_NAND_PAGES, 0, true),
            (std::vector<uint8_t>{0xFF, 0x07, 0xFF, 0xFF, 0x07}));
  EXPECT_EQ(PointerReplyFor(CAMERA_NAND_PAGES, kNandSectorBytes + 1, false),
            (std::vector<uint8_t>{0x00, 0x00, 0x00, 0x08, 0x00}));
}

}  // namespace
}  // namespace bf::sim
