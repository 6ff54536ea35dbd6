// The application object of the window tests: one per test binary, on the
// offscreen platform unless a platform is forced, so no display is needed.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QtGlobal>

#include "app/qt/look.h"

namespace norvelle::test {

inline QApplication& OffscreenApp() {
  static int argc = 1;
  static char name[] = "norvelle-test";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Destroyed when the tests end, before exit: among the static objects
  // destroyed at exit are Qt's own (the input devices' registry), which the
  // application object still needs on its way out.
  struct Owner : ::testing::Environment {
    QApplication* app = nullptr;
    void TearDown() override {
      delete app;
      app = nullptr;
    }
  };
  static Owner* owner = [] {
    auto* o = new Owner;
    o->app = new QApplication(argc, argv);
    ::testing::AddGlobalTestEnvironment(o);
    return o;
  }();
  QApplication::setFont(qt::DialogFont());
  return *owner->app;
}

}  // namespace norvelle::test
