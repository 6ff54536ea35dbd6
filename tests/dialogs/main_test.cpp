// main of the window tests: one application object around every test, so
// that it outlives every window and is gone before the toolkit's statics.
#include <gtest/gtest.h>

#include <QApplication>
#include <QtGlobal>

#include "ui/qt/look.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setFont(norvelle::qt::DialogFont());
  return RUN_ALL_TESTS();
}
