// Characters CP932 lacks, carried through CP932 text and back.
#include "platform/carry.h"

#include <gtest/gtest.h>

#include <string>

namespace norvelle {
namespace {

TEST(CharCarry, TextComesBackAsItWent) {
  const char* cases[] = {
      "plain ASCII \\ ~", "日本語ｶﾀｶﾅ", "café", "note😀", "한국어", "¥ and \\",
      "\uE000 real user-defined, then é",  // never shares a code with a carried one
      "①ⅰ",
  };
  CharCarry carry;
  for (const char* text : cases) {
    SCOPED_TRACE(text);
    std::string cp, back;
    CharCarry::Stats st = carry.TextToCp932(text, cp);
    EXPECT_EQ(st.invalid, 0u);
    carry.ToUtf8(cp, back, false);
    EXPECT_EQ(back, text);
  }
}

TEST(CharCarry, CodesComeFromTheTopOfTheUserDefinedArea) {
  CharCarry carry;
  std::string cp;
  carry.TextToCp932("あé😀é", cp);
  EXPECT_EQ(cp, "\x82\xA0\xF9\xFC\xF9\xFB\xF9\xFC");
  // A user-defined code no carried character holds reads as CP932 says.
  std::string out;
  carry.ToUtf8("\xF0\x40", out, false);
  EXPECT_EQ(out, "\uE000");
}

TEST(CharCarry, InvalidUtf8InTextsAndNames) {
  struct Case {
    std::string in, text, name;
    std::size_t invalid;
  } cases[] = {
      {"a\xFF" "b", "a\uFFFD" "b", "a\xFF" "b", 1},
      {"\xE3\x81", "\uFFFD", "\xE3\x81", 1},         // cut short: one replacement
      {"\xC0\xAF x", "\uFFFD x", "\xC0\xAF x", 1},   // overlong
      {"\xED\xA0\x80", "\uFFFD", "\xED\xA0\x80", 1},  // surrogate
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    CharCarry carry;
    std::string cp, back;
    EXPECT_EQ(carry.TextToCp932(c.in, cp).invalid, c.invalid);
    carry.ToUtf8(cp, back, false);
    EXPECT_EQ(back, c.text);
    carry.NameToCp932(c.in, cp);
    carry.ToUtf8(cp, back, true);
    EXPECT_EQ(back, c.name);
  }
}

TEST(CharCarry, WhenCodesRunOutUFFFDStandsIn) {
  CharCarry carry;
  std::string text;
  for (char32_t c = 0xAC00; c < 0xAC00 + CharCarry::kCodes + 10; ++c) AppendUtf8(text, c);
  std::string cp, back;
  CharCarry::Stats st = carry.TextToCp932(text, cp);
  EXPECT_EQ(st.overflow, 11u);  // the last code is U+FFFD's
  carry.ToUtf8(cp, back, false);
  std::string expected;
  for (char32_t c = 0xAC00; c < 0xAC00 + CharCarry::kCodes - 1; ++c) AppendUtf8(expected, c);
  for (int i = 0; i < 11; ++i) AppendUtf8(expected, CharCarry::kReplacement);
  EXPECT_EQ(back, expected);
}

}  // namespace
}  // namespace norvelle
