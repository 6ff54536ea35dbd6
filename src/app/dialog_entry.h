// The entry points of the dialog module (norvelle-dialogs.so), shared by the
// module and the program that loads it. The module holds everything that
// needs the window toolkit; the program loads it only to show a window.
#pragma once

#include <string>
#include <vector>

#include "app/job.h"

namespace norvelle {

inline constexpr const char* kDialogModule = "norvelle-dialogs.so";

// int norvelle_progress_job(int argc, const char* const* argv): converts what
// the command line's words (after the program name) ask for under the
// progress window; returns the exit status of the job.
inline constexpr const char* kProgressEntry = "norvelle_progress_job";
using ProgressEntry = int (*)(int argc, const char* const* argv);

// int norvelle_settings_dialog(void): the settings window; returns the exit status.
inline constexpr const char* kSettingsEntry = "norvelle_settings_dialog";
using SettingsEntry = int (*)();

// int norvelle_preview_window(int argc, const char* const* argv): the preview
// window of the one file the words name (--preview); returns the exit status.
inline constexpr const char* kPreviewEntry = "norvelle_preview_window";
using PreviewEntry = int (*)(int argc, const char* const* argv);

// A module entry returns this when no window can be shown at all.
inline constexpr int kNoDisplay = -1;

// Load the module and run its windows. Without a usable module or display the
// conversion goes on in the terminal; the settings window fails with status 2.
// `job` is what `args` ask for, for the terminal.
int RunProgressWindow(const std::vector<std::string>& args, const Job& job, bool quiet);
int RunSettingsWindow();
// The preview needs a display: without one it fails with status 2.
int RunPreviewWindow(const std::vector<std::string>& args);

}  // namespace norvelle
