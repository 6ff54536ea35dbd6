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
#include <vector>

namespace norvelle {

inline constexpr int kExitOk = 0;
inline constexpr int kExitErrors = 1;
inline constexpr int kExitFatal = 2;
inline constexpr int kExitCancelled = 130;

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

}  // namespace norvelle
