#include "shell/DialogUnits.h"

#include <QFontMetrics>
#include <QStringList>
#include <cstdint>
#include <cstdlib>

namespace bf::ui {

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  const int64_t product = static_cast<int64_t>(a) * b;
  const int64_t half = std::llabs(static_cast<int64_t>(c)) / 2;
  const bool negative = (product < 0) != (c < 0);
  const int64_t magnitude = (std::llabs(product) + half) / std::llabs(static_cast<int64_t>(c));
  return static_cast<int>(negative ? -magnitude : magnitude);
}

DialogBaseUnits MeasureBaseUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  const int width = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return DialogBaseUnits{(width / 26 + 1) / 2, metrics.height()};
}

int DialogXToPixels(int x, DialogBaseUnits units) {
  return MulDiv(x, units.x, 4);
}
int DialogYToPixels(int y, DialogBaseUnits units) {
  return MulDiv(y, units.y, 8);
}

QRect DialogToPixels(const QRect& dlu, DialogBaseUnits units) {
  const int left = DialogXToPixels(dlu.x(), units);
  const int top = DialogYToPixels(dlu.y(), units);
  const int right = DialogXToPixels(dlu.x() + dlu.width(), units);
  const int bottom = DialogYToPixels(dlu.y() + dlu.height(), units);
  return QRect(left, top, right - left, bottom - top);
}

QFont DialogFont() {
  // The template's face is rarely installed outside its home platform; the substitutes keep
  // the metrics close to it.
  static const bool substituted = [] {
    QStringList substitutes;
    substitutes << QStringLiteral("Microsoft Sans Serif") << QStringLiteral("Liberation Sans")
                << QStringLiteral("Arial") << QStringLiteral("DejaVu Sans");
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), substitutes);
    return true;
  }();
  (void)substituted;
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPointSize(8);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

QFont ShellDialogFont() {
  static const bool substituted = [] {
    QStringList substitutes;
    substitutes << QStringLiteral("Microsoft Sans Serif") << QStringLiteral("Tahoma")
                << QStringLiteral("Liberation Sans") << QStringLiteral("Arial")
                << QStringLiteral("DejaVu Sans");
    QFont::insertSubstitutions(QStringLiteral("MS Shell Dlg"), substitutes);
    return true;
  }();
  (void)substituted;
  QFont font(QStringLiteral("MS Shell Dlg"));
  font.setPointSize(8);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

QFont CopyDialogFont() {
  static const bool substituted = [] {
    QStringList substitutes;
    substitutes << QStringLiteral("Liberation Sans") << QStringLiteral("Arial")
                << QStringLiteral("DejaVu Sans");
    QFont::insertSubstitutions(QStringLiteral("Microsoft Sans Serif"), substitutes);
    return true;
  }();
  (void)substituted;
  QFont font(QStringLiteral("Microsoft Sans Serif"));
  font.setPointSize(8);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

}  // namespace bf::ui
