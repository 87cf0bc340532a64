#include "frames/JpegHeaderTable.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <utility>
#include <vector>

#include "frames/JpegInfo.h"
#include "host/FileErrorText.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace bf {

namespace {

#ifdef _WIN32
struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
#else
struct FileDescriptor {
  explicit FileDescriptor(int descriptor) : fd(descriptor) {}
  ~FileDescriptor() {
    if (fd >= 0) ::close(fd);  // read-only: nothing is lost if closing fails
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int fd;
};
#endif

std::string SizeText(const JpegInfo& info) {
  return std::to_string(info.width) + "x" + std::to_string(info.height);
}

}  // namespace

JpegHeaderTable::JpegHeaderTable(std::span<const uint8_t, kFileSize> fileBytes) {
  for (std::size_t k = 0; k < kLevels; ++k) {
    std::copy_n(fileBytes.data() + k * kMonochromeEntrySize, kMonochromeEntrySize,
                slots_[k].data());
    std::copy_n(fileBytes.data() + kColourFileOffset + k * kColourEntrySize, kColourEntrySize,
                slots_[kLevels + k].data());
  }
}

std::span<const uint8_t> JpegHeaderTable::SelectHeaderEntry(uint8_t compression,
                                                            uint8_t monochrome) const {
  if (compression >= kLevels) return {};
  if (monochrome == 0) return {slots_[kLevels + compression].data(), kColourEntrySize};
  return {slots_[compression].data(), kMonochromeEntrySize};
}

std::string HeaderTablePath(const std::string& installPath) {
  const std::string folder = installPath.empty() ? std::string(".") : installPath;
  return (std::filesystem::path(folder) / "headers.dat").string();
}

TableLoadResult LoadJpegHeaderTableFromBytes(std::span<const uint8_t> bytes,
                                             std::string_view sourceName, JpegHeaderTable& out) {
  const auto refuse = [](std::string text) {
    return TableLoadResult{false, std::move(text), true};
  };
  // A short file would leave entries undefined and every picture of those kinds undecodable
  // without a word, so it is refused outright. Bytes beyond the table are ignored.
  if (bytes.size() < JpegHeaderTable::kFileSize) {
    return refuse(std::string(sourceName) + " is too short: " + std::to_string(bytes.size()) +
                  " bytes, " + std::to_string(JpegHeaderTable::kFileSize) + " expected.");
  }
  const JpegHeaderTable table(bytes.first<JpegHeaderTable::kFileSize>());
  // Any file of the right length would otherwise pass (zeros, a recording), and every picture
  // rebuilt with it would be garbage that decodes to nothing or to noise.
  JpegInfo first;
  std::string firstName;
  for (uint8_t monochrome : {uint8_t{1}, uint8_t{0}}) {
    for (uint8_t c = 0; c < JpegHeaderTable::kLevels; ++c) {
      const std::string name = std::string(monochrome != 0 ? "the black-and-white" : "the colour") +
                               " part for compression " + std::to_string(c);
      const JpegInfo part = ReadLeadingPart(table.SelectHeaderEntry(c, monochrome));
      if (!part.ok) {
        return refuse(std::string(sourceName) + " is not a JPEG header table: " + name + ": " +
                      part.error + ".");
      }
      if (!first.ok) {
        first = part;
        firstName = name;
      } else if (part.width != first.width || part.height != first.height) {
        return refuse(std::string(sourceName) +
                      " is not a JPEG header table for one picture size: " + firstName +
                      " is for " + SizeText(first) + " pictures, " + name + " for " +
                      SizeText(part) + ".");
      }
    }
  }
  out = table;
  return {true, {}};
}

TableLoadResult LoadJpegHeaderTableFromFile(const std::string& path, JpegHeaderTable& out) {
  std::vector<uint8_t> bytes(JpegHeaderTable::kFileSize);
  std::size_t total = 0;
#ifdef _WIN32
  // The C runtime refuses a folder as access denied; the text names what it is, as elsewhere.
  if (std::error_code ec; std::filesystem::is_directory(path, ec)) {
    return {false, FileErrorText(EISDIR, path)};
  }
  errno = 0;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) return {false, FileErrorText(static_cast<uint32_t>(errno), path)};
  while (total < bytes.size()) {
    const std::size_t got = std::fread(bytes.data() + total, 1, bytes.size() - total, file.get());
    if (got == 0) break;
    total += got;
  }
  // A read error (a folder named headers.dat, an I/O fault) is not a short file.
  if (std::ferror(file.get()))
    return {false, FileErrorText(errno == 0 ? EIO : static_cast<uint32_t>(errno), path)};
#else
  // Non-blocking, so that a FIFO without a writer is refused below instead of hanging here.
  const FileDescriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
  if (file.fd < 0) return {false, FileErrorText(static_cast<uint32_t>(errno), path)};
  struct stat st {};
  if (::fstat(file.fd, &st) != 0) return {false, FileErrorText(static_cast<uint32_t>(errno), path)};
  if (S_ISDIR(st.st_mode)) return {false, FileErrorText(EISDIR, path)};
  // A FIFO, a device or a socket would block, never end, or change between two reads.
  if (!S_ISREG(st.st_mode)) return {false, path + " is not a regular file."};
  while (total < bytes.size()) {
    const ssize_t got = ::read(file.fd, bytes.data() + total, bytes.size() - total);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return {false, FileErrorText(static_cast<uint32_t>(errno), path)};
    if (got == 0) break;
    total += static_cast<std::size_t>(got);
  }
#endif
  bytes.resize(total);
  return LoadJpegHeaderTableFromBytes(bytes, path, out);
}

TableLoadResult LoadJpegHeaderTable(SettingsStore& settings, JpegHeaderTable& out) {
  const std::string installPath = settings.ReadString("", settings::kInstallPath, "");
  return LoadJpegHeaderTableFromFile(HeaderTablePath(installPath), out);
}

}  // namespace bf
