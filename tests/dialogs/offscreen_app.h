// The application object of the window tests. main (main_test.cpp) creates it
// on the offscreen platform, unless a platform is forced, so no display is
// needed; it lives until every test has run.
#pragma once

#include <QApplication>

namespace norvelle::test {

inline QApplication& OffscreenApp() { return *static_cast<QApplication*>(QApplication::instance()); }

}  // namespace norvelle::test
