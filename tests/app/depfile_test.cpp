// Dependency files as make and ninja read them, and strict runs that keep
// the old page.
#include "app/depfile.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/cli_fixture.h"
#include "app/exit_status.h"

namespace norvelle {
namespace {

TEST(Depfile, EscapesWhatMakeAndNinjaReadSpecially) {
  const struct {
    const char* name;
    const char* escaped;  // nullptr: refused
  } cases[] = {
      {"page.htm", "page.htm"},
      {"my page.htm", "my\\ page.htm"},
      {"a#b", "a\\#b"},
      {"a$b", "a$$b"},
      {"c:d", "c\\:d"},
      {"日本語.htm", "日本語.htm"},
      {"a\\b", "a\\b"},          // a backslash before an ordinary byte stands for itself
      {"a\\ b", "a\\\\\\ b"},    // before a blank: doubled, then the blank's own
      {"end\\", "end\\\\"},      // before the blank that ends the name
      {"line\nfeed", nullptr},
      {"tab\tx", nullptr},
      {"", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string out;
    EXPECT_EQ(EscapeForMake(c.name, out), c.escaped != nullptr);
    if (c.escaped) {
      EXPECT_EQ(out, c.escaped);
    }
  }
}

TEST(Depfile, TextHasAPhonyTargetForEachPrerequisite) {
  std::string text, bad;
  ASSERT_TRUE(DepfileText("my page.htm", {"my page.txt", "inc/a.txt"}, text, bad));
  EXPECT_EQ(text, "my\\ page.htm: \\\n my\\ page.txt \\\n inc/a.txt\n\nmy\\ page.txt:\n\ninc/a.txt:\n");
  EXPECT_FALSE(DepfileText("p.htm", {"ok", "new\nline"}, text, bad));
  EXPECT_EQ(bad, "new\nline");
}

TEST(Depfile, MissingFilesGiveTheirNearestQuietFolder) {
  test::TempDir tmp;
  const std::string root = std::filesystem::canonical(tmp.path()).string();
  std::filesystem::create_directories(root + "/site/qdx");
  std::filesystem::create_directories(root + "/bin");
  const std::vector<FileRead> reads = {
      {FileRole::kSource, root + "/site/p.txt", true},
      {FileRole::kRules, root + "/bin/norvelle.ini", false},   // its folder
      {FileRole::kRules, root + "/bin/qdx/x.qdx", false},      // no bin/qdx: bin again, once
      {FileRole::kRules, root + "/site/qdx/x.qdx", false},     // qdx folder
      {FileRole::kInclude, root + "/site/gone.txt", false},    // the page's own folder: never
      {FileRole::kSource, root + "/site/p.txt", true},         // read twice, listed once
  };
  EXPECT_EQ(PrerequisitesOf(reads, root + "/site", {root + "/site/p.htm"}),
            (std::vector<std::string>{"p.txt", root + "/bin", "qdx"}));
}

class Deps : public Cli {};

TEST_F(Deps, WrittenBesideThePageAlsoWhenTheRunReportsErrors) {
  std::filesystem::create_directories(tmp_.File("inc"));
  ASSERT_TRUE(test::WriteBytes(tmp_.File("inc/a.txt"), "part\n"));
  ASSERT_TRUE(test::WriteBytes(tmp_.File("p q.txt"), "|include=inc/a.txt|\n|frob|x\n"));
  const Result r = Run({"--batch", "--deps", "p q.txt"});
  EXPECT_EQ(r.status, kExitErrors);
  const std::string d = test::ReadBytes(tmp_.File("p q.htm.d"));
  EXPECT_EQ(d.rfind("p\\ q.htm: \\\n", 0), 0u) << d;
  EXPECT_NE(d.find(" p\\ q.txt \\\n inc/a.txt\n"), std::string::npos) << d;
}

TEST_F(Deps, StandardOutputTakesTheTargetFromTheFileName) {
  ASSERT_TRUE(test::WriteBytes(tmp_.File("p.txt"), "x\n"));
  Result r = Run({"--batch", "--deps=out/p.htm.d", "-o", "-", "p.txt"});
  EXPECT_EQ(r.status, kExitFatal);  // no folder "out": the page went out, the file could not
  EXPECT_NE(r.err.find("norvelle: out/p.htm.d: No such file or directory"), std::string::npos) << r.err;
  r = Run({"--batch", "--deps=p.htm.d", "-o", "-", "p.txt"});
  EXPECT_EQ(r.status, kExitOk);
  EXPECT_EQ(test::ReadBytes(tmp_.File("p.htm.d")).rfind("p.htm: \\\n", 0), 0u);
}

TEST_F(Deps, OptionsThatDoNotFitAreUsageErrors) {
  ASSERT_TRUE(test::WriteBytes(tmp_.File("a.txt"), "x\n"));
  ASSERT_TRUE(test::WriteBytes(tmp_.File("b.txt"), "x\n"));
  const std::vector<std::string> bad[] = {
      {"--batch", "--deps=", "a.txt"},
      {"--batch", "--deps=x.d", "a.txt", "b.txt"},
      {"--batch", "--deps", "-o", "-", "a.txt"},
      {"--batch", "--deps", "-"},
      {"--watch", "-"},
  };
  for (const auto& args : bad) {
    const Result r = Run(args);
    EXPECT_EQ(r.status, kExitFatal) << args[1];
    EXPECT_EQ(r.err.rfind("norvelle: ", 0), 0u) << r.err;
  }
}

TEST_F(Deps, StrictKeepsTheOldPageAndLeavesNoTemporary) {
  ASSERT_TRUE(test::WriteBytes(tmp_.File("s.txt"), "|frob|x\n"));
  ASSERT_TRUE(test::WriteBytes(tmp_.File("s.htm"), "old page"));
  const Result r = Run({"--batch", "--strict", "s.txt"});
  EXPECT_EQ(r.status, kExitErrors);
  EXPECT_NE(r.err.find("norvelle: s.txt: not written: errors reported (--strict)"), std::string::npos) << r.err;
  EXPECT_EQ(test::ReadBytes(tmp_.File("s.htm")), "old page");
  for (const auto& e : std::filesystem::directory_iterator(tmp_.path()))
    EXPECT_EQ(e.path().filename().string().find(".s.htm"), std::string::npos) << e.path();  // a temporary
  ASSERT_TRUE(test::WriteBytes(tmp_.File("s.txt"), "fixed\n"));
  EXPECT_EQ(Run({"--batch", "--strict", "s.txt"}).status, kExitOk);
  EXPECT_NE(test::ReadBytes(tmp_.File("s.htm")), "old page");
}

}  // namespace
}  // namespace norvelle
