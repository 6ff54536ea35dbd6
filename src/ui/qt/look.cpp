#include "ui/qt/look.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLabel>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QTranslator>
#include <QFontMetrics>
#include <QString>
#include <QStyle>
#include <cstdlib>
#include <optional>

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

bool InstallQtTranslations() {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return false;
  if (app->findChild<QTranslator*>(QStringLiteral("qtbase_ja"))) return true;
  auto* translator = new QTranslator(app);
  translator->setObjectName(QStringLiteral("qtbase_ja"));
  if (!translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
      !QCoreApplication::installTranslator(translator)) {
    delete translator;
    return false;
  }
  return true;
}

namespace {

// The portal's color-scheme, or none when no portal answers in time.
std::optional<unsigned> PortalColourScheme() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return std::nullopt;
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.portal.Desktop"), QStringLiteral("/org/freedesktop/portal/desktop"),
      QStringLiteral("org.freedesktop.portal.Settings"), QStringLiteral("Read"));
  call << QStringLiteral("org.freedesktop.appearance") << QStringLiteral("color-scheme");
  // A portal that is starting up must not hold up the window for long.
  const QDBusMessage reply = bus.call(call, QDBus::Block, 500);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return std::nullopt;
  QVariant v = reply.arguments().first();
  // Read wraps the value in a variant of a variant.
  while (v.canConvert<QDBusVariant>() && v.userType() == qMetaTypeId<QDBusVariant>())
    v = qvariant_cast<QDBusVariant>(v).variant();
  bool ok = false;
  const unsigned value = v.toUInt(&ok);
  return ok ? std::optional<unsigned>(value) : std::nullopt;
}

QPalette DarkPalette() {
  const QColor window(0x2d, 0x2d, 0x2d), base(0x1e, 0x1e, 0x1e), text(0xe8, 0xe8, 0xe8), dim(0x80, 0x80, 0x80);
  QPalette p(window);
  p.setColor(QPalette::Window, window);
  p.setColor(QPalette::WindowText, text);
  p.setColor(QPalette::Base, base);
  p.setColor(QPalette::AlternateBase, window);
  p.setColor(QPalette::Text, text);
  p.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3a));
  p.setColor(QPalette::ButtonText, text);
  p.setColor(QPalette::BrightText, Qt::white);
  p.setColor(QPalette::Highlight, QColor(0x35, 0x74, 0xc6));
  p.setColor(QPalette::HighlightedText, Qt::white);
  p.setColor(QPalette::ToolTipBase, base);
  p.setColor(QPalette::ToolTipText, text);
  p.setColor(QPalette::PlaceholderText, dim);
  p.setColor(QPalette::Link, QColor(0x7a, 0xb0, 0xff));
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    p.setColor(QPalette::Disabled, role, dim);
  return p;
}

}  // namespace

ColourScheme DesktopScheme() {
  const char* gtk = std::getenv("GTK_THEME");
  SchemeHints hints;
  hints.portal = PortalColourScheme();
  hints.gtk_theme = gtk ? gtk : "";
  hints.palette_dark = QApplication::palette().color(QPalette::Window).lightness() < 128;
  return SchemeOf(hints);
}

void ApplyScheme(ColourScheme scheme) {
  const bool dark_now = QApplication::palette().color(QPalette::Window).lightness() < 128;
  if (scheme == ColourScheme::kDark && !dark_now) QApplication::setPalette(DarkPalette());
  if (scheme == ColourScheme::kLight && dark_now) QApplication::setPalette(QApplication::style()->standardPalette());
}

QPalette PagePalette(QPalette p) {
  for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    p.setColor(g, QPalette::Base, Qt::white);
    p.setColor(g, QPalette::Text, Qt::black);
    p.setColor(g, QPalette::Link, QColor(0, 0, 0xee));
    p.setColor(g, QPalette::LinkVisited, QColor(0x55, 0x1a, 0x8b));
  }
  return p;
}

void SetLabelFor(QLabel* label, QWidget* control) {
  label->setBuddy(control);
  if (qobject_cast<QAbstractItemView*>(control) && control->accessibleName().isEmpty())
    control->setAccessibleName(label->text().remove(QLatin1Char('&')).simplified());
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
