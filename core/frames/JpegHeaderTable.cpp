#include "frames/JpegHeaderTable.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "host/FileErrorText.h"

namespace bf {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

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
  // A short file would leave entries undefined and every picture of those kinds undecodable
  // without a word, so it is refused outright. Bytes beyond the table are ignored.
  if (bytes.size() < JpegHeaderTable::kFileSize) {
    return {false, std::string(sourceName) + " is too short: " + std::to_string(bytes.size()) +
                       " bytes, " + std::to_string(JpegHeaderTable::kFileSize) + " expected."};
  }
  out = JpegHeaderTable(bytes.first<JpegHeaderTable::kFileSize>());
  return {true, {}};
}

TableLoadResult LoadJpegHeaderTableFromFile(const std::string& path, JpegHeaderTable& out) {
  errno = 0;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) return {false, FileErrorText(static_cast<uint32_t>(errno), path)};

  std::vector<uint8_t> bytes(JpegHeaderTable::kFileSize);
  std::size_t total = 0;
  while (total < bytes.size()) {
    const std::size_t got = std::fread(bytes.data() + total, 1, bytes.size() - total, file.get());
    if (got == 0) break;
    total += got;
  }
  // A read error (a folder named headers.dat, an I/O fault) is not a short file.
  if (std::ferror(file.get()))
    return {false, FileErrorText(errno == 0 ? EIO : static_cast<uint32_t>(errno), path)};
  bytes.resize(total);
  return LoadJpegHeaderTableFromBytes(bytes, path, out);
}

TableLoadResult LoadJpegHeaderTable(SettingsStore& settings, JpegHeaderTable& out) {
  const std::string installPath = settings.ReadString("", settings::kInstallPath, "");
  return LoadJpegHeaderTableFromFile(HeaderTablePath(installPath), out);
}

}  // namespace bf
