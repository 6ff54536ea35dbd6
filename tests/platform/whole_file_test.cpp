// Files written whole or not at all, the in-place rewrite, and folder making,
// with a write step that fails as a full disk does.
#include "platform/whole_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/permissions.h"
#include "support/full_disk.h"
#include "support/test_support.h"

namespace norvelle {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  for (auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

using test::FullAfter;

TEST(PutWholeFile, FullDiskLeavesTheOldFileOrNone) {
  const std::string text(5000, 'n');
  const std::optional<std::string> olds[] = {std::nullopt, "", "old"};
  for (std::size_t room : {std::size_t(0), std::size_t(1), text.size() - 1}) {
    for (const std::optional<std::string>& old : olds) {
      SCOPED_TRACE(testing::Message() << room << " bytes of room, old file " << old.value_or("(none)"));
      TempDir dir;
      if (old) {
        ASSERT_TRUE(WriteBytes(dir.File("f.qdx"), *old));
      }
      int err = 0;
      EXPECT_FALSE(PutWholeFile(dir.File("f.qdx"), text, err, FullAfter(room)));
      EXPECT_EQ(err, ENOSPC);
      EXPECT_EQ(Entries(dir.path()), old ? std::vector<std::string>{"f.qdx"} : std::vector<std::string>{});
      if (old) {
        EXPECT_EQ(ReadBytes(dir.File("f.qdx")), *old);
      }
    }
  }
}

TEST(PutWholeFile, ReplacesKeepingTheModeOrCreates) {
  TempDir dir;
  int err = 0;
  ASSERT_TRUE(PutWholeFile(dir.File("new"), "abc", err, FullAfter(3)));
  EXPECT_EQ(ReadBytes(dir.File("new")), "abc");
  ASSERT_TRUE(WriteBytes(dir.File("old"), "old text"));
  ASSERT_EQ(chmod(dir.File("old").c_str(), 0640), 0);
  ASSERT_TRUE(PutWholeFile(dir.File("old"), "x", err));
  EXPECT_EQ(ReadBytes(dir.File("old")), "x");
  struct stat st;
  ASSERT_EQ(stat(dir.File("old").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{"new", "old"}));
}

TEST(RewriteInPlace, OverwritesToTheNewLength) {
  const struct {
    std::string old, now;
  } cases[] = {{"a long old text", "short"}, {"old", "a longer new text"}, {"same", "SAME"}, {"x", ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.old + " -> " + c.now);
    TempDir dir;
    ASSERT_TRUE(WriteBytes(dir.File("f"), c.old));
    int err = 0;
    EXPECT_TRUE(RewriteInPlace(dir.File("f"), c.now, err));
    EXPECT_EQ(ReadBytes(dir.File("f")), c.now);
  }
}

TEST(RewriteInPlace, NeverCreatesAndRefusesWhatIsNoFile) {
  TempDir dir;
  int err = 0;
  EXPECT_FALSE(RewriteInPlace(dir.File("missing"), "x", err));
  EXPECT_EQ(err, ENOENT);
  EXPECT_FALSE(test::FileExists(dir.File("missing")));
  ASSERT_EQ(mkdir(dir.File("folder").c_str(), 0700), 0);
  EXPECT_FALSE(RewriteInPlace(dir.File("folder"), "x", err));
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
  EXPECT_FALSE(RewriteInPlace(dir.File("fifo"), "x", err));  // must not wait for a reader
}

TEST(RewriteInPlace, WritesAFileOfAReadOnlyFolder) {
  test::PermissionsBind bind;
  if (!bind.bound()) GTEST_SKIP() << "running as root and cannot set aside root's right to ignore permissions";
  TempDir dir;
  const std::string ro = dir.File("ro");
  ASSERT_EQ(mkdir(ro.c_str(), 0700), 0);
  ASSERT_TRUE(WriteBytes(ro + "/f.qdx", "old"));
  ASSERT_TRUE(WriteBytes(ro + "/locked.qdx", "old"));
  ASSERT_EQ(chmod((ro + "/locked.qdx").c_str(), 0444), 0);
  ASSERT_EQ(chmod(ro.c_str(), 0555), 0);
  int err = 0;
  EXPECT_FALSE(PutWholeFile(ro + "/f.qdx", "new", err));
  EXPECT_TRUE(FolderRefusesNewFiles(err)) << err;
  EXPECT_TRUE(RewriteTextInPlace(ro + "/f.qdx", "new\nlines\n"));
  EXPECT_EQ(ReadBytes(ro + "/f.qdx"), "new\r\nlines\r\n");
  EXPECT_FALSE(RewriteTextInPlace(ro + "/locked.qdx", "new\n"));
  EXPECT_EQ(errno, EACCES);
  EXPECT_EQ(ReadBytes(ro + "/locked.qdx"), "old");
}

TEST(WithCrLf, EachLineFeed) {
  const struct {
    std::string in, out;
  } cases[] = {{"", ""}, {"a", "a"}, {"\n", "\r\n"}, {"a\nb\n", "a\r\nb\r\n"}, {"\r\n", "\r\r\n"}};
  for (const auto& c : cases) EXPECT_EQ(WithCrLf(c.in), c.out) << c.in;
}

TEST(MakeFolderPath, CreatesParentsAndNamesWhatStopsIt) {
  TempDir dir;
  int err = 0;
  EXPECT_TRUE(MakeFolderPath(dir.File("a/b/c"), err));
  EXPECT_TRUE(MakeFolderPath(dir.File("a/b/c"), err));
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("a/b/c")));
  ASSERT_TRUE(WriteBytes(dir.File("file"), "x"));
  EXPECT_FALSE(MakeFolderPath(dir.File("file"), err));
  EXPECT_EQ(err, ENOTDIR);
  EXPECT_FALSE(MakeFolderPath(dir.File("file/sub"), err));
  EXPECT_EQ(err, ENOTDIR);
}

TEST(ReadWholeFile, ReadsRegularFilesOnly) {
  TempDir dir;
  const std::string big(200000, 'b');
  ASSERT_TRUE(WriteBytes(dir.File("big"), big));
  std::string out;
  int err = 0;
  EXPECT_TRUE(ReadWholeFile(dir.File("big"), out, err));
  EXPECT_EQ(out, big);
  EXPECT_FALSE(ReadWholeFile(dir.File("missing"), out, err));
  EXPECT_EQ(err, ENOENT);
  EXPECT_FALSE(ReadWholeFile(dir.path(), out, err));
  EXPECT_EQ(err, EISDIR);
}

}  // namespace
}  // namespace norvelle
