#pragma once

namespace bf::ui {

enum class ControlKind {
  StaticFrame,  // sunken frame the player window takes the place of
  GroupFrame,   // titled group box drawn behind its members
  Label,        // static text; width 0 means "as wide as the text"
  PushButton,
  DefaultButton,  // pressed by Enter
  IconButton,     // push button showing an icon instead of its caption
  PushLikeCheck,  // check box drawn as a push button that stays pressed in
  CheckBox,
  RadioButton,
  Edit,
  DropDownList,  // unsorted; height is that of the opened list
  VerticalSlider,
  HorizontalSlider,
  UpDown,         // the two-arrow spin control
  ProgressBar,    // horizontal, smooth
  MonthCalendar,  // a month view to pick a date from
};

enum class TextAlign { Left, Right };

// One row of a dialog template: positions and sizes are in dialog units.
struct ControlRow {
  int id;  // 0 for labels and group frames, which nobody addresses
  ControlKind kind;
  const char* caption;
  int x, y, width, height;
  bool visible = true;
  bool enabled = true;
  int icon = 0;  // IconId for icon buttons
  TextAlign align = TextAlign::Left;
};

}  // namespace bf::ui
