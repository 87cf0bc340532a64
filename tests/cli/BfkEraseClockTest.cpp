// bfk erase and bfk clock on the simulated camera, run as the operator would.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/RunProgram.h"

namespace bf {
namespace {

struct BfkRun {
  int exitCode = -1;
  std::string out;
};

// Runs bfk with its input from /dev/null (not a terminal) and both outputs captured.
BfkRun Bfk(const std::string& args, const std::string& env = "") {
  const std::string command =
      env + " " + std::string(BF_BFK_PATH) + " " + args + " </dev/null 2>&1";
  const bf::test::ProgramRun shell = bf::test::RunShell(command);
  BfkRun run;
  run.exitCode = shell.exitCode;
  run.out = shell.output;
  return run;
}

TEST(BfkErase, ExitsZeroOnlyWhenTheCameraReportsErased) {
  const BfkRun ok = Bfk("erase --camera sim:erase_ms=0 --yes");
  EXPECT_EQ(ok.exitCode, 0) << ok.out;
  EXPECT_NE(ok.out.find("flash erased"), std::string::npos) << ok.out;

  const BfkRun failed = Bfk("erase --camera sim:erase_ms=0,erase_reply=0 --yes");
  EXPECT_EQ(failed.exitCode, 1);
  EXPECT_NE(failed.out.find("Ошибка! Не удалось стереть память."), std::string::npos) << failed.out;

  const BfkRun link = Bfk("erase --camera sim:fail_call=4 --yes");  // the command's write
  EXPECT_EQ(link.exitCode, 1);
  EXPECT_NE(link.out.find("Ошибка ввода/вывода"), std::string::npos) << link.out;
  EXPECT_EQ(link.out.find("Ошибка!"), std::string::npos) << link.out;
}

TEST(BfkErase, RefusesABadFtdiSelectionBeforeTouchingAnyCamera) {
  for (const char* how : {"--camera ftdi:abc", "--camera=ftdi:-1"}) {
    const BfkRun run = Bfk(std::string("erase ") + how + " --yes");
    EXPECT_NE(run.exitCode, 0) << how;
    EXPECT_NE(run.out.find("not a device index"), std::string::npos) << run.out;
  }
  const BfkRun env = Bfk("erase --yes", "BRINDLEFLASH_CAMERA=ftdi:serial=");
  EXPECT_NE(env.exitCode, 0);
  EXPECT_NE(env.out.find("serial number is empty"), std::string::npos) << env.out;
}

TEST(BfkErase, RefusesWithoutYesWhenNobodyCanAnswer) {
  const BfkRun run = Bfk("erase --camera sim:erase_ms=0");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.out.find("--yes"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("flash erased"), std::string::npos);
}

TEST(BfkClock, ShowsLocalAndUniversalTime) {
  const BfkRun run = Bfk("clock --camera sim:clock=1245067200", "TZ=Etc/GMT-3");
  EXPECT_EQ(run.exitCode, 0) << run.out;
  EXPECT_NE(run.out.find("2009-06-15 15:00:0"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("2009-06-15 12:00:0"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("camera minus PC: -"), std::string::npos) << run.out;
}

TEST(BfkClock, SetWritesLocalOrUniversalTime) {
  const BfkRun local =
      Bfk("clock --camera sim:clock=0 --set \"2009-03-29 12:00:00\"", "TZ=Europe/Berlin");
  EXPECT_EQ(local.exitCode, 0) << local.out;
  EXPECT_NE(local.out.find("raw value: 12383208"), std::string::npos) << local.out;  // 10:00 UTC

  const BfkRun utc =
      Bfk("clock --camera sim:clock=0 --set \"2009-06-15 12:00:00\" --utc", "TZ=Europe/Berlin");
  EXPECT_EQ(utc.exitCode, 0) << utc.out;
  EXPECT_NE(utc.out.find("raw value: 12450672"), std::string::npos) << utc.out;
}

TEST(BfkClock, RefusesWhatTheCameraClockCannotHold) {
  EXPECT_EQ(Bfk("clock --camera sim --set \"1969-12-31 23:00:00\" --utc").exitCode, 2);
  EXPECT_EQ(Bfk("clock --camera sim --set \"2106-02-07 06:28:16\" --utc").exitCode, 2);
  EXPECT_EQ(Bfk("clock --camera sim --set \"2009-02-30 00:00:00\"").exitCode, 2);
  EXPECT_EQ(Bfk("clock --camera sim --set tomorrow").exitCode, 2);
  const BfkRun edge = Bfk("clock --camera sim --set \"2106-02-07 06:28:15\" --utc");
  EXPECT_EQ(edge.exitCode, 0) << edge.out;

  // Too early and too late are told apart by nothing but the range itself, which is named.
  const std::string range =
      "is outside the camera's clock, which runs from 1970-01-01 00:00:00 to 2106-02-07 "
      "06:28:15 UTC\n";
  for (const char* set : {"\"3001-01-01 00:00:00\" --utc", "\"3001-01-01 00:00:00\"",
                          "\"2200-01-01 00:00:00\"", "\"1969-12-31 23:00:00\" --utc"}) {
    SCOPED_TRACE(set);
    const BfkRun run = Bfk(std::string("clock --camera sim --set ") + set);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.out.find(range), std::string::npos) << run.out;
  }
}

TEST(BfkClock, ShortReplyIsReported) {
  const BfkRun run = Bfk("clock --camera sim:drop=2");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.out.find("2 of 4 bytes"), std::string::npos) << run.out;
}

// Setting runs the window's flow: the clock is read first, and a camera whose reply does not
// come whole is told so and gets no time written, as "Установить время..." does.
TEST(BfkClock, SetWritesNothingWhenTheClockDoesNotReadWhole) {
  const BfkRun run = Bfk("clock --camera sim:drop=2 --set now");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.out.find("bfk clock: Ошибка! Не удалось прочитать время камеры.\nПроверьте "
                         "подключена ли камера.\n"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(run.out.find("camera clock set"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace bf
