// The three address models: every edge case of the conversions, steps and their refusals.
#include <gtest/gtest.h>

#include "flash/FlashAddress.h"
#include "flash/FlashFailure.h"
#include "support/ScriptedPrompts.h"

namespace bf {
namespace {

constexpr uint32_t P(uint32_t page, uint32_t column) {
  return MakePackedAddress(page, column);
}

template <class F>
std::string FailureMessage(F&& f) {
  try {
    f();
  } catch (const FlashAddressFailure& e) {
    return e.Message();
  }
  ADD_FAILURE() << "no failure raised";
  return "<none>";
}

void ExpectZone(uint32_t sector, uint32_t first, uint32_t end) {
  const DataZone z = GetZoneBounds(sector);
  EXPECT_EQ(z.first, first) << sector;
  EXPECT_EQ(z.end, end) << sector;
}

TEST(SectorModel, ZoneBoundsOfEveryListedSector) {
  ExpectZone(192, 192, 32'192);
  ExpectZone(32'191, 192, 32'192);
  ExpectZone(32'192, 192, 32'192);  // the end bound belongs to its zone
  ExpectZone(32'768, 32'768, 64'768);
  ExpectZone(64'768, 32'768, 64'768);
  ExpectZone(65'536, 65'536, 97'536);
  ExpectZone(261'376, 229'376, 261'376);
  for (uint32_t zone = 1; zone < kZoneCount; ++zone) {
    ExpectZone(zone * kZoneSectors, zone * kZoneSectors, zone * kZoneSectors + 32'000);
    ExpectZone(zone * kZoneSectors + 32'000, zone * kZoneSectors, zone * kZoneSectors + 32'000);
  }
}

TEST(SectorModel, ZoneBoundsRefuseSectorsOutsideTheDataAreas) {
  for (uint32_t gap : {32'193u, 32'767u, 64'769u, 65'535u, 98'305u + 32'000u, 261'375u + 700u}) {
    if (gap > 261'376) continue;
    EXPECT_THROW(GetZoneBounds(gap), GeneralFailure) << gap;
    EXPECT_EQ(FailureMessage([&] { GetZoneBounds(gap); }), kNoDataAreaText) << gap;
  }
  for (uint32_t outside : {0u, 191u, 261'377u, 0xFFFF'FFFFu}) {
    EXPECT_THROW(GetZoneBounds(outside), GeneralFailure) << outside;
    EXPECT_EQ(FailureMessage([&] { GetZoneBounds(outside); }), "") << outside;
  }
}

TEST(SectorModel, NextDataSectorCrossesEveryZoneGap) {
  const std::pair<uint32_t, uint32_t> steps[] = {
      {32'191, 32'768},   {64'767, 65'536},   {97'535, 98'304},   {130'303, 131'072},
      {163'071, 163'840}, {195'839, 196'608}, {228'607, 229'376}, {261'375, 192}};
  for (auto [from, to] : steps) EXPECT_EQ(NextDataSector(from), to) << from;
  EXPECT_EQ(NextDataSector(100), 101u);  // outside the data areas: plain + 1
  EXPECT_EQ(NextDataSector(192), 193u);
  EXPECT_EQ(NextDataSector(32'192), 32'193u);
}

TEST(SectorModel, CountDataSectorsPlainAndWrapped) {
  EXPECT_EQ(CountDataSectors(192, 192), 0u);
  EXPECT_EQ(CountDataSectors(192, 32'768), 32'000u);
  EXPECT_EQ(CountDataSectors(192, 261'376), 256'000u);
  EXPECT_EQ(CountDataSectors(229'376, 192), 32'000u);
  EXPECT_EQ(CountDataSectors(32'000, 192), 224'192u);
  EXPECT_EQ(CountDataSectors(192, 32'778), 32'010u);
  // Wrapped from inside zone 3 to inside zone 1: the rest of zone 3, zones 4 to 7, zone 0 and
  // the first 10 sectors of zone 1.
  EXPECT_EQ(CountDataSectors(3 * kZoneSectors + 100, kZoneSectors + 10),
            (32'000u - 100) + 4 * 32'000u + 32'000u + 10);
}

TEST(SectorModel, CountDataSectorsFailsAsZoneBounds) {
  // Pointer 0, what a type 0 camera that does not answer gives: no message, general failure.
  EXPECT_THROW(CountDataSectors(192, 0), GeneralFailure);
  EXPECT_EQ(FailureMessage([] { CountDataSectors(192, 0); }), "");
  EXPECT_EQ(FailureMessage([] { CountDataSectors(32'500, 192); }), kNoDataAreaText);
}

TEST(PackedModel, StepCarriesIntoTheNextPage) {
  EXPECT_EQ(PackedStep(P(1, 2047), 1), P(2, 0));
  EXPECT_EQ(PackedStep(P(1, 2032), 256), P(2, 240));
  EXPECT_EQ(PackedStep(P(65'535, 2047), 1), P(0, 0));
  EXPECT_EQ(PackedStep(P(7, 5), 0), P(7, 5));
  EXPECT_THROW(PackedStep(P(1, 2032), 257), UserAbort);
  EXPECT_EQ(FailureMessage([] { PackedStep(P(1, 2032), 257); }), kCannotStepText);
}

TEST(PackedModel, PreviousDifferenceAndLinear) {
  EXPECT_EQ(PackedPrevious(P(2, 0)), P(1, 2047));
  EXPECT_EQ(PackedPrevious(0), P(65'535, 2047));
  EXPECT_EQ(PackedPrevious(P(3, 9)), P(3, 8));
  EXPECT_EQ(PackedPrevious(kPackedFlashEnd), kPackedLastByte);
  EXPECT_EQ(PackedDifference(P(2, 0), P(1, 2047)), 1u);
  EXPECT_EQ(PackedToLinear(PackedDifference(P(257, 0), 0)), 526'336u);
  EXPECT_EQ(PackedToLinear(PackedDifference(kPackedLastByte, P(10, 100))) + 1,
            kPackedFlashBytes - (10u * 2048 + 100));
  EXPECT_EQ(PackedToLinear(P(65'535, 2047)), 134'217'727u);
  EXPECT_EQ(PackedToLinear(kPackedFlashEnd), kPackedFlashBytes);
}

TEST(PackedModel, AdvanceOverABlockAndItsLimit) {
  EXPECT_EQ(PackedAdvance(P(65'472, 0), 131'071), P(65'535, 2047));
  EXPECT_EQ(PackedAdvance(0, 131'071), P(63, 2047));
  EXPECT_EQ(PackedAdvance(P(65'535, 2047), 1), 0u);  // past the last byte: the start again
  EXPECT_EQ(PackedAdvance(P(1, 2000), 100), P(2, 52));
  EXPECT_EQ(PackedAdvance(0, 134'215'680), P(65'535, 0));
  EXPECT_THROW(PackedAdvance(0, 134'215'681), UserAbort);
  EXPECT_EQ(FailureMessage([] { PackedAdvance(0, 134'215'681); }), kCannotAdvanceText);
}

TEST(PackedModel, NextBlockAfterTheLastIsTheStart) {
  for (uint32_t page = 65'472; page <= 65'535; ++page) {
    EXPECT_EQ(NextPackedBlock(P(page, 1234 % 2048)), 0u) << page;
  }
  EXPECT_EQ(NextPackedBlock(0), P(64, 0));
  EXPECT_EQ(NextPackedBlock(P(63, 2047)), P(64, 0));
  EXPECT_EQ(NextPackedBlock(P(64, 0)), P(128, 0));
  EXPECT_EQ(PackedBlockStart(P(130, 17)), P(128, 0));
}

TEST(NandModel, EncodeListedAddresses) {
  EXPECT_EQ(EncodeNandAddress(0x3FFF'FFFF), (NandAddress{0xFF, 0x07, 0xFF, 0xFF, 0x07}));
  EXPECT_EQ(EncodeNandAddress(4'194'304), (NandAddress{0x00, 0x00, 0x00, 0x08, 0x00}));
  EXPECT_EQ(EncodeNandAddress(0), (NandAddress{0, 0, 0, 0, 0}));
  const uint8_t allOnes[5] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(DecodeNandAddress(allOnes), 0xFFFF'FFFFu);
  const uint8_t highBitsOfByte1[5] = {0x12, 0xF8 | 0x03, 0, 0, 0};
  EXPECT_EQ(DecodeNandAddress(highBitsOfByte1), 0x312u);
}

TEST(NandModel, DecodeInvertsEncodeOverTheWholeFlash) {
  // Every address would take long; every column and every page bit, and a dense stride, cover
  // each bit position of each byte in both states.
  for (uint32_t a = 0; a < 4096; ++a) ASSERT_EQ(DecodeNandAddress(EncodeNandAddress(a)), a);
  for (int bit = 0; bit < 30; ++bit) {
    const uint32_t a = 1u << bit;
    ASSERT_EQ(DecodeNandAddress(EncodeNandAddress(a)), a);
    ASSERT_EQ(DecodeNandAddress(EncodeNandAddress(kNandLastByte - a)), kNandLastByte - a);
  }
  for (uint64_t a = 0; a <= kNandLastByte; a += 65'521) {
    ASSERT_EQ(DecodeNandAddress(EncodeNandAddress(static_cast<uint32_t>(a))), a);
  }
  EXPECT_EQ(DecodeNandAddress(EncodeNandAddress(kNandLastByte)), kNandLastByte);
}

TEST(NandModel, SectorsOfFourMebibytes) {
  EXPECT_EQ(NandSectorOf(0), 0);
  EXPECT_EQ(NandSectorOf(0x3F'FFFF), 0);
  EXPECT_EQ(NandSectorOf(0x40'0000), 1);
  EXPECT_EQ(NandSectorOf(kNandLastByte), 255);
  EXPECT_EQ(NandSectorStart(255), 0x3FC0'0000u);
}

TEST(AddressFailure, ReportShowsTheOperationsMessageThenOutOfMemory) {
  ScriptedPrompts prompts;
  try {
    GetZoneBounds(32'500);
  } catch (const FlashAddressFailure& e) {
    EXPECT_EQ(ReportAddressFailure(prompts, e), kGeneralFailureText);
  }
  try {
    GetZoneBounds(5);
  } catch (const FlashAddressFailure& e) {
    ReportAddressFailure(prompts, e);
  }
  try {
    PackedStep(0, 300);
  } catch (const FlashAddressFailure& e) {
    EXPECT_EQ(ReportAddressFailure(prompts, e), kCannotStepText);
  }
  ASSERT_EQ(prompts.shown.size(), 4u);
  EXPECT_EQ(prompts.shown[0].text, "Адрес не указывает на область данных");
  EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Error);
  EXPECT_EQ(prompts.shown[1].text, "Out of memory.");
  EXPECT_EQ(prompts.shown[2].text, "Out of memory.");  // no message of its own
  // The standard report: OK with the exclamation icon, unlike the operation's own message.
  EXPECT_EQ(prompts.shown[1].icon, MessageIcon::Warning);
  EXPECT_EQ(prompts.shown[2].icon, MessageIcon::Warning);
  EXPECT_EQ(prompts.shown[2].buttons, MessageButtons::Ok);
  EXPECT_EQ(prompts.shown[3].text, "Не удалось увеличить адрес");  // and nothing after it
  EXPECT_EQ(prompts.shown[3].icon, MessageIcon::Error);
}

}  // namespace
}  // namespace bf
