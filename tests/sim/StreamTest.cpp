// The live stream: pacing on the virtual clock, pictures that rebuild and decode, stopping.
#include <gtest/gtest.h>

#include <cmath>

#include "SimRig.h"
#include "frames/HeaderGenerator.h"
#include "frames/JpegInfo.h"
#include "frames/RebuildJpeg.h"
#include "link/CameraCommands.h"
#include "sim/FrameMaker.h"

namespace bf::test {
namespace {

void SetValue(SimRig& rig, CameraCommand command, uint8_t value) {
  const uint8_t bytes[2] = {command, value};
  rig.link.WriteBuffer(bytes, 2);
}

TEST(SimStream, FramesArriveAtTheIntervalOfEachFrameRateIndex) {
  const double expectedMs[8] = {10'000, 5'000, 2'000, 1'000, 500, 1000.0 / 3, 250, 50};
  for (uint8_t index = 0; index < 8; ++index) {
    SCOPED_TRACE(static_cast<int>(index));
    SimRig rig;
    SetValue(rig, CMD_SET_FRAME_RATE, index);
    rig.link.WriteByte(CMD_START_STREAM);
    std::vector<uint64_t> arrivals;
    for (int i = 0; i < 4; ++i) {
      auto frame = rig.ReadFrame();
      ASSERT_TRUE(frame.has_value());
      EXPECT_EQ(frame->header.FrameRateIndex(), index);
      arrivals.push_back(frame->arrivedMs);
    }
    for (std::size_t i = 1; i < arrivals.size(); ++i) {
      EXPECT_NEAR(static_cast<double>(arrivals[i] - arrivals[i - 1]), expectedMs[index], 1.0);
    }
  }
}

TEST(SimStream, EveryFrameRebuildsToAJpegOfTheCurrentSizeModeAndCompression) {
  for (PictureSize size : {PictureSize{320, 240}, PictureSize{640, 480}}) {
    sim::SimOptions o;
    o.size = size;
    o.frameRateIndex = 7;
    SimRig rig(o);
    const JpegHeaderTable table = GenerateHeaderTable(size);
    rig.link.WriteByte(CMD_START_STREAM);
    for (bool mono : {false, true}) {
      rig.link.WriteByte(mono ? CMD_SET_MONOCHROME : CMD_SET_COLOUR);
      for (uint8_t level = 0; level <= 4; ++level) {
        SCOPED_TRACE(testing::Message()
                     << size.width << " mono " << mono << " level " << static_cast<int>(level));
        SetValue(rig, CMD_SET_COMPRESSION, level);
        // Frames taken before the change may still be queued; the next ones show it.
        auto frame = rig.ReadFrame();
        for (int skip = 0; skip < 3 && frame && frame->header.Compression() != level; ++skip) {
          frame = rig.ReadFrame();
        }
        ASSERT_TRUE(frame.has_value());
        EXPECT_EQ(frame->header.Compression(), level);
        EXPECT_EQ(frame->header.Monochrome() != 0, mono);
        ASSERT_EQ(frame->payload.size(), PayloadLength(frame->header));
        ASSERT_GE(frame->payload.size(), 2u);
        EXPECT_EQ(frame->payload[frame->payload.size() - 2], 0xFF);
        EXPECT_EQ(frame->payload.back(), 0xD9);
        const auto jpeg = RebuildJpeg(table, frame->header, frame->payload);
        const JpegInfo info = DecodeCheckJpeg(jpeg);
        ASSERT_TRUE(info.ok) << info.error;
        EXPECT_EQ(info.warnings, 0);
        EXPECT_EQ(info.width, size.width);
        EXPECT_EQ(info.height, size.height);
        EXPECT_EQ(info.components, mono ? 1 : 3);
      }
    }
  }
}

TEST(SimStream, HeaderCarriesTheCameraClockAndMotionFlag) {
  sim::SimOptions o;
  o.clock = 2'000'000'000;
  SimRig rig(o);
  rig.clock.Advance(5'000);
  rig.link.WriteByte(CMD_START_STREAM);
  auto first = rig.ReadFrame();
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->header.Timestamp(), 2'000'000'005u);
  EXPECT_FALSE(first->header.MotionDetectorOn());
  rig.link.WriteByte(CMD_MOTION_DETECT_ON);
  auto next = rig.ReadFrame(20'000);
  ASSERT_TRUE(next.has_value());
  EXPECT_TRUE(next->header.MotionDetectorOn());
}

TEST(SimStream, StopLeavesBytesInFlightForTheHostToDrainThenNothingMore) {
  sim::SimOptions o;
  o.frameRateIndex = 7;
  SimRig rig(o);
  rig.link.WriteByte(CMD_START_STREAM);
  rig.clock.Advance(1'000);
  rig.link.WriteByte(CMD_STOP_STREAM);
  const auto drained = rig.Drain();
  const RecordScan scan = ScanRecords(drained);
  EXPECT_EQ(scan.offsets.size(), 21u);  // t = 0, 50, ..., 1000 ms
  EXPECT_EQ(scan.end, drained.size());
  rig.clock.Advance(60'000);
  EXPECT_EQ(rig.Queued(), 0u);
}

TEST(SimStream, MotionDetectorSendsFramesOnlyWhenTheSceneChanges) {
  sim::SimOptions o;
  o.frameRateIndex = 7;
  o.motionDetector = true;
  o.motionIntervalMs = 7'000;
  SimRig rig(o);
  rig.link.WriteByte(CMD_START_STREAM);
  auto a = rig.ReadFrame();
  // Longer than the 12 s live timeout, as the motion detector allows.
  rig.link.WriteByte(CMD_SET_FRAME_RATE);
  rig.link.WriteByte(7);
  auto b = rig.ReadFrame(60'000);
  auto c = rig.ReadFrame(60'000);
  ASSERT_TRUE(a && b && c);
  EXPECT_EQ(b->arrivedMs - a->arrivedMs, 7'000u);
  EXPECT_EQ(c->arrivedMs - b->arrivedMs, 7'000u);
}

TEST(SimStream, AHostThatDoesNotReadLosesFramesButTheQueueStaysBounded) {
  sim::SimOptions o;
  o.frameRateIndex = 7;
  SimRig rig(o);
  rig.link.WriteByte(CMD_START_STREAM);
  rig.clock.Advance(3'600'000);
  EXPECT_LT(rig.Queued(), 2u << 20);
  rig.link.WriteByte(CMD_STOP_STREAM);
  const auto drained = rig.Drain();
  EXPECT_FALSE(ScanRecords(drained).offsets.empty());
}

TEST(SimStream, LargestPictureStillFitsTheSixteenBitRecordLength) {
  sim::FrameMaker maker({640, 480});
  sim::FrameSettings busiest;
  busiest.compression = 4;
  busiest.monochrome = false;
  std::size_t largest = 0;
  for (uint32_t i = 0; i < 120; ++i) {
    for (bool aligned : {false, true}) {
      const auto record = maker.MakeRecord(i * 7919, i * 997, 4'000'000'000u + i, busiest, aligned);
      const auto header = FrameHeader::FromBytes(record.data());
      ASSERT_LE(record.size(), 65'535u);
      ASSERT_EQ(header.RecordLength(), record.size());
      EXPECT_EQ(header.Compression(), 4) << "fell back to a plainer picture";
      if (aligned) {
        EXPECT_EQ(record.size() % 512, 0u);
      }
      largest = std::max(largest, record.size());
    }
  }
  RecordProperty("largest_record", static_cast<int>(largest));
}

}  // namespace
}  // namespace bf::test
