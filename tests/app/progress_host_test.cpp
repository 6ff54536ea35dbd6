// The progress window's logic with a fake window and fake runs: when the run
// starts, when the window closes, what the window is shown.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/cli.h"
#include "app/progress_host.h"
#include "report/messages.h"

namespace norvelle {
namespace {

struct FakeView : ProgressView {
  void ShowStatus(const std::string& t) override { status = t; }
  void ShowProgress(int m, int p) override { max = m, pos = p; }
  void AppendReport(const std::vector<std::string>& l) override {
    report.insert(report.end(), l.begin(), l.end());
  }
  void ShowButtonCaption(const std::string& t) override { caption = t; }
  void ProcessEvents() override {
    ++events;
    if (on_events) on_events();
  }
  void Close() override { ++closes; }
  std::string status, caption;
  std::vector<std::string> report;
  int max = -1, pos = -1, events = 0, closes = 0;
  std::function<void()> on_events;
};

class ProgressHostTest : public ::testing::Test {
 protected:
  void SetUp() override { ProgressHost::ResetStartedForTesting(); }
  void TearDown() override { ProgressHost::ResetStartedForTesting(); }
};

// A run that ends as told, reporting `errors` lines the way the real run does.
ProgressHost::Run Ending(RunOutcome outcome, int errors = 0) {
  return [=](ConversionHost& h, std::string_view) {
    h.SetStatus(Message(Msg::kStatusConverting));
    for (int i = 0; i < errors; ++i) h.AddError(Message(Msg::kSourceEmpty));
    if (outcome == RunOutcome::kDoneErrors || outcome == RunOutcome::kFailed)
      h.SetButtonCaption(Message(Msg::kCaptionClose));
    return outcome;
  };
}

TEST_F(ProgressHostTest, ClosingRuleAndExitStatusForEachOutcome) {
  struct Case {
    RunOutcome outcome;
    int errors;
    bool closes;
    int exit;
    const char* caption;
  } cases[] = {
      {RunOutcome::kDone, 0, true, kExitOk, ""},
      {RunOutcome::kCancelled, 0, true, kExitCancelled, ""},
      {RunOutcome::kDoneErrors, 2, false, kExitErrors, "閉じる"},
      {RunOutcome::kFailed, 1, false, kExitFatal, "閉じる"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.outcome));
    ProgressHost::ResetStartedForTesting();
    FakeView view;
    ProgressHost host(view, "x.txt", Ending(c.outcome, c.errors));
    host.Start();
    EXPECT_EQ(view.closes, c.closes ? 1 : 0);
    EXPECT_FALSE(host.busy());
    EXPECT_EQ(host.ExitStatus(), c.exit);
    EXPECT_EQ(view.caption, c.caption);
    EXPECT_EQ(int(view.report.size()), c.errors);  // every line shown by the end
    EXPECT_EQ(view.status, "変換中");
    if (!c.closes) {
      host.Cancel();  // the button now closes the window
      EXPECT_EQ(view.closes, 1);
      EXPECT_EQ(host.ExitStatus(), c.exit);
    }
  }
}

TEST_F(ProgressHostTest, StartsOncePerProcess) {
  int runs = 0;
  FakeView view;
  ProgressHost host(view, "x.txt", [&](ConversionHost&, std::string_view) {
    ++runs;
    return RunOutcome::kDoneErrors;
  });
  host.Start();
  host.Start();  // the window shown again
  FakeView view2;
  ProgressHost other(view2, "y.txt", [&](ConversionHost&, std::string_view) {
    ++runs;
    return RunOutcome::kDone;
  });
  other.Start();
  EXPECT_EQ(runs, 1);
  EXPECT_FALSE(other.outcome().has_value());
  EXPECT_EQ(other.ExitStatus(), kExitFatal);
}

TEST_F(ProgressHostTest, CancelDuringTheRunClosesOnlyAfterTheRunReturns) {
  FakeView view;
  int pumps_after_cancel = -1;
  bool was_busy_in_run = false;
  ProgressHost host(view, "x.txt", [&](ConversionHost& h, std::string_view) {
    was_busy_in_run = static_cast<ProgressHost&>(h).busy();
    for (int i = 0; i < 10; ++i) {
      if (i == 3) {
        static_cast<ProgressHost&>(h).Cancel();  // a click delivered by the pump
        EXPECT_EQ(view.closes, 0);               // the busy run is not closed under it
        pumps_after_cancel = 0;
      }
      if (h.Pump()) return RunOutcome::kCancelled;
      if (pumps_after_cancel >= 0) ++pumps_after_cancel;
    }
    return RunOutcome::kDone;
  }, std::chrono::milliseconds(0));
  host.Start();
  EXPECT_TRUE(was_busy_in_run);
  EXPECT_EQ(pumps_after_cancel, 0);  // the very next pump saw it
  EXPECT_EQ(view.closes, 1);
  EXPECT_EQ(host.ExitStatus(), kExitCancelled);
}

TEST_F(ProgressHostTest, PumpShowsGatheredUpdatesAndLimitsEventProcessing) {
  FakeView view;
  std::vector<std::string> seen_at_events;
  view.on_events = [&] { seen_at_events.push_back(std::to_string(view.pos) + "/" +
                                                   std::to_string(view.report.size())); };
  ProgressHost host(view, "x.txt", [&](ConversionHost& h, std::string_view) {
    h.SetProgressRange(100);
    h.SetProgressPos(7);
    h.AddError(Message(Msg::kSourceEmpty));
    EXPECT_EQ(h.ErrorCount(), 1);
    EXPECT_TRUE(view.report.empty());  // not yet shown
    h.Pump();                          // first pump: events and updates
    for (int i = 8; i < 1000; ++i) {
      h.SetProgressPos(i);
      h.Pump();  // within the interval: no event processing
    }
    return RunOutcome::kDone;
  }, std::chrono::hours(1));
  host.Start();
  ASSERT_EQ(seen_at_events.size(), 1u);
  EXPECT_EQ(seen_at_events[0], "7/1");
  EXPECT_EQ(view.max, 100);
  EXPECT_EQ(view.pos, 999);  // the final position is shown at the end
  ASSERT_EQ(view.report.size(), 1u);
  EXPECT_EQ(view.report[0], "変換元ファイルが空です");  // CP932 shown as UTF-8
}

TEST_F(ProgressHostTest, ReportLinesAreConvertedNotReinterpreted) {
  FakeView view;
  ProgressHost host(view, "x.txt", [](ConversionHost& h, std::string_view) {
    h.AddError("[3]\x81\x46'\x83\x65\x83\x58\x83\x67'");  // [3]：'テスト' in CP932
    h.AddError("bad \x81");                               // a lead byte cut off
    return RunOutcome::kDoneErrors;
  });
  host.Start();
  ASSERT_EQ(view.report.size(), 2u);
  EXPECT_EQ(view.report[0], "[3]：'テスト'");
  EXPECT_EQ(view.report[1].substr(0, 4), "bad ");
  EXPECT_EQ(view.report[1].find('\x81'), std::string::npos);
}

}  // namespace
}  // namespace norvelle
