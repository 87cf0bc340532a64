#pragma once
#include <span>

#include "shell/ControlRow.h"

namespace bf::ui {

// Size of the main window's client area, in dialog units.
inline constexpr int kDialogWidthDlu = 413;
inline constexpr int kDialogHeightDlu = 362;

// Every control of the main window in creation (tab) order.
std::span<const ControlRow> MainWindowControls();

// The row with this id, or nullptr.
const ControlRow* FindControlRow(int id);

}  // namespace bf::ui
