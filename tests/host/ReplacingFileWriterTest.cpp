// The one file writer: replacing regular files, writing devices and FIFOs directly.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "host/FileErrorText.h"
#include "host/ReplacingFileWriter.h"
#include "support/TempFolder.h"

namespace bf {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

using TempDir = bf::test::TempFolder;

std::vector<uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

mode_t Mode(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return st.st_mode;
}

// Runs fn in a child process without root's powers (as "nobody" when the tests run as root),
// so that permissions are really enforced. Returns fn's result, or -1 when the child failed.
int AsUnprivileged(const std::function<int()>& fn) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(99);
    ::_exit(fn());
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// The size limit of files this process writes, for the scope; writes past it fail with EFBIG
// instead of raising SIGXFSZ.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved_;
    limited.rlim_cur = bytes;
    ok_ = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, oldHandler_);
  }
  bool ok() const { return ok_; }

 private:
  rlimit saved_{};
  void (*oldHandler_)(int) = SIG_DFL;
  bool ok_ = false;
};

// A character device node to write to: a private copy of /dev/null or /dev/full where the
// process may make one (so a faulty writer cannot damage the real node), else the real one.
std::string CharacterDevice(const TempDir& dir, const std::string& name, unsigned minor) {
  const std::string node = dir.File(name);
  if (::mknod(node.c_str(), S_IFCHR | 0666, makedev(1, minor)) == 0) return node;
  return "/dev/" + name;
}

TEST(ReplacingFileWriter, ReplacesARegularFileKeepingItsPermissions) {
  TempDir dir;
  const std::string target = dir.File("still.jpg");
  WriteText(target, "old bytes of the target");
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  struct stat before {};
  ASSERT_EQ(::stat(target.c_str(), &before), 0);

  ReplacingFileWriter writer;
  ASSERT_EQ(writer.Open(target), 0u);
  EXPECT_FALSE(writer.TemporaryPath().empty());
  EXPECT_EQ(fs::path(writer.TemporaryPath()).parent_path(), dir.Path());
  // Until the commit the target keeps its old bytes.
  ASSERT_EQ(writer.Write(Bytes("new ")), 0u);
  ASSERT_EQ(writer.Write(Bytes("content")), 0u);
  EXPECT_EQ(ReadText(target), "old bytes of the target");
  ASSERT_EQ(writer.Commit(), 0u);

  EXPECT_EQ(ReadText(target), "new content");
  EXPECT_EQ(writer.BytesWritten(), 11u);
  EXPECT_EQ(Mode(target) & 07777, 0640u);
  struct stat after {};
  ASSERT_EQ(::stat(target.c_str(), &after), 0);
  EXPECT_EQ(after.st_uid, before.st_uid);
  EXPECT_NE(after.st_ino, before.st_ino);  // a new file, not the old one truncated
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"still.jpg"});
}

TEST(ReplacingFileWriter, NewFileAndLongNames) {
  TempDir dir;
  const std::string name(250, 'n');
  const std::string target = dir.File(name);
  EXPECT_EQ(WriteWholeFile(target, Bytes("x")), 0u);
  EXPECT_EQ(ReadText(target), "x");
  EXPECT_EQ(dir.Names(), std::vector<std::string>{name});
}

// In a folder shared with other users, names laid out beforehand must not stop the writer,
// nor catch its bytes: here every name a process-and-counter scheme would try is taken, some
// by links to a file of the "other user".
TEST(ReplacingFileWriter, TemporaryNamesLaidOutBeforehandNeitherStopNorCatchIt) {
  TempDir dir;
  const std::string victim = dir.File("victim");
  WriteText(victim, "theirs");
  for (int n = 0; n < 2048; ++n) {
    const std::string name =
        ".out.bfk." + std::to_string(::getpid()) + "." + std::to_string(n) + ".tmp";
    if (n % 2 == 0) {
      WriteText(dir.File(name), "");
    } else {
      fs::create_symlink(victim, dir.Path() / name);
    }
  }
  const std::size_t laidOut = dir.Names().size();
  for (int run = 0; run < 3; ++run) {
    ASSERT_EQ(WriteWholeFile(dir.File("out.bfk"), Bytes("mine")), 0u) << run;
  }
  EXPECT_EQ(ReadText(dir.File("out.bfk")), "mine");
  EXPECT_EQ(ReadText(victim), "theirs");
  EXPECT_EQ(dir.Names().size(), laidOut + 1);

  // Were every name drawn taken, the text says so rather than blaming access.
  EXPECT_EQ(FileErrorText(EEXIST, "out.bfk"),
            "Could not create a new file next to out.bfk: the names tried were already taken.");
}

TEST(ReplacingFileWriter, AFailedWriteLeavesTheOldTargetAndNothingElse) {
  TempDir dir;
  const std::string target = dir.File("rec.bfk");
  WriteText(target, "the old recording");
  std::string reported;
  {
    FileSizeLimit limit(4096);
    ASSERT_TRUE(limit.ok());
    ReplacingFileWriter writer;
    ASSERT_EQ(writer.Open(target), 0u);
    const std::vector<uint8_t> big(10000, 0xAB);
    EXPECT_EQ(writer.Write(big), static_cast<uint32_t>(EFBIG));
    // The failure sticks: later writes and the commit report it and write nothing more.
    EXPECT_EQ(writer.Write(Bytes("more")), static_cast<uint32_t>(EFBIG));
    EXPECT_EQ(writer.Commit(), static_cast<uint32_t>(EFBIG));
    reported = FileErrorText(writer.Error(), target);
  }
  EXPECT_EQ(reported, "Disk full while accessing " + target + ".");
  EXPECT_EQ(ReadText(target), "the old recording");
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"rec.bfk"});
}

TEST(ReplacingFileWriter, AbandonedOrDroppedWritesLeaveNothingBehind) {
  TempDir dir;
  const std::string target = dir.File("out.bfk");
  WriteText(target, "kept");
  {
    ReplacingFileWriter writer;
    ASSERT_EQ(writer.Open(target), 0u);
    ASSERT_EQ(writer.Write(Bytes("half")), 0u);
    EXPECT_EQ(dir.Names().size(), 2u);
  }  // destroyed without a commit
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"out.bfk"});
  ReplacingFileWriter writer;
  ASSERT_EQ(writer.Open(dir.File("new.bfk")), 0u);
  ASSERT_EQ(writer.Write(Bytes("half")), 0u);
  writer.Abandon();
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"out.bfk"});
  EXPECT_EQ(ReadText(target), "kept");
}

TEST(ReplacingFileWriter, FoldersThatCannotTakeTheFileAreReportedBeforeAnythingIsWritten) {
  TempDir dir;
  WriteText(dir.File("plain"), "a file, not a folder");
  ReplacingFileWriter writer;
  EXPECT_EQ(writer.Open(dir.File("plain/x.jpg")), static_cast<uint32_t>(ENOTDIR));
  EXPECT_EQ(writer.Open(dir.File("missing/x.jpg")), static_cast<uint32_t>(ENOENT));
  EXPECT_EQ(writer.Open(dir.Path().string()), static_cast<uint32_t>(EISDIR));
  EXPECT_EQ(FileErrorText(EISDIR, "d"), "d is a folder, not a file.");
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"plain"});

  // A folder without write permission, and a read-only file in a writable one.
  const fs::path locked = dir.Path() / "locked";
  const fs::path open = dir.Path() / "open";
  fs::create_directories(locked);
  fs::create_directories(open);
  WriteText((locked / "t.jpg").string(), "old");
  WriteText((open / "ro.jpg").string(), "read-only");
  ASSERT_EQ(::chmod(locked.c_str(), 0555), 0);
  ASSERT_EQ(::chmod((open / "ro.jpg").c_str(), 0444), 0);
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(dir.Path().c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(::chown(open.c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(::chown((open / "ro.jpg").c_str(), kNobody, kNobody), 0);
  }
  EXPECT_EQ(AsUnprivileged([&] {
              ReplacingFileWriter w;
              return static_cast<int>(w.Open((locked / "t.jpg").string()));
            }),
            EACCES);
  EXPECT_EQ(AsUnprivileged([&] {
              ReplacingFileWriter w;
              return static_cast<int>(w.Open((locked / "new.jpg").string()));
            }),
            EACCES);
  EXPECT_EQ(AsUnprivileged([&] {
              ReplacingFileWriter w;
              return static_cast<int>(w.Open((open / "ro.jpg").string()));
            }),
            EACCES);
  EXPECT_EQ(ReadText((locked / "t.jpg").string()), "old");
  EXPECT_EQ(ReadText((open / "ro.jpg").string()), "read-only");
  EXPECT_EQ(fs::directory_iterator(locked)->path().filename(), "t.jpg");
  EXPECT_EQ(std::distance(fs::directory_iterator(locked), fs::directory_iterator()), 1);
  EXPECT_EQ(std::distance(fs::directory_iterator(open), fs::directory_iterator()), 1);
}

TEST(ReplacingFileWriter, AMappedOldTargetKeepsItsBytesUnderTheMapping) {
  TempDir dir;
  const std::string target = dir.File("open.bfk");
  std::string old(65536, '\0');
  for (std::size_t i = 0; i < old.size(); ++i) old[i] = static_cast<char>(i * 7);
  WriteText(target, old);
  const int fd = ::open(target.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  void* map = ::mmap(nullptr, old.size(), PROT_READ, MAP_SHARED, fd, 0);
  ::close(fd);
  ASSERT_NE(map, MAP_FAILED);

  EXPECT_EQ(WriteWholeFile(target, Bytes("a short still")), 0u);

  // Reading every page of the mapping neither faults nor sees the new bytes.
  EXPECT_EQ(std::string(static_cast<const char*>(map), old.size()), old);
  EXPECT_EQ(ReadText(target), "a short still");
  ::munmap(map, old.size());
}

TEST(ReplacingFileWriter, FollowsSymbolicLinksAndKeepsThem) {
  TempDir dir;
  fs::create_directories(dir.Path() / "real");
  WriteText(dir.File("real/t.jpg"), "old");
  fs::create_symlink("real/t.jpg", dir.Path() / "link.jpg");  // relative to its own folder
  fs::create_symlink(dir.File("link.jpg"), dir.Path() / "chain.jpg");
  fs::create_symlink("real/later.jpg", dir.Path() / "dangling.jpg");

  EXPECT_EQ(WriteWholeFile(dir.File("link.jpg"), Bytes("through the link")), 0u);
  EXPECT_TRUE(S_ISLNK(Mode(dir.File("link.jpg"))));
  EXPECT_EQ(fs::read_symlink(dir.Path() / "link.jpg"), "real/t.jpg");
  EXPECT_EQ(ReadText(dir.File("real/t.jpg")), "through the link");

  EXPECT_EQ(WriteWholeFile(dir.File("chain.jpg"), Bytes("through two")), 0u);
  EXPECT_TRUE(S_ISLNK(Mode(dir.File("chain.jpg"))));
  EXPECT_TRUE(S_ISLNK(Mode(dir.File("link.jpg"))));
  EXPECT_EQ(ReadText(dir.File("real/t.jpg")), "through two");

  // A link to a file not yet there creates that file.
  EXPECT_EQ(WriteWholeFile(dir.File("dangling.jpg"), Bytes("new")), 0u);
  EXPECT_TRUE(S_ISLNK(Mode(dir.File("dangling.jpg"))));
  EXPECT_EQ(ReadText(dir.File("real/later.jpg")), "new");

  fs::create_symlink("loop.jpg", dir.Path() / "loop.jpg");
  EXPECT_EQ(WriteWholeFile(dir.File("loop.jpg"), Bytes("x")), static_cast<uint32_t>(ELOOP));
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"chain.jpg", "dangling.jpg", "link.jpg",
                                                   "loop.jpg", "real"}));
}

TEST(ReplacingFileWriter, DevicesAreWrittenDirectlyAndStayDevices) {
  TempDir dir;
  const std::string null = CharacterDevice(dir, "null", 3);
  ReplacingFileWriter writer;
  ASSERT_EQ(writer.Open(null), 0u);
  EXPECT_TRUE(writer.TemporaryPath().empty());
  ASSERT_EQ(writer.Write(Bytes("discarded")), 0u);
  EXPECT_EQ(writer.Commit(), 0u);
  EXPECT_TRUE(S_ISCHR(Mode(null)));

  // Through a symbolic link, too: the link and the device both stay.
  fs::create_symlink(null, dir.Path() / "to-null");
  EXPECT_EQ(WriteWholeFile(dir.File("to-null"), Bytes("discarded")), 0u);
  EXPECT_TRUE(S_ISLNK(Mode(dir.File("to-null"))));
  EXPECT_TRUE(S_ISCHR(Mode(null)));

  // A full device fails the write with the disk-full text, and nothing appears beside it.
  const std::string full = CharacterDevice(dir, "full", 7);
  ReplacingFileWriter onFull;
  ASSERT_EQ(onFull.Open(full), 0u);
  EXPECT_EQ(onFull.Write(Bytes("no room")), static_cast<uint32_t>(ENOSPC));
  EXPECT_EQ(onFull.Commit(), static_cast<uint32_t>(ENOSPC));
  EXPECT_EQ(FileErrorText(onFull.Error(), "/dev/full"), "Disk full while accessing /dev/full.");
  EXPECT_TRUE(S_ISCHR(Mode(full)));
  for (const std::string& name : dir.Names()) EXPECT_EQ(name.find(".tmp"), std::string::npos);
}

TEST(ReplacingFileWriter, AFifoWithAReaderGetsTheBytes) {
  TempDir dir;
  const std::string fifo = dir.File("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] {
    const int fd = ::open(fifo.c_str(), O_RDONLY);
    if (fd < 0) return;
    char buffer[256];
    ssize_t n = 0;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) received.append(buffer, std::size_t(n));
    ::close(fd);
  });
  const uint32_t result = WriteWholeFile(fifo, Bytes("through the fifo"));
  reader.join();
  EXPECT_EQ(result, 0u);
  EXPECT_EQ(received, "through the fifo");
  EXPECT_TRUE(S_ISFIFO(Mode(fifo)));
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"pipe"});
}

TEST(ReplacingFileWriter, DashIsStandardOutputWhichStaysOpen) {
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  std::fflush(stdout);
  const int savedStdout = ::dup(STDOUT_FILENO);
  ASSERT_GE(savedStdout, 0);
  ::dup2(pipeFds[1], STDOUT_FILENO);
  ::close(pipeFds[1]);
  const uint32_t result = WriteWholeFile("-", Bytes("to stdout"));
  const bool stillOpen = ::fcntl(STDOUT_FILENO, F_GETFD) != -1;
  ::dup2(savedStdout, STDOUT_FILENO);
  ::close(savedStdout);
  char buffer[64] = {};
  const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
  ::close(pipeFds[0]);
  EXPECT_EQ(result, 0u);
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(std::string(buffer, n > 0 ? std::size_t(n) : 0), "to stdout");
}

TEST(ReplacingFileWriter, IsSameFileSeesThroughLinksAndSpellings) {
  TempDir dir;
  WriteText(dir.File("rec.bfk"), "r");
  WriteText(dir.File("other.bfk"), "r");
  fs::create_symlink("rec.bfk", dir.Path() / "alias.bfk");
  fs::create_hard_link(dir.Path() / "rec.bfk", dir.Path() / "hard.bfk");
  EXPECT_TRUE(IsSameFile(dir.File("rec.bfk"), dir.File("alias.bfk")));
  EXPECT_TRUE(IsSameFile(dir.File("rec.bfk"), dir.File("hard.bfk")));
  EXPECT_TRUE(IsSameFile(dir.File("rec.bfk"),
                         dir.File("./../") + dir.Path().filename().string() + "/rec.bfk"));
  EXPECT_FALSE(IsSameFile(dir.File("rec.bfk"), dir.File("other.bfk")));
  EXPECT_FALSE(IsSameFile(dir.File("rec.bfk"), dir.File("missing.jpg")));
  EXPECT_FALSE(IsSameFile("-", "-"));
}

TEST(ReplacingFileWriter, TheSignalCleanupRemovesOpenTemporariesOnly) {
  TempDir dir;
  WriteText(dir.File("done.bfk"), "committed before");
  ReplacingFileWriter first;
  ReplacingFileWriter second;
  ASSERT_EQ(first.Open(dir.File("a.bfk")), 0u);
  ASSERT_EQ(second.Open(dir.File("done.bfk")), 0u);
  ASSERT_EQ(first.Write(Bytes("partial")), 0u);
  EXPECT_EQ(dir.Names().size(), 3u);
  RemoveTemporaryFilesFromSignalHandler();
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"done.bfk"});
  EXPECT_EQ(ReadText(dir.File("done.bfk")), "committed before");
}

}  // namespace
}  // namespace bf
