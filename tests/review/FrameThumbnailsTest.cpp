// Hover thumbnails: frames decoded at a reduced scale, the most recently used ones kept.
#include <gtest/gtest.h>

#include <fstream>

#include "frames/HeaderGenerator.h"
#include "recordings/RecordingFixture.h"
#include "review/FrameThumbnails.h"

namespace bf {
namespace {

using test::PictureRecordingWithTimestamps;
using test::TempDir;

class FrameThumbnailsTest : public ::testing::Test {
 protected:
  FrameThumbnailsTest() : table_(GenerateHeaderTable({320, 240})) {}
  void Open(std::size_t frames) {
    std::vector<uint32_t> times;
    for (std::size_t i = 0; i < frames; ++i) times.push_back(static_cast<uint32_t>(100 + i));
    path_ = dir_.Write("t.bfk", PictureRecordingWithTimestamps(times));
    ASSERT_EQ(recording_.Open(path_), Recording::OpenStatus::Opened);
  }

  TempDir dir_;
  std::string path_;
  JpegHeaderTable table_;
  Recording recording_;
};

TEST_F(FrameThumbnailsTest, DecodesAtTheSmallestScaleNoNarrowerThanAsked) {
  Open(1);
  for (const auto& [asked, width, height] : std::vector<std::tuple<int, int, int>>{
           {80, 80, 60}, {100, 160, 120}, {30, 40, 30}, {161, 320, 240}, {2000, 320, 240}}) {
    FrameThumbnails thumbnails(recording_, table_, asked, 4);
    const auto picture = thumbnails.Get(0);
    ASSERT_NE(picture, nullptr) << asked;
    EXPECT_EQ(picture->width, width) << asked;
    EXPECT_EQ(picture->height, height) << asked;
    ASSERT_EQ(picture->rgb.size(), static_cast<std::size_t>(width * height * 3));
    // The flat grey picture stays grey.
    EXPECT_NEAR(picture->rgb[picture->rgb.size() / 2], 128, 3);
  }
}

TEST_F(FrameThumbnailsTest, KeepsTheMostRecentlyUsedAndRemembersFramesWithoutOne) {
  Open(4);
  FrameThumbnails thumbnails(recording_, table_, 80, 2);
  const auto first = thumbnails.Get(0);
  thumbnails.Get(1);
  EXPECT_EQ(thumbnails.Get(0), first);  // kept: the same picture, not decoded again
  EXPECT_EQ(thumbnails.Decodes(), 2u);
  thumbnails.Get(2);  // pushes out frame 1, the least recently used
  EXPECT_EQ(thumbnails.Size(), 2u);
  EXPECT_EQ(thumbnails.Get(0), first);
  EXPECT_EQ(thumbnails.Decodes(), 3u);
  thumbnails.Get(1);
  EXPECT_EQ(thumbnails.Decodes(), 4u);

  // Out of the index: none, and no decode.
  EXPECT_EQ(thumbnails.Get(99), nullptr);
  EXPECT_EQ(thumbnails.Decodes(), 4u);

#ifndef _WIN32
  // The file's bytes gone: the frame cannot be read and has no thumbnail; asked again, it is
  // not read again. (Windows will not write a file while the recording maps it.)
  thumbnails.Clear();
  {
    std::fstream zero(path_, std::ios::in | std::ios::out | std::ios::binary);
    const std::vector<char> zeros(std::filesystem::file_size(path_), 0);
    zero.write(zeros.data(), static_cast<std::streamsize>(zeros.size()));
    ASSERT_TRUE(zero.good());
  }
  EXPECT_EQ(thumbnails.Get(3), nullptr);
  EXPECT_EQ(thumbnails.Size(), 1u);
  EXPECT_EQ(thumbnails.Get(3), nullptr);
  EXPECT_EQ(thumbnails.Decodes(), 4u);
#endif
}

TEST(ScaledDecodeTest, RefusesWhatIsNotAJpeg) {
  RgbPicture picture;
  EXPECT_FALSE(DecodeScaled({}, 80, picture));
  const std::vector<uint8_t> junk(100, 0x55);
  EXPECT_FALSE(DecodeScaled(junk, 80, picture));
  EXPECT_EQ(picture.width, 0);
}

}  // namespace
}  // namespace bf
