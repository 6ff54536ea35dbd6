// Questions to the file system about native (UTF-8 byte) names, asked after a
// conversion failed so that the user learns the system's reason, and the
// standard streams as text-mode files.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace norvelle {

bool IsRegularFile(const std::string& native_path);
bool PathExists(const std::string& native_path);
// The current folder (native); empty when it cannot be told.
std::string CurrentFolder();

// Why a file cannot be read (EISDIR for a folder), or 0 when it can.
int ReadProblem(const std::string& native_path);
// Why a file cannot be created or replaced, or 0 when no reason is seen.
int CreateProblem(const std::string& native_path);
// The system's text for an errno value.
std::string SystemReason(int err);

// Writes the pieces to a descriptor in text mode (each LF as CR LF).
// On failure returns false with the errno value in err.
bool WriteTextStream(int fd, const std::vector<std::string_view>& pieces, int& err);

}  // namespace norvelle
