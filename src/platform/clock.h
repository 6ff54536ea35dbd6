// The current time and its local-time breakdown.
#pragma once

#include <ctime>

namespace norvelle {

std::time_t Now();
// Local time of t; false when it cannot be broken down.
bool LocalTime(std::time_t t, std::tm& out);

}  // namespace norvelle
