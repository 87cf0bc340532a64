#include "flash/SectorRangeModel.h"

#include <algorithm>

namespace bf {

SectorRangeModel::SectorRangeModel(uint8_t pointerSector, bool wrapped)
    : pointerSector_(pointerSector), wrapped_(wrapped) {
  // Everything recorded is the first offer: Enter copies the whole recording.
  anchor_ = 0;
  cursor_ = PositionOf(pointerSector_);
}

int SectorRangeModel::SectorAt(int position) const {
  if (!wrapped_) return position;
  return (pointerSector_ + 1 + position) % kSectors;
}

int SectorRangeModel::PositionOf(int sector) const {
  if (!wrapped_) return sector;
  return (sector - pointerSector_ - 1 + 2 * kSectors) % kSectors;
}

void SectorRangeModel::SetCursor(int position, bool extend) {
  cursor_ = std::clamp(position, 0, kSectors - 1);
  if (!extend) anchor_ = cursor_;
  Want(SectorAt(cursor_));
}

void SectorRangeModel::MoveCursor(int delta, bool extend) {
  SetCursor(cursor_ + delta, extend);
}

void SectorRangeModel::SetHover(int sector) {
  if (sector == hover_) return;
  hover_ = sector >= 0 && sector < kSectors ? sector : -1;
  if (hover_ >= 0) Want(hover_);
}

void SectorRangeModel::Want(int sector) {
  if (IsUnwritten(sector) || info_[static_cast<std::size_t>(sector)].state != State::Unknown) {
    return;
  }
  wanted_.erase(std::remove(wanted_.begin(), wanted_.end(), sector), wanted_.end());
  wanted_.push_front(sector);
  if (wanted_.size() > kMaxWanted) wanted_.pop_back();
}

std::optional<int> SectorRangeModel::NextWanted() const {
  auto unknown = [this](int sector) {
    return !IsUnwritten(sector) && info_[static_cast<std::size_t>(sector)].state == State::Unknown;
  };
  for (int sector : wanted_) {
    if (unknown(sector)) return sector;
  }
  for (int sector : {int{StartSector()}, int{EndSector()}}) {
    if (unknown(sector)) return sector;
  }
  // Then a time for the start of every row of the grid.
  for (int position = 0; position < kSectors; position += kColumns) {
    if (unknown(SectorAt(position))) return SectorAt(position);
  }
  return std::nullopt;
}

bool SectorRangeModel::HasWork() const {
  return NextWanted().has_value();
}

bool SectorRangeModel::FetchNext(const SectorHeaderLookup& lookup) {
  const std::optional<int> sector = TakeNextWanted();
  if (!sector) return false;
  Store(*sector, lookup ? lookup(static_cast<uint8_t>(*sector)) : std::nullopt);
  return true;
}

std::optional<int> SectorRangeModel::TakeNextWanted() {
  const std::optional<int> sector = NextWanted();
  if (!sector) return std::nullopt;
  wanted_.erase(std::remove(wanted_.begin(), wanted_.end(), *sector), wanted_.end());
  ++fetches_;
  return sector;
}

void SectorRangeModel::Store(int sector, const std::optional<FrameHeader>& header) {
  SectorInfo& info = info_[static_cast<std::size_t>(sector)];
  if (header) {
    info.state = State::Frame;
    info.header = *header;
  } else {
    info.state = State::NoFrame;
  }
}

}  // namespace bf
