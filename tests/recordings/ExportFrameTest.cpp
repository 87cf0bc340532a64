// Still export through the player: which frame, what bytes, and every way writing can fail.
#include "recordings/ExportFrame.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "RecordingFixture.h"
#include "frames/JpegEncoder.h"
#include "frames/JpegInfo.h"
#include "host/FileErrorText.h"
#include "recordings/StillFile.h"
#include "sim/VirtualClock.h"
#include "sim/VirtualPlaybackTimer.h"
#include "support/MissingFolderText.h"
#include "support/ScriptedPrompts.h"

namespace bf {
namespace {

class StillExport : public ::testing::Test {
 protected:
  StillExport() {
    headersFile = test::ReadAll(BF_HEADERS_DAT);
    EXPECT_TRUE(LoadJpegHeaderTableFromFile(BF_HEADERS_DAT, table));
  }

  std::string OpenFrames(std::initializer_list<test::RecordShape> records) {
    std::vector<uint8_t> bytes;
    for (const test::RecordShape& s : records) test::AppendRecord(bytes, s);
    recordingBytes = bytes;
    const std::string path = dir.Write("rec.bfk", bytes);
    EXPECT_EQ(player.OpenRecording(path), records.size());
    return path;
  }
  std::vector<uint8_t> ExportTo(const std::string& path) {
    prompts.saveFiles.push_back(path);
    ExportFrame(player, table, prompts);
    return test::ReadAll(path);
  }
  std::vector<uint8_t> HeadersSlice(std::size_t offset, std::size_t length) const {
    return {headersFile.begin() + static_cast<std::ptrdiff_t>(offset),
            headersFile.begin() + static_cast<std::ptrdiff_t>(offset + length)};
  }

  test::TempDir dir;
  VirtualClock clock;
  VirtualPlaybackTimer timer{clock};
  test::ScriptedPrompts prompts;
  test::RecordingDisplay display;
  Player player{display, timer, prompts};
  JpegHeaderTable table;
  std::vector<uint8_t> headersFile;
  std::vector<uint8_t> recordingBytes;
};

TEST_F(StillExport, FileIsTableEntryPayloadAndHeaderOfTheFrameOnDisplay) {
  OpenFrames({{.recordLength = 2016, .timestamp = 1, .compression = 4, .monochrome = 1},
              {.recordLength = 5016, .timestamp = 2, .compression = 1, .monochrome = 0}});
  player.NavigateTo(1, NAV_ABSOLUTE);
  const std::vector<uint8_t> colour = ExportTo(dir.File("colour.jpg"));
  ASSERT_EQ(colour.size(), 5714u);
  EXPECT_EQ(std::vector<uint8_t>(colour.begin(), colour.begin() + 698), HeadersSlice(4138, 698));
  // Payload and trailer byte for byte as stored: the record's bytes, header moved to the end.
  const std::vector<uint8_t> payload(recordingBytes.begin() + 2016 + 16, recordingBytes.end());
  EXPECT_EQ(std::vector<uint8_t>(colour.begin() + 698, colour.end() - 16), payload);
  EXPECT_EQ(std::vector<uint8_t>(colour.end() - 16, colour.end()),
            std::vector<uint8_t>(recordingBytes.begin() + 2016, recordingBytes.begin() + 2032));
  EXPECT_EQ(colour[5714 - 16], 0xFF);
  EXPECT_EQ(colour[5714 - 15], 0xFE);

  player.NavigateTo(0, NAV_ABSOLUTE);
  const std::vector<uint8_t> bw = ExportTo(dir.File("bw.jpg"));
  ASSERT_EQ(bw.size(), 2704u);
  EXPECT_EQ(std::vector<uint8_t>(bw.begin(), bw.begin() + 688), HeadersSlice(2752, 688));
  EXPECT_TRUE(prompts.shown.empty());

  ASSERT_EQ(prompts.saveRequests.size(), 2u);
  EXPECT_EQ(prompts.saveRequests[0].filter, "Jpeg file (*.jpg)|*.jpg||");
  EXPECT_EQ(prompts.saveRequests[0].defaultExtension, "jpg");
  EXPECT_TRUE(prompts.saveRequests[0].confirmOverwrite);
  EXPECT_TRUE(prompts.saveRequests[0].hideReadOnly);
}

TEST_F(StillExport, AfterAPlaybackStepTheFrameBeforeThePositionIsExported) {
  OpenFrames({{.recordLength = 1016, .timestamp = 10, .compression = 0},
              {.recordLength = 3016, .timestamp = 11, .compression = 3},
              {.recordLength = 1516, .timestamp = 12, .compression = 2}});
  player.StartPlayback(5);  // shows frame 0 at once
  timer.RunFor(200);        // and frame 1
  ASSERT_EQ(player.Position(), 2u);
  const std::vector<uint8_t> still = ExportTo(dir.File("step.jpg"));
  ASSERT_EQ(still.size(), 698u + 3000u + 16u);
  EXPECT_EQ(FrameHeader::FromBytes(still.data() + still.size() - 16).Timestamp(), 11u);

  timer.RunAll();  // the run ends; position is past the last entry
  const std::vector<uint8_t> last = ExportTo(dir.File("last.jpg"));
  ASSERT_EQ(last.size(), 698u + 1500u + 16u);
  EXPECT_EQ(FrameHeader::FromBytes(last.data() + last.size() - 16).Timestamp(), 12u);
}

TEST_F(StillExport, NothingOfThisRecordingOnDisplayExportsNothing) {
  ExportFrame(player, table, prompts);  // no recording: silently nothing
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_TRUE(prompts.saveRequests.empty());

  OpenFrames({{}});
  ExportFrame(player, table, prompts);  // opened, nothing shown yet
  player.NavigateTo(0, NAV_ABSOLUTE);
  player.ClearDisplay();  // Play clears the display
  ExportFrame(player, table, prompts);
  player.NavigateTo(0, NAV_ABSOLUTE);
  player.ShowExternalFrame(FrameHeader::Make(116, 5, 0, 0, 0, 0), {});  // a live picture
  ExportFrame(player, table, prompts);
  EXPECT_EQ(prompts.Texts(), std::vector<std::string>(3, kNothingToExportText));
  EXPECT_TRUE(prompts.saveRequests.empty());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST_F(StillExport, NameWithoutExtensionGetsJpgAndCancelWritesNothing) {
  OpenFrames({{}});
  player.NavigateTo(0, NAV_ABSOLUTE);
  EXPECT_EQ(ExportTo(dir.File("bare")).size(), 0u);
  EXPECT_EQ(test::ReadAll(dir.File("bare.jpg")).size(), 698u + 1000u + 16u);

  ExportFrame(player, table, prompts);  // the dialog is cancelled
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_EQ(WithDefaultExtension("a.b/c", "jpg"), "a.b/c.jpg");
  EXPECT_EQ(WithDefaultExtension("c.JPEG", "jpg"), "c.JPEG");
}

TEST_F(StillExport, UnwritableTargetsReportTheReasonAndTheName) {
  OpenFrames({{}});
  player.NavigateTo(0, NAV_ABSOLUTE);
  // A parent that is a file, and a folder as target: refused even for root.
  const std::string underFile = dir.File("rec.bfk") + "/x.jpg";
  const std::string folder = dir.File("folder.jpg");
  std::filesystem::create_directory(folder);
  for (const std::string& target : {underFile, folder, dir.File("no/such/folder/x.jpg")}) {
    prompts.saveFiles.push_back(target);
    ExportFrame(player, table, prompts);
  }
  ASSERT_EQ(prompts.shown.size(), 3u);
  EXPECT_EQ(prompts.shown[0].text, underFile + " contains an incorrect path.");
  EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Error);
  EXPECT_EQ(prompts.shown[1].text, folder + " is a folder, not a file.");
  EXPECT_EQ(prompts.shown[2].text, test::MissingFolderText(dir.File("no/such/folder/x.jpg")));
  // The program goes on: the next export works.
  EXPECT_EQ(ExportTo(dir.File("ok.jpg")).size(), 1714u);
}

TEST_F(StillExport, FailedWriteKeepsTheOldTargetAndLeavesNoLitter) {
  const std::vector<uint8_t> payload(100, 0x12);
  const FrameHeader h = FrameHeader::Make(116, 1, 0, 0, 0, 0);
  const std::span<const uint8_t> entry = table.SelectHeaderEntry(0, 0);
  EXPECT_EQ(FileErrorText(ENOSPC, "x.jpg"), "Disk full while accessing x.jpg.");

  const std::string target = dir.File("keep.jpg");
  const std::vector<uint8_t> old{1, 2, 3};
  dir.Write("keep.jpg", old);
  namespace fs = std::filesystem;
  // No new names in the folder (ignored by root, and by Windows for folders).
  fs::permissions(dir.Path(), fs::perms::owner_read | fs::perms::owner_exec);
  const uint32_t error = WriteStillFile(entry, h, payload, target);
  fs::permissions(dir.Path(), fs::perms::owner_all);
  if (error != 0) {
    EXPECT_EQ(error, static_cast<uint32_t>(EACCES));
    EXPECT_EQ(test::ReadAll(target), old);
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST_F(StillExport, TheOpenRecordingIsRefusedAsTargetUnderAnyName) {
  const std::string path =
      OpenFrames({{.recordLength = 1016, .timestamp = 1}, {.recordLength = 2016, .timestamp = 2}});
#ifdef _WIN32
  // Other names of one file on Windows: a hard link, the name in other letters, the other
  // separator (symbolic links need a privilege there).
  std::filesystem::create_hard_link(path, dir.Path() / "alias.jpg");
  std::string upper = dir.File("REC.BFK");
  std::string slashed = dir.Path().string() + "/./rec.bfk";
  const std::vector<std::string> names{path, dir.File("alias.jpg"), upper, slashed};
#else
  std::filesystem::create_symlink("rec.bfk", dir.Path() / "alias.jpg");
  const std::vector<std::string> names{path, dir.File("alias.jpg"), dir.File("./rec.bfk")};
#endif
  player.NavigateTo(1, NAV_ABSOLUTE);
  for (const std::string& target : names) {
    prompts.saveFiles.push_back(target);
    ExportFrame(player, table, prompts);
  }
  EXPECT_EQ(prompts.Texts(), std::vector<std::string>(names.size(), kStillOverRecordingText));
  EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Error);
  EXPECT_EQ(test::ReadAll(path), recordingBytes);
#ifdef _WIN32
  EXPECT_EQ(test::ReadAll(dir.File("alias.jpg")), recordingBytes);
#else
  EXPECT_TRUE(std::filesystem::is_symlink(dir.Path() / "alias.jpg"));
#endif
  // The recording plays on, and another name is written.
  player.NavigateTo(0, NAV_ABSOLUTE);
  EXPECT_EQ(display.shown.back().payload,
            std::vector<uint8_t>(recordingBytes.begin() + 16, recordingBytes.begin() + 1016));
  EXPECT_EQ(ExportTo(dir.File("other.jpg")).size(), 698u + 1000u + 16u);
}

TEST_F(StillExport, TruncatedLastFrameWritesOnlyTheBytesPresent) {
  std::vector<uint8_t> bytes;
  test::AppendRecord(bytes, {.recordLength = 1016, .timestamp = 1});
  test::AppendRecord(bytes, {.recordLength = 4016, .timestamp = 2});
  bytes.resize(bytes.size() - 3500);
  ASSERT_EQ(player.OpenRecording(dir.Write("cut.bfk", bytes)), 2u);
  player.NavigateTo(1, NAV_ABSOLUTE);
  const std::vector<uint8_t> still = ExportTo(dir.File("cut.jpg"));
  EXPECT_EQ(still.size(), 698u + 500u + 16u);
}

TEST_F(StillExport, CompressionWithoutTableEntryIsRefused) {
  OpenFrames({{.compression = 7}});
  player.NavigateTo(0, NAV_ABSOLUTE);
  prompts.saveFiles.push_back(dir.File("seven.jpg"));
  ExportFrame(player, table, prompts);
  EXPECT_EQ(prompts.Texts(), std::vector<std::string>{kUnknownCompressionText});
  EXPECT_FALSE(std::filesystem::exists(dir.File("seven.jpg")));
}

}  // namespace
}  // namespace bf

namespace bf {
namespace {

// With a real camera-like payload and the generated table the exported still is a JPEG that
// decodes, the trailing header notwithstanding.
TEST_F(StillExport, ExportedStillOfARealPictureDecodes) {
  FramePayloadEncoder encoder(PictureSize{320, 240});
  std::vector<uint8_t> rgb(320 * 240 * 3);
  for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 7 / 3);
  const std::vector<uint8_t> payload = encoder.Encode(rgb.data(), true, 3);
  const FrameHeader h =
      FrameHeader::Make(static_cast<uint16_t>(payload.size() + 16), 77, 3, 1, 5, 1);
  std::vector<uint8_t> bytes(h.bytes.begin(), h.bytes.end());
  bytes.insert(bytes.end(), payload.begin(), payload.end());
  ASSERT_EQ(player.OpenRecording(dir.Write("real.bfk", bytes)), 1u);
  player.NavigateTo(0, NAV_ABSOLUTE);
  const std::vector<uint8_t> still = ExportTo(dir.File("real.jpg"));
  ASSERT_EQ(still.size(), 688u + payload.size() + 16u);
  const JpegInfo info = DecodeCheckJpeg(still);
  EXPECT_TRUE(info.ok) << info.error;
  EXPECT_EQ(info.width, 320);
  EXPECT_EQ(info.height, 240);
  EXPECT_EQ(info.components, 1);
}

}  // namespace
}  // namespace bf
