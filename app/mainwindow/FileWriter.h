#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace bf::ui {

// The texts the platform's file layer gives for a failed file operation, with the path in
// place of %1 ("%1 was not found.", "Access to %1 was denied.", ...).
std::string FileErrorText(int err, const std::string& path);

// A file created (or truncated) for writing, closed on destruction. Every operation reports
// its failure as the file error text; Close() must be called to learn whether the last bytes
// reached the disk.
class FileWriter {
 public:
  // nullopt and the error text when the file cannot be created.
  static std::optional<FileWriter> Create(const std::string& path, std::string* error);

  bool Write(std::span<const uint8_t> bytes, std::string* error);
  bool Close(std::string* error);

 private:
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  FileWriter(std::string path, std::FILE* file) : path_(std::move(path)), file_(file) {}

  std::string path_;
  std::unique_ptr<std::FILE, Closer> file_;
};

}  // namespace bf::ui
