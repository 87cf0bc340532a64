#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

#include "host/ReportSystemError.h"
#include "link/BackendRegistry.h"
#include "link/D2xxLibraryBackend.h"
#include "link/FTD2xx.h"
#include "link/FakeBackend.h"
#include "link/StatusHandshake.h"
#include "sim/VirtualClock.h"
#include "support/Environment.h"
#include "support/ScriptedPrompts.h"

namespace bf {
namespace {

std::vector<BackendDriver> TestDrivers(std::string* seenOptions) {
  std::vector<BackendDriver> drivers;
  drivers.push_back({"fake",
                     [seenOptions](const std::string& options, TickSource&,
                                   std::string*) -> std::unique_ptr<D2xxBackend> {
                       *seenOptions = options;
                       return std::make_unique<test::FakeBackend>();
                     }});
  drivers.push_back(
      {"broken",
       [](const std::string&, TickSource&, std::string* error) -> std::unique_ptr<D2xxBackend> {
         *error = "no cable";
         return nullptr;
       }});
  return drivers;
}

TEST(BackendRegistryTest, SelectionNamesTheDriverAndPassesItsOptions) {
  VirtualClock clock;
  std::string options = "unset";
  std::string error;
  const auto drivers = TestDrivers(&options);

  EXPECT_NE(CreateBackend("fake", drivers, clock, &error), nullptr);
  EXPECT_EQ(options, "");
  EXPECT_NE(CreateBackend("fake:scene=clock:x", drivers, clock, &error), nullptr);
  EXPECT_EQ(options, "scene=clock:x");  // only the first colon separates
  EXPECT_NE(CreateBackend("fake:", drivers, clock, &error), nullptr);
  EXPECT_EQ(options, "");

  EXPECT_EQ(CreateBackend("usb3", drivers, clock, &error), nullptr);
  EXPECT_NE(error.find("usb3"), std::string::npos);
  EXPECT_NE(error.find("fake"), std::string::npos);  // lists what is known
  EXPECT_EQ(CreateBackend("", drivers, clock, nullptr), nullptr);

  error.clear();
  EXPECT_EQ(CreateBackend("broken", drivers, clock, &error), nullptr);
  EXPECT_NE(error.find("no cable"), std::string::npos);
}

TEST(BackendRegistryTest, HardwareDriversAndTheEnvironmentDefault) {
  const auto drivers = HardwareDrivers();
#ifdef _WIN32
  ASSERT_EQ(drivers.size(), 1u);
  EXPECT_EQ(drivers[0].name, "d2xx");
#else
  ASSERT_EQ(drivers.size(), 2u);
  EXPECT_EQ(drivers[0].name, "ftdi");
  EXPECT_EQ(drivers[1].name, "d2xx");
#endif

  test::ScopedEnvironment guard(kBackendEnvironmentVariable, std::nullopt);
  EXPECT_EQ(BackendSelectionFromEnvironment(), kDefaultBackendSelection);
  test::SetEnvironment(kBackendEnvironmentVariable, "");
  EXPECT_EQ(BackendSelectionFromEnvironment(), kDefaultBackendSelection);
  test::SetEnvironment(kBackendEnvironmentVariable, "sim:scene=still");
  EXPECT_EQ(BackendSelectionFromEnvironment(), "sim:scene=still");
}

TEST(BackendRegistryTest, FailingBackendReachesTheOperatorThroughTheHandshake) {
  VirtualClock clock;
  std::shared_ptr<D2xxBackend> backend =
      MakeFailingBackend(ftstatus::kDeviceNotFound, "unknown camera backend");
  EXPECT_EQ(backend->LastError(), "unknown camera backend");
  FTDClass link(backend, clock);
  ScriptedPrompts prompts;
  EXPECT_FALSE(RunStatusHandshake(link, prompts, clock, nullptr).has_value());
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, "Ошибка инициализации камеры.\nУстройство не найдено");
  EXPECT_EQ(link.GetStatusCode(), 2u);

  // Even a zero status must not pass for a successful open.
  FtHandle handle = nullptr;
  EXPECT_NE(MakeFailingBackend(ftstatus::kOk)->Open(0, &handle), ftstatus::kOk);
}

TEST(HardwareBackendTest, MissingVendorLibraryFailsOpenWithDeviceNotFoundAndSaysWhy) {
  VirtualClock clock;
  auto backend = std::make_shared<D2xxLibraryBackend>("/nonexistent/libftd2xx.so");
  EXPECT_FALSE(backend->Loaded());
  EXPECT_NE(backend->LastError().find("libftd2xx.so"), std::string::npos);
  EXPECT_NE(backend->LastError().find("could not be loaded"), std::string::npos);
  FTDClass link(backend, clock);
  EXPECT_THROW(link.Open(0), FTDException);
  EXPECT_EQ(link.GetStatusCode(), 2u);

  // Through the registry, with the default library name (not installed here).
  std::string error;
  auto fromSelection = CreateBackend("d2xx", HardwareDrivers(), clock, &error);
  ASSERT_NE(fromSelection, nullptr);
  if (auto* d2xx = dynamic_cast<D2xxLibraryBackend*>(fromSelection.get()); d2xx->Loaded()) {
    GTEST_SKIP() << "the vendor library is installed on this machine";
  }
  FtHandle handle = nullptr;
  EXPECT_EQ(fromSelection->Open(0, &handle), 2u);
  EXPECT_NE(fromSelection->LastError().find("D2XX"), std::string::npos);
}

TEST(HardwareBackendTest, LibraryWithoutTheFunctionsIsRefused) {
#ifdef _WIN32
  // Our stand-in with every function but the last one of the table (ordinal 21): one missing
  // function is enough to refuse the library, however many others it has.
  const std::string path = BF_D2XX_PARTIAL;
  const char* missing = "FT_GetStatus";
#else
  // Any shared library lacking FT_Open stands for a wrong file under the expected name.
  const std::string path = "libm.so.6";
  const char* missing = "FT_Open";
#endif
  auto backend = std::make_shared<D2xxLibraryBackend>(path);
  EXPECT_FALSE(backend->Loaded());
  EXPECT_NE(backend->LastError().find(missing), std::string::npos) << backend->LastError();
  EXPECT_NE(backend->LastError().find(path), std::string::npos) << backend->LastError();
  FtHandle handle = nullptr;
  EXPECT_EQ(backend->Open(0, &handle), 2u);
  EXPECT_EQ(handle, nullptr);
  uint32_t n = 5;
  uint8_t byte = 0;
  EXPECT_EQ(backend->Read(handle, &byte, 1, &n), ftstatus::kInvalidHandle);
  EXPECT_EQ(n, 0u) << "a refused library reports nothing read";
}

TEST(ReportSystemErrorTest, ShowsThePlatformTextWithTheInformationIcon) {
  ScriptedPrompts prompts;
  // The last error of the calling thread: GetLastError on Windows, errno elsewhere.
#ifdef _WIN32
  constexpr uint32_t kNotFound = ERROR_FILE_NOT_FOUND;
  SetLastError(kNotFound);
#else
  constexpr uint32_t kNotFound = ENOENT;
  errno = ENOENT;
#endif
  EXPECT_EQ(ReportSystemError(prompts), kNotFound);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, SystemErrorText(kNotFound));
  EXPECT_FALSE(prompts.shown[0].text.empty());
  EXPECT_EQ(prompts.shown[0].text.find_first_of("\r\n"), std::string::npos)
      << "one line, without the system's line break";
  EXPECT_EQ(prompts.shown[0].text.rfind("Unknown error", 0), std::string::npos);
  EXPECT_EQ(prompts.shown[0].caption, "Error");
  EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Information);
  EXPECT_EQ(prompts.shown[0].buttons, MessageButtons::Ok);

  EXPECT_EQ(ReportSystemError(prompts, 987654), 987654u);
  EXPECT_EQ(prompts.shown[1].text.rfind("Unknown error", 0), 0u) << prompts.shown[1].text;
  EXPECT_EQ(ReportSystemError(prompts, 0xFFFFFFFF), 0xFFFFFFFFu);
  EXPECT_EQ(prompts.shown[2].text, "Unknown error 4294967295");
}

}  // namespace
}  // namespace bf
