// The hardware path on Windows end to end: D2xxLibraryBackend loads our stand-in FTD2XX.dll,
// binds its functions by ordinal and drives the simulated camera behind them, on the test's
// virtual clock. A wrong ordinal, calling convention or argument width shows here.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "flash/CopyRig.h"
#include "link/CameraCommands.h"
#include "link/D2xxLibraryBackend.h"
#include "link/FTD2xx.h"
#include "link/StatusHandshake.h"
#include "recordings/FrameIndex.h"
#include "sim/SimCamera.h"
#include "sim/VirtualClock.h"
#include "sim/d2xx_standin/StandinHook.h"
#include "support/Environment.h"
#include "support/ScriptedPrompts.h"

namespace bf {
namespace {

using test::FirstDifference;

// Puts a camera with the given options behind the stand-in library for one test, on its clock.
class StandinCamera {
 public:
  StandinCamera(const std::string& options, TickSource& ticks)
      : module_(LoadLibraryA(BF_D2XX_STANDIN)) {
    if (module_ == nullptr) {
      ADD_FAILURE() << BF_D2XX_STANDIN << " could not be loaded: error " << GetLastError();
      return;
    }
    use_ = reinterpret_cast<standin::UseCameraFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(module_, standin::kUseCameraExport)));
    if (use_ == nullptr) {
      ADD_FAILURE() << "the stand-in has no " << standin::kUseCameraExport;
      return;
    }
    char error[256] = {};
    ready_ = use_(options.c_str(), &ticks, error, sizeof error) == 1;
    if (!ready_) ADD_FAILURE() << "options refused: " << error;
  }
  ~StandinCamera() {
    if (use_ != nullptr) use_(nullptr, nullptr, nullptr, 0);  // the clock goes with the test
    if (module_ != nullptr) FreeLibrary(module_);
  }
  StandinCamera(const StandinCamera&) = delete;
  StandinCamera& operator=(const StandinCamera&) = delete;

  bool Ready() const { return ready_; }
  standin::UseCameraFn Use() const { return use_; }

 private:
  HMODULE module_;
  standin::UseCameraFn use_ = nullptr;
  bool ready_ = false;
};

std::shared_ptr<D2xxLibraryBackend> LoadStandin() {
  auto backend = std::make_shared<D2xxLibraryBackend>(BF_D2XX_STANDIN);
  EXPECT_TRUE(backend->Loaded()) << backend->LastError();
  return backend;
}

TEST(D2xxStandin, HandshakeTakesTheCameraSettingsThroughTheLibrary) {
  VirtualClock clock;
  StandinCamera camera("compression=4,mono=1,rate=6,md=1,notready=2", clock);
  ASSERT_TRUE(camera.Ready());
  auto backend = LoadStandin();
  ASSERT_TRUE(backend->Loaded());
  FTDClass link(backend, clock);
  ScriptedPrompts prompts;
  int applied = 0;
  const auto status =
      RunStatusHandshake(link, prompts, clock, [&](const CameraStatus&) { ++applied; });
  ASSERT_TRUE(status.has_value()) << (prompts.shown.empty() ? "" : prompts.shown[0].text);
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_EQ(applied, 1);
  EXPECT_EQ(status->Compression(), 4);
  EXPECT_FALSE(status->Colour());
  EXPECT_EQ(status->FrameRateIndex(), 6);
  EXPECT_TRUE(status->MotionDetectorOn());
  EXPECT_EQ(link.GetStatusCode(), 0u);
}

TEST(D2xxStandin, EveryOrdinalReachesItsOwnFunction) {
  VirtualClock clock;
  StandinCamera camera("", clock);
  ASSERT_TRUE(camera.Ready());
  auto backend = LoadStandin();
  ASSERT_TRUE(backend->Loaded());
  FTDClass link(backend, clock);
  link.Open(0);  // 1, then 17 with 200 ms
  ASSERT_NE(link.Handle(), nullptr);
  link.ResetDevice();  // 6

  // 4, then 18 and 21 both see the 16 bytes of the reply waiting.
  EXPECT_EQ(link.WriteByte(CMD_GET_STATUS), 1u);
  EXPECT_EQ(link.GetQueueStatus(), 16u);
  uint32_t rx = 99;
  uint32_t tx = 99;
  uint32_t events = 99;
  link.GetStatus(&rx, &tx, &events);
  EXPECT_EQ(rx, 16u);
  EXPECT_EQ(tx, 0u);

  // 3: part of it, then 16 with the receive mask throws the rest away.
  uint8_t head[6] = {};
  ASSERT_EQ(link.Read(head, 6), 6u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(head + 2), 4), "JPEG");
  EXPECT_EQ(head[0], 0xFF);
  EXPECT_EQ(link.GetQueueStatus(), 10u);
  link.Purge(kPurgeRx);
  EXPECT_EQ(link.GetQueueStatus(), 0u);

  // 17 again: an empty read now waits out the shorter timeout, on the test's clock.
  link.SetTimeouts(40, 40);
  const uint64_t before = clock.NowMs();
  EXPECT_EQ(link.Read(head, 6), 0u);
  EXPECT_GE(clock.NowMs() - before, 40u);
  EXPECT_LT(clock.NowMs() - before, 200u);

  int parameter = 0;
  link.SetEventNotification(&parameter, 1);  // 19
  EXPECT_EQ(link.GetStatusCode(), 0u);
  EXPECT_EQ(link.Close(), 0u);  // 2
  EXPECT_EQ(link.GetStatusCode(), 3u);

  // A closed device refuses further calls with the library's own status.
  FtHandle stale = nullptr;
  ASSERT_EQ(backend->Open(0, &stale), 0u);
  ASSERT_EQ(backend->Close(stale), 0u);
  uint32_t n = 7;
  EXPECT_NE(backend->Read(stale, head, 6, &n), 0u);
  EXPECT_EQ(n, 0u);
}

TEST(D2xxStandin, OptionsTheCameraCannotTakeAreRefusedAndKeepTheCameraInPlace) {
  VirtualClock clock;
  StandinCamera camera("type=1", clock);
  ASSERT_TRUE(camera.Ready());
  char error[16] = {};
  EXPECT_EQ(camera.Use()("type=7", &clock, error, sizeof error), 0);
  EXPECT_NE(error[0], '\0');
  EXPECT_EQ(error[sizeof error - 1], '\0') << "the reason is cut to the room given";

  auto backend = LoadStandin();
  ASSERT_TRUE(backend->Loaded());
  FTDClass link(backend, clock);
  link.Open(0);
  link.WriteByte(CMD_GET_CAMERA_TYPE);
  uint8_t type = 0xFF;
  ASSERT_EQ(link.Read(&type, 1), 1u);
  EXPECT_EQ(type, 1);
}

// The recording a copy dialog session leaves, over the given link.
std::vector<uint8_t> CopyThrough(FTD2xx& link, const test::TempDir& dir, const std::string& name,
                                 CopySummary* summary) {
  test::RigPrompts prompts;
  test::TestCopyHost host;
  test::ScriptedChooser chooser;
  const std::string file = dir.File(name);
  prompts.saveFiles.push_back(file);
  {
    CopyServices services{link, prompts, host, chooser, nullptr, {}};
    CopySession session(services);
    session.Run();
    *summary = session.Summary();
  }
  return test::ReadFile(file);
}

TEST(D2xxStandin, FlashCopyThroughTheLibraryMatchesTheSameCameraInProcess) {
  for (const char* type : {"0", "1"}) {
    SCOPED_TRACE(std::string("type ") + type);
    const std::string options = std::string("type=") + type + ",frames=12,recordings=2";
    test::TempDir dir;

    VirtualClock clock;
    StandinCamera camera(options, clock);
    ASSERT_TRUE(camera.Ready());
    auto backend = LoadStandin();
    ASSERT_TRUE(backend->Loaded());
    FTDClass link(backend, clock);
    link.Open(0);
    CopySummary viaLibrary;
    const auto copied = CopyThrough(link, dir, "library.bfk", &viaLibrary);
    EXPECT_EQ(viaLibrary.outcome, CopyOutcome::Completed) << viaLibrary.failure;
    EXPECT_TRUE(viaLibrary.Complete());

    std::string error;
    const auto parsed = sim::ParseSimOptions(options, sim::SimOptions{}, &error);
    ASSERT_TRUE(parsed.has_value()) << error;
    VirtualClock ownClock;
    FTDClass ownLink(std::make_shared<sim::SimCamera>(*parsed, ownClock), ownClock);
    ownLink.Open(0);
    CopySummary inProcess;
    const auto expected = CopyThrough(ownLink, dir, "in-process.bfk", &inProcess);
    EXPECT_EQ(inProcess.outcome, CopyOutcome::Completed);

    ASSERT_FALSE(expected.empty());
    EXPECT_SAME_BYTES(copied, expected);
    EXPECT_EQ(viaLibrary.bytesReceived, inProcess.bytesReceived);
    EXPECT_EQ(BuildFrameIndex(copied).size(), 12u);
  }
}

TEST(D2xxStandin, CameraOfTheEnvironmentWhenNoTestNamedOne) {
  // The stand-in as bfk.exe meets it: the demo camera with the options of the environment.
  test::ScopedEnvironment guard(standin::kOptionsVariable, "type=2,speed=0");
  VirtualClock clock;
  {
    StandinCamera dropped("", clock);
    ASSERT_TRUE(dropped.Ready());
    dropped.Use()(nullptr, nullptr, nullptr, 0);
    auto backend = LoadStandin();
    ASSERT_TRUE(backend->Loaded());
    FTDClass link(backend, SystemTickSource::Instance());
    link.Open(0);
    link.WriteByte(CMD_GET_CAMERA_TYPE);
    uint8_t type = 0xFF;
    ASSERT_EQ(link.Read(&type, 1), 1u);
    EXPECT_EQ(type, 2);
  }
}

}  // namespace
}  // namespace bf
