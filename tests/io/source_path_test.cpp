// Names around a conversion: output path, same-name check, title, cleaned-up
// command-line paths and paths named inside the document.
#include "io/source_path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace norvelle {
namespace {

struct Case {
  std::string in;
  std::string out;
};

TEST(SourcePath, OutputPathReplacesTheLastExtension) {
  const Case cases[] = {
      {"/a.b/readme", "/a.b/readme.htm"},
      {"notes.txt", "notes.htm"},
      {"x.tar.gz", "x.tar.htm"},
      {"/d/x.tar.gz", "/d/x.tar.htm"},
      {"/d/readme", "/d/readme.htm"},
      {"/d.e/f.g/readme", "/d.e/f.g/readme.htm"},
      {"/d/a.", "/d/a.htm"},
      {"/d/.profile", "/d/.htm"},
      {"/d/page.htm", "/d/page.htm"},
      {"/d/\x95\x5C.txt", "/d/\x95\x5C.htm"},
      {"/d/\x95\x5C", "/d/\x95\x5C.htm"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(OutputPathFor(c.in), c.out);
  }
}

TEST(SourcePath, SameFileNameIgnoresCaseOfSingleBytesOnly) {
  struct SameCase {
    std::string a, b;
    bool same;
  };
  const SameCase cases[] = {
      {"/d/page.htm", "/d/page.htm", true},
      {"/d/page.htm", "/d/PAGE.HTM", true},
      {"/D/Page.Htm", "/d/pAGE.hTM", true},
      {"/d/a.htm", "/d/b.htm", false},
      {"/d/a.htm", "/d/a.htm ", false},
      {"", "", true},
      {"[", "{", false},
      {"@", "`", false},
      // Double-byte characters compare exactly: a trail byte in a..z is not
      // folded (katakana a is 83 41, small ya is 83 61).
      {"\x83\x41", "\x83\x41", true},
      {"\x83\x61", "\x83\x41", false},
      {"a\x83\x61.htm", "A\x83\x61.HTM", true},
      {"a\x83\x61.htm", "A\x83\x41.HTM", false},
      // Full-width letters are not single bytes either.
      {"\x82\x60", "\x82\x81", false},
  };
  for (const SameCase& c : cases) {
    SCOPED_TRACE(c.a + " | " + c.b);
    EXPECT_EQ(SameFileName(c.a, c.b), c.same);
    EXPECT_EQ(SameFileName(c.b, c.a), c.same);
  }
}

TEST(SourcePath, DefaultTitleIsTheNameWithoutExtension) {
  const Case cases[] = {
      {"/d/memo.txt", "memo"},
      {"/d/x.tar.gz", "x.tar"},
      {"/a.b/readme.txt", "readme"},
      {"C:\\doc\\memo.txt", "memo"},
      {"/d/\x95\x5C.txt", "\x95\x5C"},
      // The trail byte 0x5C is no folder separator.
      {"/d/\x95\x5C" "abc.txt", "\x95\x5C" "abc"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(DefaultTitle(c.in), c.out);
  }
}

TEST(SourcePath, CleanPathQuotesTrailingBlanksAndDots) {
  struct CleanCase {
    std::string text;
    std::string folder;
    std::string out;
  };
  const std::string cwd = std::filesystem::current_path().string();
  const CleanCase cases[] = {
      {"/d/a.txt", "", "/d/a.txt"},
      {"\"/d/a b.txt\"", "", "/d/a b.txt"},
      {"/d/a.txt  ", "", "/d/a.txt"},
      {"/d/a.txt...", "", "/d/a.txt"},
      {"/d/a.txt. . ", "", "/d/a.txt"},
      {"/d/x/./y/../a.txt", "", "/d/x/a.txt"},
      {"a.txt", "", cwd + "/a.txt"},
      {"\"a.txt\"", "", cwd + "/a.txt"},
      // Relative to a given folder.
      {"a.txt", "/d", "/d/a.txt"},
      {"../a.txt", "/d/e", "/d/a.txt"},
      {"\"a.txt\"", "/d", "/d/a.txt"},
      {"/abs/a.txt", "/d", "/abs/a.txt"},
      {"\x95\x5C.txt", "/d", "/d/\x95\x5C.txt"},
  };
  for (const CleanCase& c : cases) {
    SCOPED_TRACE(c.text + " in " + c.folder);
    EXPECT_EQ(CleanPath(c.text, c.folder), c.out);
  }
}

TEST(SourcePath, FolderOf) {
  const Case cases[] = {
      {"/d/a.txt", "/d"},
      {"/d/e/", "/d/e"},
      {"/a.txt", "/"},
      {"a.txt", ""},
      {"C:\\d\\a.txt", "C:\\d"},
      {"/d/\x95\x5C", "/d"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(FolderOf(c.in), c.out);
  }
}

TEST(SourcePath, DocumentPathTurnsBackslashesButNotTrailBytes) {
  const Case cases[] = {
      {"a\\b\\c.txt", "a/b/c.txt"},
      {"..\\x", "../x"},
      {"\\", "/"},
      {"a/b", "a/b"},
      {"\x95\x5C", "\x95\x5C"},
      {"\x95\x5C\\x", "\x95\x5C/x"},
      {"\\\x95\x5C\\", "/\x95\x5C/"},
      {"\x83\x5C\x83\x5C", "\x83\x5C\x83\x5C"},
      {"a\x95", "a\x95"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(DocumentPath(c.in), c.out);
  }
}

}  // namespace
}  // namespace norvelle
