// The pause after the last edit before a preview converts again: each edit
// pushes the run back, so typing converts once, after the typing stops.
// The clock is passed in, so the logic is tested without waiting.
#pragma once

#include <chrono>
#include <optional>

namespace norvelle {

class Debounce {
 public:
  using Clock = std::chrono::steady_clock;
  explicit Debounce(std::chrono::milliseconds quiet) : quiet_(quiet) {}

  // An edit at `now`.
  void Poke(Clock::time_point now) { due_ = now + quiet_; }
  // How long until the run is due (zero when it is); none when nothing waits.
  std::optional<std::chrono::milliseconds> Remaining(Clock::time_point now) const;
  // True once when due: the edits so far are taken.
  bool Take(Clock::time_point now);
  bool pending() const { return due_.has_value(); }

 private:
  std::chrono::milliseconds quiet_;
  std::optional<Clock::time_point> due_;
};

}  // namespace norvelle
