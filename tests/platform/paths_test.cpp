// Absolute paths and where the program finds its rule files.
#include "platform/paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace norvelle {
namespace {

struct FoldCase {
  std::string folder;
  std::string path;
  std::string expected;
};

TEST(Paths, FullPathFromFoldsLexically) {
  const FoldCase cases[] = {
      {"/a/b", "c", "/a/b/c"},
      {"/a/b", "./c", "/a/b/c"},
      {"/a/b", "../c", "/a/c"},
      {"/a/b", "..", "/a"},
      {"/a/b", ".", "/a/b"},
      {"/a/b", "", "/a/b"},
      {"/a/b", "c/./d/../e", "/a/b/c/e"},
      {"/a/b", "x//y", "/a/b/x/y"},
      {"/a/b/", "c", "/a/b/c"},
      // ".." above the root stays at the root.
      {"/a/b", "../../../c", "/c"},
      {"/", "..", "/"},
      {"/a", "../..", "/"},
      // Absolute paths ignore the folder and are only folded.
      {"/a/b", "/x/y", "/x/y"},
      {"/a/b", "/x/./y/../z", "/x/z"},
      {"/a/b", "//x", "/x"},
      // Dots that are not a whole component are names.
      {"/a", "x..y", "/a/x..y"},
      {"/a", "...", "/a/..."},
      {"/a", ".hidden/..x", "/a/.hidden/..x"},
      // A trail byte 0x5C is part of its character, not a separator.
      {"/a", "\x95\x5C/..", "/a"},
      {"/a", "\x95\x5C\\b", "/a/\x95\x5C\\b"},
  };
  for (const FoldCase& c : cases) {
    SCOPED_TRACE(c.folder + " + " + c.path);
    EXPECT_EQ(FullPathFrom(c.folder, c.path), c.expected);
  }
}

TEST(Paths, FullPathStartsAtTheCurrentFolder) {
  const std::string cwd = std::filesystem::current_path().string();
  const FoldCase cases[] = {
      {"", "x.txt", cwd + "/x.txt"},
      {"", "sub/../y.txt", cwd + "/y.txt"},
      {"", "./z", cwd + "/z"},
      {"", "/abs/./p", "/abs/p"},
  };
  for (const FoldCase& c : cases) {
    SCOPED_TRACE(c.path);
    std::string out;
    ASSERT_TRUE(FullPath(c.path, out));
    EXPECT_EQ(out, c.expected);
  }
}

struct ProgramCase {
  std::string program;
  std::string rule_file;
  std::string rules_folder;
};

TEST(Paths, RuleFileAndFolderBesideTheProgram) {
  const ProgramCase cases[] = {
      {"/opt/nv/norvelle", "/opt/nv/norvelle.ini", "/opt/nv/qdx"},
      {"/opt/nv/x.bin", "/opt/nv/x.ini", "/opt/nv/qdx"},
      {"/opt/nv/x.tar.gz", "/opt/nv/x.tar.ini", "/opt/nv/qdx"},
      // A dot in a folder name is no extension.
      {"/opt/a.b/norvelle", "/opt/a.b/norvelle.ini", "/opt/a.b/qdx"},
      {"/opt/\x95\x5C/norvelle", "/opt/\x95\x5C/norvelle.ini", "/opt/\x95\x5C/qdx"},
  };
  for (const ProgramCase& c : cases) {
    SCOPED_TRACE(c.program);
    SetProgramPathForTesting(c.program);
    EXPECT_EQ(ProgramPath(), c.program);
    EXPECT_EQ(DefaultRuleFile(), c.rule_file);
    EXPECT_EQ(RulesFolder(), c.rules_folder);
  }
  SetProgramPathForTesting("");
}

TEST(Paths, RealProgramPathIsThisTestBinary) {
  SetProgramPathForTesting("");
  const std::string prog = ProgramPath();
  ASSERT_FALSE(prog.empty());
  EXPECT_EQ(prog[0], '/');
  EXPECT_EQ(std::filesystem::path(prog).filename(), "platform_test");
  EXPECT_TRUE(std::filesystem::is_regular_file(prog));
  // Whichever folder is chosen, the names keep their shape.
  EXPECT_EQ(std::filesystem::path(DefaultRuleFile()).filename(), "platform_test.ini");
  EXPECT_EQ(std::filesystem::path(RulesFolder()).filename(), "qdx");
}

}  // namespace
}  // namespace norvelle
