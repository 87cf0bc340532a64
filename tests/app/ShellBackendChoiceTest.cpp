// How the camera backend named in the environment reaches the window, including the cases where
// it cannot work.
#include <gtest/gtest.h>

#include <cstdlib>

#include "host/TickSource.h"
#include "link/CameraCommands.h"
#include "link/FTD2xx.h"
#include "link/TraceBackend.h"
#include "shell/BackendChoice.h"
#include "sim/VirtualClock.h"
#include "support/ScriptedPrompts.h"

namespace bf::ui {
namespace {

TEST(BackendChoice, AnUnknownNameIsExplainedAndTheProgramStartsWithoutACamera) {
  VirtualClock clock;
  ScriptedPrompts prompts;
  auto backend = ChooseBackend("webcam", clock, prompts);
  ASSERT_NE(backend, nullptr);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Warning);
  EXPECT_NE(prompts.shown[0].text.find("BRINDLEFLASH_CAMERA"), std::string::npos);
  EXPECT_NE(prompts.shown[0].text.find("webcam"), std::string::npos);
  // The stand-in fails to open like a missing device, so the usual start-up message follows.
  FTDClass link(backend, clock);
  try {
    link.Open(0);
    FAIL() << "opening the stand-in must fail";
  } catch (const FTDException& e) {
    EXPECT_EQ(e.GetCode(), 2u);
  }
}

TEST(BackendChoice, BadSimulatedCameraOptionsNameTheOption) {
  VirtualClock clock;
  ScriptedPrompts prompts;
  ChooseBackend("sim:type=9", clock, prompts);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_NE(prompts.shown[0].text.find("type"), std::string::npos);
}

TEST(BackendChoice, AMalformedFtdiSelectionIsExplainedRatherThanOpeningTheFirstBridge) {
  for (const char* selection : {"ftdi:abc", "ftdi:-1", "ftdi:serial="}) {
    VirtualClock clock;
    ScriptedPrompts prompts;
    auto backend = ChooseBackend(selection, clock, prompts);
    ASSERT_EQ(prompts.shown.size(), 1u) << selection;
    EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Warning);
    EXPECT_NE(prompts.shown[0].text.find(selection), std::string::npos) << prompts.shown[0].text;
    FtHandle handle = nullptr;
    EXPECT_EQ(backend->Open(0, &handle), ftstatus::kDeviceNotFound);
  }
}

TEST(BackendChoice, AMissingVendorLibraryIsNamedBeforeStartUp) {
  VirtualClock clock;
  ScriptedPrompts prompts;
  ChooseBackend("d2xx:/nonexistent/libftd2xx.so", clock, prompts);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_NE(prompts.shown[0].text.find("libftd2xx.so"), std::string::npos);
}

TEST(BackendChoice, AWorkingBackendSaysNothing) {
  VirtualClock clock;
  ScriptedPrompts prompts;
  auto backend = ChooseBackend("sim", clock, prompts);
  ASSERT_NE(backend, nullptr);
  EXPECT_TRUE(prompts.shown.empty());
}

TEST(BackendChoice, ATraceFileThatCannotBeOpenedIsExplainedAndTheCameraStillWorks) {
  const char* old = std::getenv(kTraceEnvironmentVariable);
  const std::string saved = old != nullptr ? old : "";
  setenv(kTraceEnvironmentVariable, "/nonexistent-folder/trace.jsonl", 1);
  VirtualClock clock;
  ScriptedPrompts prompts;
  auto backend = ChooseBackend("sim:speed=0", clock, prompts);
  if (old != nullptr) {
    setenv(kTraceEnvironmentVariable, saved.c_str(), 1);
  } else {
    unsetenv(kTraceEnvironmentVariable);
  }
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Warning);
  EXPECT_NE(prompts.shown[0].text.find("/nonexistent-folder/trace.jsonl"), std::string::npos);
  FTDClass link(backend, clock);
  link.Open(0);
  link.WriteByte(CMD_GET_CAMERA_TYPE);
  uint8_t type = 0xFF;
  EXPECT_EQ(link.Read(&type, 1), 1u);
}

}  // namespace
}  // namespace bf::ui
