#include "recordings/StillBatch.h"

#include <cerrno>
#include <filesystem>

#include "host/ReplacingFileWriter.h"
#include "recordings/StillFile.h"

#ifdef _WIN32
#include <process.h>
#define BF_GETPID _getpid
#else
#include <unistd.h>
#define BF_GETPID ::getpid
#endif

namespace bf {

namespace fs = std::filesystem;

namespace {

// A hidden name beside `target` that no other run of this program picks.
std::string HiddenBeside(const std::string& target, const char* kind, uint32_t serial) {
  const fs::path p(target);
  const std::string leaf = "." + p.filename().string() + "." + std::to_string(BF_GETPID()) + "." +
                           std::to_string(serial) + kind;
  return (p.parent_path() / leaf).string();
}

uint32_t Code(const std::error_code& ec) {
  return ec ? static_cast<uint32_t>(ec.value()) : static_cast<uint32_t>(EIO);
}

}  // namespace

uint32_t StillBatch::Stage(std::span<const uint8_t> tableEntry, const FrameHeader& header,
                           std::span<const uint8_t> payload, const std::string& path) {
  std::error_code ec;
  std::string target = path;
  if (fs::is_symlink(fs::symlink_status(path, ec))) {
    const fs::path resolved = fs::weakly_canonical(path, ec);
    if (ec) return Code(ec);
    target = resolved.string();
  }
  const fs::file_status st = fs::status(target, ec);
  if (fs::is_directory(st)) return EISDIR;
#ifndef _WIN32
  if (fs::exists(st) && ::access(target.c_str(), W_OK) != 0) return static_cast<uint32_t>(errno);
#endif
  Item item{target, HiddenBeside(target, ".new", serial_++), {}, false};
  if (const uint32_t e = WriteStillFile(tableEntry, header, payload, item.staged, true); e != 0) {
    return e;
  }
  items_.push_back(std::move(item));
  return 0;
}

uint32_t StillBatch::Commit(const std::function<bool()>& cancelled, std::string& failedPath) {
  if (items_.empty()) return 0;
  // The stills' bytes reach the disk before any of them takes a name: a crash during the
  // moves leaves whole files only.
  const std::string folder = fs::path(items_.front().target).parent_path().string();
  if (const uint32_t e = SyncFileSystemOf(folder.empty() ? "." : folder); e != 0) {
    failedPath = folder;
    Discard();
    return e;
  }
  for (Item& item : items_) {
    if (cancelled && cancelled()) {
      Undo();
      return ECANCELED;
    }
    std::error_code ec;
    if (fs::exists(fs::symlink_status(item.target, ec))) {
      const std::string aside = HiddenBeside(item.target, ".old", serial_++);
      fs::rename(item.target, aside, ec);
      if (ec) {
        failedPath = item.target;
        Undo();
        return Code(ec);
      }
      item.setAside = aside;
    }
    fs::rename(item.staged, item.target, ec);
    if (ec) {
      failedPath = item.target;
      Undo();
      return Code(ec);
    }
    item.placed = true;
  }
  // Every still is in place; the new names are made durable before what they replaced goes.
  if (const uint32_t e = SyncFileSystemOf(folder.empty() ? "." : folder); e != 0) {
    failedPath = folder;
    Undo();
    return e;
  }
  for (Item& item : items_) {
    std::error_code ignored;
    if (!item.setAside.empty()) fs::remove(item.setAside, ignored);
  }
  items_.clear();
  return 0;
}

void StillBatch::Undo() {
  for (auto it = items_.rbegin(); it != items_.rend(); ++it) {
    std::error_code ignored;
    if (it->placed) fs::remove(it->target, ignored);
    if (!it->setAside.empty()) fs::rename(it->setAside, it->target, ignored);
    it->placed = false;
    it->setAside.clear();
  }
  Discard();
}

void StillBatch::Discard() {
  for (const Item& item : items_) {
    std::error_code ignored;
    if (!item.placed) fs::remove(item.staged, ignored);
  }
  items_.clear();
}

}  // namespace bf
