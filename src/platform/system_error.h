// The reasons the file functions give: a std::error_code of the generic
// category, empty when the call succeeded.
//
// Taken from errno right after the call that failed, so that later calls
// (a clean-up's unlink, another thread's work) cannot change it.
#pragma once

#include <cerrno>
#include <system_error>

namespace norvelle {

// errno as a reason; EIO when the failed call left none, so that a failure
// never reads as success.
inline std::error_code LastSystemError() { return {errno != 0 ? errno : EIO, std::generic_category()}; }

}  // namespace norvelle
