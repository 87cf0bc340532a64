// bfk copy leaves its record beside the recording; bfk info shows it and checks the file
// against it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "BfkRun.h"
#include "cli/MiniJson.h"
#include "flash/CopyRecordCheck.h"
#include "support/TempFolder.h"

namespace bf::test {
namespace {

namespace fs = std::filesystem;

class BfkCopyRecord : public ::testing::Test {
 protected:
  std::string File(const std::string& name) const { return (dir_ / name).string(); }

  const bf::test::TempFolder folder_{"bf-record"};
  const fs::path& dir_ = folder_.Path();
};

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

constexpr const char* kCamera = "frames=40,recordings=3,damaged=1,speed=0,clock=1245067200";

TEST_F(BfkCopyRecord, EveryTypesCopyHasARecordThatSha256sumAndTheCheckAgreeWith) {
  for (const int type : {0, 1, 2}) {
    SCOPED_TRACE(type);
    const std::string out = File("copy" + std::to_string(type) + ".bfk");
    const ShellRun copy = Shell(Bfk() + " copy -o " + Quoted(out) + " --camera " +
                                Quoted("sim:type=" + std::to_string(type) + "," + kCamera) +
                                (type == 2 ? " --range 0-0" : "") + " 2>&1");
    ASSERT_EQ(copy.exitCode, 0) << copy.output;
    EXPECT_NE(copy.output.find("copy record: " + out + ".json\n"), std::string::npos)
        << copy.output;
    const auto record = Json::Parse(ReadText(out + ".json"));
    ASSERT_TRUE(record.has_value());
    const ShellRun sum = Shell("sha256sum " + Quoted(out));
    EXPECT_EQ((*record)["files"][0]["sha256"].text, sum.output.substr(0, 64));
    EXPECT_EQ((*record)["files"][0]["size"].number, static_cast<double>(fs::file_size(out)));
    EXPECT_EQ((*record)["camera_type"].number, type);
    EXPECT_EQ((*record)["outcome"].text, "complete");
    EXPECT_TRUE((*record)["clock"]["camera_read"].boolean);
    EXPECT_EQ((*record)["files"][0]["damaged_stretches"].items.size(), 1u)
        << "what the report counts";
    EXPECT_NE(copy.output.find("damaged stretches: 1 "), std::string::npos);

    const ShellRun info = Shell(Bfk() + " info " + Quoted(out) + " 2>&1");
    EXPECT_EQ(info.exitCode, 0) << info.output;
    EXPECT_NE(info.output.find("copy record: " + out + ".json\n"), std::string::npos);
    EXPECT_NE(info.output.find("  outcome: complete\n"), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("  camera clock at the start: 2009-06-15T12:00:"), std::string::npos)
        << info.output;
    EXPECT_NE(info.output.find("  frames: recorded 39, now 39\n"), std::string::npos)
        << info.output;

    const ShellRun check = Shell(Bfk() + " info --check " + Quoted(out) + " 2>&1");
    EXPECT_EQ(check.exitCode, 0) << check.output;
    EXPECT_NE(check.output.find(out + ": matches its copy record"), std::string::npos)
        << check.output;
  }
}

TEST_F(BfkCopyRecord, TheCheckFindsAFlippedByteAndNamesItsChunk) {
  const std::string out = File("flip.bfk");
  ASSERT_EQ(Shell(Bfk() + " copy -o " + Quoted(out) + " --camera " +
                  Quoted(std::string("sim:type=0,") + kCamera) + " >/dev/null 2>&1")
                .exitCode,
            0);
  const auto record = Json::Parse(ReadText(out + ".json"));
  ASSERT_TRUE(record.has_value());
  const Json& chunks = (*record)["files"][0]["chunks"];
  ASSERT_GE(chunks.items.size(), 3u);
  const auto offset = static_cast<std::streamoff>(chunks[1]["offset"].number) + 5;
  {
    std::fstream f(out, std::ios::binary | std::ios::in | std::ios::out);
    f.seekg(offset);
    const int c = f.get();
    f.seekp(offset);
    f.put(static_cast<char>(c ^ 0x01));
    ASSERT_TRUE(f.flush());
  }
  const ShellRun check = Shell(Bfk() + " info --check " + Quoted(out) + " 2>&1");
  EXPECT_EQ(check.exitCode, 1) << check.output;
  EXPECT_NE(
      check.output.find(out + ": does NOT match its copy record: chunk 2 of " +
                        std::to_string(chunks.items.size()) + " (offset " +
                        std::to_string(static_cast<long long>(chunks[1]["offset"].number)) + ", "),
      std::string::npos)
      << check.output;

  // Without a record there is nothing to check against.
  fs::remove(out + ".json");
  const ShellRun none = Shell(Bfk() + " info --check " + Quoted(out) + " 2>&1");
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_NE(none.output.find("no copy record"), std::string::npos) << none.output;
}

TEST_F(BfkCopyRecord, AFailedCopyStillLeavesItsRecord) {
  const std::string out = File("silent.bfk");
  // The camera falls silent inside the second chunk: the file holds the first one.
  const ShellRun copy =
      Shell(Bfk() + " copy -o " + Quoted(out) + " --camera " +
            Quoted("sim:type=1,frames=200,damaged=0,speed=0,silent_after_bytes=700000") + " 2>&1");
  EXPECT_EQ(copy.exitCode, 1) << copy.output;
  // Its failure's text has the window's line break, escaped.
  std::string error;
  const auto record = ReadCopyRecord(out + ".json", &error);
  ASSERT_TRUE(record.has_value()) << error << copy.output;
  EXPECT_EQ((*record)["outcome"].text, "failed");
  EXPECT_EQ((*record)["failure"].text,
            "Не возможно сохранить. \nОшибка при чтении содержимого памяти");
  EXPECT_EQ((*record)["files"][0]["size"].Unsigned(), 524'289u);
  EXPECT_EQ((*record)["files"][0]["chunks"].items.size(), 1u);
  EXPECT_EQ(Shell(Bfk() + " info --check " + Quoted(out) + " >/dev/null 2>&1").exitCode, 0);
}

TEST_F(BfkCopyRecord, VerifyReadsAChunkAgainWhenABitFlipsInOneRead) {
  const std::string camera = "sim:type=1,frames=200,damaged=0,speed=0,clock=1245067200";
  const std::string clean = File("clean.bfk");
  ASSERT_EQ(Shell(Bfk() + " copy -o " + Quoted(clean) + " --camera " + Quoted(camera) +
                  " >/dev/null 2>&1")
                .exitCode,
            0);
  // Without verification the flipped bit lands in the file.
  const std::string flipped = File("flipped.bfk");
  ASSERT_EQ(Shell(Bfk() + " copy -o " + Quoted(flipped) + " --camera " +
                  Quoted(camera + ",fault=flip:20") + " >/dev/null 2>&1")
                .exitCode,
            0);
  EXPECT_TRUE(ReadText(flipped) != ReadText(clean)) << "the fault hits a chunk's read";

  const std::string verified = File("verified.bfk");
  const ShellRun copy = Shell(Bfk() + " copy --verify -o " + Quoted(verified) + " --camera " +
                              Quoted(camera + ",fault=flip:20") + " 2>&1");
  EXPECT_EQ(copy.exitCode, 0) << copy.output;
  EXPECT_TRUE(ReadText(verified) == ReadText(clean)) << "the two reads that agree are kept";
  EXPECT_NE(copy.output.find("  verified: yes\n  chunks read again: 1\n"), std::string::npos)
      << copy.output;
  EXPECT_EQ(copy.output.find("reads never agreed"), std::string::npos) << copy.output;
  const auto record = Json::Parse(ReadText(verified + ".json"));
  ASSERT_TRUE(record.has_value());
  EXPECT_TRUE((*record)["verify"]["verified"].boolean);
  EXPECT_EQ((*record)["verify"]["reread_chunks"].number, 1);
  EXPECT_TRUE((*record)["verify"]["unverified_chunks"].items.empty());
  EXPECT_EQ(Shell(Bfk() + " info --check " + Quoted(verified) + " >/dev/null 2>&1").exitCode, 0);
}

}  // namespace
}  // namespace bf::test
