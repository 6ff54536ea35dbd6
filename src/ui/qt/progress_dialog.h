// The progress window of a conversion: the phase, a progress bar, the error
// report and a Cancel button that becomes "閉じる" when the run leaves its
// report open. The logic is ProgressHost's; this class only binds widgets.
#pragma once

#include <QDialog>
#include <string>

#include "app/job.h"
#include "app/progress_host.h"

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace norvelle {

class ProgressDialog : public QDialog, private ProgressView {
 public:
  // command_line: handed to the run as it is (Convert takes a CP932 path).
  explicit ProgressDialog(std::string command_line, ProgressHost::Run run = Convert,
                          QWidget* parent = nullptr);

  ProgressHost& host() { return host_; }
  QLabel* status() const { return status_; }
  QProgressBar* bar() const { return bar_; }
  QListWidget* report() const { return report_; }
  QPushButton* button() const { return button_; }

  // Cancel button, Escape and the close box: the host decides.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ShowStatus(const std::string& text) override;
  void ShowProgress(int max, int pos) override;
  void AppendReport(const std::vector<std::string>& lines) override;
  void ShowButtonCaption(const std::string& text) override;
  void ProcessEvents() override;
  void Close() override;

  ProgressHost host_;
  QLabel* status_;
  QProgressBar* bar_;
  QListWidget* report_;
  QPushButton* button_;
};

// Converts the job's files under a modal progress window; returns the exit
// status of the job. Why a file failed is added to the report.
int RunProgressDialog(const Job& job);

}  // namespace norvelle
