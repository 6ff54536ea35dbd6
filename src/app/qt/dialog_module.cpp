// The dialog module: creates the toolkit's application object and shows one
// window. Loaded by the program only when a window is needed.
#include <QApplication>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/cli.h"
#include "app/dialog_entry.h"
#include "app/progress_dialog.h"
#include "app/qt/look.h"
#include "settings/settings_dialog.h"
#include <xcb/xcb.h>

namespace {

bool Set(const char* name) {
  const char* v = std::getenv(name);
  return v && *v;
}

// The X platform aborts the process when it cannot connect; find out first,
// so that a stale DISPLAY falls back instead of crashing.
bool CanShowWindows() {
  if (Set("QT_QPA_PLATFORM") || Set("WAYLAND_DISPLAY")) return true;
  if (!Set("DISPLAY")) return false;
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  const bool ok = c && !xcb_connection_has_error(c);
  if (c) xcb_disconnect(c);
  return ok;
}

// The toolkit's own chatter (warnings about the session) is not the user's
// business; what is serious goes to standard error as the program's own line.
void OnQtMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type == QtCriticalMsg || type == QtFatalMsg)
    std::fprintf(stderr, "norvelle: %s\n", text.toLocal8Bit().constData());
}

template <typename F>
int WithApplication(F show) {
  if (!CanShowWindows()) return norvelle::kNoDisplay;
  qInstallMessageHandler(OnQtMessage);
  static char name[] = "norvelle";
  static char* argv[] = {name, nullptr};
  int argc = 1;
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Norvelle"));
  QGuiApplication::setDesktopFileName(QStringLiteral("norvelle"));
  QApplication::setWindowIcon(norvelle::qt::AppIcon());
  QApplication::setFont(norvelle::qt::DialogFont());
  return show();
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int norvelle_progress_job(int argc,
                                                                         const char* const* argv) {
  std::vector<std::string> args(argv, argv + argc);
  norvelle::CommandLine cl = norvelle::ParseCommandLine(args);
  norvelle::Job job;
  std::string error;
  if (!norvelle::JobOf(cl, job, error)) return norvelle::kExitFatal;
  return WithApplication([&] { return norvelle::RunProgressDialog(job); });
}

extern "C" __attribute__((visibility("default"))) int norvelle_settings_dialog() {
  return WithApplication([] { return norvelle::RunSettingsDialog(); });
}
