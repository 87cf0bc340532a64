// bfk's outputs, run as the operator would: devices, full disks, an output that is an input,
// interruption, standard output that cannot take the text, frames cut short.
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>

#include <gtest/gtest.h>

#include "cli/BfkRun.h"
#include "recordings/FramesExport.h"
#include "recordings/RecordingFixture.h"

namespace bf {
namespace {

using test::Bfk;
using test::Quoted;
using test::Shell;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// A private character device like /dev/null (minor 3) or /dev/full (minor 7), so that a faulty
// writer run as root cannot replace the real node; the real one where nodes cannot be made.
std::string CharacterDevice(const test::TempDir& dir, const std::string& name, unsigned minor) {
  const std::string node = dir.File(name);
  if (::mknod(node.c_str(), S_IFCHR | 0666, makedev(1, minor)) == 0) return node;
  return "/dev/" + name;
}

bool IsCharacterDevice(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

std::string TwoFrameRecording(const test::TempDir& dir) {
  std::vector<uint8_t> bytes;
  test::AppendPictureRecord(bytes, {.recordLength = 2016, .compression = 4, .monochrome = 1});
  test::AppendPictureRecord(bytes, {.recordLength = 5016, .compression = 1, .monochrome = 0});
  bytes.insert(bytes.end(), 16, 0xFF);
  return dir.Write("rec.bfk", bytes);
}

std::string Export(const std::string& input, int frame, const std::string& output) {
  return Bfk() + " export " + Quoted(input) + " --frame " + std::to_string(frame) + " -o " +
         Quoted(output) + " --headers " BF_HEADERS_DAT " 2>&1";
}

TEST(BfkOutputs, DevicesAndStandardOutputAreWrittenDirectlyAndStayWhatTheyAre) {
  test::TempDir dir;
  const std::string null = CharacterDevice(dir, "null", 3);
  const test::ShellRun headers = Shell(Bfk() + " headers -o " + Quoted(null) + " 2>&1");
  EXPECT_EQ(headers.exitCode, 0) << headers.output;
  EXPECT_TRUE(IsCharacterDevice(null));

  std::filesystem::create_symlink(null, dir.Path() / "null-link");
  const test::ShellRun viaLink =
      Shell(Bfk() + " sample --frames 3 -o " + Quoted(dir.File("null-link")) + " 2>&1");
  EXPECT_EQ(viaLink.exitCode, 0) << viaLink.output;
  EXPECT_TRUE(IsCharacterDevice(null));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.Path() / "null-link"));

  // "-" is standard output: the whole table arrives there.
  const test::ShellRun dash = Shell(Bfk() + " headers -o - | wc -c");
  EXPECT_EQ(dash.exitCode, 0);
  EXPECT_EQ(std::stoi(dash.output), 6930);
}

TEST(BfkOutputs, AFullDeviceFailsEveryWriterWithTheDiskFullText) {
  test::TempDir dir;
  const std::string full = CharacterDevice(dir, "full", 7);
  const std::string rec = TwoFrameRecording(dir);

  const test::ShellRun still = Shell(Export(rec, 1, full));
  EXPECT_EQ(still.exitCode, 1);
  EXPECT_TRUE(Contains(still.output, "Disk full while accessing " + full + ".")) << still.output;

  const test::ShellRun headers = Shell(Bfk() + " headers -o " + Quoted(full) + " 2>&1");
  EXPECT_EQ(headers.exitCode, 1);
  EXPECT_TRUE(Contains(headers.output, "Disk full while accessing " + full + "."))
      << headers.output;

  const test::ShellRun sample = Shell(Bfk() + " sample --frames 5 -o " + Quoted(full) + " 2>&1");
  EXPECT_EQ(sample.exitCode, 1);
  EXPECT_TRUE(Contains(sample.output, "Disk full while accessing " + full + ".")) << sample.output;
  EXPECT_TRUE(IsCharacterDevice(full));
}

TEST(BfkOutputs, TextThatStandardOutputCannotTakeIsReported) {
  test::TempDir dir;
  const std::string rec = TwoFrameRecording(dir);
  const std::string full = CharacterDevice(dir, "full", 7);
  for (const char* options : {"", "--json "}) {
    // Standard error to the pipe, standard output to the full device.
    const test::ShellRun info =
        Shell(Bfk() + " info " + options + Quoted(rec) + " 2>&1 >" + Quoted(full));
    EXPECT_EQ(info.exitCode, 1);
    EXPECT_EQ(info.output, "bfk: Disk full while accessing standard output.\n");
  }
  EXPECT_EQ(Shell(Bfk() + " info " + Quoted(rec) + " >/dev/null").exitCode, 0);
}

TEST(BfkOutputs, AnOutputThatIsAnInputIsRefusedAndTheInputKept) {
  test::TempDir dir;
  const std::string rec = TwoFrameRecording(dir);
  const std::vector<uint8_t> before = test::ReadAll(rec);
  std::filesystem::create_symlink("rec.bfk", dir.Path() / "alias.bfk");

  for (const std::string& output : {rec, dir.File("alias.bfk"), dir.File("./rec.bfk")}) {
    const test::ShellRun run = Shell(Export(rec, 1, output));
    EXPECT_EQ(run.exitCode, 2) << output;
    EXPECT_TRUE(Contains(run.output, "is the same file as")) << run.output;
  }
  // The header table is an input too.
  const std::string headersCopy = dir.File("headers.dat");
  std::filesystem::copy_file(BF_HEADERS_DAT, headersCopy);
  const test::ShellRun overHeaders =
      Shell(Bfk() + " export " + Quoted(rec) + " --frame 0 -o " + Quoted(headersCopy) +
            " --headers " + Quoted(headersCopy) + " 2>&1");
  EXPECT_EQ(overHeaders.exitCode, 2) << overHeaders.output;
  EXPECT_EQ(std::filesystem::file_size(headersCopy), 6930u);
  EXPECT_EQ(test::ReadAll(rec), before);
  EXPECT_TRUE(std::filesystem::is_symlink(dir.Path() / "alias.bfk"));

  // A different name is written as before.
  EXPECT_EQ(Shell(Export(rec, 1, dir.File("still.jpg"))).exitCode, 0);
  EXPECT_EQ(std::filesystem::file_size(dir.File("still.jpg")), 5714u);
}

TEST(BfkOutputs, AFolderAsOutputAndAnEmptyRecordingAreCalledWhatTheyAre) {
  test::TempDir dir;
  const std::string rec = TwoFrameRecording(dir);
  const std::string folder = dir.File("folder.out");
  std::filesystem::create_directory(folder);
  const std::string isFolder = folder + " is a folder, not a file.";
  for (const std::string& command :
       {std::string(" headers -o "), std::string(" sample --frames 2 -o "),
        " export " + Quoted(rec) + " --frame 0 --headers " BF_HEADERS_DAT " -o "}) {
    const test::ShellRun run = Shell(Bfk() + command + Quoted(folder) + " 2>&1");
    EXPECT_EQ(run.exitCode, 1) << command;
    EXPECT_TRUE(Contains(run.output, isFolder)) << run.output;
    EXPECT_FALSE(Contains(run.output, "denied")) << run.output;
  }
  EXPECT_TRUE(std::filesystem::is_empty(folder));

  const std::string empty = dir.Write("empty.bfk", {});
  for (const std::string& command :
       {std::string("info"), std::string("export"), std::string("frames"), std::string("video")}) {
    const std::string headers = " --headers " BF_HEADERS_DAT;
    const std::string args = command == "export"   ? " --frame 0 -o x.jpg" + headers
                             : command == "frames" ? " -d stills" + headers
                             : command == "video"  ? " -o v.mkv" + headers
                                                   : "";
    const test::ShellRun run = Shell("cd " + Quoted(dir.Path().string()) + " && " + Bfk() + " " +
                                     command + " " + Quoted(empty) + args + " 2>&1");
    EXPECT_EQ(run.exitCode, 1) << command;
    EXPECT_EQ(run.output,
              "bfk " + command + ": " + empty + " is empty (0 bytes), not a recording\n");
  }
}

TEST(BfkOutputs, ASampleLargerThanTheLargestFlashIsRefusedBeforeAnythingIsWritten) {
  test::TempDir dir;
  const std::string out = dir.File("huge.bfk");
  for (const char* frames : {"4294967295", "59652324", "4294967296"}) {
    const test::ShellRun run =
        Shell(Bfk() + " sample --fast --frames " + frames + " -o " + Quoted(out) + " 2>&1");
    EXPECT_EQ(run.exitCode, 2);
    // The complaint, then the usage.
    EXPECT_EQ(run.output.rfind(std::string("bfk sample: --frames ") + frames +
                                   " is more than fit into 1 GiB, the largest camera flash: at "
                                   "most 59652323\nusage: bfk sample ",
                               0),
              0u)
        << run.output;
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

TEST(BfkOutputs, ALastFrameCutShortIsExportedWithAWarning) {
  test::TempDir dir;
  std::vector<uint8_t> bytes;
  test::AppendPictureRecord(bytes, {.recordLength = 2016, .compression = 4, .monochrome = 1});
  test::AppendPictureRecord(bytes, {.recordLength = 5016, .compression = 1, .monochrome = 0});
  bytes.resize(bytes.size() - 1000);  // the file ends 1000 bytes into the last picture
  const std::string rec = dir.Write("cut.bfk", bytes);

  const test::ShellRun cut = Shell(Export(rec, 1, dir.File("cut.jpg")));
  EXPECT_EQ(cut.exitCode, 0) << cut.output;
  EXPECT_TRUE(Contains(cut.output, "warning: frame 1 is incomplete")) << cut.output;
  EXPECT_TRUE(Contains(cut.output, "1000 bytes")) << cut.output;
  EXPECT_EQ(std::filesystem::file_size(dir.File("cut.jpg")), 698u + 4000u + 16u);

  const test::ShellRun whole = Shell(Export(rec, 0, dir.File("whole.jpg")));
  EXPECT_EQ(whole.exitCode, 0);
  EXPECT_EQ(whole.output, "");
}

// Waits for the next file created in a folder; false after timeoutMs without one.
class CreationWatch {
 public:
  explicit CreationWatch(const std::string& folder) : fd_(::inotify_init1(IN_CLOEXEC)) {
    if (fd_ >= 0) ::inotify_add_watch(fd_, folder.c_str(), IN_CREATE);
  }
  ~CreationWatch() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool Wait(int timeoutMs) const {
    pollfd p{fd_, POLLIN, 0};
    return fd_ >= 0 && ::poll(&p, 1, timeoutMs) == 1;
  }
  // Waits until `count` files have been created, each wait bounded by timeoutMs.
  bool WaitForCreations(int count, int timeoutMs) const {
    alignas(inotify_event) char buffer[4096];
    while (count > 0) {
      if (!Wait(timeoutMs)) return false;
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n <= 0) return false;
      for (ssize_t at = 0; at < n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        if (event->mask & IN_CREATE) --count;
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
    return true;
  }

 private:
  int fd_;
};

// Waits for the child to end; false after timeoutMs (then it is killed).
bool WaitForExit(pid_t child, int timeoutMs, int& status) {
  const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, child, 0));
  if (pidfd >= 0) {
    pollfd p{pidfd, POLLIN, 0};
    const bool ended = ::poll(&p, 1, timeoutMs) == 1;
    ::close(pidfd);
    if (!ended) ::kill(child, SIGKILL);
  }
  return ::waitpid(child, &status, 0) == child;
}

TEST(BfkOutputs, AnInterruptedSampleLeavesNoTemporaryBehind) {
  for (const int sig : {SIGTERM, SIGINT}) {
    test::TempDir dir;
    const std::string out = dir.File("big.bfk");
    CreationWatch watch(dir.Path().string());
    const pid_t child = ::fork();
    if (child == 0) {
      // Bounded even if the signal were not to end it: past 64 MiB it dies of SIGXFSZ.
      const rlimit limit{64u << 20, 64u << 20};
      ::setrlimit(RLIMIT_FSIZE, &limit);
      std::signal(SIGINT, SIG_DFL);
      std::signal(SIGTERM, SIG_DFL);
      ::execl(BF_BFK_PATH, "bfk", "sample", "--frames", "1000000", "-o", out.c_str(), nullptr);
      ::_exit(127);
    }
    ASSERT_GT(child, 0);
    // The temporary appears when the writer opens it; the signal comes while frames are written.
    const bool created = watch.Wait(30000);
    ::kill(child, sig);
    int status = 0;
    ASSERT_TRUE(WaitForExit(child, 30000, status));
    ASSERT_TRUE(created);
    EXPECT_TRUE(WIFSIGNALED(status)) << status;
    if (WIFSIGNALED(status)) {
      EXPECT_EQ(WTERMSIG(status), sig);  // ended by the signal itself
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path())) << "signal " << sig;
  }
}

TEST(BfkOutputs, AnInterruptedFramesRunLeavesTheFolderAsItWas) {
  for (const int sig : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(sig);
    test::TempDir dir;
    const std::string rec = dir.File("many.bfk");
    ASSERT_EQ(
        Shell(Bfk() + " sample --fast --recordings 1 --frames 20000 -o " + Quoted(rec)).exitCode,
        0);
    Recording recording;
    ASSERT_EQ(recording.Open(rec), Recording::OpenStatus::Opened);
    // A still of an earlier run under the first frame's name, and a file of the user's.
    const std::string out = dir.File("stills");
    std::filesystem::create_directories(out);
    const std::string first = StillFileName(recording.Index()[0].header, 0);
    const std::vector<uint8_t> earlier{'o', 'l', 'd'};
    dir.Write("stills/" + first, earlier);
    dir.Write("stills/notes.txt", earlier);

    CreationWatch watch(out);
    const pid_t child = ::fork();
    if (child == 0) {
      std::signal(SIGINT, SIG_DFL);
      std::signal(SIGTERM, SIG_DFL);
      ::execl(BF_BFK_PATH, "bfk", "frames", rec.c_str(), "-d", out.c_str(), "--headers",
              BF_HEADERS_DAT, nullptr);
      ::_exit(127);
    }
    ASSERT_GT(child, 0);
    // The signal comes once the run has made its first hundred files, while stills are written.
    const bool created = watch.WaitForCreations(100, 30000);
    ::kill(child, sig);
    int status = 0;
    ASSERT_TRUE(WaitForExit(child, 60000, status));
    ASSERT_TRUE(created);
    EXPECT_TRUE(WIFSIGNALED(status)) << status;
    if (WIFSIGNALED(status)) {
      EXPECT_EQ(WTERMSIG(status), sig);
    }
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(out)) {
      names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{first, "notes.txt"}));
    EXPECT_EQ(test::ReadAll(out + "/" + first), earlier);
  }
}

}  // namespace
}  // namespace bf
