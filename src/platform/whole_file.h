// Files of the program's own set-up, written whole or not at all, and the
// in-place rewrite that editors fall back to when a folder takes no new file.
//
// PutWholeFile writes through a temporary ".NAME.norvelle-new-XXXXXX" in the
// target's folder, synced to the disk before it is renamed over the target
// (the folder synced after), so a full disk or a crash leaves the old file or
// none, never a short one. RewriteInPlace is not atomic: a failure midway
// leaves a mixed file; it is only for a target whose folder refuses the
// temporary. Not for documents' output: files.h does that, with its signal
// hold and its clean-up of temporaries left by killed writers (a killed
// set-up may leave one here; its name never ends in ".qdx" or ".ini").
// Paths are native (UTF-8) bytes unless a function says CP932; failures give
// the errno value of the step that failed.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace norvelle {

// The one step that puts bytes on the disk, ::write when empty; tests hand
// in one that fails as a full disk would.
using WriteStep = std::function<ssize_t(int fd, const void* data, std::size_t size)>;

// Creates the folder and any missing folders above it; true when it is a
// folder afterwards.
bool MakeFolderPath(const std::string& path, int& err);
// Whole regular file into out.
bool ReadWholeFile(const std::string& path, std::string& out, int& err);
// Replaces or creates the file with exactly these bytes (see above).
bool PutWholeFile(const std::string& path, std::string_view bytes, int& err,
                  const WriteStep& write = {});
// Overwrites an existing writable regular file with these bytes and syncs
// it; never creates one. The bytes must be ready before the call, since the
// old content is gone once writing starts.
bool RewriteInPlace(const std::string& path, std::string_view bytes, int& err,
                    const WriteStep& write = {});

// Reasons for which a folder refuses a new file while a file already in it
// may still be writable.
bool FolderRefusesNewFiles(int err);
// RewriteInPlace for a CP932 path, in text mode (each LF as CR LF).
bool RewriteTextInPlace(const std::string& cp932_path, std::string_view lf_text);
// Text mode: each LF as CR LF.
std::string WithCrLf(std::string_view lf_text);

}  // namespace norvelle
