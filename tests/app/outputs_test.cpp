// Outputs that must never replace what they name: devices, streams, the
// source under another name, another input's page; owners and set-id bits
// of a replaced page; symbolic links in the paths.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>

#include "app/cli.h"
#include "app/cli_fixture.h"
#include "support/test_support.h"

namespace norvelle {
namespace {

namespace fs = std::filesystem;

// A character device like the system's (root makes its own node in the test
// folder, so that a fault cannot replace the real one); as a user, the real.
std::string DeviceLike(const test::TempDir& tmp, const char* name, unsigned minor) {
  const std::string node = tmp.File(name);
  if (geteuid() == 0 && mknod(node.c_str(), S_IFCHR | 0666, makedev(1, minor)) == 0) return node;
  return std::string("/dev/") + name;
}

bool IsCharDevice(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

TEST_F(Cli, DevicesAndStreamsAreWrittenNotReplaced) {
  ASSERT_TRUE(test::WriteBytes(tmp_.File("a.txt"), "x\n"));
  const std::string null = DeviceLike(tmp_, "null", 3), full = DeviceLike(tmp_, "full", 7);
  Result r = Run({"--batch", "-o", null, "a.txt"});
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_TRUE(IsCharDevice(null));

  r = Run({"--batch", "-o", full, "a.txt"});
  EXPECT_EQ(r.status, kExitFatal);
  EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
  EXPECT_TRUE(IsCharDevice(full));

  // A FIFO is written to whoever reads it.
  ASSERT_EQ(mkfifo(tmp_.File("pipe").c_str(), 0600), 0);
  std::string got;
  std::thread reader([&] { got = test::ReadBytes(tmp_.File("pipe")); });
  r = Run({"--batch", "-o", "pipe", "a.txt"});
  reader.join();
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_NE(got.find("x<br>\r\n"), std::string::npos);
}

// A device that fills up while the writing thread has the page: the reason
// is that write's, not what pass 2 met before (a missing include).
TEST_F(Cli, FullDeviceGivesTheReasonOfTheWriteThatFailed) {
  std::string doc = "|include=nothere.html|x\n";
  for (int i = 0; i < 20000; ++i) doc += "words words words words words words words words words\n";
  ASSERT_TRUE(test::WriteBytes(tmp_.File("a.txt"), doc));
  const std::string full = DeviceLike(tmp_, "full", 7);
  const Result r = Run({"--batch", "-o", full, "a.txt"});
  EXPECT_EQ(r.status, kExitFatal);
  const std::string tail = "norvelle: " + full + ": No space left on device\n";
  EXPECT_EQ(r.err.substr(r.err.size() - std::min(r.err.size(), tail.size())), tail) << r.err;
}

TEST_F(Cli, StandardOutputNamedAsAFileAppendsWhereTheShellSaid) {
  ASSERT_TRUE(test::WriteBytes(tmp_.File("a.txt"), "x\n"));
  for (const char* name : {"/dev/stdout", "/dev/fd/1", "/proc/self/fd/1"}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(test::WriteBytes(tmp_.File("log"), "old\n"));
    const std::string cmd = "cd " + Quote(tmp_.path()) + " && " + Quote(bin_) + " --batch -o " + name +
                            " a.txt >> log 2>err";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << test::ReadBytes(tmp_.File("err"));
    const std::string log = test::ReadBytes(tmp_.File("log"));
    EXPECT_EQ(log.rfind("old\n<!DOCTYPE", 0), 0u) << log;
    EXPECT_NE(log.find("x<br>\r\n"), std::string::npos);
  }
}

TEST_F(Cli, SourceUnderAnotherNameIsNeverTheOutput) {
  const std::string text = "x\n";
  ASSERT_TRUE(test::WriteBytes(tmp_.File("a.txt"), text));
  fs::create_symlink("a.txt", tmp_.File("s.txt"));
  Result r = Run({"--batch", "-o", "s.txt", "a.txt"});
  EXPECT_EQ(r.status, kExitFatal);
  EXPECT_EQ(r.err.rfind("変換元ファイル名と変換先ファイル名が同じです\n", 0), 0u) << r.err;
  EXPECT_EQ(test::ReadBytes(tmp_.File("a.txt")), text);

  fs::create_symlink("a.txt", tmp_.File("a.htm"));
  r = Run({"--batch", "a.txt"});
  EXPECT_EQ(r.status, kExitFatal);
  EXPECT_EQ(test::ReadBytes(tmp_.File("a.txt")), text);
  fs::remove(tmp_.File("a.htm"));
  ASSERT_EQ(link(tmp_.File("a.txt").c_str(), tmp_.File("hard.htm").c_str()), 0);
  EXPECT_EQ(Run({"--batch", "-o", "hard.htm", "a.txt"}).status, kExitFatal);
  EXPECT_EQ(test::ReadBytes(tmp_.File("a.txt")), text);
}

TEST_F(Cli, TwoInputsWithOnePageKeepTheFirst) {
  ASSERT_TRUE(test::WriteBytes(tmp_.File("a.txt"), "first\n"));
  ASSERT_TRUE(test::WriteBytes(tmp_.File("a.TXT"), "second\n"));
  ASSERT_TRUE(test::WriteBytes(tmp_.File("b.txt"), "third\n"));
  Result r = Run({"--batch", "a.txt", "a.TXT", "b.txt"});
  EXPECT_EQ(r.status, kExitFatal);
  EXPECT_EQ(r.err, "norvelle: a.TXT: not converted: its page would replace that of a.txt\n");
  const std::string page = test::ReadBytes(tmp_.File("a.htm"));
  EXPECT_NE(page.find("first"), std::string::npos);
  EXPECT_EQ(page.find("second"), std::string::npos);
  EXPECT_TRUE(test::FileExists(tmp_.File("b.htm")));
}

TEST_F(Cli, ReplacedPageKeepsOwnerOrLosesSetIdBits) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give the page another owner";
  ASSERT_TRUE(test::WriteBytes(tmp_.File("a.txt"), "x\n"));
  ASSERT_TRUE(test::WriteBytes(tmp_.File("a.htm"), "old"));
  ASSERT_EQ(chown(tmp_.File("a.htm").c_str(), 12345, 12346), 0);
  ASSERT_EQ(chmod(tmp_.File("a.htm").c_str(), 06755), 0);
  EXPECT_EQ(Run({"--batch", "a.txt"}).status, kExitOk);
  struct stat st;
  ASSERT_EQ(stat(tmp_.File("a.htm").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 12345u);
  EXPECT_EQ(st.st_gid, 12346u);
  EXPECT_EQ(st.st_mode & 07777, 06755u);
}

TEST_F(Cli, SymbolicLinksInPathsAreFollowedAsTheSystemDoes) {
  fs::create_directories(tmp_.File("far/deep"));
  ASSERT_TRUE(test::WriteBytes(tmp_.File("far/a.txt"), "far\n"));
  ASSERT_TRUE(test::WriteBytes(tmp_.File("a.txt"), "near\n"));
  fs::create_directory_symlink("far/deep", tmp_.File("link"));
  Result r = Run({"--batch", "link/../a.txt"});
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_NE(test::ReadBytes(tmp_.File("far/a.htm")).find("far<br>"), std::string::npos);
  EXPECT_FALSE(test::FileExists(tmp_.File("a.htm")));

  // A dangling link as the output creates its target; the link stays.
  fs::create_symlink("far/new.htm", tmp_.File("out.htm"));
  r = Run({"--batch", "-o", "out.htm", "a.txt"});
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_TRUE(fs::is_symlink(tmp_.File("out.htm")));
  EXPECT_NE(test::ReadBytes(tmp_.File("far/new.htm")).find("near<br>"), std::string::npos);
}

}  // namespace
}  // namespace norvelle
