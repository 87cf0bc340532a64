#pragma once
#include <array>
#include <cstdint>
#include <deque>
#include <optional>

#include "flash/RangeChooser.h"
#include "frames/FrameHeader.h"

namespace bf {

// What the range dialog of a type 2 camera shows and lets the person change, without widgets:
// the 256 sectors of 4 MiB in recording order (oldest first), the selection, and what is known
// about the first frame of each sector.
//
// Positions count in recording order: position 0 is the oldest sector (sector 0, or the sector
// after the write pointer's when the recording has wrapped) and position 255 the last. The
// selection runs from the earlier to the later of two positions (anchor and cursor), so a
// range picked across the end of the flash comes out as a start sector above the end sector,
// which the copy writes into two files.
//
// Frame headers are fetched lazily, one sector per call of FetchNext: one fetch reads 64 KiB
// from the camera (about 65 ms at 1 MB/s), so only the sectors the person looks at (hover,
// cursor, the two ends of the selection) are fetched, the most recent first, plus the first
// sector of each grid row once nothing else is wanted, to put times along the grid.
//
// GUI thread only.
class SectorRangeModel {
 public:
  static constexpr int kSectors = 256;
  static constexpr int kColumns = 16;
  static constexpr uint64_t kSectorBytes = 4u * 1024u * 1024u;
  // Wanted sectors kept beyond the ends of the selection; older wishes are dropped, so that a
  // pointer swept across the grid does not leave a long queue of reads behind it.
  static constexpr std::size_t kMaxWanted = 4;

  enum class State { Unknown, Frame, NoFrame };
  struct SectorInfo {
    State state = State::Unknown;
    FrameHeader header;
  };

  SectorRangeModel(uint8_t pointerSector, bool wrapped);

  uint8_t PointerSector() const { return pointerSector_; }
  bool Wrapped() const { return wrapped_; }
  int SectorAt(int position) const;
  int PositionOf(int sector) const;
  // Not wrapped: the sectors after the pointer's have not been written yet.
  bool IsUnwritten(int sector) const { return !wrapped_ && sector > pointerSector_; }
  // The position at which the flash's end is crossed (sector 255 is followed by sector 0), or
  // -1 when sector 0 comes first.
  int WrapPosition() const { return wrapped_ && pointerSector_ != 255 ? PositionOf(0) : -1; }

  // Selection. extend keeps the anchor (Shift, dragging); otherwise both move.
  void SetCursor(int position, bool extend);
  void MoveCursor(int delta, bool extend);
  int CursorPosition() const { return cursor_; }
  int StartPosition() const { return anchor_ < cursor_ ? anchor_ : cursor_; }
  int EndPosition() const { return anchor_ < cursor_ ? cursor_ : anchor_; }
  uint8_t StartSector() const { return static_cast<uint8_t>(SectorAt(StartPosition())); }
  uint8_t EndSector() const { return static_cast<uint8_t>(SectorAt(EndPosition())); }
  int SelectedCount() const { return EndPosition() - StartPosition() + 1; }

  // The sector under the mouse, or -1.
  void SetHover(int sector);
  int Hover() const { return hover_; }

  const SectorInfo& Info(int sector) const { return info_[static_cast<std::size_t>(sector)]; }
  // Fetches one wanted sector through lookup. Returns false when nothing is wanted. A failure
  // of the lookup passes through; the sector stays unknown.
  bool FetchNext(const SectorHeaderLookup& lookup);
  // The same in two steps, for a lookup that answers later on another thread: the sector to
  // fetch next (counted as fetched), then what the lookup found there.
  std::optional<int> TakeNextWanted();
  void Store(int sector, const std::optional<FrameHeader>& header);
  bool HasWork() const;
  int FetchCount() const { return fetches_; }

 private:
  void Want(int sector);
  std::optional<int> NextWanted() const;

  uint8_t pointerSector_;
  bool wrapped_;
  int anchor_ = 0;
  int cursor_ = 0;
  int hover_ = -1;
  int fetches_ = 0;
  std::deque<int> wanted_;  // most recent first
  std::array<SectorInfo, kSectors> info_{};
};

}  // namespace bf
