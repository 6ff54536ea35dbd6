// CP932 <-> UTF-8 at the program's boundaries: file names, messages, dialogs.
#include "platform/encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace norvelle {
namespace {

struct Pair {
  std::string cp932;
  std::string utf8;
};

// Characters whose CP932 form differs from plain Shift_JIS, or whose trail
// byte equals an ASCII syntax character, are the ones most easily broken.
const Pair kPairs[] = {
    {"", ""},
    {"abc 123", "abc 123"},
    {"\x82\xA0", "\xE3\x81\x82"},                 // hiragana a
    {"\x95\x5C", "\xE8\xA1\xA8"},                 // trail byte 0x5C
    {"\x83\x5C", "\xE3\x82\xBD"},                 // katakana so, trail byte 0x5C
    {"\x83\x7C", "\xE3\x83\x9D"},                 // katakana po, trail byte 0x7C
    {"\\", "\\"},                                 // backslash stays a backslash
    {"~", "~"},
    {"\xB1", "\xEF\xBD\xB1"},                     // half-width katakana a
    {"\x81\x60", "\xEF\xBD\x9E"},                 // wave dash maps to full-width tilde
    {"\x87\x40", "\xE2\x91\xA0"},                 // circled one (NEC row 13)
    {"a\x95\x5C/b.txt", "a\xE8\xA1\xA8/b.txt"},
};

TEST(Encoding, Cp932ToUtf8Converts) {
  for (const Pair& p : kPairs) {
    SCOPED_TRACE(p.utf8);
    std::string out = "left over";
    ASSERT_TRUE(Cp932ToUtf8(p.cp932, out));
    EXPECT_EQ(out, p.utf8);
    EXPECT_EQ(Cp932ToUtf8Lossy(p.cp932), p.utf8);
  }
}

TEST(Encoding, Utf8ToCp932Converts) {
  for (const Pair& p : kPairs) {
    SCOPED_TRACE(p.utf8);
    std::string out = "left over";
    ASSERT_TRUE(Utf8ToCp932(p.utf8, out));
    EXPECT_EQ(out, p.cp932);
  }
}

TEST(Encoding, InvalidInputFails) {
  const std::string bad_cp932[] = {
      "\x82",       // lead byte with no trail byte
      "ab\x95",     // the same at the end of a longer text
      "\x82\x20x",  // a blank is no trail byte
  };
  for (const std::string& in : bad_cp932) {
    SCOPED_TRACE(in);
    std::string out;
    EXPECT_FALSE(Cp932ToUtf8(in, out));
  }
  const std::string bad_utf8[] = {
      "\xFF",              // never valid in UTF-8
      "\xE3\x81",          // truncated sequence
      "\xF0\x9F\x98\x80",  // valid, but no CP932 character for it
  };
  for (const std::string& in : bad_utf8) {
    SCOPED_TRACE(in);
    std::string out;
    EXPECT_FALSE(Utf8ToCp932(in, out));
  }
}

TEST(Encoding, LossyReplacesOnlyTheBadBytes) {
  const std::string kFffd = "\xEF\xBF\xBD";
  const Pair cases[] = {
      {"a\x82", "a" + kFffd},
      {"\x82\x20x", kFffd + " x"},
      {"\x82\xA0\x82", "\xE3\x81\x82" + kFffd},
  };
  for (const Pair& c : cases) {
    SCOPED_TRACE(c.utf8);
    EXPECT_EQ(Cp932ToUtf8Lossy(c.cp932), c.utf8);
  }
}

TEST(Encoding, LongTextsCrossTheConversionBuffer) {
  // Many times the size of any internal buffer, with odd offsets so that a
  // character straddles every buffer boundary somewhere.
  std::string cp932 = "x", utf8 = "x";
  for (int i = 0; i < 20000; ++i) {
    cp932 += "\x95\x5C" "a";
    utf8 += "\xE8\xA1\xA8" "a";
  }
  std::string out;
  ASSERT_TRUE(Cp932ToUtf8(cp932, out));
  EXPECT_EQ(out, utf8);
  ASSERT_TRUE(Utf8ToCp932(utf8, out));
  EXPECT_EQ(out, cp932);
  EXPECT_EQ(Cp932ToUtf8Lossy(cp932 + "\x82"), utf8 + "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace norvelle
