// The hidden buttons that save the camera's raw output, over the simulated camera.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "link/FTD2xx.h"
#include "link/ServiceOutputs.h"
#include "link/StatusText.h"
#include "sim/SimCamera.h"
#include "sim/VirtualClock.h"
#include "support/MissingFolderText.h"
#include "support/ScriptedPrompts.h"
#include "support/TempFolder.h"

namespace bf::test {
namespace {

class ServiceOutputsTest : public ::testing::Test {
 protected:
  ServiceOutputsTest() { link.Open(0); }

  std::string PathOf(const std::string& name) const { return (folder.Path() / name).string(); }

  VirtualClock clock;
  std::shared_ptr<sim::SimCamera> camera =
      std::make_shared<sim::SimCamera>(sim::SimOptions{}, clock);
  FTDClass link{camera, clock};
  ScriptedPrompts prompts;
  TempFolder folder;
};

TEST_F(ServiceOutputsTest, ReceivedBytesAreSavedOnlyWhenSomethingIsPending) {
  SaveReceivedBytes(link, prompts);
  EXPECT_TRUE(prompts.saveRequests.empty());  // nothing pending: no dialog

  camera->InjectGarbage(300);
  prompts.saveFiles.push_back(PathOf("rx.bin"));
  SaveReceivedBytes(link, prompts);
  ASSERT_EQ(prompts.saveRequests.size(), 1u);
  EXPECT_TRUE(prompts.saveRequests[0].filter.empty());
  EXPECT_TRUE(prompts.saveRequests[0].hideReadOnly);
  EXPECT_TRUE(prompts.saveRequests[0].confirmOverwrite);
  EXPECT_EQ(std::filesystem::file_size(PathOf("rx.bin")), 300u);
  EXPECT_EQ(link.GetQueueStatus(), 0u);
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(ServiceOutputsTest, CameraOutputIsReadInChunksUntilTheCameraFallsSilent) {
  camera->InjectGarbage(2 * kAllDataChunk + 100);
  prompts.saveFiles.push_back(PathOf("all.bin"));
  SaveCameraOutput(link, prompts);
  EXPECT_EQ(std::filesystem::file_size(PathOf("all.bin")), 2 * kAllDataChunk + 100);
  EXPECT_EQ(prompts.busyCursor, (std::vector<bool>{true, false}));
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(ServiceOutputsTest, FailuresAreTold) {
  // A folder that does not exist: the file error text, and no reading.
  const std::string missing = PathOf("missing/all.bin");
  prompts.saveFiles.push_back(missing);
  camera->InjectGarbage(100);
  SaveCameraOutput(link, prompts);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, MissingFolderText(missing));
  EXPECT_EQ(link.GetQueueStatus(), 100u);

  // A link failure while reading is the link's text, and the busy cursor ends.
  prompts.saveFiles.push_back(PathOf("out.bin"));
  camera->FailCall(camera->CallCount() + 2, ftstatus::kIoError);
  SaveCameraOutput(link, prompts);
  ASSERT_EQ(prompts.shown.size(), 2u);
  EXPECT_EQ(prompts.shown[1].text, StatusText(ftstatus::kIoError));
  EXPECT_FALSE(prompts.busyCursor.back());

  // A cancelled dialog writes nothing and says nothing.
  SaveCameraOutput(link, prompts);
  EXPECT_EQ(prompts.shown.size(), 2u);
}

}  // namespace
}  // namespace bf::test
