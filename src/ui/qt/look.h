// The look shared by Norvelle's windows: the dialog font, the mapping of
// dialog units to pixels, and the application icon.
//
// Dialog units keep the proportions of the windows' fixed layouts whatever
// font is installed: a unit is a quarter of the font's average width of the
// Latin letters across, and an eighth of its height down.
#pragma once

#include <QFont>
#include <QIcon>
#include <QRect>
#include <QSize>

namespace norvelle::qt {

// IPAPGothic at 9 points, else the first installed font that can show
// Japanese, else the toolkit's default.
QFont DialogFont();

// The application icon at 16, 32 and 48 pixels.
QIcon AppIcon();

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);
  int X(int units) const { return (units * base_x_ + 2) / 4; }
  int Y(int units) const { return (units * base_y_ + 4) / 8; }
  QRect Rect(int x, int y, int w, int h) const { return QRect(X(x), Y(y), X(w), Y(h)); }
  QSize Size(int w, int h) const { return QSize(X(w), Y(h)); }

 private:
  int base_x_;
  int base_y_;
};

}  // namespace norvelle::qt
