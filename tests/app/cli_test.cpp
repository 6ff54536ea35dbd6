// The program as a user runs it: options, exit codes, messages on standard
// error, files written or not. Each test runs a copy of the program in a
// fresh folder so that no rule file of the build folder interferes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/cli.h"
#include "app/terminal_host.h"
#include "convert/run.h"
#include "platform/encoding.h"
#include "platform/paths.h"
#include "app/cli_fixture.h"
#include "support/test_support.h"

namespace norvelle {
namespace {

const char kDefaultHead[] =
    "<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n"
    "<html lang=\"ja\">\r\n"
    "<head>\r\n"
    "<META http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">\r\n";

TEST_F(Cli, ConvertsThreeLinesWithDefaultRules) {
  ASSERT_TRUE(test::WriteBytes(tmp_.File("memo.txt"), "a<b & \"c\"\r\nx\ty\r\n\r\n"));
  Result r = Run({"--batch", "memo.txt"});
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(test::ReadBytes(tmp_.File("memo.htm")),
            std::string(kDefaultHead) +
                "<title>memo</title>\r\n</head>\r\n<body>"
                "a&lt;b&nbsp;&amp;&nbsp;&quot;c&quot;<br>\r\n"
                "x&nbsp;&nbsp;&nbsp;y<br>\r\n<br>\r\n"
                "</body>\r\n</html>");
}

TEST_F(Cli, FatalConditionsWriteNothing) {
  struct Case {
    const char* name;
    const char* file;    // created with `content` unless null
    const char* content;
    const char* arg;
    const char* message;
    const char* output;  // must not exist afterwards (null: not checked)
    const char* reason;  // our own line after the report line
  } cases[] = {
      {"same name", "page.htm", "x\n", "page.htm", "変換元ファイル名と変換先ファイル名が同じです", nullptr,
       "page.htm: the output would have the same name as the source"},
      {"same name, other case", "PAGE.HTM", "x\n", "PAGE.HTM", "変換元ファイル名と変換先ファイル名が同じです", nullptr,
       "PAGE.HTM: the output would have the same name as the source"},
      {"missing", nullptr, nullptr, "nothere.txt", "変換元ファイルを開けません", "nothere.htm",
       "nothere.txt: No such file or directory"},
      {"folder", nullptr, nullptr, ".", "変換元ファイルを開けません", nullptr, ".: Is a directory"},
      {"empty", "empty.txt", "", "empty.txt", "変換元ファイルが空です", "empty.htm", "empty.txt: the file is empty"},
      {"only an end-of-file mark", "eof.txt", "\x1A" "abc", "eof.txt", "変換元ファイルが空です", "eof.htm",
       "eof.txt: the file is empty"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.file) {
      ASSERT_TRUE(test::WriteBytes(tmp_.File(c.file), c.content));
    }
    Result r = Run({"--batch", c.arg});
    EXPECT_EQ(r.status, kExitFatal);
    EXPECT_EQ(r.err, std::string(c.message) + "\nnorvelle: " + c.reason + "\n");
    if (c.output) {
      EXPECT_FALSE(test::FileExists(tmp_.File(c.output)));
    }
    if (c.file) {
      EXPECT_EQ(test::ReadBytes(tmp_.File(c.file)), c.content);
    }
  }
}

TEST_F(Cli, ErrorsReportedButOutputWritten) {
  ASSERT_TRUE(test::WriteBytes(tmp_.File("e.txt"), "|frob|x\n|zap|y"));
  Result r = Run({"--batch", "e.txt"});
  EXPECT_EQ(r.status, kExitErrors);
  EXPECT_EQ(r.err,
            "[1]：'frob'認識できない命令です。\n"
            "[2]：'zap'認識できない命令です。\n"
            "2 個のエラーが発生しました\n");
  EXPECT_TRUE(test::FileExists(tmp_.File("e.htm")));
}

TEST_F(Cli, SourcesThatAreNoRegularFilesAreFatal) {
  // Opening a FIFO without a writer would block; a device would be read
  // without end. Both must fail at once.
  ASSERT_EQ(mkfifo(tmp_.File("fifo.txt").c_str(), 0600), 0);
  for (const char* arg : {"fifo.txt", "/dev/zero", "/dev/null", "/tmp"}) {
    SCOPED_TRACE(arg);
    Result r = Run({"--batch", arg});
    EXPECT_EQ(r.status, kExitFatal);
    EXPECT_EQ(r.err.rfind("変換元ファイルを開けません\nnorvelle: ", 0), 0u) << r.err;
  }
  EXPECT_FALSE(test::FileExists(tmp_.File("fifo.htm")));
}

TEST_F(Cli, DocumentPathsThatNameNoFileAreErrors) {
  ASSERT_EQ(mkfifo(tmp_.File("fifo").c_str(), 0600), 0);
  ASSERT_TRUE(test::WriteBytes(tmp_.File("plain"), "HeaderStr=TAKEN\n"));
  ASSERT_EQ(mkdir(tmp_.File("qdx").c_str(), 0700), 0);
  ASSERT_TRUE(test::WriteBytes(tmp_.File("qdx/ok.qdx"), "HeaderStr=OK\n"));
  const std::string nul(1, '\0');
  const struct {
    std::string line;
    const char* error;
  } cases[] = {
      {"|include=/dev/zero|", "を開けません"},
      {"|include=fifo|", "を開けません"},
      {"|include=plain" + nul + "x|", "を開けません"},
      {"|ini|../plain" + nul, "にアクセスできません"},
      {"|ini|ok" + nul, "にアクセスできません"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    ASSERT_TRUE(test::WriteBytes(tmp_.File("d.txt"), c.line + "\nx\n"));
    Result r = Run({"--batch", "d.txt"});
    EXPECT_EQ(r.status, kExitErrors);
    EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
    const std::string out = test::ReadBytes(tmp_.File("d.htm"));
    EXPECT_EQ(out.find("TAKEN"), std::string::npos);
    EXPECT_EQ(out.find("OK"), std::string::npos);
  }
}

TEST_F(Cli, RunawayAutoReplacePatternIsReported) {
  // Four nested lazy runs over a failing tail: about n^4 steps. A short word
  // stays within the budget, a long one breaks it: reported once per element,
  // the element written as if the pattern had not matched.
  ASSERT_TRUE(test::WriteBytes(tmp_.File("norvelle.ini"),
                               "HeaderStr=\nEndStr=\n[AutoReplaceList]\n\t%+j%+j%+j%+jX=R:y\n"
                               "\t%{b%}=R:B\n[EndSection]\n"));
  const std::string shortw(30, 'a'), longw(300, 'a');
  ASSERT_TRUE(test::WriteBytes(tmp_.File("w.txt"), shortw + "\n" + longw + "\n" + longw + "b\n"));
  Result r = Run({"--batch", "w.txt"});
  EXPECT_EQ(r.status, kExitErrors);
  EXPECT_EQ(r.err,
            "[2]：自動置換パターンの照合が打ち切られました\n"
            "[3]：自動置換パターンの照合が打ち切られました\n"
            "2 個のエラーが発生しました\n");
  EXPECT_EQ(test::ReadBytes(tmp_.File("w.htm")),
            shortw + "<br>\r\n" + longw + "<br>\r\n" + longw + "B<br>\r\n");
}

TEST_F(Cli, ExhaustedMemoryIsTheReasonGiven) {
  // An included file of 10 TiB (sparse) cannot be held: the run fails as out
  // of memory and says so, not as a file error.
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "AddressSanitizer ends the process where new would throw";
#endif
  if (test::ReadBytes("/proc/sys/vm/overcommit_memory").substr(0, 1) == "1")
    GTEST_SKIP() << "the system would grant the 10 TiB";
  ASSERT_TRUE(test::WriteBytes(tmp_.File("huge.bin"), ""));
  std::filesystem::resize_file(tmp_.File("huge.bin"), std::uintmax_t(10) << 40);
  const char* documents[] = {"x\n|include=huge.bin|\n", "|title|T\n|include=huge.bin|\n"};
  for (const char* doc : documents) {
    SCOPED_TRACE(doc);
    ASSERT_TRUE(test::WriteBytes(tmp_.File("m.txt"), doc));
    Result r = Run({"--batch", "m.txt"});
    EXPECT_EQ(r.status, kExitFatal);
    EXPECT_EQ(r.err, "メモリが足りないため変換できません\nnorvelle: m.txt: Cannot allocate memory\n");
    EXPECT_FALSE(test::FileExists(tmp_.File("m.htm")));
  }
}

TEST_F(Cli, FullDiskKeepsTheOldOutput) {
  // "ulimit -f" stands in for a full disk: no signal may end the run, the
  // old output stays byte for byte and no temporary file is left.
  ASSERT_TRUE(test::WriteBytes(tmp_.File("big.txt"), std::string(200000, 'x') + "\n"));
  ASSERT_TRUE(test::WriteBytes(tmp_.File("big.htm"), "old\r\n"));
  Result r = Run({"--batch", "big.txt"}, nullptr, "ulimit -f 64");
  EXPECT_EQ(r.status, kExitFatal);
  EXPECT_EQ(r.err, "変換先ファイルを作成できません\nnorvelle: " + tmp_.File("big.htm") + ": File too large\n");
  EXPECT_EQ(test::ReadBytes(tmp_.File("big.htm")), "old\r\n");
  for (const auto& e : std::filesystem::directory_iterator(tmp_.path()))
    EXPECT_EQ(e.path().filename().string().find("norvelle-tmp"), std::string::npos) << e.path();
}

TEST_F(Cli, UnwritableOutputKeepsWhatWasThere) {
  // Over a folder: even root cannot replace it by a file.
  ASSERT_TRUE(test::WriteBytes(tmp_.File("f.txt"), "x\n"));
  ASSERT_EQ(mkdir(tmp_.File("f.htm").c_str(), 0700), 0);
  ASSERT_TRUE(test::WriteBytes(tmp_.File("f.htm/inside"), "i"));
  Result over = Run({"--batch", "f.txt"});
  EXPECT_EQ(over.status, kExitFatal);
  EXPECT_EQ(over.err, "変換先ファイルを作成できません\nnorvelle: " + tmp_.File("f.htm") + ": Is a directory\n");
  EXPECT_EQ(test::ReadBytes(tmp_.File("f.htm/inside")), "i");

  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  ASSERT_EQ(mkdir(tmp_.File("ro").c_str(), 0700), 0);
  ASSERT_TRUE(test::WriteBytes(tmp_.File("ro/a.txt"), "x\n"));
  ASSERT_TRUE(test::WriteBytes(tmp_.File("ro/a.htm"), "old"));
  ASSERT_EQ(chmod(tmp_.File("ro").c_str(), 0555), 0);
  Result r = Run({"--batch", "ro/a.txt"});
  chmod(tmp_.File("ro").c_str(), 0700);
  EXPECT_EQ(r.status, kExitFatal);
  EXPECT_EQ(r.err, "変換先ファイルを作成できません\n");
  EXPECT_EQ(test::ReadBytes(tmp_.File("ro/a.htm")), "old");
}

TEST_F(Cli, JapaneseFileNameGivesCp932Title) {
  const std::string name = "日本語メモ";  // UTF-8 on disk
  ASSERT_TRUE(test::WriteBytes(tmp_.File(name + ".txt"), "x"));
  Result r = Run({"--batch", name + ".txt"});
  EXPECT_EQ(r.status, kExitOk) << r.err;
  std::string title;
  ASSERT_TRUE(Utf8ToCp932("<title>" + name + "</title>", title));
  EXPECT_NE(test::ReadBytes(tmp_.File(name + ".htm")).find(title), std::string::npos);
}

TEST_F(Cli, PathSpellingsNameTheSameFile) {
  ASSERT_TRUE(test::WriteBytes(tmp_.File("my notes.txt"), "x"));
  const std::vector<std::vector<std::string>> spellings = {
      {"my", "notes.txt"},          // words joined by one blank
      {"\"my notes.txt\""},         // quoted
      {"my notes.txt. . "},         // trailing dots and blanks
      {"./sub/../my notes.txt"},    // folded lexically
      {"--", "my notes.txt"},
  };
  for (const auto& words : spellings) {
    SCOPED_TRACE(words[0]);
    std::filesystem::remove(tmp_.File("my notes.htm"));
    std::vector<std::string> args = {"--batch"};
    args.insert(args.end(), words.begin(), words.end());
    Result r = Run(args);
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_TRUE(test::FileExists(tmp_.File("my notes.htm")));
  }
}

TEST_F(Cli, OptionsAndUsage) {
  Result help = Run({"--help"});
  EXPECT_EQ(help.status, kExitOk);
  EXPECT_NE(help.out.find("Usage: norvelle"), std::string::npos);
  Result version = Run({"--version"});
  EXPECT_EQ(version.status, kExitOk);
  EXPECT_EQ(version.out.rfind("norvelle ", 0), 0u);
  Result bad = Run({"--frob", "x.txt"});
  EXPECT_EQ(bad.status, kExitFatal);
  EXPECT_NE(bad.err.find("unknown option"), std::string::npos);
  Result none = Run({});  // the settings dialog needs a display
  EXPECT_EQ(none.status, kExitFatal);
  EXPECT_FALSE(none.err.empty());
}

TEST_F(Cli, WithoutDisplayConvertsInBatchMode) {
  ASSERT_TRUE(test::WriteBytes(tmp_.File("d.txt"), "x"));
  Result r = Run({"d.txt"});
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_TRUE(test::FileExists(tmp_.File("d.htm")));
}

// A page with characters CP932 has and lacks ("@"), a C++ listing whose
// comment holds Japanese, and an auto-replace word.
std::string Page(const std::string& at) {
  std::string page =
      "|h1|Title @\n"
      "日本語のテキスト@ ABC\n"
      "|cppsrc|\n"
      "// コメント@\n"
      "int x;\n"
      "|endcppsrc|\n"
      "end\n";
  for (std::size_t p; (p = page.find('@')) != std::string::npos;) page.replace(p, 1, at);
  return page;
}

std::size_t Erase(std::string& s, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t p; (p = s.find(what)) != std::string::npos; ++n) s.erase(p, what.size());
  return n;
}

TEST_F(Cli, Utf8PageComesBackCharacterForCharacter) {
  ASSERT_TRUE(test::WriteBytes(tmp_.File("norvelle.ini"), "[AutoReplaceList]\n\tABC=M:<b>%1</b>\n[EndSection]\n"));
  const std::string foreign = "é😀한국어";
  std::string sjis;
  ASSERT_TRUE(Utf8ToCp932(Page(""), sjis));
  const std::pair<const char*, std::string> files[] = {
      {"full", "\xEF\xBB\xBF" + Page(foreign)}, {"plain", Page("")}, {"sjis", sjis}};
  for (const auto& [dir, bytes] : files) {
    std::filesystem::create_directory(tmp_.File(dir));
    ASSERT_TRUE(test::WriteBytes(tmp_.File(std::string(dir) + "/page.txt"), bytes));
  }
  for (auto args : {std::vector<std::string>{"-e", "utf-8", "full/page.txt"},
                    {"--encoding=utf-8", "plain/page.txt"}, {"sjis/page.txt"}}) {
    Result r = Run(args);
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.err, "");
  }
  std::string full = test::ReadBytes(tmp_.File("full/page.htm"));
  std::string plain = test::ReadBytes(tmp_.File("plain/page.htm"));
  EXPECT_NE(plain.find("charset=UTF-8"), std::string::npos);
  EXPECT_NE(plain.find("<b>ABC</b>"), std::string::npos);
  EXPECT_NE(plain.find("int"), std::string::npos);  // the line after the comment
  EXPECT_EQ(Erase(full, foreign), 3u);
  EXPECT_EQ(full, plain);
  std::string expected;
  ASSERT_TRUE(Utf8ToCp932(plain, expected));
  Erase(expected, "UTF-8");
  std::string got = test::ReadBytes(tmp_.File("sjis/page.htm"));
  Erase(got, "Shift_JIS");
  EXPECT_EQ(got, expected);
}

TEST_F(Cli, InvalidUtf8IsReportedWithItsLine) {
  ASSERT_TRUE(test::WriteBytes(tmp_.File("bad.txt"), "ok\n\xFF" "bad\nfine\n"));
  Result r = Run({"--batch", "-e", "utf-8", "bad.txt"});
  EXPECT_EQ(r.status, kExitErrors);
  EXPECT_EQ(r.err, "[2]：UTF-8として正しくないバイト列をU+FFFDに置き換えました\n1 個のエラーが発生しました\n");
  EXPECT_NE(test::ReadBytes(tmp_.File("bad.htm")).find("\uFFFD" "bad<br>"), std::string::npos);
}

TEST_F(Cli, Utf8PageIncludesUtf8Files) {
  ASSERT_TRUE(test::WriteBytes(tmp_.File("part.html"), "<p>é한😀</p>\n"));
  ASSERT_TRUE(test::WriteBytes(tmp_.File("inc.txt"), "|include=part.html|\n"));
  Result r = Run({"--batch", "-e", "utf-8", "inc.txt"});
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_NE(test::ReadBytes(tmp_.File("inc.htm")).find("<p>é한😀</p>\r\n"), std::string::npos);
}

TEST_F(Cli, HintForUtf8ReadAsCp932) {
  const struct {
    const char* file;
    std::string bytes;
    bool hint;
  } cases[] = {
      {"utf8.txt", "日本語\nabc\né\n", true},
      {"bom.txt", "\xEF\xBB\xBF" "abc\n", true},
      // half-width katakana: the first line happens to be valid UTF-8
      {"kana.txt", "\xC3\xBD\n\xB1\xB2\xB3\n\xC4\xDE\n", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    ASSERT_TRUE(test::WriteBytes(tmp_.File(c.file), c.bytes));
    Result r = Run({"--batch", c.file});
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_EQ(r.err, c.hint ? "norvelle: " + std::string(c.file) +
                                  " looks like UTF-8 text; convert it with --encoding=utf-8\n"
                            : "");
  }
}

TEST_F(Cli, NamesCp932CannotSpell) {
  const struct {
    const char* stem;
    const char* encoding;
    const char* title;
  } cases[] = {
      {"café", "cp932", "caf&#233;"},
      {"note😀", "cp932", "note&#128512;"},
      {"한국어", "cp932", "&#54620;&#44397;&#50612;"},
      {"caf\xE9", "cp932", "caf&#65533;"},  // not even UTF-8
      {"한국어", "utf-8", "한국어"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stem);
    const std::string stem = c.stem;
    ASSERT_TRUE(test::WriteBytes(tmp_.File(stem + ".txt"), "x"));
    Result r = Run({"--batch", "-e", c.encoding, stem + ".txt"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_NE(test::ReadBytes(tmp_.File(stem + ".htm")).find("<title>" + std::string(c.title) + "</title>"),
              std::string::npos);
  }
}

TEST_F(Cli, SeveralFilesInTurnWorstStatus) {
  ASSERT_TRUE(test::WriteBytes(tmp_.File("a.txt"), "x"));
  ASSERT_TRUE(test::WriteBytes(tmp_.File("b.txt"), "|frob|x"));
  ASSERT_TRUE(test::WriteBytes(tmp_.File("c.txt"), ""));
  Result r = Run({"--batch", "a.txt", "b.txt", "c.txt"});
  EXPECT_EQ(r.status, kExitFatal);
  EXPECT_EQ(r.err,
            "b.txt: [1]：'frob'認識できない命令です。\n"
            "b.txt: 1 個のエラーが発生しました\n"
            "c.txt: 変換元ファイルが空です\n"
            "norvelle: c.txt: the file is empty\n");
  EXPECT_TRUE(test::FileExists(tmp_.File("a.htm")));
  EXPECT_TRUE(test::FileExists(tmp_.File("b.htm")));
  // Words whose joined text names a file stay one path.
  ASSERT_TRUE(test::WriteBytes(tmp_.File("a"), "x"));
  ASSERT_TRUE(test::WriteBytes(tmp_.File("a b.txt"), "x"));
  std::filesystem::remove(tmp_.File("b.htm"));
  EXPECT_EQ(Run({"--batch", "a", "b.txt"}).status, kExitOk);
  EXPECT_TRUE(test::FileExists(tmp_.File("a b.htm")));
  EXPECT_FALSE(test::FileExists(tmp_.File("b.htm")));
}

TEST_F(Cli, StandardInputAndOutput) {
  const std::string in = "é\n";
  Result piped = Run({"-e", "utf-8", "-"}, &in);
  EXPECT_EQ(piped.status, kExitOk) << piped.err;
  EXPECT_NE(piped.out.find("<title>stdin</title>"), std::string::npos);
  EXPECT_NE(piped.out.find("é<br>\r\n"), std::string::npos);
  Result named = Run({"-", "-o", "piped.htm"}, &in);
  EXPECT_EQ(named.status, kExitOk) << named.err;
  EXPECT_NE(test::ReadBytes(tmp_.File("piped.htm")).find("<title>piped</title>"), std::string::npos);
  ASSERT_TRUE(test::WriteBytes(tmp_.File("s.txt"), "a\tb\n"));
  ASSERT_EQ(Run({"s.txt"}).status, kExitOk);
  Result out = Run({"-o", "-", "s.txt"});
  EXPECT_EQ(out.status, kExitOk) << out.err;
  EXPECT_EQ(out.out, test::ReadBytes(tmp_.File("s.htm")));
  Result nodir = Run({"--output=nodir/x.htm", "s.txt"});
  EXPECT_EQ(nodir.status, kExitFatal);
  EXPECT_EQ(nodir.err, "変換先ファイルを作成できません\nnorvelle: nodir/x.htm: No such file or directory\n");
}

// The profile from the command line or from the rule; the charset follows
// the page's encoding.
TEST_F(Cli, Html5ProfileByOptionOrRule) {
  ASSERT_TRUE(test::WriteBytes(tmp_.File("a.txt"), "|center|x"));
  const struct {
    const char* ini;
    std::vector<std::string> args;
    std::vector<const char*> has;
  } cases[] = {
      {"", {"a.txt"}, {"<!DOCTYPE html PUBLIC", "<center>x</center>"}},
      {"", {"--html5", "a.txt"}, {"<!DOCTYPE html>\r\n", "<meta charset=\"Shift_JIS\">", "<div class=\"nv-center\">x</div>"}},
      {"", {"--html5", "-e", "utf-8", "a.txt"}, {"<meta charset=\"UTF-8\">"}},
      {"OutputProfile=html5\nHtmlLang=en\n", {"a.txt"}, {"<html lang=\"en\">", "<div class=\"nv-center\">"}},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(test::WriteBytes(tmp_.File("norvelle.ini"), c.ini));
    Result r = Run(c.args);
    EXPECT_EQ(r.status, kExitOk) << r.err;
    const std::string page = test::ReadBytes(tmp_.File("a.htm"));
    for (const char* h : c.has) EXPECT_NE(page.find(h), std::string::npos) << h << " in\n" << page;
  }
}

TEST_F(Cli, UsageErrorsAreOneLine) {
  ASSERT_TRUE(test::WriteBytes(tmp_.File("a.txt"), "x"));
  ASSERT_TRUE(test::WriteBytes(tmp_.File("b.txt"), "x"));
  const struct {
    std::vector<std::string> args;
    const char* error;
  } cases[] = {
      {{"-x", "a.txt"}, "unknown option '-x'"},
      {{"-qx", "a.txt"}, "unknown option '-x'"},
      {{"--frob=1", "a.txt"}, "unknown option '--frob'"},
      {{"--w", "a.txt"}, "option '--w' is ambiguous (--watch, --window, --write)"},
      {{"--strict=yes", "a.txt"}, "option '--strict' takes no value"},
      {{"--html5=yes", "a.txt"}, "option '--html5' takes no value"},
      {{"a.txt", "-o"}, "option '-o' needs an argument"},
      {{"a.txt", "--rules"}, "option '--rules' needs an argument"},
      {{"--diagnostics=xml", "a.txt"}, "unknown diagnostics format 'xml' (plain or gnu)"},
      {{"--batch", "--window", "a.txt"}, "options '--batch' and '--window' exclude each other"},
      {{"-e", "latin1", "a.txt"}, "unknown encoding 'latin1' (cp932, utf-8 or auto)"},
      {{"-o", "x.htm", "a.txt", "b.txt"}, "option '-o' takes exactly one input file"},
      {{"-q"}, "no file to convert"},
      {{"--preview", "a.txt", "b.txt"}, "option '--preview' takes exactly one file"},
      {{"--preview", "-e", "utf-8", "a.txt"}, "option '--preview' does not go with '-e' other than cp932"},
      {{"--preview", "--strict", "a.txt"}, "option '--preview' does not go with '--strict'"},
      {{"--preview", "-o", "x.htm", "a.txt"}, "option '--preview' does not go with '-o'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    Result r = Run(c.args);
    EXPECT_EQ(r.status, kExitFatal);
    EXPECT_EQ(r.err, "norvelle: " + std::string(c.error) + " (Try 'norvelle --help')\n");
  }
  EXPECT_EQ(Run({"-V"}).out.rfind("norvelle ", 0), 0u);
  EXPECT_NE(Run({"-h"}).out.find("--encoding"), std::string::npos);
}

TEST_F(Cli, NamedRulesBesideTheDocument) {
  std::filesystem::create_directories(tmp_.File("docs/qdx"));
  ASSERT_TRUE(test::WriteBytes(tmp_.File("docs/qdx/site.qdx"), "HeaderStr=<site>\nEndStr=</site>\n"));
  ASSERT_TRUE(test::WriteBytes(tmp_.File("docs/page.txt"), "|ini|site\nx"));
  Result r = Run({"--batch", "docs/page.txt"});
  EXPECT_EQ(r.status, kExitOk) << r.err;
  std::string html = test::ReadBytes(tmp_.File("docs/page.htm"));
  EXPECT_EQ(html.rfind("<site>", 0), 0u) << html;
  EXPECT_EQ(html.substr(html.size() - 7), "</site>");
}

TEST(JobTest, CancelStopsTheRest) {
  test::TempDir tmp;
  SetProgramPathForTesting(tmp.File("norvelle"));
  Job job;
  for (const char* name : {"c1.txt", "c2.txt"}) {
    ASSERT_TRUE(test::WriteBytes(tmp.File(name), "a\n"));
    job.inputs.push_back(tmp.File(name));
  }
  std::FILE* sink = std::tmpfile();
  TerminalHost host(sink, false);
  TerminalHost::RequestCancel();
  EXPECT_EQ(RunJob(host, job, [](NoteKind, const std::string&) {}), RunOutcome::kCancelled);
  TerminalHost::ResetCancel();
  EXPECT_FALSE(test::FileExists(tmp.File("c1.htm")));
  EXPECT_FALSE(test::FileExists(tmp.File("c2.htm")));
  std::fclose(sink);
  SetProgramPathForTesting("");
}

TEST(CommandLineParsing, ModesAndJoinedPath) {
  struct Case {
    std::vector<std::string> args;
    Mode mode;
    std::string path;
  } cases[] = {
      {{}, Mode::kSettings, ""},
      {{"  "}, Mode::kSettings, ""},
      {{"--batch", "a", "b"}, Mode::kConvertBatch, "a b"},
      {{"--batch", "--", "--help"}, Mode::kConvertBatch, "--help"},
      {{"--version", "x"}, Mode::kVersion, ""},
      {{"--batch"}, Mode::kUsageError, ""},
      {{"-q", "--batch", "-", "-e", "utf-8"}, Mode::kConvertBatch, "-"},
      {{"-ofile.htm", "--batch", "--", "-x"}, Mode::kConvertBatch, "-x"},
      {{"-x"}, Mode::kUsageError, ""},
      {{"-qve", "utf-8", "--batch", "a"}, Mode::kConvertBatch, "a"},      // bundled, value after
      {{"--enc=auto", "--verb", "--bat", "a", "b"}, Mode::kConvertBatch, "a b"},  // shortened
      {{"a", "--batch", "--", "-q", "b"}, Mode::kConvertBatch, "a -q b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    CommandLine cl = ParseCommandLine(c.args);
    EXPECT_EQ(cl.mode, c.mode);
    EXPECT_EQ(cl.path, c.path);
  }
}

TEST(TerminalHostTest, CancelStopsTheRunAndWritesNothing) {
  test::TempDir tmp;
  SetProgramPathForTesting(tmp.File("norvelle"));
  ASSERT_TRUE(test::WriteBytes(tmp.File("c.txt"), "a\nb\n"));
  std::FILE* sink = std::tmpfile();
  TerminalHost host(sink, false);
  TerminalHost::RequestCancel();
  EXPECT_EQ(Convert(host, tmp.File("c.txt")), RunOutcome::kCancelled);
  TerminalHost::ResetCancel();
  EXPECT_FALSE(test::FileExists(tmp.File("c.htm")));
  std::fclose(sink);
  SetProgramPathForTesting("");
}

}  // namespace
}  // namespace norvelle
