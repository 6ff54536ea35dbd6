// The watcher on real files in a temporary folder, each case with inotify and
// with forced polling: every way of saving wakes it once, other names never.
#include "platform/file_watch.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"

namespace norvelle {
namespace {

using namespace std::chrono_literals;
using Paths = std::vector<std::string>;
using test::TempDir;
using test::WriteBytes;

constexpr auto kGiveUp = 5s;       // a wait that should end long before
constexpr auto kQuietCheck = 100ms;  // no second wake within this

void WriteInPlace(const std::string& path, const std::string& text) {
  const int fd = ::open(path.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, text.data(), text.size()), ssize_t(text.size()));
  ::close(fd);
}

void Rename(const std::string& from, const std::string& to) { ASSERT_EQ(std::rename(from.c_str(), to.c_str()), 0); }

struct SaveStyle {
  const char* name;
  const char* file;  // below the temporary folder
  bool exists;       // before the save
  std::function<void(const std::string& path)> save;
};

const SaveStyle kSaveStyles[] = {
    {"write in place", "page.txt", true, [](const std::string& p) { WriteInPlace(p, "new text, longer"); }},
    {"truncate and write", "page.txt", true, [](const std::string& p) { WriteBytes(p, "new text, longer"); }},
    {"temporary renamed over", "page.txt", true,
     [](const std::string& p) {
       WriteBytes(p + ".tmp123", "new text, longer");
       Rename(p + ".tmp123", p);
     }},
    {"renamed away, written anew, backup deleted", "page.txt", true,
     [](const std::string& p) {
       Rename(p, p + "~");
       WriteBytes(p, "new text, longer");
       std::remove((p + "~").c_str());
     }},
    {"deleted and re-created", "page.txt", true,
     [](const std::string& p) {
       std::remove(p.c_str());
       WriteBytes(p, "new text, longer");
     }},
    {"missing file appears", "page.txt", false, [](const std::string& p) { WriteBytes(p, "new"); }},
    {"file in a missing folder appears", "new/deeper/page.txt", false,
     [](const std::string& p) {
       std::filesystem::create_directories(std::filesystem::path(p).parent_path());
       WriteBytes(p, "new");
     }},
};

// Each test runs once with inotify and once polling.
class FileWatch : public testing::TestWithParam<bool> {
 protected:
  FileWatcher::Options Fast(std::chrono::milliseconds settle = 40ms) const {
    FileWatcher::Options o;
    o.settle = settle;
    o.poll = 20ms;
    o.force_polling = GetParam();
    return o;
  }
  // Saves on another thread while Wait blocks (or before it starts: both must work).
  static Paths SaveDuringWait(FileWatcher& w, const std::function<void()>& save) {
    std::thread saver(save);
    Paths got = w.Wait(kGiveUp);
    saver.join();
    return got;
  }
  TempDir dir_;
};

TEST_P(FileWatch, EachSaveStyleWakesOnceWithThePath) {
  for (const SaveStyle& style : kSaveStyles) {
    SCOPED_TRACE(style.name);
    TempDir dir;
    const std::string path = dir.File(style.file);
    if (style.exists) {
      ASSERT_TRUE(WriteBytes(path, "old"));
    }
    FileWatcher w(Fast());
    ASSERT_FALSE(w.Watch({path}));
    EXPECT_EQ(SaveDuringWait(w, [&] { style.save(path); }), Paths{path});
    EXPECT_EQ(w.Wait(kQuietCheck), Paths{});
  }
}

TEST_P(FileWatch, OtherNamesInTheFolderNeverWake) {
  const std::string page = dir_.File("page.txt");
  ASSERT_TRUE(WriteBytes(page, "old"));
  FileWatcher w(Fast());
  ASSERT_FALSE(w.Watch({page}));
  // a neighbour, the program's own output through its temporary, a depfile
  ASSERT_TRUE(WriteBytes(dir_.File("other.txt"), "x"));
  ASSERT_TRUE(WriteBytes(dir_.File(".page.htm.norvelle-new-Ab12Cd"), "<html>"));
  Rename(dir_.File(".page.htm.norvelle-new-Ab12Cd"), dir_.File("page.htm"));
  ASSERT_TRUE(WriteBytes(dir_.File("page.htm.d"), "page.htm: page.txt"));
  ASSERT_EQ(::mkdir(dir_.File("page.txt.d").c_str(), 0755), 0);
  EXPECT_EQ(w.Wait(kQuietCheck), Paths{});
  // still awake for the watched one
  ASSERT_TRUE(WriteBytes(page, "new text"));
  EXPECT_EQ(w.Wait(kGiveUp), Paths{page});
}

TEST_P(FileWatch, ABurstOfWritesIsOneResult) {
  const std::string a = dir_.File("a.txt"), b = dir_.File("b.txt");
  ASSERT_TRUE(WriteBytes(a, "old"));
  FileWatcher w(Fast(100ms));
  ASSERT_FALSE(w.Watch({b, a}));
  const Paths got = SaveDuringWait(w, [&] {
    for (int i = 0; i < 100; ++i) {
      WriteBytes(i == 50 ? b : a, std::string(std::size_t(i % 7 + 1), 'x'));
      std::this_thread::sleep_for(200us);
    }
  });
  EXPECT_EQ(got, (Paths{a, b}));  // each once, sorted
  EXPECT_EQ(w.Wait(kQuietCheck), Paths{});
}

TEST_P(FileWatch, AFileWrittenWithoutPauseIsReportedAtTheCap) {
  const std::string a = dir_.File("a.txt");
  FileWatcher::Options o = Fast();
  o.gather_cap = 200ms;
  FileWatcher w(o);
  ASSERT_FALSE(w.Watch({a}));
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (int i = 0; !stop; ++i) {
      WriteBytes(a, std::to_string(i));
      std::this_thread::sleep_for(2ms);
    }
  });
  const auto start = std::chrono::steady_clock::now();
  const Paths got = w.Wait(kGiveUp);
  const auto took = std::chrono::steady_clock::now() - start;
  stop = true;
  writer.join();
  EXPECT_EQ(got, Paths{a});
  EXPECT_LT(took, 1500ms);
}

TEST_P(FileWatch, AFolderDeletedAndMadeAgainIsWatchedAgain) {
  const std::string sub = dir_.File("sub"), page = dir_.File("sub/page.txt");
  ASSERT_EQ(::mkdir(sub.c_str(), 0755), 0);
  ASSERT_TRUE(WriteBytes(page, "old"));
  FileWatcher w(Fast());
  ASSERT_FALSE(w.Watch({page}));
  std::filesystem::remove_all(sub);
  EXPECT_EQ(w.Wait(kGiveUp), Paths{page});
  ASSERT_EQ(::mkdir(sub.c_str(), 0755), 0);
  EXPECT_EQ(w.Wait(kQuietCheck), Paths{});  // the folder alone is no change of the file
  ASSERT_TRUE(WriteBytes(page, "new"));
  EXPECT_EQ(w.Wait(kGiveUp), Paths{page});
}

// The folder and the file are made before the watcher reads the folder's
// event, so the file's own event came before its folder was watched.
TEST_P(FileWatch, AFileMadeWithItsFolderBeforeTheWatchCaughtUp) {
  const std::string a = dir_.File("a.txt"), b = dir_.File("sub/deeper/b.txt");
  ASSERT_TRUE(WriteBytes(a, "old"));
  FileWatcher w(Fast());
  ASSERT_FALSE(w.Watch({a, b}));
  ASSERT_TRUE(WriteBytes(a, "new text"));
  EXPECT_EQ(w.Wait(kGiveUp), Paths{a});
  std::filesystem::create_directories(dir_.File("sub/deeper"));
  ASSERT_TRUE(WriteBytes(b, "new"));
  EXPECT_EQ(w.Wait(kGiveUp), Paths{b});  // and not a again
}

TEST_P(FileWatch, ChangesBeforeWatchingAgainAreKept) {
  const std::string a = dir_.File("a.txt"), b = dir_.File("b.txt");
  ASSERT_TRUE(WriteBytes(a, "old"));
  FileWatcher w(Fast());
  ASSERT_FALSE(w.Watch({a}));
  ASSERT_TRUE(WriteBytes(a, "saved while converting"));
  ASSERT_FALSE(w.Watch({a, b}));  // the caller's next set, after its conversion
  EXPECT_EQ(w.Wait(kGiveUp), Paths{a});
  // a file dropped from the set no longer wakes
  ASSERT_FALSE(w.Watch({b}));
  ASSERT_TRUE(WriteBytes(a, "newer"));
  EXPECT_EQ(w.Wait(kQuietCheck), Paths{});
}

TEST_P(FileWatch, ALinkWakesWhenItsTargetElsewhereChanges) {
  ASSERT_EQ(::mkdir(dir_.File("real").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(dir_.File("site").c_str(), 0755), 0);
  const std::string target = dir_.File("real/rules.ini"), link = dir_.File("site/rules.ini");
  ASSERT_TRUE(WriteBytes(target, "old"));
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
  FileWatcher w(Fast());
  ASSERT_FALSE(w.Watch({link}));
  ASSERT_TRUE(WriteBytes(target, "new text"));
  EXPECT_EQ(w.Wait(kGiveUp), Paths{link});
}

TEST_P(FileWatch, InterruptEndsACurrentOrTheNextWait) {
  const std::string a = dir_.File("a.txt");
  FileWatcher w(Fast());
  ASSERT_FALSE(w.Watch({a}));
  const auto start = std::chrono::steady_clock::now();
  std::thread stopper([&] {
    std::this_thread::sleep_for(20ms);
    w.Interrupt();
  });
  EXPECT_EQ(w.Wait(), Paths{});  // no timeout: only the interrupt ends it
  stopper.join();
  w.Interrupt();
  EXPECT_EQ(w.Wait(kGiveUp), Paths{});
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  // spent: the wait after it sees changes again
  ASSERT_TRUE(WriteBytes(a, "new"));
  EXPECT_EQ(w.Wait(kGiveUp), Paths{a});
}

TEST_P(FileWatch, SaysWhetherItPolls) {
  FileWatcher w(Fast());
  ASSERT_FALSE(w.Watch({dir_.File("a.txt")}));
  struct statfs fs;
  ASSERT_EQ(::statfs(dir_.path().c_str(), &fs), 0);
  if (!GetParam() && FileSystemWithoutEvents(long(fs.f_type)) != nullptr) GTEST_SKIP() << "temporary folder not local";
  EXPECT_EQ(w.polling(), GetParam());
  EXPECT_EQ(w.note(), GetParam() ? "polling every 20 ms: asked for" : "");
}

INSTANTIATE_TEST_SUITE_P(Modes, FileWatch, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& p) { return p.param ? "Polling" : "Inotify"; });

TEST(FileWatcher, RefusesAnEmptyPath) {
  FileWatcher w;
  EXPECT_EQ(w.Watch({""}), std::errc::invalid_argument);
}

// More events than the kernel queues: what was lost may have been a save.
TEST(FileWatcher, AnOverflowedQueueCountsAsAChangeOfEveryFile) {
  std::ifstream limit_file("/proc/sys/fs/inotify/max_queued_events");
  long limit = 0;
  if (!(limit_file >> limit) || limit > 20000) GTEST_SKIP() << "queue limit " << limit << " too large to fill quickly";
  TempDir dir;
  const std::string a = dir.File("a.txt"), b = dir.File("b.txt");
  FileWatcher w;
  ASSERT_FALSE(w.Watch({a, b}));
  // two names in turn: the kernel merges only equal events in a row
  const std::string others[] = {dir.File("x"), dir.File("y")};
  ASSERT_TRUE(WriteBytes(others[0], "") && WriteBytes(others[1], ""));
  for (long i = 0; i <= limit; ++i) {
    ASSERT_EQ(::chmod(others[i % 2].c_str(), 0600 | (i % 4 / 2 * 0044)), 0);
  }
  EXPECT_EQ(w.Wait(kGiveUp), (Paths{a, b}));
}

FileWatcher* g_interrupted_by_signal = nullptr;

TEST(FileWatcher, ASignalHandlerCanInterrupt) {
  TempDir dir;
  FileWatcher w;
  ASSERT_FALSE(w.Watch({dir.File("a.txt")}));
  g_interrupted_by_signal = &w;
  struct sigaction on_usr1 = {}, old = {};
  on_usr1.sa_handler = [](int) { g_interrupted_by_signal->Interrupt(); };
  ASSERT_EQ(::sigaction(SIGUSR1, &on_usr1, &old), 0);
  const pthread_t waiter = ::pthread_self();
  const auto start = std::chrono::steady_clock::now();
  std::thread killer([&] {
    std::this_thread::sleep_for(20ms);
    ::pthread_kill(waiter, SIGUSR1);
  });
  EXPECT_EQ(w.Wait(kGiveUp), Paths{});
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);  // the interrupt, not the timeout
  killer.join();
  ::sigaction(SIGUSR1, &old, nullptr);
  g_interrupted_by_signal = nullptr;
}

TEST(FileFingerprint, FollowsContentOnly) {
  TempDir dir;
  const std::string big(200 * 1024, 'q');  // several read chunks
  std::string big_changed = big;
  big_changed.back() = 'r';
  struct Case {
    const char* a;
    const char* b;
    bool same;
  };
  const Case cases[] = {{"abc", "abc", true}, {"abc", "abd", false}, {"abc", "abcd", false}, {"", "abc", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " / " + c.b);
    ASSERT_TRUE(WriteBytes(dir.File("a"), c.a));
    ASSERT_TRUE(WriteBytes(dir.File("b"), c.b));
    EXPECT_EQ(FileFingerprint(dir.File("a")) == FileFingerprint(dir.File("b")), c.same);
  }
  ASSERT_TRUE(WriteBytes(dir.File("a"), big));
  ASSERT_TRUE(WriteBytes(dir.File("b"), big));
  EXPECT_EQ(FileFingerprint(dir.File("a")), FileFingerprint(dir.File("b")));
  ASSERT_TRUE(WriteBytes(dir.File("b"), big_changed));
  EXPECT_NE(FileFingerprint(dir.File("a")), FileFingerprint(dir.File("b")));
}

TEST(FileFingerprint, MissingAndUnreadableHaveValuesOfTheirOwn) {
  TempDir dir;
  ASSERT_TRUE(WriteBytes(dir.File("empty"), ""));
  EXPECT_EQ(FileFingerprint(dir.File("missing")), kFingerprintMissing);
  EXPECT_EQ(FileFingerprint(dir.File("missing/below")), kFingerprintMissing);
  EXPECT_EQ(FileFingerprint(dir.path()), kFingerprintUnreadable);  // a folder
  EXPECT_NE(FileFingerprint(dir.File("empty")), kFingerprintMissing);
  EXPECT_NE(FileFingerprint(dir.File("empty")), kFingerprintUnreadable);
}

TEST(FileSystemWithoutEvents, NamesNetworkAndUserSpaceFileSystems) {
  struct Case {
    long f_type;
    const char* name;  // null: inotify works there
  };
  const Case cases[] = {{0x6969, "NFS"},     {0xFF534D42, "CIFS"}, {0x65735546, "FUSE"}, {0x01021997, "9p"},
                        {0xEF53, nullptr},   {0x01021994, nullptr}, {0x794C7630, nullptr}, {0x58465342, nullptr}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.f_type);
    const char* got = FileSystemWithoutEvents(c.f_type);
    EXPECT_EQ(got ? std::string(got) : "(none)", c.name ? std::string(c.name) : "(none)");
  }
}

}  // namespace
}  // namespace norvelle
