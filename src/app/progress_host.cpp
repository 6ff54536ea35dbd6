#include "app/progress_host.h"

#include <utility>

#include "app/cli.h"
#include "platform/carry.h"

namespace norvelle {

namespace {
// Process-wide: a window shown again must not start a second run.
bool g_started = false;
}  // namespace

ProgressHost::ProgressHost(ProgressView& view, std::string command_line, Run run,
                           std::chrono::milliseconds pump_interval)
    : view_(view), command_line_(std::move(command_line)), run_(std::move(run)),
      interval_(pump_interval) {}

void ProgressHost::ResetStartedForTesting() { g_started = false; }

void ProgressHost::Start() {
  if (g_started) return;
  g_started = true;
  busy_ = true;
  outcome_ = run_(*this, command_line_);
  Flush();
  // A clean or cancelled run closes at once; otherwise the report waits.
  if (*outcome_ == RunOutcome::kDone || *outcome_ == RunOutcome::kCancelled) view_.Close();
  busy_ = false;
}

void ProgressHost::Cancel() {
  cancel_ = true;
  if (!busy_) view_.Close();
}

int ProgressHost::ExitStatus() const {
  return outcome_ ? ExitStatusOf(*outcome_) : kExitFatal;
}

void ProgressHost::SetStatus(std::string_view text) {
  view_.ShowStatus(DisplayUtf8(text));
}

void ProgressHost::AddError(std::string_view line) {
  ++errors_;
  pending_.push_back(DisplayUtf8(line));
}

void ProgressHost::SetButtonCaption(std::string_view text) {
  Flush();
  view_.ShowButtonCaption(DisplayUtf8(text));
}

void ProgressHost::SetProgressRange(int max) {
  max_ = max;
  progress_dirty_ = true;
}

void ProgressHost::SetProgressPos(int pos) {
  if (pos != pos_) progress_dirty_ = true;
  pos_ = pos;
}

bool ProgressHost::Pump() {
  auto now = std::chrono::steady_clock::now();
  if (last_events_ == std::chrono::steady_clock::time_point{} || now - last_events_ >= interval_) {
    Flush();
    view_.ProcessEvents();
    last_events_ = std::chrono::steady_clock::now();
  }
  return cancel_;
}

void ProgressHost::Flush() {
  if (progress_dirty_) {
    view_.ShowProgress(max_, pos_);
    progress_dirty_ = false;
  }
  if (!pending_.empty()) {
    view_.AppendReport(pending_);
    pending_.clear();
  }
}

}  // namespace norvelle
