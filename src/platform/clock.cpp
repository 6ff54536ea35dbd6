#include "platform/clock.h"

namespace norvelle {

std::time_t Now() { return std::time(nullptr); }

bool LocalTime(std::time_t t, std::tm& out) { return localtime_r(&t, &out) != nullptr; }

}  // namespace norvelle
