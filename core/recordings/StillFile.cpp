#include "recordings/StillFile.h"

#include "host/ReplacingFileWriter.h"

namespace bf {

uint32_t WriteStillFile(std::span<const uint8_t> tableEntry, const FrameHeader& header,
                        std::span<const uint8_t> payload, const std::string& path, bool deferSync) {
  ReplacingFileWriter file;
  if (deferSync) file.DeferSync();
  if (const uint32_t e = file.Open(path); e != 0) return e;
  file.Write(tableEntry);
  file.Write(payload);
  file.Write(header.bytes);
  return file.Commit();
}

std::size_t MissingPayloadBytes(const FrameHeader& header, std::size_t presentPayloadBytes) {
  const std::size_t promised = PayloadLength(header);
  return promised > presentPayloadBytes ? promised - presentPayloadBytes : 0;
}

}  // namespace bf
