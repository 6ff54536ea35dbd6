// The logic of the progress window, free of any toolkit: it hosts one
// conversion run, decides when the window closes, and turns the run's CP932
// texts into the UTF-8 that the window shows.
//
// The run works on the window's own thread and keeps it alive through Pump.
// Updates of the bar and new report lines are gathered and
// handed over when events are processed, at most once per pump interval, so a
// run of millions of lines does not spend its time repainting. The cancel flag
// is answered at every pump. One run per process: a second start does nothing.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "report/host.h"
#include "convert/run.h"

namespace norvelle {

// What the window offers its logic. Texts are UTF-8.
class ProgressView {
 public:
  virtual ~ProgressView() = default;
  virtual void ShowStatus(const std::string& text) = 0;
  virtual void ShowProgress(int max, int pos) = 0;
  virtual void AppendReport(const std::vector<std::string>& lines) = 0;
  virtual void ShowButtonCaption(const std::string& text) = 0;
  // Delivers the window's pending events (repaint, a click on Cancel).
  virtual void ProcessEvents() = 0;
  // Closes the window with the cancel result.
  virtual void Close() = 0;
};

class ProgressHost : public ConversionHost {
 public:
  using Run = std::function<RunOutcome(ConversionHost&, std::string_view)>;
  // Events are processed at the first pump and then at most this often.
  static constexpr std::chrono::milliseconds kPumpInterval{15};

  // command_line: the source path as the run takes it (CP932).
  ProgressHost(ProgressView& view, std::string command_line, Run run = Convert,
               std::chrono::milliseconds pump_interval = kPumpInterval);

  // The queued start message: runs the conversion once per process, then
  // closes the window unless the run needs the user to read its report.
  void Start();
  // The Cancel button, Escape and the close box.
  void Cancel();

  bool busy() const { return busy_; }
  bool cancel_requested() const { return cancel_; }
  std::optional<RunOutcome> outcome() const { return outcome_; }
  // The process exit status for the outcome (2 when no run happened).
  int ExitStatus() const;

  // ConversionHost.
  void SetStatus(std::string_view text) override;
  void AddError(std::string_view line) override;
  int ErrorCount() const override { return errors_; }
  void SetButtonCaption(std::string_view text) override;
  void SetProgressRange(int max) override;
  void SetProgressPos(int pos) override;
  bool Pump() override;

  static void ResetStartedForTesting();

 private:
  void Flush();

  ProgressView& view_;
  std::string command_line_;
  Run run_;
  std::chrono::milliseconds interval_;
  std::chrono::steady_clock::time_point last_events_{};
  bool busy_ = false;
  bool cancel_ = false;
  std::optional<RunOutcome> outcome_;
  int errors_ = 0;
  int max_ = 0, pos_ = 0;
  bool progress_dirty_ = false;
  std::vector<std::string> pending_;   // report lines not yet shown
};

}  // namespace norvelle
