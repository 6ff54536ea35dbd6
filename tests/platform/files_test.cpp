// Text-mode files: reading (CR LF -> LF, 0x1A ends the text), fgets-sized
// pieces, writing (LF -> CR LF) by atomic replacement, modification times.
#include "platform/files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <random>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace norvelle {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

std::vector<std::string> FolderEntries(const std::string& dir) {
  std::vector<std::string> names;
  for (auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// Everything a reader gives, piece by piece, with the piece sizes.
std::string ReadAllPieces(TextFileReader& r, std::size_t size, std::vector<std::size_t>* sizes) {
  std::string all;
  std::vector<char> buf(size + 1, '#');
  for (;;) {
    std::size_t n = r.Gets(buf.data(), size);
    if (n == 0) break;
    EXPECT_LE(n, size - 1);
    EXPECT_EQ(buf[n], '\0');
    all.append(buf.data(), n);
    if (sizes) sizes->push_back(n);
  }
  return all;
}

struct TextCase {
  std::string name;
  std::string file;
  std::string text;
};

std::vector<TextCase> TextCases() {
  const std::string block(65535, 'x');  // one byte short of the reader's buffer
  return {
      {"empty", "", ""},
      {"crlf", "a\r\nb\r\n", "a\nb\n"},
      {"lone cr kept", "a\rb", "a\rb"},
      {"cr before crlf", "a\r\r\nb", "a\r\nb"},
      {"cr at end", "abc\r", "abc\r"},
      {"lf cr", "a\n\rb", "a\n\rb"},
      {"empty lines", "\r\n\r\n", "\n\n"},
      {"eof byte ends text", "ab\x1A" "cd\r\n", "ab"},
      {"eof byte first", "\x1A" "abc", ""},
      {"cr then eof byte", "a\r\x1A\nb", "a\r"},
      {"nul kept", std::string("a\0b\r\n", 5), std::string("a\0b\n", 4)},
      {"double-byte trail 0x5C", "\x95\x5C\r\n", "\x95\x5C\n"},
      {"crlf across buffer", block + "\r\n" + "y", block + "\n" + "y"},
      {"crlf after buffer", block + "x\r\ny", block + "x\ny"},
      {"cr lf before buffer end", block.substr(1) + "\r\nyz", block.substr(1) + "\nyz"},
      {"lone cr at buffer end", block + "\r" + "z", block + "\r" + "z"},
      {"cr at buffer end, then eof byte", block + "\r\x1A\n", block + "\r"},
      {"eof byte after buffer", block + "abc\x1A" "tail", block + "abc"},
  };
}

TEST(ReadTextFile, TextMode) {
  TempDir dir;
  for (const TextCase& c : TextCases()) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(WriteBytes(dir.File("t.txt"), c.file));
    std::string out = "left over";
    ASSERT_TRUE(ReadTextFile(dir.File("t.txt"), out));
    EXPECT_EQ(out, c.text);
  }
}

// The rule of text mode, byte by byte.
std::string TextModeRule(const std::string& bytes) {
  const std::string text = bytes.substr(0, bytes.find('\x1A'));
  std::string want;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) want += text[i];
  return want;
}

// Large files are read in two halves, each put in text mode by its own
// thread: CR LF across the cut, a lone CR before it, a 0x1A in either half
// or right at the cut, and a first half that shrinks (its CR LFs) or not.
TEST(ReadTextFile, LargeFilesReadInHalves) {
  TempDir dir;
  const std::size_t size = std::size_t(6) << 20, half = size / 2;
  struct Case {
    const char* name;
    char before, at;     // the bytes at half - 1 and half
    std::size_t eof;     // where a 0x1A goes; size: none
    bool crlf_lines;     // lines end in CR LF (each half shrinks) or in LF
  } cases[] = {
      {"CR LF across the cut", '\r', '\n', size, false},
      {"CR LF across the cut, CR LF lines", '\r', '\n', size, true},
      {"a lone CR before the cut", '\r', 'a', size, true},
      {"0x1A in the second half", '\r', '\n', half + 10, true},
      {"0x1A at the cut", '\r', '\n', half, true},
      {"0x1A in the first half", '\r', '\n', 10, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bytes(size, 'a');
    for (std::size_t i = 100; i < size; i += 1000) {
      bytes[i] = '\n';
      if (c.crlf_lines) bytes[i - 1] = '\r';
    }
    bytes[half - 1] = c.before;
    bytes[half] = c.at;
    if (c.eof < size) bytes[c.eof] = '\x1A';
    ASSERT_TRUE(WriteBytes(dir.File("big.txt"), bytes));
    const std::string want = TextModeRule(bytes);
    std::string out;
    ASSERT_TRUE(ReadTextFile(dir.File("big.txt"), out));
    EXPECT_EQ(out.size(), want.size());
    EXPECT_TRUE(out == want);
  }
}

// The first half's scan may reach the cut in whole blocks after a CR LF:
// the byte after it (the second half's first, here a lone CR) is never taken
// for one of its own. The CR LF near the start, so that the first half takes
// longer than the second half's read.
TEST(ReadTextFile, FirstHalfEndsAtTheCut) {
  TempDir dir;
  const std::size_t size = (std::size_t(1) << 20) + 4, half = size / 2;
  for (std::size_t at : {1, 17, 2, 18}) {  // the cut 16 * k bytes after the LF, or not
    SCOPED_TRACE(at);
    std::string bytes(size, 'a');
    bytes.replace(at, 2, "\r\n");
    bytes[half] = '\r';
    ASSERT_TRUE(WriteBytes(dir.File("big.txt"), bytes));
    std::string out;
    ASSERT_TRUE(ReadTextFile(dir.File("big.txt"), out));
    EXPECT_TRUE(out == TextModeRule(bytes));
  }
}

// Against the rule itself, on texts where CR, LF and 0x1A fall at every
// place of the 16-byte steps.
TEST(ReadTextFile, TextModeAgainstTheRule) {
  TempDir dir;
  std::mt19937 random(12);
  for (int round = 0; round < 200; ++round) {
    std::string bytes;
    const int size = int(random() % 300);
    for (int i = 0; i < size; ++i) bytes += "ab\r\n\r\x82 "[random() % 8];
    if (round % 4 == 0 && size > 0) bytes[random() % size] = '\x1A';
    const std::string want = TextModeRule(bytes);
    ASSERT_TRUE(WriteBytes(dir.File("t.txt"), bytes));
    std::string out;
    ASSERT_TRUE(ReadTextFile(dir.File("t.txt"), out));
    ASSERT_EQ(out, want) << round;
  }
}

TEST(ReadTextFile, FailsForWhatIsNoReadableFile) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("folder"));
  using std::errc;
  const struct {
    std::string path;
    errc why;
  } cases[] = {
      {dir.File("missing.txt"), errc::no_such_file_or_directory},
      {dir.File("folder"), errc::is_a_directory},
      {"", errc::no_such_file_or_directory},
      {dir.File("bad\x82"), errc::no_such_file_or_directory},  // a name that is no CP932 text
      {dir.File("fifo"), errc::invalid_argument},                // no writer: opening must not wait
      {"/dev/zero", errc::invalid_argument},                     // a device that never ends
      {dir.File("plain.txt") + std::string(1, '\0') + ".qdx", errc::no_such_file_or_directory},  // a NUL ends nothing silently
      {dir.File("plain.txt") + std::string(1, '\0'), errc::no_such_file_or_directory},
  };
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
  ASSERT_TRUE(WriteBytes(dir.File("plain.txt"), "text"));
  for (const auto& c : cases) {
    const std::string& p = c.path;
    SCOPED_TRACE(p);
    std::string out;
    EXPECT_FALSE(ReadTextFile(p, out));
    EXPECT_EQ(ReadText(p, out), c.why);
    TextFileReader reader(p);
    EXPECT_FALSE(reader.is_open());
    char buf[8];
    EXPECT_EQ(reader.Gets(buf, sizeof buf), 0u);
  }
}

TEST(ReadTextFile, NulInTheNameIsRefusedEverywhere) {
  TempDir dir;
  const std::string plain = dir.File("plain.txt");
  ASSERT_TRUE(WriteBytes(plain, "text"));
  const std::string cut = plain + std::string(1, '\0') + ".htm";
  std::time_t t;
  EXPECT_FALSE(FileModTime(cut, t));
  EXPECT_FALSE(CanCreateFile(cut));
  EXPECT_FALSE(WriteTextFile(cut, {"new"}));
  EXPECT_EQ(ReadBytes(plain), "text");
}

TEST(TextFileReader, ReadsOnlyWhatWasThereWhenOpened) {
  // A file that grows while read (a log, or the output written over its own
  // source) must not make the read endless.
  TempDir dir;
  const std::string path = dir.File("grows.txt");
  ASSERT_TRUE(WriteBytes(path, "first\n"));
  TextFileReader reader(path);
  ASSERT_TRUE(reader.is_open());
  {
    FILE* f = std::fopen(path.c_str(), "ab");
    ASSERT_NE(f, nullptr);
    std::fputs("second\n", f);
    std::fclose(f);
  }
  EXPECT_EQ(ReadAllPieces(reader, 100, nullptr), "first\n");
}

TEST(ReadTextFile, Cp932NameIsTheUtf8FileOnDisk) {
  TempDir dir;
  ASSERT_TRUE(WriteBytes(dir.path() + "/\xE8\xA1\xA8.txt", "x\r\n"));
  std::string out;
  ASSERT_TRUE(ReadTextFile(dir.path() + "/\x95\x5C.txt", out));
  EXPECT_EQ(out, "x\n");
}

TEST(TextFileReader, GivesTheSameTextAsReadTextFile) {
  TempDir dir;
  for (const TextCase& c : TextCases()) {
    for (std::size_t size : {2u, 3u, 1001u, 70000u}) {
      SCOPED_TRACE(c.name + " size " + std::to_string(size));
      ASSERT_TRUE(WriteBytes(dir.File("t.txt"), c.file));
      TextFileReader reader(dir.File("t.txt"));
      ASSERT_TRUE(reader.is_open());
      EXPECT_EQ(ReadAllPieces(reader, size, nullptr), c.text);
    }
  }
}

TEST(TextFileReader, PiecesFollowFgets) {
  TempDir dir;
  struct Case {
    std::string file;
    std::size_t size;
    std::vector<std::string> pieces;
  };
  const Case cases[] = {
      {"ab\r\ncd\nef", 100, {"ab\n", "cd\n", "ef"}},
      // At most size - 1 bytes; a line feed ends a piece.
      {"ab\r\ncd\nef", 3, {"ab", "\n", "cd", "\n", "ef"}},
      {"abc\r\n", 4, {"abc", "\n"}},
      {"abc\r\n", 5, {"abc\n"}},
      {"\n\n", 100, {"\n", "\n"}},
      {"a\rb\n", 100, {"a\rb\n"}},
      {std::string("a\0b\n", 4), 100, {std::string("a\0b\n", 4)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file + " size " + std::to_string(c.size));
    ASSERT_TRUE(WriteBytes(dir.File("t.txt"), c.file));
    TextFileReader reader(dir.File("t.txt"));
    std::vector<char> buf(c.size);
    std::vector<std::string> got;
    for (std::size_t n; (n = reader.Gets(buf.data(), c.size)) != 0;) got.emplace_back(buf.data(), n);
    EXPECT_EQ(got, c.pieces);
    EXPECT_EQ(reader.Gets(buf.data(), c.size), 0u);  // stays at the end
  }
}

TEST(TextFileReader, LongLineComesInFullPieces) {
  TempDir dir;
  const std::string line(150000, 'q');
  ASSERT_TRUE(WriteBytes(dir.File("t.txt"), line + "\r\nz"));
  TextFileReader reader(dir.File("t.txt"));
  std::vector<std::size_t> sizes;
  EXPECT_EQ(ReadAllPieces(reader, 1001, &sizes), line + "\nz");
  // 150 pieces of 1000 bytes, the line feed alone, then "z".
  ASSERT_EQ(sizes.size(), 152u);
  for (std::size_t i = 0; i < 150; ++i) EXPECT_EQ(sizes[i], 1000u) << i;
  EXPECT_EQ(sizes[150], 1u);
  EXPECT_EQ(sizes[151], 1u);
}

TEST(WriteTextFile, LineFeedsBecomeCrLf) {
  TempDir dir;
  const std::string big(3 << 20, 'm');  // larger than the writer's buffer
  // Line feeds at every place of a 16-byte step, alone and in runs.
  std::string mixed, mixed_bytes;
  for (int i = 0; i < 2000; ++i) {
    const char c = "\nab\n\ncdefg\rhij\n"[(i * 7) % 16];
    mixed += c;
    if (c == '\n') mixed_bytes += '\r';
    mixed_bytes += c;
  }
  struct Case {
    std::string name;
    std::vector<std::string> pieces;
    std::string bytes;
  };
  const Case cases[] = {
      {"nothing", {}, ""},
      {"pieces in order", {"a\nb", "", "c\n"}, "a\r\nbc\r\n"},
      {"crlf gets another cr", {"a\r\nb"}, "a\r\r\nb"},
      {"only line feeds", {"\n\n"}, "\r\n\r\n"},
      {"nul kept", {std::string("a\0b", 3)}, std::string("a\0b", 3)},
      {"big piece between small ones", {"head\n", big, "\ntail"}, "head\r\n" + big + "\r\ntail"},
      {"line feeds everywhere", {mixed, mixed}, mixed_bytes + mixed_bytes},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string_view> views(c.pieces.begin(), c.pieces.end());
    ASSERT_TRUE(WriteTextFile(dir.File("out.htm"), views));
    EXPECT_EQ(ReadBytes(dir.File("out.htm")), c.bytes);
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"out.htm"});
  }
}

TEST(WriteTextFile, ManyLinesAcrossTheBuffer) {
  TempDir dir;
  std::string text, bytes;
  for (int i = 0; i < 400000; ++i) {
    text += "line\n";
    bytes += "line\r\n";
  }
  ASSERT_TRUE(WriteTextFile(dir.File("out.htm"), {text}));
  EXPECT_EQ(ReadBytes(dir.File("out.htm")), bytes);
}

TEST(WriteTextFile, ReplacesTheTargetAndKeepsItsMode) {
  TempDir dir;
  const std::string target = dir.File("out.htm");
  ASSERT_TRUE(WriteBytes(target, "old contents that are longer"));
  ASSERT_EQ(chmod(target.c_str(), 0640), 0);
  ASSERT_TRUE(WriteTextFile(target, {"new\n"}));
  EXPECT_EQ(ReadBytes(target), "new\r\n");
  struct stat st;
  ASSERT_EQ(stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"out.htm"});
}

TEST(WriteTextFile, NewFileGetsTheModeOfAPlainCreate) {
  TempDir dir;
  mode_t mask = umask(022);
  ASSERT_TRUE(WriteTextFile(dir.File("new.htm"), {"x"}));
  umask(mask);
  struct stat st;
  ASSERT_EQ(stat(dir.File("new.htm").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST(WriteTextFile, Cp932Name) {
  TempDir dir;
  ASSERT_TRUE(WriteTextFile(dir.path() + "/\x95\x5C.htm", {"a\n"}));
  EXPECT_EQ(ReadBytes(dir.path() + "/\xE8\xA1\xA8.htm"), "a\r\n");
  EXPECT_FALSE(WriteTextFile(dir.path() + "/bad\x82", {"a"}));
  EXPECT_FALSE(WriteTextFile("", {"a"}));
  EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"\xE8\xA1\xA8.htm"});
}

TEST(WriteTextFile, LongestNamesTheFolderAllows) {
  // A name any plain create accepts must be writable, however little room it
  // leaves for a temporary name beside it.
  TempDir dir;
  for (std::size_t length : {200u, 249u, 252u, 255u}) {
    SCOPED_TRACE(length);
    const std::string name = std::string(length - 4, 'n') + ".htm";
    ASSERT_TRUE(WriteTextFile(dir.File(name), {"x\n"}));
    EXPECT_EQ(ReadBytes(dir.File(name)), "x\r\n");
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{name});
    std::filesystem::remove(dir.File(name));
  }
}

TEST(WriteTextFile, RelativeTargetInTheCurrentFolder) {
  TempDir dir;
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  const bool ok = WriteTextFile("rel.htm", {"r\n"});
  std::filesystem::current_path(cwd);
  ASSERT_TRUE(ok);
  EXPECT_EQ(ReadBytes(dir.File("rel.htm")), "r\r\n");
  EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"rel.htm"});
}

TEST(WriteTextFile, FailureKeepsWhatWasThere) {
  TempDir dir;
  // The target's folder does not exist.
  EXPECT_FALSE(WriteTextFile(dir.File("no/such/out.htm"), {"x\n"}));
  EXPECT_TRUE(FolderEntries(dir.path()).empty());
  // The target is a folder: it stays one, and no temporary file is left.
  std::filesystem::create_directory(dir.File("out.htm"));
  ASSERT_TRUE(WriteBytes(dir.File("out.htm/inner.txt"), "keep"));
  EXPECT_FALSE(WriteTextFile(dir.File("out.htm"), {"x\n"}));
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("out.htm")));
  EXPECT_EQ(ReadBytes(dir.File("out.htm/inner.txt")), "keep");
  EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"out.htm"});
  std::filesystem::create_directory(dir.File("empty.htm"));
  EXPECT_FALSE(WriteTextFile(dir.File("empty.htm"), {"x\n"}));
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("empty.htm")));
  EXPECT_EQ(FolderEntries(dir.path()), (std::vector<std::string>{"empty.htm", "out.htm"}));
}

// A large old file is replaced whole, or kept whole when the producer fails
// after the writer's second thread has started.
TEST(WriteTextFile, LargeOldFileReplacedOrKept) {
  TempDir dir;
  const std::string old_bytes(std::size_t(3) << 20, 'o');
  const std::string piece(std::size_t(1) << 20, 'n');
  for (bool fail : {false, true}) {
    SCOPED_TRACE(fail);
    ASSERT_TRUE(WriteBytes(dir.File("big.htm"), old_bytes));
    const bool ok = WriteTextFileFrom(dir.File("big.htm"), [&](const TextPut& put) {
      for (int i = 0; i < 2; ++i)
        if (!put(piece)) return false;
      return !fail;
    });
    EXPECT_EQ(ok, !fail);
    EXPECT_TRUE(ReadBytes(dir.File("big.htm")) == (fail ? old_bytes : piece + piece));
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"big.htm"});
  }
}

TEST(WriteTextFile, ReadOnlyFolderKeepsTheOldFile) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  TempDir dir;
  std::filesystem::create_directory(dir.File("ro"));
  ASSERT_TRUE(WriteBytes(dir.File("ro/out.htm"), "old"));
  ASSERT_EQ(chmod(dir.File("ro").c_str(), 0555), 0);
  EXPECT_FALSE(WriteTextFile(dir.File("ro/out.htm"), {"new\n"}));
  EXPECT_EQ(ReadBytes(dir.File("ro/out.htm")), "old");
  EXPECT_EQ(FolderEntries(dir.File("ro")), std::vector<std::string>{"out.htm"});
  EXPECT_FALSE(CanCreateFile(dir.File("ro/other.htm")));
}

TEST(CanCreateFile, NeedsAWritableFolder) {
  TempDir dir;
  EXPECT_TRUE(CanCreateFile(dir.File("x.htm")));
  EXPECT_FALSE(CanCreateFile(dir.File("no/such/x.htm")));
}

TEST(FileModTime, ReadsTheModificationTime) {
  TempDir dir;
  ASSERT_TRUE(WriteBytes(dir.File("t.txt"), "x"));
  const std::time_t stamps[] = {0, 951782400, 1700000000};
  for (std::time_t stamp : stamps) {
    SCOPED_TRACE(stamp);
    struct timeval tv[2] = {{stamp, 0}, {stamp, 0}};
    ASSERT_EQ(utimes(dir.File("t.txt").c_str(), tv), 0);
    std::time_t t = -1;
    ASSERT_TRUE(FileModTime(dir.File("t.txt"), t));
    EXPECT_EQ(t, stamp);
  }
  std::time_t t = 42;
  EXPECT_FALSE(FileModTime(dir.File("missing"), t));
  EXPECT_EQ(t, 42);
}

}  // namespace
}  // namespace norvelle

namespace norvelle {
namespace {

// Writing a name that is a symbolic link writes the file it points to and
// keeps the link, as opening the name for writing would.
TEST(WriteTextFile, WritesThroughASymbolicLink) {
  test::TempDir tmp;
  ASSERT_TRUE(test::WriteBytes(tmp.File("real.htm"), "old"));
  ASSERT_EQ(::symlink("real.htm", tmp.File("link.htm").c_str()), 0);
  ASSERT_TRUE(WriteTextFile(tmp.File("link.htm"), {"new\n"}));
  EXPECT_EQ(test::ReadBytes(tmp.File("real.htm")), "new\r\n");
  struct stat st;
  ASSERT_EQ(::lstat(tmp.File("link.htm").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST(MakeFolders, CreatesMissingParentsAndAcceptsExisting) {
  TempDir dir;
  const std::string deep = dir.File("a/b/c");
  EXPECT_TRUE(MakeFolders(deep));
  EXPECT_TRUE(std::filesystem::is_directory(deep));
  EXPECT_TRUE(MakeFolders(deep));  // already there
  ASSERT_TRUE(WriteBytes(dir.File("file"), "x"));
  EXPECT_FALSE(MakeFolders(dir.File("file")));  // a file is in the way
  EXPECT_FALSE(MakeFolders(dir.File("file/sub")));
  EXPECT_FALSE(MakeFolders(""));
}

// Runs f in a child process and returns its wait status.
int InChild(const std::function<int()>& f) {
  const pid_t pid = fork();
  if (pid == 0) _exit(f());
  int status = 0;
  waitpid(pid, &status, 0);
  return status;
}

std::string TempMark(pid_t pid) { return ".norvelle-tmp-" + std::to_string(pid) + "-"; }

TEST(WriteTextFile, FileSizeLimitFailsAndKeepsTheOldFile) {
  // A full disk seen as "ulimit -f": the write must fail, not kill the process.
  TempDir dir;
  const std::string target = dir.File("t.htm");
  ASSERT_TRUE(WriteBytes(target, "old"));
  for (std::size_t size : {std::size_t(100), std::size_t(100000), std::size_t(3) << 20}) {
    SCOPED_TRACE(size);
    const int status = InChild([&] {
      const rlimit limit{8192, 8192};
      setrlimit(RLIMIT_FSIZE, &limit);
      const bool ok = WriteTextFile(target, {std::string(size, 'x')});
      if (!ok && errno != EFBIG) return 4;  // the reason reaches the caller
      struct sigaction now {};
      sigaction(SIGXFSZ, nullptr, &now);
      if (now.sa_handler != SIG_DFL) return 3;  // the limit's signal is restored
      return ok ? 0 : 1;
    });
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), size < 8192 ? 0 : 1);
    EXPECT_EQ(ReadBytes(target), size < 8192 ? std::string(size, 'x') : "old");
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"t.htm"});
    ASSERT_TRUE(WriteBytes(target, "old"));
  }
}

// Sets a file's times two minutes back: older than a writer's start-up.
void MakeOld(const std::string& path) {
  const timeval old[2] = {{std::time(nullptr) - 120, 0}, {std::time(nullptr) - 120, 0}};
  ASSERT_EQ(utimes(path.c_str(), old), 0);
}

TEST(WriteTextFile, RemovesOldTemporaryFilesNoWriterHolds) {
  TempDir dir;
  const pid_t other = getppid();  // the pid in the name no longer matters
  const std::vector<std::string> stale = {
      ".a.htm" + TempMark(other) + "abcdef",
      ".x" + TempMark(other) + "y" + TempMark(1) + "Zz09_a",  // the last mark counts
  };
  std::vector<std::string> kept = {
      ".b.htm" + TempMark(other) + "abcdef",  // held: a live writer, perhaps in another namespace
      ".c.htm" + TempMark(other) + "abcdef",  // fresh: its writer may not hold it yet
      ".norvelle-ABCDEF",                       // an older program's: no writer known
      "c.htm" + TempMark(other) + "abcdef",    // not hidden: not ours
      ".d.htm" + TempMark(other) + "abc",      // not six random characters
      ".e.htm.norvelle-tmp-x-abcdef",
      "out.htm",
  };
  for (const auto& n : stale) ASSERT_TRUE(WriteBytes(dir.File(n), "s"));
  for (const auto& n : kept) ASSERT_TRUE(WriteBytes(dir.File(n), "k"));
  for (const auto& n : stale) MakeOld(dir.File(n));
  for (const auto& n : kept)
    if (n.find(".c.htm") != 0) MakeOld(dir.File(n));
  const int held = open(dir.File(kept[0]).c_str(), O_RDONLY);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  ASSERT_TRUE(WriteTextFile(dir.File("out.htm"), {"new"}));
  close(held);
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(FolderEntries(dir.path()), kept);
  // Once per folder: a later write leaves a newly stale file for the next process.
  MakeOld(dir.File(".c.htm" + TempMark(other) + "abcdef"));
  ASSERT_TRUE(WriteTextFile(dir.File("out.htm"), {"newer"}));
  EXPECT_EQ(FolderEntries(dir.path()), kept);
}

// Starts a child that writes `bytes` into target, waits until its temporary
// file exists, sends it `sig` and returns its wait status. *seen tells
// whether the temporary file was seen before the child ended.
int SignalDuringWrite(const TempDir& dir, const std::string& target, std::size_t bytes, int sig,
                      bool* seen) {
  const pid_t pid = fork();
  if (pid == 0) {
    signal(SIGINT, SIG_DFL);
    const std::string piece(bytes / 8, 'x');
    _exit(WriteTextFile(target, {piece, piece, piece, piece, piece, piece, piece, piece}) ? 0 : 1);
  }
  *seen = false;
  int status = 0;
  for (int i = 0; i < 20000 && !*seen; ++i) {
    if (waitpid(pid, &status, WNOHANG) == pid) return status;
    for (const std::string& n : FolderEntries(dir.path()))
      if (n.find(TempMark(pid)) != std::string::npos) *seen = true;
    if (!*seen) usleep(500);
  }
  kill(pid, sig);
  waitpid(pid, &status, 0);
  return status;
}

TEST(WriteTextFile, InterruptedWriteLeavesNoTemporaryFile) {
  // SIGINT waits until the new file is in place; the target is then old or
  // complete, never partial, and no temporary file is left.
  TempDir dir;
  const std::string target = dir.File("big.htm");
  ASSERT_TRUE(WriteBytes(target, "old"));
  const std::size_t bytes = std::size_t(256) << 20;
  bool seen = false;
  const int status = SignalDuringWrite(dir, target, bytes, SIGINT, &seen);
  EXPECT_TRUE(WIFSIGNALED(status) || WIFEXITED(status));
  if (WIFSIGNALED(status)) {
    EXPECT_EQ(WTERMSIG(status), SIGINT);
  }
  EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"big.htm"});
  const auto size = std::filesystem::file_size(target);
  EXPECT_TRUE(size == 3 || size == bytes) << size;
}

TEST(WriteTextFile, KilledWritersTemporaryFileIsNamedAndRemovedLater) {
  TempDir dir;
  const std::string target = dir.File("big.htm");
  ASSERT_TRUE(WriteBytes(target, "old"));
  bool seen = false;
  const int status = SignalDuringWrite(dir, target, std::size_t(256) << 20, SIGKILL, &seen);
  if (!seen) GTEST_SKIP() << "the write ended before its temporary file was seen";
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(ReadBytes(target), "old");
  const auto left = FolderEntries(dir.path());
  ASSERT_EQ(left.size(), 2u);
  EXPECT_EQ(left[0].rfind(".big.htm.norvelle-tmp-", 0), 0u) << left[0];
  MakeOld(dir.File(left[0]));
  ASSERT_TRUE(WriteTextFile(dir.File("other.htm"), {"o"}));
  EXPECT_EQ(FolderEntries(dir.path()), (std::vector<std::string>{"big.htm", "other.htm"}));
}

}  // namespace
}  // namespace norvelle
