// Folders: listing their files (creating them is MakeFolders of files.h;
// copying into one, PutWholeFile of whole_file.h).
// Used where the program sets up its own rule folder; paths are the file
// system's bytes (UTF-8), not the CP932 of documents.
#pragma once

#include <string>
#include <vector>

namespace norvelle {

// The names of the regular files in a folder ending in `suffix`, sorted;
// empty when it cannot be read.
std::vector<std::string> FilesIn(const std::string& folder, const std::string& suffix);

}  // namespace norvelle
