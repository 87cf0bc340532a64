// The main window's ways to trust a copy: "Сохранить на диск..." offers to go on with an
// unfinished copy of the same flash, and "Проверить копию..." compares a copy with the flash.
#include <QAction>
#include <QApplication>
#include <fstream>

#include "MainWindowFixture.h"
#include "flash/CProgressDlg.h"
#include "link/CameraCommands.h"

namespace bf::test {
namespace {

std::vector<uint8_t> Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class MainWindowVerifyResume : public MainWindowTest {
 protected:
  void SetUp() override {
    options.type = CAMERA_PACKED_PAGES;
    options.prefillFrames = 300;  // three chunks
    Start();
  }
  uint64_t FlashReads() const { return camera->Model().CommandCount(CMD_READ_FLASH); }
  // A copy cancelled while its first chunk comes in: held at the chunk's first read, after the
  // replies before it (the camera's clock, type, pointer and wrap flag: 10 bytes).
  void SaveCancelledInTheFirstChunk() { SaveHeldAt(10, PressCancel); }
  void CheckCopy(const std::string& path) {
    prompts.openFiles.push_back(path);
    auto* action = window->findChild<QAction*>(QStringLiteral("verifyCopyAction"));
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), QString::fromUtf8("Проверить копию..."));
    action->trigger();
    Settle();  // the comparison runs on the link thread; its result comes once it has ended
  }
};

TEST_F(MainWindowVerifyResume, SaveOffersToGoOnWithAnUnfinishedCopyAndTheCheckFindsItWhole) {
  const std::string clean = (TempDir() / "clean.bfk").string();
  prompts.saveFiles.push_back(clean);
  Click(ui::IDC_FLASH_SAVE);
  ASSERT_TRUE(prompts.shown.empty()) << prompts.shown[0].text;
  const std::vector<uint8_t> expected = Bytes(clean);
  ASSERT_GT(expected.size(), 2u * 524'289);

  // Cancelled after its first chunk.
  const std::string path = (TempDir() / "flash.bfk").string();
  prompts.saveFiles.push_back(path);
  SaveCancelledInTheFirstChunk();
  ASSERT_EQ(Bytes(path).size(), 524'289u);

  // No starts over: the whole range is read again.
  prompts.shown.clear();
  prompts.saveFiles.push_back(path);
  prompts.answers = {MessageAnswer::No};
  uint64_t reads = FlashReads();
  SaveCancelledInTheFirstChunk();
  ASSERT_EQ(prompts.shown.size(), 2u);  // the question, then where the unfinished copy went
  EXPECT_EQ(prompts.shown[0].buttons, MessageButtons::YesNo);
  EXPECT_NE(prompts.shown[0].text.find("скопировано 524289 байт, копирование прервано "),
            std::string::npos)
      << prompts.shown[0].text;
  EXPECT_EQ(FlashReads() - reads, 1u) << "a new copy from the start, cancelled again";

  // Yes: the two chunks not yet received, and the complete file in place.
  prompts.shown.clear();
  prompts.saveFiles.push_back(path);
  prompts.answers = {MessageAnswer::Yes};
  reads = FlashReads();
  Click(ui::IDC_FLASH_SAVE);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(FlashReads() - reads, 2u);
  EXPECT_TRUE(Bytes(path) == expected);

  // The check reads the range again and says so in one box.
  prompts.shown.clear();
  reads = FlashReads();
  CheckCopy(path);
  EXPECT_EQ(FlashReads() - reads, 3u);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, "Копия проверена: все " + std::to_string(expected.size()) +
                                       " байт совпадают с флеш-памятью камеры.");
  EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Information);

  {
    std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(600'000);
    f.put(static_cast<char>(expected[600'000] ^ 0x04));
  }
  prompts.shown.clear();
  CheckCopy(path);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, "Копия не совпадает с флеш-памятью камеры.\nФайл " + path +
                                       ", отличаются 1 байт:\n  смещение 600000, 1 байт");
  EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Warning);

  // Without a record there is nothing to compare with, and nothing is sent.
  prompts.shown.clear();
  std::filesystem::remove(path + ".json");
  const std::size_t mark = backend->writes.size();
  CheckCopy(path);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text.rfind("Копию нельзя проверить: у файла " + path, 0), 0u)
      << prompts.shown[0].text;
  EXPECT_EQ(backend->writes.size(), mark);
}

TEST_F(MainWindowVerifyResume, TheCheckIsNotOfferedWhileTheLiveViewRuns) {
  bool asked = true;
  WhileLive([&](int round) {
    if (round < 3) return false;
    window->findChild<QAction*>(QStringLiteral("verifyCopyAction"))->trigger();
    asked = !prompts.openRequests.empty() || OpenCopyDialog() != nullptr;
    Click(ui::IDC_START_STOP);
    return true;
  });
  EXPECT_FALSE(asked) << "a comparison queued behind the live view, with Stop out of reach";
}

}  // namespace
}  // namespace bf::test
