// The command line of the program: options, the choice of mode, exit codes.
//
//   norvelle                  the settings dialog
//   norvelle [OPTION]... PATH...  convert (progress dialog, or batch without a display)
//   norvelle --batch PATH...  convert without any window
//   norvelle --watch PATH...  convert, then again whenever what a page was made of changes
//   norvelle --preview [--write] PATH  a window showing the page, converted again on each save
//   norvelle --help | --version
// The words after the options are joined by single blanks into one path,
// unless they name several files (app/job.h). Options may stand anywhere
// before "--"; a word "-" is standard input.
// Exit status: 0 done, 1 written with errors, 2 fatal or usage, 130 cancelled.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/exit_status.h"
#include "app/job.h"
#include "convert/run.h"

namespace norvelle {

enum class Mode { kSettings, kConvertDialog, kConvertBatch, kHelp, kVersion, kUsageError };

struct CommandLine {
  Mode mode = Mode::kSettings;
  std::string path;                // the joined words, UTF-8
  std::vector<std::string> words;  // the words themselves
  std::string error;               // for kUsageError
  DocEncoding encoding = DocEncoding::kCp932;
  std::string output;              // -o/--output; "-" is standard output
  bool quiet = false;              // no progress line
  DepsMode deps = DepsMode::kNone;  // --deps, --deps=FILE
  std::string deps_file;
  bool strict = false;             // --strict
  bool html5 = false;              // --html5: the HTML5 profile
  bool watch = false;              // --watch
  bool watch_poll = false;         // --watch=poll: look at the files every second
  bool window = false;             // --window: the progress dialog even from a terminal
  bool verbose = false;            // -v: the rule files and the page of each document
  bool gnu_diagnostics = false;    // --diagnostics=gnu: FILE:LINE: message
  std::string rules;               // --rules FILE: the default rule file of this run
  bool preview = false;            // --preview: the preview window
  bool preview_write = false;      // --write (with --preview): every run writes the page
};

CommandLine ParseCommandLine(const std::vector<std::string>& args);
// The job that a converting command line asks for; false with a usage error
// when its parts do not fit together (-o with several files).
bool JobOf(const CommandLine& cl, Job& job, std::string& error);
bool HasDisplay();
// Is standard error a terminal (the program was typed in one)?
bool TerminalAttached();
const char* HelpText();
// "norvelle: ERROR (Try 'norvelle --help')": the one line of a usage error.
std::string UsageLine(const std::string& error);

// Converts in batch mode; returns the exit status.
int RunBatch(const Job& job, bool quiet);

}  // namespace norvelle
