#pragma once
#include <cstdint>

#include "host/SettingsStore.h"

namespace bf {

// Everything the main window's player group shows, held by the player group's presenter
// (PlayerPanel) and drawn by the window as it stands; the window reads none of it back from its
// controls. The player's own state (open recording, position, playing) stays in the Player.
struct PlayerGroupState {
  // The navigation buttons, "Pl", "S", the position slider, the two mode radio buttons and
  // "Сохранить": on once a recording was opened.
  bool controlsOn = false;
  // "Как в оригинале" checked; false: "Другая:" checked.
  bool likeOriginal = settings::kLikeOriginalDefault != 0;
  // The player rate in the rate edit, and the position of the rate spin next to it.
  int rate = settings::kPlayerFpsDefault;
  // The position slider: range 0..sliderMax, its page size, and where its thumb stands (always
  // within the range, as the slider clamps what it is given).
  uint32_t sliderMax = 1;
  uint32_t sliderPage = 0;
  uint32_t sliderPosition = 0;

  // The rate spin is usable only with a recording open and "Другая:" checked.
  bool RateSpinEnabled() const { return controlsOn && !likeOriginal; }

  bool operator==(const PlayerGroupState&) const = default;
};

}  // namespace bf
