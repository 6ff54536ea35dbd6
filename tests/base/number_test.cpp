// The number reader and the Shift_JIS-aware character search.
#include "base/number.h"

#include <gtest/gtest.h>

#include <string>

#include "text/dbcs.h"

namespace norvelle {
namespace {

TEST(ReadNumber, DigitsOrScanfWithTheCallersNone) {
  const struct {
    std::string text;
    NumberSyntax syntax;
    long value;
    std::size_t end;  // pos after reading
  } cases[] = {
      {"12b", NumberSyntax::kDigits, 12, 2},
      {"b", NumberSyntax::kDigits, -7, 0},      // none, pos unmoved
      {" 3", NumberSyntax::kDigits, -7, 0},     // no blanks before digits
      {"-3", NumberSyntax::kDigits, -7, 0},     // nor a sign
      {" \t+3x", NumberSyntax::kScanf, 3, 4},
      {"-03", NumberSyntax::kScanf, -3, 3},
      {"- 3", NumberSyntax::kScanf, -7, 0},     // a sign without digits is none
      {"99999999999999999999", NumberSyntax::kDigits, 10 * kNumberCap - 1, 20},  // stops growing
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::size_t pos = 0;
    EXPECT_EQ(ReadNumber(c.text, pos, -7, c.syntax), c.value);
    EXPECT_EQ(pos, c.end);
  }
}

TEST(FindChar, StepsOverDoubleByteCharacters) {
  // 0x95 0x7C is one character whose trail byte equals '|'.
  const std::string text = "a|\x95|b|\x82";
  EXPECT_EQ(FindChar(text, '|'), 1u);
  EXPECT_EQ(FindLastChar(text, '|'), 5u);
  EXPECT_EQ(FindChar(text.substr(2), '|'), 3u);
  EXPECT_EQ(FindLastChar("\x95|", '|'), std::string_view::npos);
  EXPECT_EQ(FindLastChar(text, '\x82'), 6u);  // a lead byte at the end stands alone
  EXPECT_EQ(FindCharIf(text, [](char c) { return c == 'b'; }), 4u);
}

}  // namespace
}  // namespace norvelle
