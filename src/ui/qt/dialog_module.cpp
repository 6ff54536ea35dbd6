// The dialog module: creates the toolkit's application object and shows one
// window. Loaded by the program only when a window is needed.
#include "ui/qt/dialog_module.h"

#include <QApplication>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/cli.h"
#include "preview/sample.h"
#include "ui/qt/look.h"
#include "ui/qt/preview_window.h"
#include "ui/qt/progress_dialog.h"
#include "ui/qt/settings_dialog.h"
#include <xcb/xcb.h>

namespace {

bool Set(const char* name) {
  const char* v = std::getenv(name);
  return v && *v;
}

// The X platform aborts the process when it cannot connect; find out first,
// so that a stale DISPLAY falls back instead of crashing. The probe stays
// connected until the toolkit has its own connection: a server whose last
// client leaves resets itself (as a bare Xvfb does), and would refuse the
// toolkit while it does.
class DisplayProbe {
 public:
  DisplayProbe() {
    if (Set("QT_QPA_PLATFORM") || Set("WAYLAND_DISPLAY")) {
      ok_ = true;
    } else if (Set("DISPLAY")) {
      c_ = xcb_connect(nullptr, nullptr);
      ok_ = c_ && !xcb_connection_has_error(c_);
    }
  }
  ~DisplayProbe() {
    if (c_) xcb_disconnect(c_);
  }
  DisplayProbe(const DisplayProbe&) = delete;
  DisplayProbe& operator=(const DisplayProbe&) = delete;
  bool ok() const { return ok_; }

 private:
  xcb_connection_t* c_ = nullptr;
  bool ok_ = false;
};

// What to do when no window can be shown after all; it returns the exit
// status. Set while the application object is being made.
using Fallback = std::function<int(const std::string& why)>;
Fallback* g_fallback = nullptr;

// The toolkit's own chatter (warnings about the session) is not the user's
// business; what is serious goes to standard error as the program's own line.
// A platform that fails while the application object is made is fatal to the
// toolkit (it aborts right after this handler): the work goes on without a
// window instead, and the process ends here with its status.
void OnQtMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
  const std::string message = text.toLocal8Bit().toStdString();
  if (type == QtFatalMsg && g_fallback) {
    const int status = (*g_fallback)(message.substr(0, message.find('\n')));
    std::fflush(nullptr);
    std::_Exit(status);
  }
  if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "norvelle: %s\n", message.c_str());
}

int WithApplication(const std::function<int()>& show, Fallback fallback) {
  auto probe = std::make_unique<DisplayProbe>();
  if (!probe->ok()) return norvelle::kNoDisplay;
  qInstallMessageHandler(OnQtMessage);
  static char name[] = "norvelle";
  static char* argv[] = {name, nullptr};
  int argc = 1;
  g_fallback = &fallback;
  QApplication app(argc, argv);
  g_fallback = nullptr;
  probe.reset();
  QApplication::setApplicationName(QStringLiteral("Norvelle"));
  QGuiApplication::setDesktopFileName(QStringLiteral("norvelle"));
  QApplication::setWindowIcon(norvelle::qt::AppIcon());
  QApplication::setFont(norvelle::qt::DialogFont());
  norvelle::qt::InstallQtTranslations();
  norvelle::qt::ApplyScheme(norvelle::qt::DesktopScheme());
  return show();
}

}  // namespace

extern "C" int norvelle_progress_job(int argc, const char* const* argv) {
  std::vector<std::string> args(argv, argv + argc);
  norvelle::CommandLine cl = norvelle::ParseCommandLine(args);
  norvelle::Job job;
  std::string error;
  if (!norvelle::JobOf(cl, job, error)) return norvelle::kExitFatal;
  return WithApplication(
      [&] {
        const int status = norvelle::RunProgressDialog(job);
        // The settings window's preview shows the document converted last.
        if (job.inputs.size() == 1 && job.inputs[0] != "-" && status != norvelle::kExitFatal)
          norvelle::RememberDocument(job.inputs[0]);
        return status;
      },
                         [&](const std::string& why) {
                           std::fprintf(stderr, "norvelle: %s; converting in the terminal\n", why.c_str());
                           return norvelle::RunBatch(job, cl.quiet);
                         });
}

extern "C" int norvelle_settings_dialog() {
  return WithApplication([] { return norvelle::RunSettingsDialog(); }, [](const std::string& why) {
    std::fprintf(stderr, "norvelle: the settings dialog needs a display: %s\n", why.c_str());
    return norvelle::kExitFatal;
  });
}

extern "C" int norvelle_preview_window(int argc, const char* const* argv) {
  std::vector<std::string> args(argv, argv + argc);
  norvelle::CommandLine cl = norvelle::ParseCommandLine(args);
  norvelle::Job job;
  std::string error;
  if (!cl.preview || !norvelle::JobOf(cl, job, error)) return norvelle::kExitFatal;
  return WithApplication([&] { return norvelle::RunDocumentPreview(job.inputs[0], cl.preview_write, job.rules, job.html5); },
                         [](const std::string& why) {
                           std::fprintf(stderr, "norvelle: the preview needs a display: %s\n", why.c_str());
                           return norvelle::kExitFatal;
                         });
}
