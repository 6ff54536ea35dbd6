// The settings dialog's text forms, swatch colours, titles and filters.
#include "settings/text_forms.h"

#include <gtest/gtest.h>

#include <string>

namespace norvelle {
namespace {

TEST(TextForms, DisplayFormAndBack) {
  struct Case {
    const char* value;  // stored
    const char* shown;  // in the field
  };
  const Case cases[] = {
      {"a\nb\tc\\d", "a\\nb\\tc\\\\d"},
      {"\x95\x5C\n", "\x95\x5C\\n"},  // trail byte 0x5C stays one character
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    EXPECT_EQ(std::string(DisplayForm(c.value).view()), c.shown);
    EXPECT_EQ(std::string(ValueFromField(c.shown).view()), c.value);
  }
}

TEST(TextForms, FieldEscapesThatMeanNothingAreDropped) {
  EXPECT_EQ(std::string(ValueFromField("a\\qb\\").view()), "ab");
  EXPECT_EQ(std::string(ValueFromField("x\\ny").view()), "x\ny");
}

TEST(TextForms, LineEnds) {
  EXPECT_EQ(std::string(LfToCrLf("a\nb\n\nc").view()), "a\r\nb\r\n\r\nc");
  EXPECT_EQ(std::string(CrLfToLf("a\r\nb\r\n\r\nc").view()), "a\nb\n\nc");
  EXPECT_EQ(std::string(CrLfToLf("a\rb\r").view()), "a\rb\r");  // a lone CR is text
}

TEST(TextForms, SwatchColour) {
  struct Case {
    const char* text;
    Rgb want;
  };
  const Case cases[] = {
      {"0000ff", {0, 0, 0xff}},   {"fff", {0xff, 0x0f, 0}},    {"#0000ff", {0, 0, 0}},
      {"12 34 56", {0x12, 0, 0}}, {"", {0, 0, 0}},             {"AbCdEf", {0xab, 0xcd, 0xef}},
      {"0080bb99", {0, 0x80, 0xbb}}, {"g0", {0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Rgb got = SwatchColour(c.text);
    EXPECT_EQ(got.red, c.want.red);
    EXPECT_EQ(got.green, c.want.green);
    EXPECT_EQ(got.blue, c.want.blue);
  }
}

TEST(TextForms, FileTitle) {
  struct Case {
    const char* path;
    const char* title;
  };
  const Case cases[] = {
      {"/home/u/qdx/abc.qdx", "abc"}, {"C:\\qdx\\abc.qdx", "abc"}, {"/a.b/c", "c"},
      {"/x/a.b.qdx", "a.b"},          {"", ""},                    {"/x/\x95\x5Cz.qdx", "\x95\x5Cz"},
      {"/x/noext", "noext"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(FileTitle(c.path), c.title);
  }
}

TEST(TextForms, FileFilterPairs) {
  auto open = ParseFileFilter("A(*.qdx)|*.qdx|B(*.*)|*.*||");
  ASSERT_EQ(open.size(), 2u);
  EXPECT_EQ(open[0].first, "A(*.qdx)");
  EXPECT_EQ(open[0].second, "*.qdx");
  EXPECT_EQ(open[1].first, "B(*.*)");
  EXPECT_EQ(open[1].second, "*");
  auto two = ParseFileFilter("T|*.a;*.b||");
  ASSERT_EQ(two.size(), 1u);
  EXPECT_EQ(two[0].second, "*.a *.b");
  EXPECT_TRUE(ParseFileFilter("||").empty());
  // A caption whose trail byte is "|" is not cut there.
  auto sjis = ParseFileFilter("\x83\x7C|*.x||");
  ASSERT_EQ(sjis.size(), 1u);
  EXPECT_EQ(sjis[0].first, "\x83\x7C");
}

}  // namespace
}  // namespace norvelle
