#include "app/cli.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "app/terminal_host.h"
#include "convert/messages.h"
#include "convert/run.h"
#include "platform/encoding.h"

namespace norvelle {

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine cl;
  bool batch = false;
  bool options = true;
  std::vector<std::string> words;
  for (const std::string& a : args) {
    if (options && a == "--") {
      options = false;
    } else if (options && a == "--batch") {
      batch = true;
    } else if (options && (a == "--help" || a == "-h")) {
      cl.mode = Mode::kHelp;
      return cl;
    } else if (options && a == "--version") {
      cl.mode = Mode::kVersion;
      return cl;
    } else if (options && a.size() > 1 && a[0] == '-' && a[1] == '-') {
      cl.mode = Mode::kUsageError;
      cl.error = "unknown option: " + a;
      return cl;
    } else {
      words.push_back(a);
    }
  }
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i) cl.path += ' ';
    cl.path += words[i];
  }
  // Blanks alone select the settings dialog, as an empty command line does.
  if (cl.path.find_first_not_of(" \t") == std::string::npos) {
    cl.path.clear();
    cl.mode = batch ? Mode::kUsageError : Mode::kSettings;
    if (batch) cl.error = "--batch needs a file to convert";
    return cl;
  }
  cl.mode = (batch || !HasDisplay()) ? Mode::kConvertBatch : Mode::kConvertDialog;
  return cl;
}

bool HasDisplay() {
  auto set = [](const char* name) {
    const char* v = std::getenv(name);
    return v && *v;
  };
  return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

const char* HelpText() {
  return "Usage: norvelle [--batch] [--] FILE\n"
         "       norvelle\n"
         "\n"
         "Converts a Shift_JIS text file with markup commands to HTML (FILE.htm beside it).\n"
         "Without FILE, opens the settings dialog for rule files.\n"
         "\n"
         "Options:\n"
         "  --batch    convert without any window; progress and errors on standard error\n"
         "  --help     show this help and exit\n"
         "  --version  show the version and exit\n"
         "  --         end of options (for file names beginning with \"-\")\n"
         "\n"
         "Several words are joined by single blanks into one path.\n"
         "\n"
         "Exit status: 0 converted, 1 converted with errors reported,\n"
         "             2 nothing written (fatal error or bad usage), 130 cancelled.\n";
}

int RunBatch(const std::string& utf8_path) {
  TerminalHost::InstallSignalHandlers();
  TerminalHost host(stderr, isatty(fileno(stderr)) != 0);
  return ExitStatusOf(ConvertUtf8Path(host, utf8_path));
}

RunOutcome ConvertUtf8Path(ConversionHost& host, std::string_view utf8_path) {
  std::string cp932;
  if (Utf8ToCp932(utf8_path, cp932)) return Convert(host, cp932);
  // A name the document encoding cannot spell cannot be opened.
  host.AddError(Message(Msg::kCannotOpenSource));
  host.SetStatus(Message(Msg::kStatusFailed));
  host.SetButtonCaption(Message(Msg::kCaptionClose));
  return RunOutcome::kFailed;
}

int ExitStatusOf(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::kDone: return kExitOk;
    case RunOutcome::kDoneErrors: return kExitErrors;
    case RunOutcome::kFailed: return kExitFatal;
    case RunOutcome::kCancelled: return kExitCancelled;
  }
  return kExitFatal;
}

}  // namespace norvelle
