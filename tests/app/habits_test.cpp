// The command line as a Linux user meets it: a conversion typed in a
// terminal stays there, several words with a missing file, rules and
// encodings from the command line, report lines for editors.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "app/cli_fixture.h"
#include "app/exit_status.h"

extern char** environ;

namespace norvelle {
namespace {

class Habits : public Cli {};

// The program with standard error on a pseudo-terminal and a display that
// cannot be reached: only a conversion in the terminal can succeed.
TEST_F(Habits, TypedInATerminalConvertsThere) {
  ASSERT_TRUE(test::WriteBytes(tmp_.File("t.txt"), "|frob|x\n"));
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const std::string slave = ptsname(master);
  const std::string cmd = "cd " + Quote(tmp_.path()) + " && env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY=:97 " + Quote(bin_) + " t.txt 2>" +
                          Quote(slave) + " </dev/null >/dev/null";
  const int raw = std::system(cmd.c_str());
  EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, kExitErrors);
  std::string seen;
  char buf[4096];
  fcntl(master, F_SETFL, O_NONBLOCK);
  for (ssize_t n; (n = read(master, buf, sizeof buf)) > 0;) seen.append(buf, std::size_t(n));
  close(master);
  EXPECT_NE(seen.find("'frob'"), std::string::npos) << seen;
  EXPECT_TRUE(test::FileExists(tmp_.File("t.htm")));
}

TEST_F(Habits, WordsThatNameNoFileFailOneByOne) {
  ASSERT_TRUE(test::WriteBytes(tmp_.File("a.txt"), "x\n"));
  const Result r = Run({"--batch", "a.txt", "nothere.txt"});
  EXPECT_EQ(r.status, kExitFatal);
  EXPECT_TRUE(test::FileExists(tmp_.File("a.htm")));
  EXPECT_NE(r.err.find("norvelle: nothere.txt: No such file or directory"), std::string::npos) << r.err;
  // No word names a file: one name with a blank, as always.
  EXPECT_NE(Run({"--batch", "my", "notes.txt"}).err.find("norvelle: my notes.txt: No such file"), std::string::npos);
}

TEST_F(Habits, RulesVerboseAndEditorLines) {
  ASSERT_TRUE(test::WriteBytes(tmp_.File("r.ini"), "HeaderStr=<mine>\nEndStr=</mine>\n"));
  ASSERT_TRUE(test::WriteBytes(tmp_.File("e.txt"), "ok\n|frob|x\n"));
  Result r = Run({"--batch", "-v", "--rules", "r.ini", "--diagnostics=gnu", "e.txt"});
  EXPECT_EQ(r.status, kExitErrors);
  EXPECT_EQ(test::ReadBytes(tmp_.File("e.htm")).rfind("<mine>", 0), 0u);
  EXPECT_NE(r.err.find("e.txt:2: 'frob'認識できない命令です。\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("norvelle: e.txt -> e.htm (rules: " + tmp_.File("r.ini") + ")\n"), std::string::npos) << r.err;
  r = Run({"--batch", "--rules=gone.ini", "e.txt"});
  EXPECT_EQ(r.status, kExitFatal);
  EXPECT_EQ(r.err, "norvelle: gone.ini: No such file or directory\n");
}

TEST_F(Habits, AutoEncodingAndUtf8RuleFiles) {
  // A rule file marked as UTF-8, with characters Shift_JIS has and lacks.
  ASSERT_TRUE(test::WriteBytes(tmp_.File("u.ini"), "\xEF\xBB\xBF" "HeaderStr=\xC2\xA9 Caf\xC3\xA9 \xE6\x97\xA5\nEndStr=\n"));
  ASSERT_TRUE(test::WriteBytes(tmp_.File("utf.txt"), "caf\xC3\xA9\n"));
  ASSERT_TRUE(test::WriteBytes(tmp_.File("sjis.txt"), "\x93\xfa\x96\x7b\n"));  // 日本 in Shift_JIS
  const struct {
    const char* doc;
    const char* page;
    const char* starts;
  } cases[] = {
      {"utf.txt", "utf.htm", "\xC2\xA9 Caf\xC3\xA9 \xE6\x97\xA5" "caf\xC3\xA9"},
      {"sjis.txt", "sjis.htm", "&#169; Caf&#233; \x93\xfa" "\x93\xfa\x96\x7b"},
  };
  for (const auto& c : cases) {
    const Result r = Run({"--batch", "-e", "auto", "--rules=u.ini", c.doc});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(test::ReadBytes(tmp_.File(c.page)).rfind(c.starts, 0), 0u) << test::ReadBytes(tmp_.File(c.page));
  }
  // Without -e, the UTF-8 document gets its hint; -q keeps it quiet.
  EXPECT_NE(Run({"--batch", "utf.txt"}).err.find("looks like UTF-8"), std::string::npos);
  EXPECT_EQ(Run({"--batch", "-q", "utf.txt"}).err, "");
}

}  // namespace
}  // namespace norvelle
