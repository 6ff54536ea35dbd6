// The entry points of the dialog module (norvelle-dialogs.so), shared by the
// module and the program that loads it. The module holds everything that
// needs the window toolkit; the program loads it only to show a window.
#pragma once

#include <string>

namespace norvelle {

inline constexpr const char* kDialogModule = "norvelle-dialogs.so";

// int norvelle_progress_dialog(const char* utf8_path): converts under the
// progress window; returns the exit status of the run.
inline constexpr const char* kProgressEntry = "norvelle_progress_dialog";
using ProgressEntry = int (*)(const char* utf8_path);

// int norvelle_settings_dialog(void): the settings window; returns the exit status.
inline constexpr const char* kSettingsEntry = "norvelle_settings_dialog";
using SettingsEntry = int (*)();

// A module entry returns this when no window can be shown at all.
inline constexpr int kNoDisplay = -1;

// Load the module and run its windows. Without a usable module or display the
// conversion goes on in the terminal; the settings window fails with status 2.
int RunProgressWindow(const std::string& utf8_path);
int RunSettingsWindow();

}  // namespace norvelle
