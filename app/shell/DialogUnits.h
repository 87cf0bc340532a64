#pragma once
#include <QFont>
#include <QRect>

namespace bf::ui {

// Dialog base units of a font, measured the way the classic dialog manager does: the average
// width of the 52 Latin letters (rounded) and the font's full height, in pixels.
struct DialogBaseUnits {
  int x = 0;
  int y = 0;
};

// a * b / c rounded half away from zero, in 64-bit arithmetic (the platform's MulDiv).
int MulDiv(int a, int b, int c);

DialogBaseUnits MeasureBaseUnits(const QFont& font);

// Dialog units to pixels: x * baseX / 4, y * baseY / 8, each edge converted on its own so that
// neighbouring controls keep sharing their edges.
QRect DialogToPixels(const QRect& dlu, DialogBaseUnits units);
int DialogXToPixels(int x, DialogBaseUnits units);
int DialogYToPixels(int y, DialogBaseUnits units);

// The font the window's template names ("MS Sans Serif", 8 pt), or the closest sans-serif face
// installed.
QFont DialogFont();

// The logical face the smaller dialogs' templates name ("MS Shell Dlg", 8 pt): the platform maps
// it to its standard dialog face, here to the closest sans-serif face installed.
QFont ShellDialogFont();

// The face the copy dialog's template names ("Microsoft Sans Serif", 8 pt); where it is not
// installed Qt falls back to the closest sans-serif face.
QFont CopyDialogFont();

}  // namespace bf::ui
