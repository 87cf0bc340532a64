#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "FrameTestFiles.h"
#include "frames/HeaderGenerator.h"
#include "frames/JpegHeaderTable.h"
#include "frames/JpegInfo.h"
#include "support/MemorySettingsStore.h"

namespace bf {
namespace {

using test::PatternByte;
using test::PatternTableFile;
using test::TempDir;

// The file form taken apart as it stands, without the checks of loading.
JpegHeaderTable LoadPattern() {
  const auto file = PatternTableFile(JpegHeaderTable::kFileSize);
  return JpegHeaderTable(std::span<const uint8_t, JpegHeaderTable::kFileSize>(file));
}

// Every entry of a loaded table must be the bytes of the file at its own offset.
void ExpectEntriesOf(const JpegHeaderTable& table, const std::vector<uint8_t>& file) {
  for (uint8_t c = 0; c < 5; ++c) {
    const auto bw = table.SelectHeaderEntry(c, 1);
    const auto colour = table.SelectHeaderEntry(c, 0);
    EXPECT_TRUE(std::equal(bw.begin(), bw.end(), file.begin() + 688 * c)) << int(c);
    EXPECT_TRUE(std::equal(colour.begin(), colour.end(), file.begin() + 3440 + 698 * c)) << int(c);
  }
}

// Every entry must be the file's bytes at its own offset, and nothing more.
void ExpectEntryAt(const JpegHeaderTable& table, uint8_t compression, uint8_t monochrome,
                   std::size_t fileOffset, std::size_t size) {
  const auto entry = table.SelectHeaderEntry(compression, monochrome);
  ASSERT_EQ(entry.size(), size) << "compression " << int(compression) << " mono "
                                << int(monochrome);
  for (std::size_t i = 0; i < size; ++i) {
    ASSERT_EQ(entry[i], PatternByte(fileOffset + i))
        << "compression " << int(compression) << " mono " << int(monochrome) << " byte " << i;
  }
}

TEST(JpegHeaderTable, EntriesComeFromTheirFileOffsets) {
  const JpegHeaderTable table = LoadPattern();
  const std::size_t bwOffsets[] = {0, 688, 1376, 2064, 2752};
  const std::size_t colourOffsets[] = {3440, 4138, 4836, 5534, 6232};
  for (uint8_t c = 0; c < 5; ++c) {
    ExpectEntryAt(table, c, 1, bwOffsets[c], 688);
    ExpectEntryAt(table, c, 0, colourOffsets[c], 698);
  }
}

TEST(JpegHeaderTable, OnlyZeroSelectsColour) {
  const JpegHeaderTable table = LoadPattern();
  ExpectEntryAt(table, 3, 0, 5534, 698);  // slot 8
  ExpectEntryAt(table, 3, 2, 2064, 688);  // slot 3
  ExpectEntryAt(table, 0, 0xFF, 0, 688);
  ExpectEntryAt(table, 4, 0x80, 2752, 688);
}

TEST(JpegHeaderTable, CompressionOutsideTheTableSelectsNothing) {
  const JpegHeaderTable table = LoadPattern();
  for (int c : {5, 6, 7, 0x80, 0xFF}) {
    EXPECT_TRUE(table.SelectHeaderEntry(static_cast<uint8_t>(c), 0).empty()) << c;
    EXPECT_TRUE(table.SelectHeaderEntry(static_cast<uint8_t>(c), 1).empty()) << c;
  }
}

TEST(JpegHeaderTableLoad, ReadsTheFileNamedByInstallPath) {
  TempDir dir;
  const auto file = GenerateHeaderTableBytes({320, 240});
  test::WriteBytes(dir.File("headers.dat"), file);
  MemorySettingsStore settings;
  settings.WriteString("", settings::kInstallPath, dir.Path().string());
  // A value in a section would be the wrong key: only the application key counts.
  settings.WriteString(settings::kSection, settings::kInstallPath, "/nonexistent");
  JpegHeaderTable table;
  const auto result = LoadJpegHeaderTable(settings, table);
  ASSERT_TRUE(result) << result.error;
  ExpectEntriesOf(table, file);
}

TEST(JpegHeaderTableLoad, EmptyInstallPathMeansCurrentDirectory) {
  TempDir dir;
  const auto file = GenerateHeaderTableBytes({640, 480});
  test::WriteBytes(dir.File("headers.dat"), file);
  test::ScopedWorkingDir cwd(dir.Path());
  MemorySettingsStore settings;
  JpegHeaderTable table;
  const auto result = LoadJpegHeaderTable(settings, table);
  ASSERT_TRUE(result) << result.error;
  ExpectEntriesOf(table, file);
  EXPECT_EQ(HeaderTablePath(""), (std::filesystem::path(".") / "headers.dat").string());
}

TEST(JpegHeaderTableLoad, LongerFileUsesItsFirst6930Bytes) {
  TempDir dir;
  auto file = GenerateHeaderTableBytes({320, 240});
  file.insert(file.end(), 100, 0xAB);
  test::WriteBytes(dir.File("headers.dat"), file);
  JpegHeaderTable table;
  ASSERT_TRUE(LoadJpegHeaderTableFromFile(dir.File("headers.dat"), table));
  ExpectEntriesOf(table, file);
}

TEST(JpegHeaderTableLoad, FailuresNameTheFileAndLeaveTheTableAlone) {
  TempDir dir;
  const JpegHeaderTable before = LoadPattern();

  {  // missing: the platform's text with the full path
    JpegHeaderTable table = before;
    MemorySettingsStore settings;
    settings.WriteString("", settings::kInstallPath, dir.Path().string());
    const auto result = LoadJpegHeaderTable(settings, table);
    EXPECT_FALSE(result);
    EXPECT_EQ(result.error, dir.File("headers.dat") + " was not found.");
  }
  {  // short: refused, naming the file, its size and the size expected
    const std::string path = dir.File("short.dat");
    test::WriteBytes(path, PatternTableFile(6929));
    JpegHeaderTable table = before;
    const auto result = LoadJpegHeaderTableFromFile(path, table);
    EXPECT_FALSE(result);
    EXPECT_TRUE(result.contentRejected);
    EXPECT_EQ(result.error, path + " is too short: 6929 bytes, 6930 expected.");
    ExpectEntryAt(table, 4, 0, 6232, 698);  // untouched
  }
  {  // empty file
    const std::string path = dir.File("empty.dat");
    test::WriteBytes(path, {});
    JpegHeaderTable table;
    const auto result = LoadJpegHeaderTableFromFile(path, table);
    EXPECT_FALSE(result);
    EXPECT_NE(result.error.find("0 bytes"), std::string::npos) << result.error;
  }
  {  // a folder where the file should be: not mistaken for an empty file
    const std::string path = dir.File("folder.dat");
    std::filesystem::create_directory(path);
    JpegHeaderTable table;
    const auto result = LoadJpegHeaderTableFromFile(path, table);
    EXPECT_FALSE(result);
    // The one file error table's text for a folder, as every writer reports it too.
    EXPECT_EQ(result.error, path + " is a folder, not a file.");
  }
}

TEST(JpegHeaderTableLoad, UnreadableFileIsAccessDenied) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows has no permission bits to take reading away with";
#else
  if (::geteuid() == 0) GTEST_SKIP() << "file permissions do not bind root";
#endif
  TempDir dir;
  const std::string path = dir.File("headers.dat");
  test::WriteBytes(path, GenerateHeaderTableBytes({320, 240}));
  std::filesystem::permissions(path, std::filesystem::perms::none);
  JpegHeaderTable table;
  const auto result = LoadJpegHeaderTableFromFile(path, table);
  EXPECT_FALSE(result);
  EXPECT_EQ(result.error, "Access to " + path + " was denied.");
}

// The parts of a generated table, and a part changed in one place.
std::vector<uint8_t> Part(PictureSize size, bool monochrome, uint8_t compression) {
  const auto file = GenerateHeaderTableBytes(size);
  const std::size_t at = monochrome ? 688u * compression : 3440u + 698u * compression;
  return {file.begin() + static_cast<long>(at),
          file.begin() + static_cast<long>(at + (monochrome ? 688 : 698))};
}

// Offset of the first marker segment FF `marker` in a leading part.
std::size_t SegmentAt(const std::vector<uint8_t>& part, uint8_t marker) {
  std::size_t at = 2;
  while (at + 3 < part.size() && part[at + 1] != marker)
    at += 2 + (std::size_t{part[at + 2]} << 8 | part[at + 3]);
  return at;
}

// Turns a segment into a comment of the same length, so that only what it gave is missing.
std::vector<uint8_t> WithoutSegment(std::vector<uint8_t> part, uint8_t marker) {
  for (std::size_t at = SegmentAt(part, marker); at + 3 < part.size();
       at = SegmentAt(part, marker)) {
    part[at + 1] = 0xFE;
  }
  return part;
}

TEST(JpegLeadingPart, GeneratedPartsGiveTheirSizeAndComponents) {
  for (PictureSize size : {PictureSize{320, 240}, PictureSize{640, 480}}) {
    for (uint8_t c = 0; c < 5; ++c) {
      const JpegInfo bw = ReadLeadingPart(Part(size, true, c));
      ASSERT_TRUE(bw.ok) << bw.error;
      EXPECT_EQ(bw.width, size.width);
      EXPECT_EQ(bw.height, size.height);
      EXPECT_EQ(bw.components, 1);
      const JpegInfo colour = ReadLeadingPart(Part(size, false, c));
      ASSERT_TRUE(colour.ok) << colour.error;
      EXPECT_EQ(colour.width, size.width);
      EXPECT_EQ(colour.components, 3);
    }
  }
}

TEST(JpegLeadingPart, SaysWhatIsMissingOrBroken) {
  const std::vector<uint8_t> good = Part({320, 240}, false, 2);
  const auto error = [](const std::vector<uint8_t>& part) {
    const JpegInfo info = ReadLeadingPart(part);
    EXPECT_FALSE(info.ok);
    EXPECT_EQ(info.width, 0);
    return info.error;
  };
  EXPECT_EQ(error({}), "it does not begin with a JPEG start marker (FF D8)");
  EXPECT_EQ(error(std::vector<uint8_t>(698, 0)),
            "it does not begin with a JPEG start marker (FF D8)");
  EXPECT_EQ(error(std::vector<uint8_t>(698, 0xFF)),
            "it does not begin with a JPEG start marker (FF D8)");
  EXPECT_EQ(error(WithoutSegment(good, 0xDB)),
            "it has no quantisation tables before its scan header");
  EXPECT_EQ(error(WithoutSegment(good, 0xC0)), "it has no frame header before its scan header");
  EXPECT_EQ(error(WithoutSegment(good, 0xC4)), "it has no Huffman tables before its scan header");
  EXPECT_EQ(error(WithoutSegment(good, 0xDA)), "it ends before a scan header");
  // A part cut short inside a segment.
  const std::string cut = error({good.begin(), good.begin() + 200});
  EXPECT_EQ(cut.rfind("the segment FF ", 0), 0u) << cut;
  EXPECT_NE(cut.find(" runs past its end"), std::string::npos) << cut;

  std::vector<uint8_t> noSize = good;
  const std::size_t frame = SegmentAt(noSize, 0xC0);
  noSize[frame + 7] = 0;  // width, high and low byte
  noSize[frame + 8] = 0;
  EXPECT_EQ(error(noSize), "its frame header gives no picture size");

  std::vector<uint8_t> stray = good;
  stray[SegmentAt(stray, 0xDB)] = 0x12;
  EXPECT_EQ(error(stray).rfind("no JPEG marker at offset 0x", 0), 0u);

  std::vector<uint8_t> early = good;
  early[SegmentAt(early, 0xDB) + 1] = 0xD9;
  EXPECT_EQ(error(early).rfind("an unexpected marker FF D9", 0), 0u);
}

// A header table file in a temporary folder, and the result of loading it into a table that
// already holds a good one.
struct Loaded {
  TableLoadResult result;
  bool tableUntouched = false;
};
Loaded LoadFile(const TempDir& dir, const std::vector<uint8_t>& bytes) {
  const auto good = GenerateHeaderTableBytes({320, 240});
  JpegHeaderTable table(
      std::span<const uint8_t, JpegHeaderTable::kFileSize>(good.data(), good.size()));
  const std::string path = dir.File("headers.dat");
  test::WriteBytes(path, bytes);
  Loaded loaded{LoadJpegHeaderTableFromFile(path, table), false};
  const auto entry = table.SelectHeaderEntry(0, 1);
  loaded.tableUntouched = std::equal(entry.begin(), entry.end(), good.begin());
  return loaded;
}

TEST(JpegHeaderTableLoad, AFileOfTheRightLengthThatIsNoTableIsRefused) {
  TempDir dir;
  const std::string path = dir.File("headers.dat");
  const std::string notTable = path + " is not a JPEG header table: ";
  const std::string noStart = ": it does not begin with a JPEG start marker (FF D8).";

  const auto zeros = LoadFile(dir, std::vector<uint8_t>(JpegHeaderTable::kFileSize, 0));
  EXPECT_FALSE(zeros.result);
  EXPECT_TRUE(zeros.result.contentRejected);
  EXPECT_EQ(zeros.result.error, notTable + "the black-and-white part for compression 0" + noStart);
  EXPECT_TRUE(zeros.tableUntouched);

  const auto ones = LoadFile(dir, std::vector<uint8_t>(JpegHeaderTable::kFileSize + 5000, 0xFF));
  EXPECT_FALSE(ones.result);
  EXPECT_TRUE(ones.result.contentRejected);
  EXPECT_EQ(ones.result.error, notTable + "the black-and-white part for compression 0" + noStart);
  EXPECT_TRUE(ones.tableUntouched);

  // Only the last colour part is broken: its Huffman tables are gone.
  auto lastBroken = GenerateHeaderTableBytes({320, 240});
  const auto withoutHuffman = WithoutSegment(Part({320, 240}, false, 4), 0xC4);
  std::copy(withoutHuffman.begin(), withoutHuffman.end(), lastBroken.begin() + 6232);
  const auto broken = LoadFile(dir, lastBroken);
  EXPECT_FALSE(broken.result);
  EXPECT_EQ(broken.result.error, notTable +
                                     "the colour part for compression 4: it has no Huffman "
                                     "tables before its scan header.");
  EXPECT_TRUE(broken.tableUntouched);
}

TEST(JpegHeaderTableLoad, PartsForDifferentPictureSizesAreRefused) {
  TempDir dir;
  auto mixed = GenerateHeaderTableBytes({320, 240});
  const auto big = Part({640, 480}, false, 2);
  std::copy(big.begin(), big.end(), mixed.begin() + 4836);
  const auto loaded = LoadFile(dir, mixed);
  EXPECT_FALSE(loaded.result);
  EXPECT_TRUE(loaded.result.contentRejected);
  EXPECT_EQ(loaded.result.error,
            dir.File("headers.dat") +
                " is not a JPEG header table for one picture size: the black-and-white part for "
                "compression 0 is for 320x240 pictures, the colour part for compression 2 for "
                "640x480.");
  EXPECT_TRUE(loaded.tableUntouched);

  // One size throughout, whichever: accepted.
  for (PictureSize size : {PictureSize{320, 240}, PictureSize{640, 480}, PictureSize{16, 8}}) {
    const auto good = LoadFile(dir, GenerateHeaderTableBytes(size));
    EXPECT_TRUE(good.result) << good.result.error;
  }
}

TEST(JpegHeaderTableLoad, AFifoIsRefusedWithoutBeingRead) {
#ifdef _WIN32
  GTEST_SKIP() << "no FIFOs in the file system";
#else
  TempDir dir;
  const std::string path = dir.File("headers.dat");
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  // Held open for reading and writing here, with a whole good table waiting in it, so that a
  // loader that reads FIFOs takes the table instead of blocking the test.
  const int fifo = ::open(path.c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(fifo, 0);
  const auto good = GenerateHeaderTableBytes({320, 240});
  ASSERT_EQ(::write(fifo, good.data(), good.size()), static_cast<ssize_t>(good.size()));
  JpegHeaderTable table;
  const auto result = LoadJpegHeaderTableFromFile(path, table);
  ::close(fifo);
  EXPECT_FALSE(result);
  EXPECT_FALSE(result.contentRejected);
  EXPECT_EQ(result.error, path + " is not a regular file.");
  EXPECT_TRUE(table.SelectHeaderEntry(0, 0)[0] == 0) << "nothing was taken from it";
#endif
}

}  // namespace
}  // namespace bf
