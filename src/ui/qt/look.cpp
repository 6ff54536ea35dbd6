#include "ui/qt/look.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QString>

// Resources live in a static library: they must be registered by name, from
// outside any namespace.
static void InitIconResources() { Q_INIT_RESOURCE(icons); }

namespace norvelle::qt {

QFont DialogFont() {
  const QStringList families = QFontDatabase::families();
  QString family;
  if (families.contains(QStringLiteral("IPAPGothic"))) {
    family = QStringLiteral("IPAPGothic");
  } else {
    const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
    if (!japanese.isEmpty()) family = japanese.first();
  }
  QFont font;
  if (!family.isEmpty()) font.setFamily(family);
  font.setPointSize(9);
  return font;
}

QIcon AppIcon() {
  static bool registered = false;
  if (!registered) {
    InitIconResources();
    registered = true;
  }
  QIcon icon;
  for (int size : {16, 32, 48})
    icon.addFile(QStringLiteral(":/norvelle/norvelle-%1.png").arg(size), QSize(size, size));
  return icon;
}

DialogUnits::DialogUnits(const QFont& font) {
  QFontMetrics fm(font);
  // The average of the 52 Latin letters, rounded, as dialog templates assume.
  const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  base_x_ = (fm.horizontalAdvance(letters) / 26 + 1) / 2;
  base_y_ = fm.height();
  if (base_x_ < 1) base_x_ = 1;
  if (base_y_ < 1) base_y_ = 1;
}

}  // namespace norvelle::qt
