#include "app/dialog_entry.h"

#include <cstdio>

#include "app/cli.h"
#include "platform/module.h"

namespace norvelle {

int RunProgressWindow(const std::vector<std::string>& args, const Job& job, bool quiet) {
  std::string why;
  auto entry = reinterpret_cast<ProgressEntry>(LoadModuleSymbol(kDialogModule, kProgressEntry, why));
  if (entry) {
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);
    int status = entry(int(args.size()), argv.data());
    if (status != kNoDisplay) return status;
    why = "no display can be opened";
  }
  std::fprintf(stderr, "norvelle: %s; converting in the terminal\n", why.c_str());
  return RunBatch(job, quiet);
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

int RunPreviewWindow(const std::vector<std::string>& args) {
  std::string why;
  auto entry = reinterpret_cast<PreviewEntry>(LoadModuleSymbol(kDialogModule, kPreviewEntry, why));
  if (entry) {
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);
    int status = entry(int(args.size()), argv.data());
    if (status != kNoDisplay) return status;
    why = "no display can be opened";
  }
  std::fprintf(stderr, "norvelle: the preview needs a display: %s\n", why.c_str());
  return kExitFatal;
}

}  // namespace norvelle
