#include "app/dialog_entry.h"

#include <cstdio>

#include "app/cli.h"
#include "platform/module.h"

namespace norvelle {

namespace {

// Calls the module's entry with the command line; kNoDisplay, with `why`,
// when the module cannot be loaded or no display can be opened.
int CallWithArgs(const char* symbol, const std::vector<std::string>& args, std::string& why) {
  auto entry = reinterpret_cast<int (*)(int, const char* const*)>(LoadModuleSymbol(kDialogModule, symbol, why));
  if (!entry) return kNoDisplay;
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  const int status = entry(int(args.size()), argv.data());
  if (status == kNoDisplay) why = "no display can be opened";
  return status;
}

}  // namespace

int RunProgressWindow(const std::vector<std::string>& args, const Job& job, bool quiet) {
  std::string why;
  const int status = CallWithArgs(kProgressEntry, args, why);
  if (status != kNoDisplay) return status;
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
  const int status = CallWithArgs(kPreviewEntry, args, why);
  if (status != kNoDisplay) return status;
  std::fprintf(stderr, "norvelle: the preview needs a display: %s\n", why.c_str());
  return kExitFatal;
}

}  // namespace norvelle
