// The UTF-8 hint: most lines with bytes above 0x7F must be valid UTF-8.
#include "app/job.h"

#include <gtest/gtest.h>

#include <string>

namespace norvelle {
namespace {

TEST(LooksLikeUtf8, MostHighLinesDecide) {
  const std::string utf8 = "\xE6\x97\xA5\xE6\x9C\xAC";  // two characters in UTF-8
  const std::string sjis = "\x93\xFA\x96\x7B";          // the same in CP932
  const std::string ascii(20, 'a');                     // past one eight-byte step
  const struct {
    const char* name;
    std::string text;
    bool expected;
  } cases[] = {
      {"ascii only", ascii + "\n" + ascii, false},
      {"utf-8 after ascii", ascii + utf8 + "\n", true},
      {"cp932 after ascii", ascii + sjis + "\n", false},
      {"ascii lines do not count", ascii + "\n" + ascii + "\n" + utf8, true},
      {"two of three", utf8 + "\n" + sjis + "\n" + ascii + utf8, true},
      {"one of two is no majority", utf8 + "\n" + ascii + sjis, false},
      {"invalid after valid", ascii + utf8 + sjis + "\n" + utf8, false},
      {"empty lines", "\n\n\n" + utf8 + "\n\n", true},
      {"byte order mark", "\xEF\xBB\xBF" + sjis, true},
      {"empty", "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(LooksLikeUtf8(c.text), c.expected);
  }
}

}  // namespace
}  // namespace norvelle
