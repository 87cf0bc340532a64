#pragma once

#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "frames/HeaderGenerator.h"
#include "recordings/Recording.h"
#include "sim/FrameMaker.h"
#include "support/RunProgram.h"

namespace bf::test {

// What a command printed (standard output only) and its exit code.
struct CommandRun {
  int exitCode = -1;
  std::string out;
};

inline CommandRun RunCommand(const std::string& command) {
  const ProgramRun shell = RunShell(command);
  CommandRun run;
  run.exitCode = shell.exitCode;
  run.out = shell.output;
  return run;
}

// ffprobe's reading of a video's first stream: codec_name, width, height, nb_read_frames
// (frames actually decoded) and the container's duration, as key -> text.
inline std::map<std::string, std::string> Probe(const std::string& path) {
  const CommandRun run = RunCommand(
      "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
      "stream=codec_name,width,height,nb_read_frames:format=duration -of default=nw=1 '" +
      path + "'");
  std::map<std::string, std::string> values;
  std::istringstream lines(run.out);
  std::string line;
  while (std::getline(lines, line)) {
    const std::size_t eq = line.find('=');
    if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return values;
}

// Presentation times of the video's packets in ms, in presentation order.
inline std::vector<long> PacketTimesMs(const std::string& path) {
  const CommandRun run = RunCommand(
      "ffprobe -v error -select_streams v:0 -show_entries packet=pts_time -of csv=p=0 '" + path +
      "' | sort -g");
  std::vector<long> times;
  std::istringstream lines(run.out);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty()) times.push_back(std::lround(std::stod(line) * 1000.0));
  }
  return times;
}

// Recordings of real simulated-camera pictures (decodable with the generated table).
class CameraRecording {
 public:
  explicit CameraRecording(PictureSize size = {320, 240})
      : maker_(size), table_(GenerateHeaderTable(size)) {}

  // A frame with this timestamp; settings as the camera would stamp them.
  void Add(uint32_t timestamp, sim::FrameSettings settings = {}) {
    const std::vector<uint8_t> r = maker_.MakeRecord(frames_, frames_ * 100, timestamp, settings);
    bytes_.insert(bytes_.end(), r.begin(), r.end());
    ++frames_;
  }
  // A record whose header is valid but whose payload is no picture.
  void AddGarbage(uint32_t timestamp, uint8_t compression = 2) {
    const FrameHeader h = FrameHeader::Make(1016, timestamp, compression, 0, 3, 0);
    bytes_.insert(bytes_.end(), h.bytes.begin(), h.bytes.end());
    for (int i = 0; i < 1000; ++i) bytes_.push_back(static_cast<uint8_t>(i * 7));
    ++frames_;
  }
  void AddSeconds(uint32_t count, uint32_t first = 1'765'000'000) {
    for (uint32_t i = 0; i < count; ++i) Add(first + i);
  }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  const JpegHeaderTable& Table() const { return table_; }

 private:
  sim::FrameMaker maker_;
  JpegHeaderTable table_;
  std::vector<uint8_t> bytes_;
  uint32_t frames_ = 0;
};

}  // namespace bf::test
