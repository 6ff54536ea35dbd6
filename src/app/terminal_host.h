// The batch-mode host of a conversion: the terminal instead of a dialog.
//
// Error-report lines go to standard error in UTF-8 as they arrive. Status and
// a progress bar are drawn on standard error only when it is a terminal.
// SIGINT and SIGTERM set the cancel flag that the next pump reports.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "report/host.h"

namespace norvelle {

class TerminalHost : public ConversionHost {
 public:
  // err: where to write (standard error in the program; a file in tests).
  explicit TerminalHost(std::FILE* err = stderr, bool interactive = false);
  ~TerminalHost() override;

  void SetStatus(std::string_view text) override;
  void AddError(std::string_view line) override;
  int ErrorCount() const override { return errors_; }
  void SetButtonCaption(std::string_view) override {}
  void SetProgressRange(int max) override { max_ = max; }
  void SetProgressPos(int pos) override;
  bool Pump() override;
  // A line of our own (UTF-8), between the report lines.
  void Note(const std::string& line);

  // Installs SIGINT/SIGTERM handlers that set the cancel flag.
  static void InstallSignalHandlers();
  static void RequestCancel();
  static void ResetCancel();
  // Called from the handlers too, after the flag is set (async-signal-safe
  // code only); null for none.
  static void SetSignalHook(void (*hook)());

 private:
  void Draw(bool force);
  void ClearLine();

  std::FILE* err_;
  bool interactive_;
  int errors_ = 0;
  int max_ = 0;
  int pos_ = 0;
  std::string status_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point last_draw_{};
};

}  // namespace norvelle
