// Where the installed manuals lie: share/doc/norvelle under the prefix of
// the program (<prefix>/bin/norvelle). Only the path; whether it exists, and
// opening it, is the caller's.
#pragma once

#include <string>
#include <string_view>

namespace norvelle {

// CP932 in and out, as paths are everywhere in the program; empty for a
// path without two folders above the program.
std::string ManualsFolder(std::string_view program_path);

}  // namespace norvelle
