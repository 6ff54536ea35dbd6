// Folders: listing their files, copying a file into one (creating them is
// MakeFolders of files.h).
// Used where the program sets up its own rule folder; paths are the file
// system's bytes (UTF-8), not the CP932 of documents.
#pragma once

#include <string>
#include <vector>

namespace norvelle {

// The names of the regular files in a folder ending in `suffix`, sorted;
// empty when it cannot be read.
std::vector<std::string> FilesIn(const std::string& folder, const std::string& suffix);
// True when the folder is missing or holds nothing.
bool FolderIsEmpty(const std::string& path);
// Copies a file's bytes; false when either side fails.
bool CopyFileBytes(const std::string& from, const std::string& to);

}  // namespace norvelle
