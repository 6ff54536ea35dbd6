// Names around a conversion: the source path from the command line, the
// output path beside it, the same-name check, the default title, and paths
// named inside the document (include=, ini).
#pragma once

#include <string>
#include <string_view>

namespace norvelle {

// Optional leading quote, absolute path, closing quote dropped, trailing
// blanks and dots dropped. Empty when nothing usable remains. Relative paths
// start at `folder`, or at the current directory when folder is empty.
std::string CleanPath(std::string_view text, std::string_view folder = {});
// The source with its last extension replaced by ".htm".
std::string OutputPathFor(const std::string& source);
// Equal without regard to the case of single-byte characters.
bool SameFileName(std::string_view a, std::string_view b);
// The file name without folder and without its last extension.
std::string DefaultTitle(const std::string& source);
// The folder part of a path (before the last separator), or empty.
std::string FolderOf(const std::string& path);
// A document path: each '\\' that is not a trail byte becomes '/'.
std::string DocumentPath(std::string_view text);

}  // namespace norvelle
