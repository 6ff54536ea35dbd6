// The command line of the program: options, the choice of mode, exit codes.
//
//   norvelle                  the settings dialog
//   norvelle PATH...          convert (progress dialog, or batch without a display)
//   norvelle --batch PATH...  convert without any window
//   norvelle --help | --version
// The words after the options are joined by single blanks into one path.
// Exit status: 0 done, 1 written with errors, 2 fatal or usage, 130 cancelled.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "convert/run.h"

namespace norvelle {

inline constexpr int kExitOk = 0;
inline constexpr int kExitErrors = 1;
inline constexpr int kExitFatal = 2;
inline constexpr int kExitCancelled = 130;

// The exit status that reports a run's outcome.
int ExitStatusOf(RunOutcome outcome);

enum class Mode { kSettings, kConvertDialog, kConvertBatch, kHelp, kVersion, kUsageError };

struct CommandLine {
  Mode mode = Mode::kSettings;
  std::string path;   // the joined words, UTF-8
  std::string error;  // for kUsageError
};

CommandLine ParseCommandLine(const std::vector<std::string>& args);
bool HasDisplay();
const char* HelpText();

// Converts in batch mode; returns the exit status.
int RunBatch(const std::string& utf8_path);

// Converts the file named by a UTF-8 path (the command line's words) under
// any host; a name CP932 cannot spell fails as a source that cannot be opened.
RunOutcome ConvertUtf8Path(ConversionHost& host, std::string_view utf8_path);

}  // namespace norvelle
