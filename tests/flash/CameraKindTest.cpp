// The camera type table: pointer forms, empty decisions and the wire form of CMD_READ_FLASH.
#include <gtest/gtest.h>

#include <memory>

#include "flash/CameraKind.h"
#include "flash/FlashAddress.h"
#include "link/FTD2xx.h"
#include "sim/SimCamera.h"
#include "sim/VirtualClock.h"

namespace bf {
namespace {

// Records every write the link makes, and answers nothing.
class WriteLog final : public D2xxBackend {
 public:
  std::vector<std::vector<uint8_t>> writes;
  FtStatus Open(uint32_t, FtHandle* h) override {
    *h = this;
    return 0;
  }
  FtStatus Close(FtHandle) override { return 0; }
  FtStatus Read(FtHandle, void*, uint32_t, uint32_t* read) override {
    *read = 0;
    return 0;
  }
  FtStatus Write(FtHandle, const void* b, uint32_t n, uint32_t* written) override {
    const auto* p = static_cast<const uint8_t*>(b);
    writes.emplace_back(p, p + n);
    *written = n;
    return 0;
  }
  FtStatus ResetDevice(FtHandle) override { return 0; }
  FtStatus Purge(FtHandle, uint32_t) override { return 0; }
  FtStatus SetTimeouts(FtHandle, uint32_t, uint32_t) override { return 0; }
  FtStatus GetQueueStatus(FtHandle, uint32_t* rx) override {
    *rx = 0;
    return 0;
  }
  FtStatus SetEventNotification(FtHandle, uint32_t, void*) override { return 0; }
  FtStatus GetStatus(FtHandle, uint32_t* a, uint32_t* b, uint32_t* c) override {
    *a = *b = *c = 0;
    return 0;
  }
  std::string LastError() const override { return ""; }
};

struct Wire {
  Wire() : log(std::make_shared<WriteLog>()), link(log, clock) {
    link.Open(0);
    log->writes.clear();
  }
  VirtualClock clock;
  std::shared_ptr<WriteLog> log;
  FTD2xx link;
};

using Bytes = std::vector<uint8_t>;

TEST(CameraKind, OnlyTypesZeroToTwoAreSupported) {
  for (int reply = 0; reply < 256; ++reply) {
    const CameraKind* kind = FindCameraKind(static_cast<uint8_t>(reply));
    if (reply <= 2) {
      ASSERT_NE(kind, nullptr);
      EXPECT_EQ(kind->type, reply);
    } else {
      EXPECT_EQ(kind, nullptr) << reply;
    }
  }
  EXPECT_EQ(KindOf(CAMERA_SECTORS).chunkBytes, 124u * kSectorSize);
  EXPECT_EQ(KindOf(CAMERA_PACKED_PAGES).chunkBytes, 256u * kPageSize + 1);
  EXPECT_EQ(KindOf(CAMERA_SECTORS).dataBytes, uint64_t{kDataSectorCount} * kSectorSize);
}

TEST(CameraKind, EmptyAndWrappedDecisions) {
  const CameraKind& sectors = KindOf(CAMERA_SECTORS);
  const CameraKind& packed = KindOf(CAMERA_PACKED_PAGES);
  const CameraKind& nand = KindOf(CAMERA_NAND_PAGES);
  EXPECT_TRUE(IsFlashEmpty(sectors, 192, 0));
  EXPECT_FALSE(IsFlashEmpty(sectors, 0, 0));  // a silent type 0 camera: not empty
  EXPECT_FALSE(IsFlashEmpty(sectors, 192, 1));
  EXPECT_TRUE(IsFlashEmpty(packed, 0, 0));
  EXPECT_FALSE(IsFlashEmpty(packed, 0, 3));
  EXPECT_FALSE(IsFlashEmpty(packed, 1, 0));
  const uint8_t zeros[5] = {};
  EXPECT_TRUE(IsFlashEmpty(nand, DecodeFlashPointer(nand, zeros), 0));
  EXPECT_FALSE(IsFlashEmpty(nand, 0, 0xFF));
  EXPECT_TRUE(IsWrapped(0x80));
  EXPECT_FALSE(IsWrapped(0));
}

TEST(CameraKind, PointerFormsRoundTrip) {
  const uint8_t le[4] = {0x0A, 0x80, 0x00, 0x00};
  EXPECT_EQ(DecodeFlashPointer(KindOf(CAMERA_SECTORS), le), 32'778u);
  EXPECT_EQ(DecodeFlashPointer(KindOf(CAMERA_PACKED_PAGES), le), 0x800Au);
  for (const CameraKind& kind : kCameraKinds) {
    const auto bytes = EncodeFlashPointer(kind, 0x1234'5678 & 0x3FFF'FFFF);
    ASSERT_EQ(bytes.size(), kind.pointerReplyBytes);
    EXPECT_EQ(DecodeFlashPointer(kind, bytes.data()), 0x1234'5678u & 0x3FFF'FFFF);
  }
}

TEST(CameraKind, SectorRequestIsThreeWritesOfLowBytes) {
  Wire w;
  EXPECT_EQ(RequestFlashRange(w.link, 0xAB01'2345, 0xFF01'2346), 3u);
  EXPECT_EQ(w.log->writes, (std::vector<Bytes>{{0x0D}, {0x45, 0x23, 0x01}, {0x46, 0x23, 0x01}}));
}

TEST(CameraKind, PackedAndNandRequestForms) {
  Wire w;
  SendReadRequest(w.link, KindOf(CAMERA_PACKED_PAGES), MakePackedAddress(1, 2), kPackedLastByte);
  SendReadRequest(w.link, KindOf(CAMERA_NAND_PAGES), 4'194'304, 0x3FFF'FFFF);
  EXPECT_EQ(w.log->writes, (std::vector<Bytes>{{0x0D},
                                               {0x02, 0x00, 0x01, 0x00},
                                               {0xFF, 0x07, 0xFF, 0xFF},
                                               {0x0D},
                                               {0x00, 0x00, 0x00, 0x08, 0x00},
                                               {0xFF, 0x07, 0xFF, 0xFF, 0x07}}));
}

TEST(CameraKind, RequestedBytesPerForm) {
  const CameraKind& sectors = KindOf(CAMERA_SECTORS);
  const CameraKind& packed = KindOf(CAMERA_PACKED_PAGES);
  const CameraKind& nand = KindOf(CAMERA_NAND_PAGES);
  EXPECT_EQ(RequestedBytes(sectors, 192, 316).first, 192u * 512);
  EXPECT_EQ(RequestedBytes(sectors, 192, 316).count, 124u * 512);
  EXPECT_EQ(RequestedBytes(sectors, 316, 316).count, 0u);  // end excluded
  EXPECT_EQ(RequestedBytes(sectors, 317, 316).count, 0u);
  EXPECT_EQ(RequestedBytes(packed, 0, MakePackedAddress(256, 0)).count, 524'289u);
  EXPECT_EQ(RequestedBytes(packed, MakePackedAddress(0, 5), MakePackedAddress(0, 5)).count, 1u);
  EXPECT_EQ(RequestedBytes(nand, 10, 9).count, 0u);
  EXPECT_EQ(RequestedBytes(nand, 0, kNandLastByte).count, uint64_t{kNandFlashBytes});
  for (const CameraKind& kind : kCameraKinds) {
    const FlashReadRequest r = BuildReadRequest(kind, 7, 9);
    EXPECT_EQ(DecodeRangeBound(kind, r.start.data()), 7u);
    EXPECT_EQ(DecodeRangeBound(kind, r.end.data()), 9u);
  }
}

}  // namespace
}  // namespace bf
