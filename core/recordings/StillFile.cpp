#include "recordings/StillFile.h"

#include "host/ReplacingFileWriter.h"

namespace bf {

uint32_t WriteStillFile(std::span<const uint8_t> tableEntry, const FrameHeader& header,
                        std::span<const uint8_t> payload, const std::string& path) {
  ReplacingFileWriter file;
  if (const uint32_t e = file.Open(path); e != 0) return e;
  file.Write(tableEntry);
  file.Write(payload);
  file.Write(header.bytes);
  return file.Commit();
}

}  // namespace bf
