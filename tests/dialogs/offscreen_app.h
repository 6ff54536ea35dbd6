// The application object of the window tests: one per test binary, on the
// offscreen platform unless a platform is forced, so no display is needed.
#pragma once

#include <QApplication>
#include <QtGlobal>

#include "app/qt/look.h"

namespace norvelle::test {

inline QApplication& OffscreenApp() {
  static int argc = 1;
  static char name[] = "norvelle-test";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication app(argc, argv);
  QApplication::setFont(qt::DialogFont());
  return app;
}

}  // namespace norvelle::test
