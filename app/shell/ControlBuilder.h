#pragma once
#include <QWidget>
#include <functional>
#include <map>

#include <span>

#include "shell/ControlRow.h"
#include "shell/DialogUnits.h"

namespace bf::ui {

// Creates every control of a dialog's table, in table (tab) order, as a child of parent, placed by
// the dialog-unit conversion, with its caption, initial visibility and enabled state, and its id as
// object name. Kind-specific set-up that belongs to the window's initialisation (slider ranges,
// list items, icons) is left to the window. Static frames are made by makeFrame, which lets the
// window put its own widget (the player) in their place. Group frames sit below their members.
// GUI thread only.
std::map<int, QWidget*> BuildControls(QWidget* parent, std::span<const ControlRow> table,
                                      DialogBaseUnits units,
                                      const std::function<QWidget*(const ControlRow&)>& makeFrame);

}  // namespace bf::ui
