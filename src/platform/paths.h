// Where the program and its rule files live, and absolute paths.
//
// All paths here are CP932 text, as the rest of the program sees them. The
// program path is the resolved /proc/self/exe. The default rule file is the
// program path with its extension replaced by ".ini" (or ".ini" appended), and
// the rules folder is "<program folder>/qdx"; for an installed program (one
// with <folder>/../share/norvelle) or one whose folder is not writable, both
// move to ${XDG_CONFIG_HOME:-$HOME/.config}/norvelle/ unless the program's
// folder already holds norvelle.ini.
#pragma once

#include <string>
#include <string_view>

namespace norvelle {

// Empty when the program path cannot be had or converted.
std::string ProgramPath();
std::string DefaultRuleFile();
std::string RulesFolder();

// True when the rule files live in the user's configuration folder: the
// program is installed, or its folder is not writable.
bool RulesInConfigFolder();

// Test seam: overrides the program path (empty string restores the real one).
void SetProgramPathForTesting(std::string_view cp932_path);

// The current directory + "/" + a relative path, "." and ".." folded
// lexically; absolute paths are only folded. Symlinks are not resolved, but
// a ".." after one stays (the system reads "link/.." as the folder above
// the link's target).
// False when the current directory cannot be had.
bool FullPath(std::string_view cp932_path, std::string& out);

// Same as FullPath, but relative to the given folder instead of the current one.
std::string FullPathFrom(std::string_view folder, std::string_view cp932_path);

}  // namespace norvelle
