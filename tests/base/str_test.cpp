#include "base/str.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace norvelle {
namespace {

// Shows CP932 bytes readably in failure traces.
std::string Hex(std::string_view s) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    if (c >= 0x20 && c < 0x7F) {
      out += char(c);
    } else {
      out += "\\x";
      out += kDigits[c >> 4];
      out += kDigits[c & 15];
    }
  }
  return out;
}

// Capacities seen while appending one byte at a time up to `length` bytes.
template <std::uint32_t N>
std::vector<std::uint32_t> CapacitiesWhileAppending(std::uint32_t length) {
  CStr_base<N> s;
  std::vector<std::uint32_t> caps;
  for (std::uint32_t i = 0; i < length; ++i) {
    s.AppendChar('x');
    if (caps.empty() || caps.back() != s.capacity()) caps.push_back(s.capacity());
  }
  return caps;
}

TEST(StrTest, FreshStringOwnsNothing) {
  CStr_base<64> a;
  CStr_base<1024> b;
  EXPECT_EQ(a.length(), 0u);
  EXPECT_EQ(a.capacity(), 0u);
  EXPECT_STREQ(a.c_str(), "");
  // One empty buffer for every string of every instantiation.
  EXPECT_EQ(a.c_str(), b.c_str());
  EXPECT_EQ(a.c_str(), g_shared_empty);

  a.Clear();
  a.AppendChar(0);  // the terminator is not data: nothing to reserve
  a.Append("");
  EXPECT_EQ(a.capacity(), 0u);
  EXPECT_EQ(a.c_str(), g_shared_empty);

  a = "text";
  EXPECT_NE(a.c_str(), g_shared_empty);
  a.Release();
  EXPECT_EQ(a.capacity(), 0u);
  EXPECT_EQ(a.c_str(), g_shared_empty);
  EXPECT_EQ(g_shared_empty[0], 0);
}

TEST(StrTest, AppendingByteByByteFollowsTheStepTable) {
  std::vector<std::uint32_t> caps = CapacitiesWhileAppending<64>(140000);
  // 64-byte steps up to 1024 ...
  std::vector<std::uint32_t> first(caps.begin(), caps.begin() + 17);
  std::vector<std::uint32_t> expect_first;
  for (std::uint32_t c = 64; c <= 1024; c += 64) expect_first.push_back(c);
  expect_first.push_back(1280);  // ... then 256
  EXPECT_EQ(first, expect_first);
  // One byte asks for length + 3: the 62nd byte is the one that grows 64.
  CStr_base<64> s(std::string(61, 'x').c_str());
  EXPECT_EQ(s.capacity(), 64u);
  s.AppendChar('x');
  EXPECT_EQ(s.capacity(), 128u);

  // Each row: a capacity and the one that follows it.
  struct Step { std::uint32_t from, to; };
  const Step steps[] = {
      {960, 1024},     {1024, 1280},    {3840, 4096},    {4096, 5120},
      {15360, 16384},  {16384, 20480},  {61440, 65536},  {65536, 81920},
      {114688, 131072}, {131072, 196608},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.from);
    auto it = std::find(caps.begin(), caps.end(), s.from);
    ASSERT_NE(it, caps.end());
    ASSERT_NE(it + 1, caps.end());
    EXPECT_EQ(*(it + 1), s.to);
  }
}

// Reserving exactly the current capacity grows by the step of that capacity.
template <std::uint32_t N>
std::uint32_t GrownFrom(std::uint32_t cap) {
  CStr_base<N> s;
  s.Reserve(cap);  // from empty, a need above N is taken as it is
  EXPECT_EQ(s.capacity(), cap);
  s.Reserve(cap);
  return s.capacity() - cap;
}

template <std::uint32_t N>
void ExpectStepsAtBounds() {
  SCOPED_TRACE(N);
  // Bounds and steps in units of N: below the bound, then at it.
  struct Row { std::uint32_t bound, below, at; };
  const Row rows[] = {{16, 1, 4}, {64, 4, 16}, {256, 16, 64}, {1024, 64, 256}, {2048, 256, 1024}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.bound);
    EXPECT_EQ(GrownFrom<N>(r.bound * N - 1), r.below * N);
    EXPECT_EQ(GrownFrom<N>(r.bound * N), r.at * N);
  }
}

TEST(StrTest, StepTableBoundaries) {
  ExpectStepsAtBounds<32>();  // 511 grows by 32, 512 by 128, ... 65536 by 32768
  ExpectStepsAtBounds<64>();
  ExpectStepsAtBounds<1024>();
  ExpectStepsAtBounds<16384>();
}

TEST(StrTest, ReserveTakesTheLargerOfNeedAndStep) {
  CStr_base<64> s;
  s.Reserve(3);
  EXPECT_EQ(s.capacity(), 64u);
  s.Reserve(63);  // below capacity: nothing
  EXPECT_EQ(s.capacity(), 64u);
  s.Reserve(64);  // not below: grows
  EXPECT_EQ(s.capacity(), 128u);
  s.Reserve(1000);
  EXPECT_EQ(s.capacity(), 1000u);
  s = "kept";
  s.Clear();  // clearing keeps the allocation
  EXPECT_EQ(s.capacity(), 1000u);
  EXPECT_STREQ(s.c_str(), "");
}

TEST(StrTest, ImpossibleSizeIsABadAllocation) {
  CStr_base<64> s("kept");
  try {
    s.Reserve(std::size_t(1) << 32);
    ADD_FAILURE() << "no throw";
  } catch (const std::bad_alloc& e) {
    EXPECT_STREQ(e.what(), "bad allocation");
  }
  EXPECT_STREQ(s.c_str(), "kept");
  EXPECT_EQ(s.capacity(), 64u);
}

TEST(StrTest, AssignReservesLengthPlusTwo) {
  struct Case { std::size_t length; std::uint32_t capacity; };
  const Case cases[] = {{0, 64}, {3, 64}, {61, 64}, {62, 64}, {63, 65}, {200, 202}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    std::string text(c.length, 'a');
    CStr_base<64> s(text.c_str());
    EXPECT_EQ(s.capacity(), c.capacity);
    CStr_base<64> t;
    t.Assign(s);
    EXPECT_EQ(t.capacity(), c.capacity);
    EXPECT_EQ(t.view(), text);
  }
}

TEST(StrTest, CopiesAreDeepAndSelfPartsSurviveGrowth) {
  CStr_base<64> a("abc");
  CStr_base<64> b(a);
  b.Append("def");
  EXPECT_STREQ(a.c_str(), "abc");
  EXPECT_STREQ(b.c_str(), "abcdef");
  EXPECT_NE(a.c_str(), b.c_str());

  // Appending our own bytes while the buffer moves.
  CStr_base<64> s("0123456789");
  for (int i = 0; i < 5; ++i) s.Append(s.data(), s.length());
  EXPECT_EQ(s.length(), 320u);
  EXPECT_EQ(s.view().substr(310), "0123456789");

  CStr_base<64> r("ab");
  r.AppendRepeat(r.view(), 100);
  EXPECT_EQ(r.length(), 202u);
  EXPECT_EQ(r.view().substr(198), "abab");

  CStr_base<64> t("prefix-tail");
  t.Assign(t.data() + 7, 4);
  EXPECT_STREQ(t.c_str(), "tail");
}

TEST(StrTest, AssignPrefix) {
  struct Case { const char* text; std::size_t size; int n; const char* expect; };
  const Case cases[] = {
      {"abcdef", 6, 3, "abc"}, {"abc", 3, -1, "abc"}, {"abc", 3, 10, "abc"},
      {"ab\0cd", 5, 4, "ab"},  {"abc", 3, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expect);
    CStr_base<64> s("old");
    s.AssignPrefix(c.text, c.n);
    EXPECT_STREQ(s.c_str(), c.expect);
  }
  // Only n bytes are looked at: the text need not be terminated.
  const char unterminated[3] = {'x', 'y', 'z'};
  CStr_base<64> s;
  s.AssignPrefix(unterminated, 2);
  EXPECT_STREQ(s.c_str(), "xy");
}

TEST(StrTest, AtThrowsSignedZeroPastTheLength) {
  CStr_base<64> s("ab");
  EXPECT_EQ(s.At(1), 'b');
  EXPECT_EQ(s.At(2), '\0');
  for (std::uint32_t p : {3u, 100u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(p);
    try {
      s.At(p);
      ADD_FAILURE() << "no throw";
    } catch (int v) {
      EXPECT_EQ(v, 0);
    } catch (...) {
      ADD_FAILURE() << "not a signed int";
    }
  }
  CStr_base<64> empty;
  EXPECT_EQ(empty.At(0), '\0');
  EXPECT_THROW(empty.At(1), int);
}

TEST(StrTest, FindStepsOverDoubleByteCharacters) {
  struct Case { std::string_view hay, needle; int start, expect; };
  const Case cases[] = {
      {"\x82\x41" "A", "A", 0, 2},   // 0x41 as a trail byte is not "A"
      {"\x95\x5C\\", "\\", 0, 2},    // nor 0x5C a backslash
      {"\x82\xA0\x82\xA2", "\x82\xA2", 0, 2},
      {"\x82\xA0\x82\xA2", "\xA0\x82", 0, -1},
      {"abcabc", "c", 3, 5},
      {"abcabc", "abc", 1, 3},
      {"abc", "", 0, 0},
      {"abc", "", 2, 0},
      {"abc", "a", -1, -1},
      {"abc", "d", 0, -1},
      {"abc", "c", 3, -1},
      {"abc", "c", 50, -1},
      {"ab", "abc", 0, -1},
      {"a\x82", "\x82", 0, 1},       // a lead byte at the end stands alone
      {"\xFC\x41\xE0\x41\x9F\x41\x81\x41" "A", "A", 0, 8},  // the edges of the lead ranges
      {"\x80\x41", "A", 0, 1},        // 0x80 and 0xA0 lead nothing
      {"\xA0\x41", "A", 0, 1},
      {"", "a", 0, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Hex(c.hay) + " / " + Hex(c.needle));
    CStr_base<64> s(c.hay);
    EXPECT_EQ(s.Find(c.needle, c.start), c.expect);
  }
}

TEST(StrTest, FindLast) {
  struct Case { std::string_view hay, needle; int expect; };
  const Case cases[] = {
      {"abcabc", "bc", 4},
      {"abcabc", "abc", 3},
      {"A\x82\x41", "A", 0},
      {"\x82\x41\x82\x41", "A", -1},
      {"aaa", "aa", 1},
      {"abc", "x", -1},
      {"", "x", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Hex(c.hay) + " / " + Hex(c.needle));
    EXPECT_EQ(CStr_base<64>(c.hay).FindLast(c.needle), c.expect);
  }
}

TEST(StrTest, ReplaceAll) {
  struct Case { std::string_view text, needle, repl; int count; std::string_view expect; };
  const Case cases[] = {
      {"abab", "ab", "x", 2, "xx"},
      {"aaa", "aa", "b", 1, "ba"},
      {"aa", "a", "abc", 2, "abcabc"},   // the replacement is not scanned again
      {"abc", "", "x", 0, "abc"},
      {"ab", "abc", "x", 0, "ab"},
      {"a.b.c", ".", "", 2, "abc"},
      {"\x82\x41" "A", "A", "b", 1, "\x82\x41" "b"},
      {"\x95\x5C\\", "\\", "/", 1, "\x95\x5C/"},
      {"A\x82", "A", "x", 1, "x\x82"},  // a lone lead byte at the end is kept
      {"", "a", "b", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Hex(c.text) + " / " + Hex(c.needle));
    CStr_base<64> s(c.text);
    EXPECT_EQ(s.Count(c.needle), std::size_t(c.count));
    EXPECT_EQ(s.ReplaceAll(c.needle, c.repl), c.count);
    EXPECT_EQ(s.view(), c.expect);
  }
}

TEST(StrTest, ReplaceAllNeverShrinksTheCapacity) {
  CStr_base<64> s;
  s.Reserve(2000);
  s = "abab";
  EXPECT_EQ(s.ReplaceAll("ab", "x"), 2);
  EXPECT_STREQ(s.c_str(), "xx");
  EXPECT_EQ(s.capacity(), 2000u);
}

TEST(StrTest, CutAfterDir) {
  struct Case { std::string_view path; bool found; std::string_view expect; };
  const Case cases[] = {
      {"C:\\doc\\memo.txt", true, "C:\\doc"},
      {"a/b\\c", true, "a/b"},
      {"a\\b/c", true, "a\\b"},
      {"memo.txt", false, "memo.txt"},
      {"\\", true, ""},
      {"\x95\x5C.txt", false, "\x95\x5C.txt"},           // 表: its 0x5C is a trail byte
      {"dir\\\x95\x5C.txt", true, "dir"},
      {"\x83\x5C\x83\x74\x83\x67\\x", true, "\x83\x5C\x83\x74\x83\x67"},  // ソフト
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Hex(c.path));
    CStr_base<64> s(c.path);
    EXPECT_EQ(s.CutAfterDir(), c.found);
    EXPECT_EQ(s.view(), c.expect);
  }
}

// Pieces of a text with fgets semantics; remembers the largest piece asked for.
class FakeSource : public TextSource {
 public:
  explicit FakeSource(std::string text) : text_(std::move(text)) {}
  std::size_t Gets(char* buf, std::size_t size) override {
    max_size_ = std::max(max_size_, size);
    std::size_t n = 0;
    while (n + 1 < size && pos_ < text_.size()) {
      char c = text_[pos_++];
      buf[n++] = c;
      if (c == '\n') break;
    }
    buf[n] = 0;
    return n;
  }
  std::size_t max_size() const { return max_size_; }

 private:
  std::string text_;
  std::size_t pos_ = 0;
  std::size_t max_size_ = 0;
};

TEST(StrTest, ReadLineJoinsPiecesOfLongLines) {
  const std::string lines[] = {
      std::string(2500, 'x') + "\n",
      std::string(999, 'y') + "\n",   // exactly one piece
      std::string(1000, 'z') + "\n",  // the line feed comes in a second piece
      "\x82\xA0\n",
      "\n",
      "last",                         // no final line feed
  };
  std::string all;
  for (const std::string& l : lines) all += l;
  FakeSource src(all);
  CStr_base<64> s("old");
  for (const std::string& l : lines) {
    SCOPED_TRACE(l.size());
    EXPECT_EQ(s.ReadLine(src), l.size());
    EXPECT_EQ(s.view(), l);
  }
  EXPECT_EQ(s.ReadLine(src), 0u);
  EXPECT_STREQ(s.c_str(), "");
  EXPECT_EQ(src.max_size(), 1001u);  // pieces of at most 1000 bytes
}

TEST(StrTest, ReadAllTakesTheWholeInput) {
  std::string text;
  for (int i = 0; i < 300; ++i) text += std::string(i * 7 % 1500, char('a' + i % 26)) + "\n";
  text += "tail";
  FakeSource src(text);
  CStr_base<16384> s("old");
  EXPECT_EQ(s.ReadAll(src), text.size());
  EXPECT_EQ(s.view(), text);
  EXPECT_EQ(src.max_size(), 1001u);  // pieces of at most 1000 bytes

  FakeSource empty("");
  EXPECT_EQ(s.ReadAll(empty), 0u);
  EXPECT_STREQ(s.c_str(), "");
}

}  // namespace
}  // namespace norvelle
