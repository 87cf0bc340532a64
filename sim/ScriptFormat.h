#pragma once
#include <cstdint>

namespace bf::sim::script {

// The control bytes and piece codes of the script format that sim/ScriptedBackend.h describes,
// shared by the backend that plays a script and the writer that makes one.
inline constexpr uint8_t kFailFirst = 0xE0;
inline constexpr uint8_t kCountForm = 0xC0;  // reads and queue counts: a count follows
inline constexpr uint8_t kReadShortFirst = 0x40;
inline constexpr uint8_t kReadExtraFirst = 0x80;
inline constexpr uint8_t kQueueCountFirst = 0x80;

inline constexpr uint8_t kPieceLiteralRest = 0x00;
inline constexpr uint8_t kPieceFillRest = 0x01;
inline constexpr uint8_t kPieceRun = 0x02;
inline constexpr uint8_t kPieceLiteralRun = 0x03;
inline constexpr uint8_t kPiecePatternRest = 0x04;

}  // namespace bf::sim::script
