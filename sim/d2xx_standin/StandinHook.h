#pragma once
// The stand-in FTD2XX.dll: our own library that exports the D2XX functions the link uses, at
// the vendor's ordinals, with the simulated camera behind them. It lets the Windows build run
// the real hardware path (D2xxLibraryBackend loading the library by ordinal) without a bridge.
//
// Which camera: BRINDLEFLASH_STANDIN holds simulated-camera options (sim/OPTIONS.md, on top of
// the demo camera), read at the first call, with the system clock. Tests instead name the
// camera and lend it their clock through the one export beyond the D2XX table, below.

namespace bf {
class TickSource;
}

namespace bf::standin {

inline constexpr const char* kOptionsVariable = "BRINDLEFLASH_STANDIN";

// Exported by name (not by a D2XX ordinal). options: "key=value,..." on top of the test
// defaults of bf::sim::SimOptions; ticks: the clock of the camera, borrowed until the next
// call. options null drops the camera (the next D2XX call makes the one of the environment).
// Returns 1, or 0 with the reason in error (at most errorSize bytes, terminator included)
// when the options are refused, which leaves the previous camera in place.
//
// Both sides must come from the same build: the clock is a C++ object of that build.
using UseCameraFn = int (*)(const char* options, TickSource* ticks, char* error,
                            unsigned errorSize);
inline constexpr const char* kUseCameraExport = "BfStandinUseCamera";

}  // namespace bf::standin
