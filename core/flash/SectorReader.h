#pragma once
#include <cstdint>
#include <exception>
#include <memory>
#include <thread>

#include "flash/CopyOutput.h"
#include "link/FTD2xx.h"

namespace bf {

class CopyState;

// The worker thread of the sector copy (camera type 0). It is handed the link and the output
// file for the copy and is their only user until it is joined; then TakeLink and TakeOutput
// give them back. It reads the data sectors from `first` up to `end` (excluded), zone by zone,
// in requests of at most 124 sectors, and writes every chunk that arrived whole; a chunk that
// came short or with bytes after it ends the copy as a failure (FlashReplyError) before it is
// written. It runs while Running is set and DoneBytes is below TotalBytes.
//
// It never touches the prompts or a widget: when it ends (finished, cancelled or failed) it
// posts one call to the GUI thread, which joins it, reports a failure and closes the dialog.
// Threads: constructed, joined and emptied on the GUI thread; Run on its own thread.
class SectorReader {
 public:
  // Starts the thread at once.
  SectorReader(CopyState& state, FTD2xx& link, std::unique_ptr<CopyOutput> output,
               uint32_t firstSector, uint32_t endSector);
  // Joins (the copy loop ends at the next chunk once Running is cleared).
  ~SectorReader();
  SectorReader(const SectorReader&) = delete;
  SectorReader& operator=(const SectorReader&) = delete;

  void Join();
  // After Join only.
  FTD2xx& TakeLink() { return *link_; }
  std::unique_ptr<CopyOutput> TakeOutput() { return std::move(output_); }
  // The failure that ended the copy, or null.
  std::exception_ptr Failure() const { return failure_; }

 private:
  void Run();
  void CopyZones();

  CopyState& state_;
  FTD2xx* link_;
  std::unique_ptr<CopyOutput> output_;
  const uint32_t first_;
  const uint32_t end_;
  std::exception_ptr failure_;
  std::jthread thread_;  // last: starts after everything above is set
};

}  // namespace bf
