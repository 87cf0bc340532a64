// A copy that does not complete never destroys the file it was to replace: the old file stays
// and the whole chunks received go beside it. Into a new name it leaves what it received there.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "CopyRecordRig.h"
#include "flash/CopyState.h"
#include "flash/FlashReply.h"
#include "flash/NandReadout.h"
#include "link/StatusText.h"
#include "support/CallLogBackend.h"

namespace bf::test {
namespace {

namespace fs = std::filesystem;

const std::vector<uint8_t> kOldBytes(3000, 0x5A);

void WriteOld(const std::string& path) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(kOldBytes.data()),
             static_cast<std::streamsize>(kOldBytes.size()));
}

// The whole chunks logged for one file, as the camera holds them.
std::vector<uint8_t> LoggedChunkBytes(CopyRig& r, CameraType type, uint32_t fileIndex = 0) {
  std::vector<uint8_t> out;
  for (const CopyChunk& c : r.log->Chunks()) {
    if (c.fileIndex != fileIndex) continue;
    uint64_t address = c.start;
    if (type == CAMERA_SECTORS) address *= kSectorSize;
    if (type == CAMERA_PACKED_PAGES) address = PackedToLinear(c.start);
    const auto bytes = r.rig.camera->FlashBytes(address, c.received);
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  return out;
}

std::set<std::string> FilesIn(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir))
    names.insert(entry.path().filename().string());
  return names;
}

std::string KeptText(const std::string& chosen, const std::string& partial) {
  return "Копирование не завершено. Файл " + chosen +
         " оставлен без изменений, полученные данные сохранены в файле " + partial + ".";
}

enum class Ending { Unplug, Silence, Cancel };

struct EndingCase {
  CameraType type;
  Ending ending;
};

std::string Name(const ::testing::TestParamInfo<EndingCase>& info) {
  const char* type[] = {"Sectors", "PackedPages", "NandPages"};
  const char* ending[] = {"Unplug", "Silence", "Cancel"};
  return std::string(type[info.param.type]) + "_" + ending[static_cast<int>(info.param.ending)];
}

// Ends the copy the given way right after its first chunk.
void EndAfterFirstChunk(CopyRig& r, const EndingCase& c) {
  r.log->At(1, [&r, c] {
    switch (c.ending) {
      case Ending::Unplug:
        r.rig.camera->Unplug();
        break;
      case Ending::Silence:
        r.rig.camera->SetMute(true);
        break;
      case Ending::Cancel:
        r.session->Cancel();
        break;
    }
  });
}

void PrintTo(const EndingCase& c, std::ostream* os) {
  *os << "type " << c.type << ", ending " << static_cast<int>(c.ending);
}

class UnfinishedCopy : public ::testing::TestWithParam<EndingCase> {};

TEST_P(UnfinishedCopy, AnExistingFileStaysAndTheWholeChunksGoBesideIt) {
  const EndingCase c = GetParam();
  CopyRig r(c.type);
  PrepareSmallCopy(r, c.type);
  const std::string file = r.dir.File("old.bfk");
  const std::string partial = r.dir.File("old.partial.bfk");
  WriteOld(file);
  EndAfterFirstChunk(r, c);
  const CopySummary s = r.Run(file);

  EXPECT_EQ(s.outcome, c.ending == Ending::Cancel ? CopyOutcome::Cancelled : CopyOutcome::Failed);
  EXPECT_FALSE(s.Complete());
  EXPECT_EQ(s.chunks, 1u);
  EXPECT_EQ(ReadFile(file), kOldBytes) << "the earlier copy survives";
  const auto kept = LoggedChunkBytes(r, c.type);
  ASSERT_FALSE(kept.empty());
  EXPECT_SAME_BYTES(ReadFile(partial), kept);
  EXPECT_EQ(FilesIn(r.dir.Path()),
            (std::set<std::string>{"old.bfk", "old.partial.bfk", "old.partial.bfk.json"}))
      << "no temporary left; the record beside the chunks";
  EXPECT_EQ(s.files, std::vector<std::string>{partial});
  ASSERT_EQ(s.keptFiles.size(), 1u);
  EXPECT_EQ(s.keptFiles[0].chosen, file);
  EXPECT_EQ(s.keptFiles[0].partial, partial);
  // One message, naming both files: after the failure's own text, or alone after Cancel.
  ASSERT_EQ(r.prompts.shown.size(), 1u);
  switch (c.ending) {
    case Ending::Unplug:
      EXPECT_EQ(r.prompts.shown[0].text,
                std::string(StatusText(ftstatus::kIoError)) + "\n\n" + KeptText(file, partial));
      EXPECT_EQ(r.prompts.shown[0].icon, MessageIcon::Error);
      EXPECT_EQ(s.failure, StatusText(ftstatus::kIoError));
      break;
    case Ending::Silence:
      EXPECT_EQ(r.prompts.shown[0].text,
                std::string(kBadFlashReplyText) + "\n\n" + KeptText(file, partial));
      EXPECT_EQ(r.prompts.shown[0].icon, MessageIcon::Error);
      break;
    case Ending::Cancel:
      EXPECT_EQ(r.prompts.shown[0].text, KeptText(file, partial));
      EXPECT_EQ(r.prompts.shown[0].icon, MessageIcon::None);
      break;
  }
}

TEST_P(UnfinishedCopy, ANewNameKeepsTheWholeChunksAsBefore) {
  const EndingCase c = GetParam();
  CopyRig r(c.type);
  PrepareSmallCopy(r, c.type);
  const std::string file = r.dir.File("new.bfk");
  EndAfterFirstChunk(r, c);
  const CopySummary s = r.Run(file);
  EXPECT_FALSE(s.Complete());
  EXPECT_SAME_BYTES(ReadFile(file), LoggedChunkBytes(r, c.type));
  EXPECT_EQ(FilesIn(r.dir.Path()), (std::set<std::string>{"new.bfk", "new.bfk.json"}));
  EXPECT_EQ(s.files, std::vector<std::string>{file});
  EXPECT_TRUE(s.keptFiles.empty());
  for (const auto& shown : r.prompts.shown) {
    EXPECT_EQ(shown.text.find("partial"), std::string::npos) << shown.text;
  }
}

INSTANTIATE_TEST_SUITE_P(AllTypes, UnfinishedCopy,
                         ::testing::Values(EndingCase{CAMERA_SECTORS, Ending::Unplug},
                                           EndingCase{CAMERA_SECTORS, Ending::Silence},
                                           EndingCase{CAMERA_SECTORS, Ending::Cancel},
                                           EndingCase{CAMERA_PACKED_PAGES, Ending::Unplug},
                                           EndingCase{CAMERA_PACKED_PAGES, Ending::Silence},
                                           EndingCase{CAMERA_PACKED_PAGES, Ending::Cancel},
                                           EndingCase{CAMERA_NAND_PAGES, Ending::Unplug},
                                           EndingCase{CAMERA_NAND_PAGES, Ending::Silence},
                                           EndingCase{CAMERA_NAND_PAGES, Ending::Cancel}),
                         Name);

TEST(UnfinishedNandCopy, ARefusedRangeBoundaryLeavesAnExistingFileAlone) {
  struct Case {
    const char* what;
    bool silent;  // the camera stops answering once the file is chosen
    uint8_t startSector;
    std::string message;
  };
  for (const Case& c : {Case{"no header", false, 3, kNoStartHeaderText},
                        Case{"read error", true, 0, kReadBlockErrorText}}) {
    SCOPED_TRACE(c.what);
    CopyRig r(CAMERA_NAND_PAGES);
    PrepareSmallCopy(r, CAMERA_NAND_PAGES);
    r.chooser.range = {{c.startSector, 1}};
    if (c.silent) r.prompts.onSaveDialog = [&r] { r.rig.camera->SetMute(true); };
    const std::string file = r.dir.File("old.bfk");
    WriteOld(file);
    const CopySummary s = r.Run(file);
    EXPECT_EQ(ReadFile(file), kOldBytes);
    EXPECT_EQ(FilesIn(r.dir.Path()), std::set<std::string>{"old.bfk"}) << "nothing beside it";
    EXPECT_TRUE(s.files.empty());
    ASSERT_EQ(s.keptFiles.size(), 1u);
    EXPECT_EQ(s.keptFiles[0].partial, "");
    EXPECT_EQ(r.prompts.Texts(), std::vector<std::string>{c.message});

    // A new name is still created, empty, as ever.
    r.Fresh();
    if (c.silent) {
      r.rig.camera->SetMute(false);
      r.prompts.onSaveDialog = [&r] { r.rig.camera->SetMute(true); };
    }
    const std::string fresh = r.dir.File("fresh.bfk");
    r.Run(fresh);
    EXPECT_TRUE(fs::exists(fresh));
    EXPECT_EQ(fs::file_size(fresh), 0u);
  }
}

TEST(UnfinishedNandCopy, BothFilesOfARangePastTheEndSurviveAFailureInTheSecond) {
  CopyRig r(CAMERA_NAND_PAGES);
  LayOutSplitRange(r);
  const std::string first = r.dir.File("old.bfk");
  const std::string second = SecondFileName(first);
  WriteOld(first);
  WriteOld(second);
  // Unplugged after the first chunk of the second file.
  constexpr uint32_t kChunk = 524'289;
  const uint32_t firstFileChunks = (kNandFlashBytes - kSplitStart + kChunk - 1) / kChunk;
  r.log->At(firstFileChunks + 1, [&r] { r.rig.camera->Unplug(); });
  const CopySummary s = r.Run(first);
  EXPECT_EQ(s.outcome, CopyOutcome::Failed);
  EXPECT_EQ(ReadFile(first), kOldBytes);
  EXPECT_EQ(ReadFile(second), kOldBytes);
  const std::string partialFirst = r.dir.File("old.partial.bfk");
  const std::string partialSecond = PartialFileName(second);
  EXPECT_SAME_BYTES(ReadFile(partialFirst), LoggedChunkBytes(r, CAMERA_NAND_PAGES, 0));
  EXPECT_SAME_BYTES(ReadFile(partialSecond), LoggedChunkBytes(r, CAMERA_NAND_PAGES, 1));
  EXPECT_EQ(ReadFile(partialSecond).size(), 524'289u);
  EXPECT_EQ(FilesIn(r.dir.Path()).size(), 5u) << "no temporary left; one record for both";
  ASSERT_EQ(r.prompts.shown.size(), 1u);
  EXPECT_EQ(r.prompts.shown[0].text, std::string(StatusText(ftstatus::kIoError)) + "\n\n" +
                                         KeptText(second, partialSecond) + "\n" +
                                         KeptText(first, partialFirst));
}

TEST(PartialFileName, ReplacesOnlyTheExtensionOfTheLastName) {
  EXPECT_EQ(PartialFileName("/a/old.bfk"), "/a/old.partial.bfk");
  EXPECT_EQ(PartialFileName("old.bfk`.bfk"), "old.bfk`.partial.bfk");
  EXPECT_EQ(PartialFileName("/a.b/flash"), "/a.b/flash.partial");
  EXPECT_EQ(PartialFileName("/a/.hidden"), "/a/.hidden.partial");
}

}  // namespace
}  // namespace bf::test
