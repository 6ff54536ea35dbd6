// The progress window on the offscreen platform: what it shows at the end of
// each kind of run, Cancel during a long run, the keyboard, and the program
// choosing the window or the terminal.
#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/cli.h"
#include "dialogs/offscreen_app.h"
#include "platform/paths.h"
#include "support/test_support.h"
#include "ui/qt/progress_dialog.h"

namespace norvelle {
namespace {

class ProgressDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::OffscreenApp();
    ProgressHost::ResetStartedForTesting();
    SetProgramPathForTesting(tmp_.File("norvelle"));  // no rule file of the build folder
  }
  void TearDown() override {
    SetProgramPathForTesting("");
    ProgressHost::ResetStartedForTesting();
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty() ||
                std::none_of(QApplication::topLevelWidgets().begin(),
                             QApplication::topLevelWidgets().end(),
                             [](QWidget* w) { return w->isVisible(); }));
  }
  // Shows the window and waits until its run has ended.
  static void ShowAndRun(ProgressDialog& d) {
    d.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.host().outcome().has_value(); }, 60000));
    QCoreApplication::processEvents();
  }
  test::TempDir tmp_;
};

TEST_F(ProgressDialogTest, RunWithErrorsStaysOpenWithTheReport) {
  ASSERT_TRUE(test::WriteBytes(tmp_.File("e.txt"), "|frob|x\n|zap|y\n"));
  ProgressDialog d(tmp_.File("e.txt"));
  EXPECT_EQ(d.windowTitle(), "Norvelle");
  EXPECT_EQ(d.status()->text(), "準備中");
  EXPECT_EQ(d.button()->text(), "ｷｬﾝｾﾙ");
  EXPECT_TRUE(d.button()->isDefault());
  EXPECT_FALSE(d.windowIcon().isNull());
  ShowAndRun(d);
  EXPECT_TRUE(d.isVisible());
  EXPECT_EQ(d.status()->text(), "エラーが発生しましたが、最後まで終了しました");
  ASSERT_EQ(d.report()->count(), 3);
  EXPECT_EQ(d.report()->item(0)->text(), "[1]：'frob'認識できない命令です。");
  EXPECT_EQ(d.report()->item(1)->text(), "[2]：'zap'認識できない命令です。");
  EXPECT_EQ(d.report()->item(2)->text(), "2 個のエラーが発生しました");
  EXPECT_EQ(d.button()->text(), "閉じる");
  EXPECT_TRUE(test::FileExists(tmp_.File("e.htm")));
  // Lines are wider than the list: it scrolls sideways.
  EXPECT_GT(d.report()->horizontalScrollBar()->maximum(), 0);
  EXPECT_EQ(d.host().ExitStatus(), kExitErrors);
  QTest::mouseClick(d.button(), Qt::LeftButton);
  EXPECT_FALSE(d.isVisible());
}

TEST_F(ProgressDialogTest, CleanRunShowsDoneAndClosesByItself) {
  ASSERT_TRUE(test::WriteBytes(tmp_.File("ok.txt"), "|b|bold\nplain\n"));
  ProgressDialog d(tmp_.File("ok.txt"));
  ShowAndRun(d);
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(d.status()->text(), "完了");
  EXPECT_EQ(d.bar()->value(), d.bar()->maximum());
  EXPECT_EQ(d.host().ExitStatus(), kExitOk);
  EXPECT_TRUE(test::FileExists(tmp_.File("ok.htm")));
}

TEST_F(ProgressDialogTest, KeysCloseTheFinishedWindow) {
  for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
    SCOPED_TRACE(key);
    ProgressHost::ResetStartedForTesting();
    ProgressDialog d(tmp_.File("missing.txt"));  // fatal: stays open
    ShowAndRun(d);
    ASSERT_TRUE(d.isVisible());
    EXPECT_EQ(d.status()->text(), "変換失敗");
    EXPECT_EQ(d.host().ExitStatus(), kExitFatal);
    QTest::keyClick(&d, key);
    EXPECT_FALSE(d.isVisible());
  }
}

TEST_F(ProgressDialogTest, CancelDuringALongRunWritesNothing) {
  std::string big;
  for (int i = 0; big.size() < 30u * 1000 * 1000; ++i)
    big += "|b,1i|line " + std::to_string(i) + " with\tsome <text> & more words\n";
  ASSERT_TRUE(test::WriteBytes(tmp_.File("big.txt"), big));
  ProgressDialog d(tmp_.File("big.txt"));
  bool running_when_clicked = false;
  auto clicked = std::chrono::steady_clock::time_point{};
  QTimer::singleShot(300, &d, [&] {
    running_when_clicked = d.host().busy();
    clicked = std::chrono::steady_clock::now();
    QTest::mouseClick(d.button(), Qt::LeftButton);
  });
  ShowAndRun(d);
  EXPECT_TRUE(running_when_clicked);
  EXPECT_EQ(d.host().ExitStatus(), kExitCancelled);
  EXPECT_FALSE(d.isVisible());
  EXPECT_LT(std::chrono::steady_clock::now() - clicked, std::chrono::seconds(5));
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(tmp_.path())) {
    ++files;
    EXPECT_EQ(e.path().filename(), "big.txt");
  }
  EXPECT_EQ(files, 1);
}

// The program itself: the window when a platform is there, else the terminal.
std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

TEST(ProgressProgram, WindowOrTerminalAndExitStatus) {
  test::TempDir tmp;
  namespace fs = std::filesystem;
  fs::copy_file(NORVELLE_BIN_PATH, tmp.File("norvelle"));
  fs::copy_file(NORVELLE_DIALOGS_PATH, tmp.File("norvelle-dialogs.so"));
  ASSERT_TRUE(test::WriteBytes(tmp.File("ok.txt"), "hello\n"));
  ASSERT_TRUE(test::WriteBytes(tmp.File("e.txt"), "|frob|x\n"));
  struct Case {
    const char* env;
    const char* file;
    int status;
    const char* err_has;  // a part of standard error
  } cases[] = {
      {"QT_QPA_PLATFORM=offscreen", "ok.txt", kExitOk, ""},
      {"QT_QPA_PLATFORM=offscreen", "ok.txt ok.txt -e utf-8", kExitOk, ""},  // several files, one window
      {"", "ok.txt", kExitOk, ""},                      // no display: the terminal
      {"", "e.txt", kExitErrors, "'frob'"},
      {"DISPLAY=:97", "e.txt", kExitErrors, "norvelle: no display can be opened"},
      {"", "nothere.txt", kExitFatal, "変換元ファイルを開けません"},
      // A platform that fails to start: the terminal, never a crash.
      {"QT_QPA_PLATFORM=nosuch", "e.txt", kExitErrors, "; converting in the terminal"},
      {"QT_QPA_PLATFORM=nosuch", "", kExitFatal, "norvelle: the settings dialog needs a display"},
      {"", "", kExitFatal, "norvelle: the settings dialog needs a display"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.env) + " " + c.file);
    std::remove(tmp.File("ok.htm").c_str());
    std::string cmd = "cd " + Quote(tmp.path()) +
                      " && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + c.env +
                      " ./norvelle " + c.file + " 2>err </dev/null";
    int raw = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), c.status);
    std::string err = test::ReadBytes(tmp.File("err"));
    EXPECT_NE(err.find(c.err_has), std::string::npos) << err;
    if (c.status == kExitOk) {
      EXPECT_TRUE(test::FileExists(tmp.File("ok.htm")));
    }
  }
}

}  // namespace
}  // namespace norvelle
