#pragma once
#include <QWidget>
#include <functional>
#include <map>
#include <span>
#include <stdexcept>
#include <string>

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

// The control with this id as the kind the window expects. The window's table and its code must
// agree: a missing control or one of another kind is a programming error and throws
// std::logic_error.
template <class W>
W* TakeControl(const std::map<int, QWidget*>& controls, int id) {
  const auto it = controls.find(id);
  W* widget = it == controls.end() ? nullptr : qobject_cast<W*>(it->second);
  if (widget == nullptr)
    throw std::logic_error("no control " + std::to_string(id) + " of that kind");
  return widget;
}

}  // namespace bf::ui
