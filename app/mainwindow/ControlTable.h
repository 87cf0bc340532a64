#pragma once
#include <span>

#include "shell/ControlSpec.h"

namespace bf::ui {

// Size of the main window's client area, in dialog units.
inline constexpr int kDialogWidthDlu = 413;
inline constexpr int kDialogHeightDlu = 362;

// Every control of the main window in creation (tab) order.
std::span<const ControlSpec> MainWindowControls();

// The row with this id, or nullptr.
const ControlSpec* FindControlSpec(int id);

}  // namespace bf::ui
