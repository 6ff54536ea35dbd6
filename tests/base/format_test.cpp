#include "base/format.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>

namespace norvelle {
namespace {

// Both targets must give what the C library gives for the same conversion.
#define EXPECT_PRINTF(fmt, ...)                                         \
  do {                                                                  \
    SCOPED_TRACE(fmt);                                                  \
    char expect[2048];                                                  \
    const char* c_fmt = fmt; /* flags the compiler would warn about */  \
    std::snprintf(expect, sizeof expect, c_fmt, __VA_ARGS__);           \
    CStr_base<64> small("old");                                         \
    Format(small, fmt, __VA_ARGS__);                                    \
    EXPECT_STREQ(small.c_str(), expect);                                \
    EXPECT_EQ(small.length(), std::strlen(expect));                     \
    CStr_base<1024> large;                                              \
    Format(large, fmt, __VA_ARGS__);                                    \
    EXPECT_STREQ(large.c_str(), expect);                                \
  } while (0)

template <std::uint32_t N = 64, class... Args>
std::string Fmt(const char* fmt, Args... args) {
  CStr_base<N> out("previous content");
  Format(out, fmt, args...);
  return std::string(out.view());
}

TEST(FormatTest, IntegersAsTheCLibrary) {
  EXPECT_PRINTF("%d|%i", 0, -1);
  EXPECT_PRINTF("%d", INT_MIN);
  EXPECT_PRINTF("%+d|% d|%+ d", 5, 5, 5);
  EXPECT_PRINTF("[%5d][%-5d][%05d][%-05d]", 42, 42, -42, 42);
  EXPECT_PRINTF("[%.3d][%8.3d][%-8.3d][%08.3d]", 7, -7, 7, 7);
  EXPECT_PRINTF("[%.0d][%.d][%5.0d]", 0, 0, 0);
  EXPECT_PRINTF("%u|%x|%X|%o", -1, 255, 255, 8);
  EXPECT_PRINTF("%#x|%#X|%#o|%#5x", 255, 255, 8, 1);
  EXPECT_PRINTF("%hd|%hu|%hx", 70000, -1, 0x12345);
  EXPECT_PRINTF("[%c][%5c][%-3c]", 'A', 'b', 'c');
  EXPECT_PRINTF("[%*d][%-*d]", 6, 42, 6, 42);
  EXPECT_PRINTF("[%*d]", -6, 42);  // a negative "*" width means "-"
  EXPECT_PRINTF("[%.*d][%*.*d]", 4, 42, 7, 3, 42);
  EXPECT_PRINTF("[%.*d][%.*d]", -1, 0, -3, 42);  // a negative "*" precision is none
  EXPECT_PRINTF("[%600d]", 1);                   // longer than any stack buffer
}

TEST(FormatTest, LongIntegersAre32Bit) {
  // "l" is read and then ignored: the argument is a 32-bit int.
  EXPECT_EQ(Fmt("%ld|%lu|%lx|%5li", -3, 4, 255, 7), "-3|4|ff|    7");
  // Repeated flags mean nothing more than one of each.
  EXPECT_EQ(Fmt("[%--++00  --++00  5d]", 3), "[+3   ]");
}

TEST(FormatTest, FloatingAsTheCLibrary) {
  EXPECT_PRINTF("%f|%e|%E|%g|%G", 3.14159, 3.14159, 31415.9, 0.0001, 1e-10);
  EXPECT_PRINTF("[%.2f][%10.3e][%-+10.2f][%010.1f]", 2.345, 12345.678, 1.5, -2.25);
  EXPECT_PRINTF("[%#g][%#.0f][% .3g]", 1.0, 2.0, 1234567.0);
  EXPECT_PRINTF("[%*.*f]", 12, 3, 1.0 / 3);
  EXPECT_PRINTF("%f", 1e300);  // 300 digits before the point
  EXPECT_PRINTF("%f", -1.7976931348623157e308);
  EXPECT_PRINTF("%.400f", 1.0 / 3);
  // C has no "hf"; "lf" is "f".
  EXPECT_EQ(Fmt("%lf|%hf|%le", 1.5, 1.5, 1.5), Fmt("%f|%f|%e", 1.5, 1.5, 1.5));
}

TEST(FormatTest, StringsAreHandledByteWise) {
  struct Case { const char* fmt; const char* arg; const char* expect; };
  const Case cases[] = {
      {"[%s]\n", "Header", "[Header]\n"},
      {"%5s", "ab", "   ab"},
      {"%-5s", "ab", "ab   "},
      {"%05s", "ab", "000ab"},
      {"%-05s", "ab", "ab   "},
      {"%2s", "abc", "abc"},
      {"%.3s", "abcdef", "abc"},
      {"%.0s", "abc", ""},
      {"%.s", "abc", ""},
      {"%.10s", "abc", "abc"},
      {"%5.1s", "abc", "  abc"},  // a width that pads wins over the precision
      // The precision never splits a double-byte character.
      {"%.4s", "abc\x82\xA0z", "abc"},
      {"%.5s", "abc\x82\xA0z", "abc\x82\xA0"},
      {"%.1s", "\x82\xA0", ""},
      {"%.3s", "\x95\x5C\x95\x5C", "\x95\x5C"},
      {"%s", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fmt);
    EXPECT_EQ(Fmt(c.fmt, c.arg), c.expect);
    EXPECT_EQ(Fmt<1024>(c.fmt, c.arg), c.expect);
  }
  // The width is the "*" value as given; a negative one pads nothing.
  EXPECT_EQ(Fmt("[%*s]", 4, "ab"), "[  ab]");
  EXPECT_EQ(Fmt("[%*s]", -4, "ab"), "[ab]");
  EXPECT_EQ(Fmt("[%.*s]", 2, "abc"), "[ab]");
}

TEST(FormatTest, FormatsTheSystemUses) {
  EXPECT_EQ(Fmt("%04d/%02d/%02d", 2007, 3, 9), "2007/03/09");
  EXPECT_EQ(Fmt("%02d:%02d:%02d", 7, 5, 0), "07:05:00");
  EXPECT_EQ(Fmt("%s=%s\n", "Key", "Value"), "Key=Value\n");
  EXPECT_EQ(Fmt("%s\\%s.qdx", "C:\\rules", "name"), "C:\\rules\\name.qdx");
  EXPECT_EQ(Fmt("&lt;%u&gt;<br>", 12u), "&lt;12&gt;<br>");
  EXPECT_EQ(Fmt("<title>%s</title>", "\x83\x65\x83\x58\x83\x67"),
            "<title>\x83\x65\x83\x58\x83\x67</title>");
  // "[%d]：" with the full-width colon 0x81 0x46.
  EXPECT_EQ(Fmt("[%d]\x81\x46%s", 12, "bad"), "[12]\x81\x46" "bad");
}

TEST(FormatTest, SpecialAndUnknownConversions) {
  struct Case { const char* fmt; const char* expect; };
  const Case cases[] = {
      {"%%d", "%d"},
      {"100%%", "100%"},
      {"%q", "q"},
      {"%5q", "q"},
      {"%-08.3lq", "q"},  // everything read before the unknown character goes
      {"%y%%", "y%"},
      {"ab%", "ab"},      // a trailing "%" writes nothing
      {"ab%5", "ab"},
      {"%", ""},
      {"%\x82\xA0", "\x82\xA0"},
      {"\x82%d", "\x82%d"},  // "%" as a trail byte is no conversion
      {"%lld", "ld"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fmt);
    EXPECT_EQ(Fmt(c.fmt, 99), c.expect);
  }
  // A dropped conversion consumes no argument.
  EXPECT_EQ(Fmt("%5q%d", 42), "q42");
  // "%c" of 0 adds nothing: the output stays a C string.
  EXPECT_EQ(Fmt("a%cb", 0), "ab");
}

TEST(FormatTest, PercentNStoresTheLengthSoFar) {
  int at_start = -1, in_middle = -1, at_end = -1;
  CStr_base<64> out("some old text");
  Format(out, "%nab%d%ncd%n", &at_start, 123, &in_middle, &at_end);
  EXPECT_STREQ(out.c_str(), "ab123cd");
  EXPECT_EQ(at_start, 0);
  EXPECT_EQ(in_middle, 5);
  EXPECT_EQ(at_end, 7);
}

TEST(FormatTest, ExtremeStarValuesStaySafe) {
  // The C library refuses a width it cannot represent; so do we, quietly.
  EXPECT_EQ(Fmt("[%*d]", INT_MIN, 5), "[]");
  EXPECT_EQ(Fmt("[%*s]", INT_MIN, "ab"), "[ab]");
  EXPECT_EQ(Fmt("[%.*s]", INT_MIN, "ab"), "[ab]");
}

TEST(FormatTest, GrowsTheTargetByTheStringRule) {
  // One reservation of length + added + 2 per numeric conversion.
  CStr_base<64> out;
  Format(out, "%.100f", 1.0);
  EXPECT_EQ(out.length(), 102u);
  EXPECT_EQ(out.capacity(), 104u);

  // Byte by byte, a long format walks the same steps as appends do.
  std::string fmt(1100, 'x');
  CStr_base<64> fresh;
  Format(fresh, fmt.c_str());
  EXPECT_EQ(fresh.capacity(), 1280u);

  CStr_base<1024> big;
  Format(big, "%s", "abc");
  EXPECT_EQ(big.capacity(), 1024u);
}

}  // namespace
}  // namespace norvelle
