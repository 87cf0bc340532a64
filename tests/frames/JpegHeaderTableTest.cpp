#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "FrameTestFiles.h"
#include "frames/JpegHeaderTable.h"

namespace bf {
namespace {

using test::PatternByte;
using test::PatternTableFile;
using test::TempDir;

JpegHeaderTable LoadPattern() {
  const auto file = PatternTableFile(JpegHeaderTable::kFileSize);
  JpegHeaderTable table;
  EXPECT_TRUE(LoadJpegHeaderTableFromBytes(file, "headers.dat", table));
  return table;
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
  test::WriteBytes(dir.File("headers.dat"), PatternTableFile(JpegHeaderTable::kFileSize));
  MemorySettingsStore settings;
  settings.WriteString("", settings::kInstallPath, dir.Path().string());
  // A value in a section would be the wrong key: only the application key counts.
  settings.WriteString(settings::kSection, settings::kInstallPath, "/nonexistent");
  JpegHeaderTable table;
  const auto result = LoadJpegHeaderTable(settings, table);
  ASSERT_TRUE(result) << result.error;
  ExpectEntryAt(table, 2, 0, 4836, 698);
  ExpectEntryAt(table, 4, 1, 2752, 688);
}

TEST(JpegHeaderTableLoad, EmptyInstallPathMeansCurrentDirectory) {
  TempDir dir;
  test::WriteBytes(dir.File("headers.dat"), PatternTableFile(JpegHeaderTable::kFileSize));
  test::ScopedWorkingDir cwd(dir.Path());
  MemorySettingsStore settings;
  JpegHeaderTable table;
  const auto result = LoadJpegHeaderTable(settings, table);
  ASSERT_TRUE(result) << result.error;
  ExpectEntryAt(table, 1, 1, 688, 688);
  EXPECT_EQ(HeaderTablePath(""), (std::filesystem::path(".") / "headers.dat").string());
}

TEST(JpegHeaderTableLoad, LongerFileUsesItsFirst6930Bytes) {
  TempDir dir;
  test::WriteBytes(dir.File("headers.dat"), PatternTableFile(JpegHeaderTable::kFileSize + 100));
  JpegHeaderTable table;
  ASSERT_TRUE(LoadJpegHeaderTableFromFile(dir.File("headers.dat"), table));
  ExpectEntryAt(table, 4, 0, 6232, 698);
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
  test::WriteBytes(path, PatternTableFile(JpegHeaderTable::kFileSize));
  std::filesystem::permissions(path, std::filesystem::perms::none);
  JpegHeaderTable table;
  const auto result = LoadJpegHeaderTableFromFile(path, table);
  EXPECT_FALSE(result);
  EXPECT_EQ(result.error, "Access to " + path + " was denied.");
}

}  // namespace
}  // namespace bf
