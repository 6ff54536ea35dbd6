// The entry points of the dialog module (norvelle-dialogs.so), as the module
// defines them. The program finds them by name (app/dialog_entry.h has the
// names and the types it calls them through); declaring them here lets the
// compiler check that both agree.
#pragma once

#include <type_traits>

#include "app/dialog_entry.h"

extern "C" {
// Converts what the command line's words ask for under the progress window.
__attribute__((visibility("default"))) int norvelle_progress_job(int argc, const char* const* argv);
// The settings window.
__attribute__((visibility("default"))) int norvelle_settings_dialog();
// The preview window of one document.
__attribute__((visibility("default"))) int norvelle_preview_window(int argc, const char* const* argv);
}

static_assert(std::is_same_v<decltype(&norvelle_progress_job), norvelle::ProgressEntry>);
static_assert(std::is_same_v<decltype(&norvelle_settings_dialog), norvelle::SettingsEntry>);
static_assert(std::is_same_v<decltype(&norvelle_preview_window), norvelle::PreviewEntry>);
