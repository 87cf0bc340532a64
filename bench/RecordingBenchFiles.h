#pragma once
// Large recordings for the recordings benchmarks, written once into the temp folder and reused
// by later runs (and by the other benchmark executables).
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "frames/FrameHeader.h"
#include "frames/JpegEncoder.h"
#include "frames/JpegHeaderTable.h"

namespace bf::bench {

inline constexpr uint64_t kGiB = uint64_t{1} << 30;

inline std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() / name).string();
}

// Real camera-like payloads of about 21 KB (320 x 240 noise pictures), so that 1 GiB holds
// about 50,000 frames. Compression 2, colour.
inline std::vector<std::vector<uint8_t>> SamplePayloads() {
  FramePayloadEncoder encoder(PictureSize{320, 240});
  std::vector<std::vector<uint8_t>> payloads;
  std::mt19937 random(7);
  std::vector<uint8_t> rgb(320 * 240 * 3);
  for (int picture = 0; picture < 8; ++picture) {
    // Smooth gradient plus noise; the noise amplitude is tuned to the wanted payload size.
    for (int amplitude = 4; amplitude < 256; amplitude += 2) {
      for (std::size_t i = 0; i < rgb.size(); ++i) {
        const int base = static_cast<int>((i / 3) % 320 + picture * 17) & 0xFF;
        rgb[i] = static_cast<uint8_t>(std::clamp<int>(
            base + static_cast<int>(random() % static_cast<unsigned>(amplitude)) - amplitude / 2, 0,
            255));
      }
      std::vector<uint8_t> payload = encoder.Encode(rgb.data(), false, 2);
      if (payload.size() >= 20500 || amplitude >= 254) {
        if (payload.size() > 60000) payload.resize(60000);  // never in practice
        payloads.push_back(std::move(payload));
        break;
      }
    }
  }
  return payloads;
}

// Writes `path` unless it already has `size` bytes; `fill` appends the content in pieces and
// returns false when done.
template <class Fill>
bool EnsureFile(const std::string& path, uint64_t size, Fill fill) {
  std::error_code ec;
  if (std::filesystem::file_size(path, ec) == size && !ec) return true;
  const std::string temp = path + ".part" + std::to_string(::getpid());
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    std::vector<uint8_t> piece;
    uint64_t written = 0;
    while (written < size) {
      piece.clear();
      fill(written, piece);
      const uint64_t n = std::min<uint64_t>(piece.size(), size - written);
      out.write(reinterpret_cast<const char*>(piece.data()), static_cast<std::streamsize>(n));
      written += n;
    }
    out.flush();
    if (!out) {
      std::filesystem::remove(temp, ec);
      return false;
    }
  }
  std::filesystem::rename(temp, path, ec);
  return !ec;
}

// 1 GiB of frame records back to back (about 50,000 frames), timestamps 4 per second. The last
// record is cut by the end of the file.
inline std::string GigabyteRecording() {
  const std::string path = TempPath("bf-bench-recording-1g.bfk");
  std::vector<std::vector<uint8_t>> payloads;
  uint32_t frame = 0;
  const bool ok = EnsureFile(path, kGiB, [&](uint64_t, std::vector<uint8_t>& piece) {
    if (payloads.empty()) payloads = SamplePayloads();
    for (int k = 0; k < 64; ++k, ++frame) {
      const std::vector<uint8_t>& p = payloads[frame % payloads.size()];
      const FrameHeader h = FrameHeader::Make(static_cast<uint16_t>(p.size() + 16),
                                              1'765'000'000u + frame / 4, 2, 0, 7, 0);
      piece.insert(piece.end(), h.bytes.begin(), h.bytes.end());
      piece.insert(piece.end(), p.begin(), p.end());
    }
  });
  return ok ? path : std::string();
}

// The same frames as a stream of complete JPEG files (table entry + payload), for a general
// tool to count.
inline std::string GigabyteJpegStream(const JpegHeaderTable& table) {
  const std::string path = TempPath("bf-bench-stream-1g.mjpeg");
  std::vector<std::vector<uint8_t>> payloads;
  uint32_t frame = 0;
  const std::span<const uint8_t> entry = table.SelectHeaderEntry(2, 0);
  const bool ok = EnsureFile(path, kGiB, [&](uint64_t, std::vector<uint8_t>& piece) {
    if (payloads.empty()) payloads = SamplePayloads();
    for (int k = 0; k < 64; ++k, ++frame) {
      const std::vector<uint8_t>& p = payloads[frame % payloads.size()];
      piece.insert(piece.end(), entry.begin(), entry.end());
      piece.insert(piece.end(), p.begin(), p.end());
    }
  });
  return ok ? path : std::string();
}

// One frame, then 1 GiB of bytes that are neither a header nor erased flash: the scan crosses
// all of it in 512-byte probes.
inline std::string GigabyteDamaged() {
  const std::string path = TempPath("bf-bench-damaged-1g.bfk");
  const bool ok = EnsureFile(path, kGiB, [&](uint64_t written, std::vector<uint8_t>& piece) {
    if (written == 0) {
      const FrameHeader h = FrameHeader::Make(1016, 1, 2, 0, 7, 0);
      piece.insert(piece.end(), h.bytes.begin(), h.bytes.end());
      piece.resize(1016, 0x11);
    }
    piece.resize(piece.size() + (1u << 20), 0x5A);
  });
  return ok ? path : std::string();
}

// Resident anonymous memory of this process in KiB (mapped file pages not included).
inline long RssAnonKiB() {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (f == nullptr) return -1;
  char line[256];
  long kib = -1;
  while (std::fgets(line, sizeof line, f) != nullptr) {
    if (std::sscanf(line, "RssAnon: %ld kB", &kib) == 1) break;
  }
  std::fclose(f);
  return kib;
}

}  // namespace bf::bench
