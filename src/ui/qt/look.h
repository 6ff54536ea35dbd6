// The look shared by Norvelle's windows: the dialog font, the mapping of
// dialog units to pixels, the application icon, Qt's Japanese texts and
// the dark or light palette of the desktop.
//
// Dialog units keep the proportions of the windows' fixed layouts whatever
// font is installed: a unit is a quarter of the font's average width of the
// Latin letters across, and an eighth of its height down.
#pragma once

#include <QFont>
#include <QPalette>
#include <QIcon>
#include <QRect>
#include <QSize>

class QLabel;
class QWidget;

#include "app/colour_scheme.h"

namespace norvelle::qt {

// IPAPGothic at 9 points, else the first installed font that can show
// Japanese, else the toolkit's default.
QFont DialogFont();

// The application icon at 16, 32 and 48 pixels.
QIcon AppIcon();

// Qt's own Japanese texts (standard buttons, the file dialog), from
// qtbase_ja.qm in the toolkit's translations folder, whatever the locale:
// the program speaks Japanese. Once per application object; false when
// the file is not installed.
bool InstallQtTranslations();

// Dark or light as the desktop prefers (app/colour_scheme.h), asking its
// portal over the session bus; applied before the first window is made.
ColourScheme DesktopScheme();
// The application palette of the scheme. Colour swatches and the preview's
// page set their own colours, so they keep them in either.
void ApplyScheme(ColourScheme scheme);
// A page as a browser shows HTML that sets no colours: black on white.
QPalette PagePalette(QPalette palette);

// Ties a label to the control it stands beside (QLabel::setBuddy), so a
// screen reader names the control by the label. Item views do not read a
// buddy's text, so they get it as their name too.
void SetLabelFor(QLabel* label, QWidget* control);

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
