#include "app/dialog_entry.h"

#include <cstdio>

#include "app/cli.h"
#include "platform/module.h"

namespace norvelle {

int RunProgressWindow(const std::string& utf8_path) {
  std::string why;
  auto entry = reinterpret_cast<ProgressEntry>(LoadModuleSymbol(kDialogModule, kProgressEntry, why));
  if (entry) {
    int status = entry(utf8_path.c_str());
    if (status != kNoDisplay) return status;
    why = "no display can be opened";
  }
  std::fprintf(stderr, "norvelle: %s; converting in the terminal\n", why.c_str());
  return RunBatch(utf8_path);
}

int RunSettingsWindow() {
  std::string why;
  auto entry = reinterpret_cast<SettingsEntry>(LoadModuleSymbol(kDialogModule, kSettingsEntry, why));
  if (entry) {
    int status = entry();
    if (status != kNoDisplay) return status;
    why = "no display can be opened";
  }
  std::fprintf(stderr, "norvelle: the settings dialog needs a display: %s\n", why.c_str());
  return kExitFatal;
}

}  // namespace norvelle
