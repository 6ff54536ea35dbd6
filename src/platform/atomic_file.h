// Replacing a file whole or not at all.
//
// The new content goes to a temporary file in the target's folder
// (".NAME.norvelle-tmp-PID-XXXXXX", held by its writer: output_target.h),
// which is synced to the disk and then renamed over the target, the folder
// synced after. So a failed, cancelled or interrupted write, a full disk or
// a power loss leaves the old target or the new one, never half of one.
// Signals wait while the temporary exists (signal_shield.h); the new file
// takes the old one's owner and mode. A target we may not write is not
// replaced. Paths are native (the file system's bytes).
#pragma once

#include <functional>
#include <string>
#include <system_error>

#include "platform/signal_shield.h"

namespace norvelle {

// Writes the new content into fd (the temporary); why it failed, if it did.
// The shield is the one held for the temporary's life.
using FillFile = std::function<std::error_code(int fd, SignalShield& shield)>;

// Creates the temporary, fills it and renames it over target; why it failed,
// if it did (the temporary is gone then). An exception from fill removes the
// temporary and goes on.
std::error_code ReplaceFile(const std::string& target, const FillFile& fill);

}  // namespace norvelle
