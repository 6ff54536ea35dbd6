// Dependency files for make and ninja, as gcc -MD -MP writes them: the page
// as the target, every file its conversion read as a prerequisite, and each
// prerequisite also a target of its own with no recipe, so that a file
// deleted since does not stop make. Names are the file system's bytes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "io/document_io.h"

namespace norvelle {

// name escaped for a rule line that both GNU make and ninja's depfile reader
// take back exactly: a blank, '#' and ':' after a backslash, '$' doubled,
// and the backslashes just before those (or before the name's end) doubled.
// False for a name no rule line can hold (a line feed, a carriage return, a
// tab, or an empty name).
bool EscapeForMake(std::string_view name, std::string& out);

// What make can know of a run's reads, each once, in the order met: every
// file read, and for a file looked for and not there, the nearest folder
// that exists above it (creating the file changes the folder's time) unless
// the run writes one of `written` into it (its time then changes with every
// page). Paths under `cwd` are given relative to it.
std::vector<std::string> PrerequisitesOf(const std::vector<FileRead>& reads, const std::string& cwd,
                                         const std::vector<std::string>& written);

// The file's text; false (and the name in `bad`) when a name cannot be held.
bool DepfileText(std::string_view target, const std::vector<std::string>& prerequisites, std::string& text,
                 std::string& bad);

}  // namespace norvelle
