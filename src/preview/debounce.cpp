#include "preview/debounce.h"

namespace norvelle {

std::optional<std::chrono::milliseconds> Debounce::Remaining(Clock::time_point now) const {
  if (!due_) return std::nullopt;
  if (*due_ <= now) return std::chrono::milliseconds(0);
  // Rounded up: a timer that fires early would find the run not yet due.
  return std::chrono::ceil<std::chrono::milliseconds>(*due_ - now);
}

bool Debounce::Take(Clock::time_point now) {
  if (!due_ || *due_ > now) return false;
  due_.reset();
  return true;
}

}  // namespace norvelle
