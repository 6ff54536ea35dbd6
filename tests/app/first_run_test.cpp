// The first-run set-up of the rule folder: every file whole or none, the
// default rule file last, a broken-off set-up done again, reasons named.
#include "app/first_run.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/permissions.h"
#include "support/full_disk.h"
#include "support/test_support.h"

namespace norvelle::test {
namespace {

namespace fs = std::filesystem;

using test::FullAfter;

// What the set-up writes to its stream.
class Note {
 public:
  Note() : file_(open_memstream(&data_, &size_)) {}
  ~Note() {
    std::fclose(file_);
    std::free(data_);
  }
  std::FILE* file() { return file_; }
  std::string text() {
    std::fflush(file_);
    return std::string(data_, size_);
  }

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::FILE* file_;
};

class FirstRun : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir.File("share/qdx"));
    ASSERT_TRUE(WriteBytes(dir.File("share/qdx/a.qdx"), kA));
    ASSERT_TRUE(WriteBytes(dir.File("share/qdx/tour.qdx"), kTour));
    plan = PlanIn(dir.File("home/.config/norvelle"));
  }
  RuleFolderPlan PlanIn(const std::string& folder) const {
    return {folder, folder + "/norvelle.ini", folder + "/qdx", dir.File("share/qdx"), {}};
  }
  // Every file of the set-up is whole, and nothing else lies there.
  void ExpectComplete(const RuleFolderPlan& p) const {
    EXPECT_EQ(ReadBytes(p.qdx + "/a.qdx"), kA);
    EXPECT_EQ(ReadBytes(p.qdx + "/tour.qdx"), kTour);
    const std::string ini = ReadBytes(p.ini);
    EXPECT_NE(ini.find("TabStop="), std::string::npos);
    EXPECT_NE(ini.find("[AutoReplaceList]\r\n"), std::string::npos);
    EXPECT_EQ(Tree(p.folder), (std::vector<std::string>{"norvelle.ini", "qdx", "qdx/a.qdx", "qdx/tour.qdx"}));
  }
  // The paths under a folder, and whether any file is empty.
  static std::vector<std::string> Tree(const std::string& root, bool* empty_file = nullptr) {
    std::vector<std::string> paths;
    std::error_code ec;
    for (auto& e : fs::recursive_directory_iterator(root, ec)) {
      paths.push_back(fs::relative(e.path(), root).string());
      if (empty_file && e.is_regular_file() && e.file_size() == 0) *empty_file = true;
    }
    std::sort(paths.begin(), paths.end());
    return paths;
  }

  const std::string kA = "[A]\r\n" + std::string(3000, 'a') + "\r\n[EndSection]\r\n";
  const std::string kTour = "HeaderStr=<html>\r\nTabStop=4\r\n";
  TempDir dir;
  RuleFolderPlan plan;
};

TEST_F(FirstRun, SetsUpOnceWithEveryFileWhole) {
  Note first;
  EXPECT_TRUE(SetUpRuleFolder(plan, first.file()));
  EXPECT_EQ(first.text(), "norvelle: first run: created " + plan.folder +
                              " with the default rules (norvelle.ini) and 2 example rule files in qdx/\n");
  ExpectComplete(plan);
  Note second;
  EXPECT_FALSE(SetUpRuleFolder(plan, second.file()));
  EXPECT_EQ(second.text(), "");
}

TEST_F(FirstRun, FullDiskLeavesNoDefaultRuleFileAndIsDoneAgain) {
  // Room for nothing, for part of the first example, for the examples but
  // not the default rule file.
  const std::size_t rooms[] = {0, 1, kA.size() - 1, kA.size(), kA.size() + kTour.size()};
  for (std::size_t room : rooms) {
    SCOPED_TRACE(testing::Message() << room << " bytes of room");
    RuleFolderPlan p = PlanIn(dir.File("full" + std::to_string(room)));
    p.write = FullAfter(room);
    Note failed;
    EXPECT_FALSE(SetUpRuleFolder(p, failed.file()));
    EXPECT_EQ(failed.text().rfind("norvelle: cannot set up the rule folder " + p.folder + ": ", 0), 0u)
        << failed.text();
    EXPECT_NE(failed.text().find(": No space left on device\n"), std::string::npos) << failed.text();
    EXPECT_FALSE(FileExists(p.ini));
    bool empty_file = false;
    for (const std::string& path : Tree(p.folder, &empty_file))
      EXPECT_EQ(path.find("norvelle-new"), std::string::npos) << path;
    EXPECT_FALSE(empty_file);

    p.write = {};
    Note again;
    EXPECT_TRUE(SetUpRuleFolder(p, again.file()));
    EXPECT_NE(again.text().find("first run: created"), std::string::npos);
    ExpectComplete(p);
  }
}

TEST_F(FirstRun, RepairsWhatACutShortCopyLeftAndKeepsTheUsersFiles) {
  const struct {
    const char* what;
    std::optional<std::string> tour;  // qdx/tour.qdx before the run (none: an empty qdx/)
    bool replaced;
  } cases[] = {
      {"empty qdx folder", std::nullopt, true},
      {"empty example", "", true},
      {"example cut short", kTour.substr(0, 7), true},
      {"whole example", kTour, false},
      {"the user's own file", "TabStop=8\r\n", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RuleFolderPlan p = PlanIn(dir.File(std::string("again/") + c.what));
    fs::create_directories(p.qdx);
    if (c.tour) {
      ASSERT_TRUE(WriteBytes(p.qdx + "/tour.qdx", *c.tour));
    }
    Note note;
    EXPECT_TRUE(SetUpRuleFolder(p, note.file()));
    EXPECT_EQ(ReadBytes(p.qdx + "/tour.qdx"), c.replaced ? kTour : *c.tour);
    EXPECT_EQ(ReadBytes(p.qdx + "/a.qdx"), kA);
    EXPECT_TRUE(FileExists(p.ini));
  }
}

TEST_F(FirstRun, FolderThatCannotBeWrittenNamesTheReason) {
  PermissionsBind bind;
  if (!bind.bound()) GTEST_SKIP() << "running as root and cannot set aside root's right to ignore permissions";
  fs::create_directories(dir.File("home"));
  ASSERT_EQ(chmod(dir.File("home").c_str(), 0555), 0);
  Note home;
  EXPECT_FALSE(SetUpRuleFolder(plan, home.file()));
  EXPECT_EQ(home.text(), "norvelle: cannot set up the rule folder " + plan.folder + ": Permission denied\n");

  RuleFolderPlan p = PlanIn(dir.File("ro/norvelle"));
  fs::create_directories(p.qdx);
  ASSERT_EQ(chmod(p.qdx.c_str(), 0555), 0);
  Note qdx;
  EXPECT_FALSE(SetUpRuleFolder(p, qdx.file()));
  EXPECT_EQ(qdx.text(), "norvelle: cannot set up the rule folder " + p.folder + ": qdx/a.qdx: Permission denied\n");
  EXPECT_FALSE(FileExists(p.ini));
}

}  // namespace
}  // namespace norvelle::test
