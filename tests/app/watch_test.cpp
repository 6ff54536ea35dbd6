// Watch mode as a user runs it: the program in the background on real files,
// saves made the ways editors make them, Ctrl-C to end.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "app/cli_fixture.h"
#include "app/exit_status.h"

extern char** environ;

namespace norvelle {
namespace {

using namespace std::chrono_literals;

class Watch : public Cli {
 protected:
  void TearDown() override {
    if (pid_ > 0) Stop();
  }
  void Start(std::vector<std::string> args) {
    args.insert(args.begin(), {bin_, "--watch"});
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, tmp_.File(".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::string cwd = std::filesystem::current_path();
    std::filesystem::current_path(tmp_.path());
    ASSERT_EQ(posix_spawn(&pid_, bin_.c_str(), &fa, nullptr, argv.data(), environ), 0);
    std::filesystem::current_path(cwd);
    posix_spawn_file_actions_destroy(&fa);
  }
  // Ctrl-C; the exit status.
  int Stop() {
    ::kill(pid_, SIGINT);
    int raw = 0;
    ::waitpid(pid_, &raw, 0);
    pid_ = -1;
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
  int Runs() const {
    const std::string err = test::ReadBytes(tmp_.File(".err"));
    int n = 0;
    for (std::size_t at = 0; (at = err.find(" -> ", at)) != std::string::npos; ++at) ++n;
    return n;
  }
  // Waits for at least n run lines; the count seen.
  int WaitForRuns(int n) const {
    for (auto until = std::chrono::steady_clock::now() + 5s; std::chrono::steady_clock::now() < until;) {
      if (Runs() >= n) break;
      std::this_thread::sleep_for(10ms);
    }
    return Runs();
  }
  // Long enough for a burst to settle and a run to end.
  static void Quiet() { std::this_thread::sleep_for(400ms); }
  void Save(const std::string& name, const std::string& text) {
    ASSERT_TRUE(test::WriteBytes(tmp_.File(".tmp-save"), text));
    std::filesystem::rename(tmp_.File(".tmp-save"), tmp_.File(name));
  }
  std::string Err() const { return test::ReadBytes(tmp_.File(".err")); }

  pid_t pid_ = -1;
};

TEST_F(Watch, EachChangeOfContentConvertsOnceAndOwnWritesNone) {
  for (const char* how : {"inotify", "poll"}) {
    SCOPED_TRACE(how);
    ASSERT_TRUE(test::WriteBytes(tmp_.File("inc.txt"), "part\n"));
    ASSERT_TRUE(test::WriteBytes(tmp_.File("p.txt"), "a\n|include=inc.txt|\n"));
    Start({"-q", "--deps", std::string(how) == "poll" ? "--watch=poll" : "--watch", "p.txt"});
    ASSERT_EQ(WaitForRuns(1), 1);
    Quiet();
    EXPECT_EQ(Runs(), 1) << "its own page and dependency file started a run";
    Save("p.txt", "b\n|include=inc.txt|\n");
    EXPECT_EQ(WaitForRuns(2), 2);
    std::filesystem::last_write_time(tmp_.File("inc.txt"), std::filesystem::file_time_type::clock::now());
    Quiet();
    if (std::string(how) == "poll") Quiet(), Quiet();
    EXPECT_EQ(Runs(), 2) << "a touch without a change started a run";
    std::filesystem::remove(tmp_.File("inc.txt"));
    EXPECT_EQ(WaitForRuns(3), 3) << "deleting an include";
    ASSERT_TRUE(test::WriteBytes(tmp_.File("inc.txt"), "back\n"));
    EXPECT_EQ(WaitForRuns(4), 4) << "re-creating it";
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(test::WriteBytes(tmp_.File("p.txt"), "burst" + std::to_string(i) + "\n"));
    const int after_burst = WaitForRuns(5);
    Quiet();
    EXPECT_LE(Runs(), 7) << "a burst of saves";
    EXPECT_GE(after_burst, 5);
    EXPECT_NE(test::ReadBytes(tmp_.File("p.htm")).find("burst99"), std::string::npos) << Err();
    EXPECT_EQ(Stop(), kExitOk) << Err();
    EXPECT_NE(Err().find("norvelle: p.txt -> p.htm ("), std::string::npos) << Err();
  }
}

TEST_F(Watch, WaitsForAMissingFileAndEndsWithTheWorstLastStatus) {
  Start({"-q", "later.txt"});
  ASSERT_EQ(WaitForRuns(1), 1);
  EXPECT_NE(Err().find("norvelle: later.txt: waiting for it to appear"), std::string::npos) << Err();
  Save("later.txt", "|frob|x\n");
  ASSERT_EQ(WaitForRuns(2), 2);
  EXPECT_TRUE(test::FileExists(tmp_.File("later.htm")));
  EXPECT_EQ(Stop(), kExitErrors) << Err();
  EXPECT_NE(Err().find("norvelle: later.txt -> later.htm (1 error, "), std::string::npos) << Err();
}

}  // namespace
}  // namespace norvelle
