// The run as a whole: failures that are not the document's fault end the run
// as a reported failure with nothing written, never as a crash.
#include <gtest/gtest.h>

#include <utime.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iterator>
#include <new>
#include <string>

#include "convert/run.h"
#include "platform/paths.h"
#include "support/recording_host.h"
#include "support/test_support.h"

namespace norvelle {
namespace {

// Throws from inside the run, the way an exhausted allocator would.
class ThrowingHost : public test::RecordingHost {
 public:
  explicit ThrowingHost(bool bad_alloc) : bad_alloc_(bad_alloc) {}
  void SetProgressRange(int) override {
    if (bad_alloc_) throw std::bad_alloc();
    throw 7u;  // what a container throws for a bad index
  }

 private:
  bool bad_alloc_;
};

TEST(Run, ExhaustedMemoryAndInternalErrorsAreFailuresNotCrashes) {
  struct Case {
    bool bad_alloc;
    const char* message;
  } cases[] = {
      {true, "メモリが足りないため変換できません"},
      {false, "内部エラーのため変換できません"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    test::TempDir tmp;
    SetProgramPathForTesting(tmp.File("norvelle"));
    ASSERT_TRUE(test::WriteBytes(tmp.File("a.txt"), "x\n"));
    ThrowingHost host(c.bad_alloc);
    EXPECT_EQ(Convert(host, tmp.File("a.txt")), RunOutcome::kFailed);
    EXPECT_EQ(host.errors, std::vector<std::string>{c.message});
    EXPECT_EQ(host.status, "変換失敗");
    EXPECT_EQ(host.caption, "閉じる");
    EXPECT_FALSE(test::FileExists(tmp.File("a.htm")));
    SetProgramPathForTesting("");
  }
}

// A line longer than the limit (lowered here; by default the most an element
// holds) fails the run before anything is written, in either order of the
// passes; a line at the limit converts. A base that is matched again per line
// counts with its text joined to the line.
TEST(Run, LineLongerThanTheLimitFailsWithNothingWritten) {
  std::string short_lines;
  for (int i = 0; i < 30; ++i) short_lines += "ab\n";
  const struct Case {
    const char* name;
    std::string text;
    std::size_t limit;
    int fails_at;  // 0: converts
  } cases[] = {
      {"plain line at the limit", "ab\nxxxxx\nc", 5, 0},
      {"plain line beyond it", "ab\nxxxxx\nc", 4, 2},
      {"every line at the limit", "xxxxx\nxxxxx\nxxxxx", 5, 0},
      {"first line", "xxxxxx\nab", 5, 1},
      {"last line, after many short ones", short_lines + "xxxxxx", 5, 31},
      {"empty lines, then a long one", "\n\n\n\nxxxxxx\n", 5, 5},
      {"listing line beyond it", "|cppsrc|\nxxxxxxxxxxxxx\n|endcppsrc|", 12, 2},
      {"joined base at the limit", "|base|b|\nabcdefgh", 12, 0},
      {"joined base beyond it", "|base|b|\nabcdefgh", 11, 2},
  };
  for (const Case& c : cases) {
    for (bool concurrent : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (concurrent ? ", passes side by side" : ""));
      test::TempDir tmp;
      SetProgramPathForTesting(tmp.File("norvelle"));
      ASSERT_TRUE(test::WriteBytes(tmp.File("a.txt"), c.text));
      test::RecordingHost host;
      RunHooks hooks;
      hooks.max_line_bytes = c.limit;
      hooks.concurrent_passes = concurrent;
      const RunOutcome r = ConvertWith(host, tmp.File("a.txt"), hooks);
      if (c.fails_at) {
        EXPECT_EQ(r, RunOutcome::kFailed);
        const std::string line = "[" + std::to_string(c.fails_at) + "]：行が長すぎるため変換できません";
        EXPECT_EQ(host.errors, std::vector<std::string>{line});
        EXPECT_EQ(host.status, "変換失敗");
        const auto entries = std::filesystem::directory_iterator(tmp.path());
        EXPECT_EQ(std::distance(begin(entries), end(entries)), 1);  // the source alone
      } else {
        EXPECT_EQ(r, RunOutcome::kDone);
        EXPECT_TRUE(test::FileExists(tmp.File("a.htm")));
      }
      SetProgramPathForTesting("");
    }
  }
}

// A fill that would make the header or footer longer than the limit is
// reported with its line and not made; the run goes on, and a later, shorter
// fill of the same marker still finds it.
TEST(Run, MarkerFillBeyondTheFrameLimitIsReportedAndLeftUndone) {
  const std::string doubling = "|exreps1|<exrep1><exrep1>\n";
  const std::string text = doubling + doubling + doubling + doubling + "|exreps1|z\n" +
                           "|exrepe2|<exrep2>" + std::string(34, 'f') + "\nt";
  for (bool concurrent : {false, true}) {
    SCOPED_TRACE(concurrent ? "passes side by side" : "one after the other");
    test::TempDir tmp;
    SetProgramPathForTesting(tmp.File("norvelle"));
    ASSERT_TRUE(test::WriteBytes(tmp.File("norvelle.ini"), "HeaderStr=<exrep1>x\nEndStr=<exrep2>y\n"));
    ASSERT_TRUE(test::WriteBytes(tmp.File("a.txt"), text));
    test::RecordingHost host;
    RunHooks hooks;
    hooks.max_frame_bytes = 40;  // the header holds 9, 17, 33 bytes; 65 would be too many
    hooks.concurrent_passes = concurrent;
    EXPECT_EQ(ConvertWith(host, tmp.File("a.txt"), hooks), RunOutcome::kDoneErrors);
    const std::vector<std::string> want = {
        "[3]：HTML先頭タグが長くなりすぎるため、'<exrep1>'を置き換えませんでした",
        "[4]：HTML先頭タグが長くなりすぎるため、'<exrep1>'を置き換えませんでした",
        "[6]：HTML終了タグが長くなりすぎるため、'<exrep2>'を置き換えませんでした",
        "3 個のエラーが発生しました",
    };
    EXPECT_EQ(host.errors, want);
    EXPECT_EQ(test::ReadBytes(tmp.File("a.htm")), "zzzzxty");
    SetProgramPathForTesting("");
  }
}

std::time_t FixedNow() { return 1709251199; }  // 2024-02-29 23:59:59 UTC

// The date placeholders of header and footer and slots 100..104, from a fixed
// file time and clock in a fixed zone (a POSIX TZ string needs no zone files).
TEST(Run, DatesComeFromTheFileTimeAndTheClockInLocalTime) {
  const char* old_tz = std::getenv("TZ");
  std::string saved = old_tz ? old_tz : "";
  setenv("TZ", "JST-9", 1);
  tzset();
  test::TempDir tmp;
  SetProgramPathForTesting(tmp.File("norvelle"));
  const std::string dates = "[<filedate_rep> <filetime_rep>|<nowdate_rep> <nowtime_rep>]";
  ASSERT_TRUE(test::WriteBytes(tmp.File("norvelle.ini"), "HeaderStr=" + dates + "\nEndStr=" + dates + "\n"));
  ASSERT_TRUE(test::WriteBytes(tmp.File("a.txt"), "|rep100|\n|rep101|\n|rep102|\n|rep103|\n|rep104|"));
  utimbuf file_time{1700000000, 1700000000};  // 2023-11-14 22:13:20 UTC
  ASSERT_EQ(utime(tmp.File("a.txt").c_str(), &file_time), 0);
  test::RecordingHost host;
  RunHooks hooks;
  hooks.clock = Clock{&FixedNow};
  EXPECT_EQ(ConvertWith(host, tmp.File("a.txt"), hooks), RunOutcome::kDone);
  const std::string filled = "[2023/11/15 07:13:20|2024/03/01 08:59:59]";
  EXPECT_EQ(test::ReadBytes(tmp.File("a.htm")),
            filled + "2023/11/15<br>\r\n07:13:20<br>\r\n2024/03/01<br>\r\n08:59:59<br>\r\na" + filled);
  SetProgramPathForTesting("");
  if (old_tz) setenv("TZ", saved.c_str(), 1);
  else unsetenv("TZ");
  tzset();
}

}  // namespace
}  // namespace norvelle

namespace norvelle {
namespace {

// The progress range is twice the lines read: counted over texts whose line
// feeds fall at every place of the 16-byte steps, in short and long runs.
TEST(Run, ProgressRangeCountsEveryLine) {
  class RangeHost : public test::RecordingHost {
   public:
    void SetProgressRange(int max) override { range = max; }
    int range = -1;
  };
  test::TempDir tmp;
  SetProgramPathForTesting(tmp.File("norvelle"));
  for (int lines : {1, 2, 15, 16, 17, 300, 5000}) {
    for (int width : {0, 1, 7, 15, 16}) {
      SCOPED_TRACE(std::to_string(lines) + " lines of " + std::to_string(width));
      std::string text;
      for (int i = 0; i < lines; ++i) text += std::string(std::size_t(width + i % 3), 'x') + "\n";
      text += "end";  // a last line without a line feed
      ASSERT_TRUE(test::WriteBytes(tmp.File("a.txt"), text));
      RangeHost host;
      Convert(host, tmp.File("a.txt"));
      EXPECT_EQ(host.range, 2 * (lines + 1));
    }
  }
  SetProgramPathForTesting("");
}

}  // namespace
}  // namespace norvelle
