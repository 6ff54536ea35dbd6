#include "html/replace.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace norvelle {
namespace {

using Entries = std::vector<std::pair<CStr, CStr>>;

constexpr std::string_view kTab3 = "&nbsp;&nbsp;&nbsp;";

struct ElementCase {
  const char* name;
  Entries entries;  // (key as in the rule file, value with prefix), map order
  std::string text;
  bool convert;
  std::string expected;
};

std::string Write(AutoReplacer& r, const ElementCase& c) {
  std::string out = "[";  // output so far must be kept
  r.WriteElementText(out, c.text, c.convert, kTab3);
  return out.substr(1);
}

void RunCases(const std::vector<ElementCase>& cases) {
  for (const ElementCase& c : cases) {
    SCOPED_TRACE(c.name);
    AutoReplacer r;
    r.Build(c.entries);
    EXPECT_EQ(Write(r, c), c.expected);
  }
}

TEST(AutoReplaceExact, WholeTextOnly) {
  RunCases({
      {"word", {{"ABC", "M:<b>%1</b>"}}, "ABC", true, "<b>ABC</b>"},
      {"with comma is no word", {{"ABC", "M:<b>%1</b>"}}, "ABC,", true, "ABC,"},
      {"text escaped under conv", {{"<x>", "M:<i>%1</i>"}}, "<x>", true, "<i>&lt;x&gt;</i>"},
      {"text raw under noconv", {{"<x>", "M:<i>%1</i>"}}, "<x>", false, "<i><x></i>"},
      {"unmatched text escaped", {{"ABC", "M:x"}}, "a b\t<", true, "a&nbsp;b&nbsp;&nbsp;&nbsp;&lt;"},
      {"every %1 filled", {{"ab", "M:%1-%1"}}, "ab", true, "ab-ab"},
      {"%1 at both ends", {{"a<b", "M:%1%1"}}, "a<b", true, "a&lt;ba&lt;b"},
      {"no %1: text unused", {{"a<b", "M:x%2y"}}, "a<b", true, "x%2y"},
      {"%1 inside a pair is no %1", {{"ab", "M:\x83%1%1"}}, "ab", false, "\x83%1ab"},
      {"tab inside converted %1", {{"x\\ty", "M:<%1>"}}, "x\ty", true, "<x&nbsp;&nbsp;&nbsp;y>"},
      {"one-character value", {{"ABC", "x"}}, "ABC", true, "x"},
      {"one-character I replaces", {{"ABC", "I"}}, "ABC", true, "I"},
      {"empty value removes", {{"ABC", ""}}, "ABC", true, ""},
      {"unknown prefix is exact", {{"ABC", "Z:%1!"}}, "ABC", true, "ABC!"},
      {"first of duplicates kept", {{"ab", "M:first"}, {"a\\qb", "M:second"}}, "ab", true, "first"},
      {"long word", {{std::string(40, 'a').c_str(), "M:long"}}, std::string(40, 'a'), true, "long"},
  });
}

TEST(AutoReplaceExact, ManyWordsFirstEntryWins) {
  // A list of thousands of words, each given twice: the first entry wins,
  // and texts that are no word (prefixes, longer texts) stay as they are.
  Entries entries;
  for (int round = 0; round < 2; ++round)
    for (int i = 0; i < 3000; ++i)
      entries.emplace_back(CStr(("w" + std::to_string(i)).c_str()),
                           CStr((round ? "M:late" : "M:<" + std::to_string(i) + ">%1").c_str()));
  AutoReplacer r;
  r.Build(entries);
  const struct {
    std::string text;
    std::string expected;
  } cases[] = {{"w0", "<0>w0"}, {"w2999", "<2999>w2999"}, {"w123", "<123>w123"},
               {"w", "w"},      {"w3000", "w3000"},       {"w12345", "w12345"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::string out;
    r.WriteElementText(out, c.text, true, kTab3);
    EXPECT_EQ(out, c.expected);
  }
}

TEST(AutoReplaceExact, KeysAreUnescaped) {
  RunCases({
      {"escapes", {{"a\\sb\\ec\\\\d\\ne", "M:[%1]"}}, "a/b=c\\d\ne", false, "[a/b=c\\d\ne]"},
      {"other escape dropped", {{"a\\qb", "M:[%1]"}}, "ab", false, "[ab]"},
      {"escaped double-byte dropped", {{"a\\\x82\xA0" "b", "M:[%1]"}}, "ab", false, "[ab]"},
      {"trailing backslash dropped", {{"ab\\", "M:[%1]"}}, "ab", false, "[ab]"},
      {"escaped key not taken raw", {{"a\\sb", "M:[%1]"}}, "a\\sb", false, "a\\sb"},
      // 0x5C as a trail byte is part of the character, not an escape.
      {"trail byte 5C kept", {{"\x95\x5Cs", "M:[%1]"}}, "\x95\x5Cs", false, "[\x95\x5Cs]"},
  });
}

TEST(AutoReplaceSearch, FirstWordFoundAnywhere) {
  RunCases({
      {"inside", {{"note", "I:<em>%1</em>"}}, "footnotes", true, "<em>footnotes</em>"},
      {"converted %1", {{"note", "I:<em>%1</em>"}}, "a<note", true, "<em>a&lt;note</em>"},
      {"absent", {{"note", "I:<em>%1</em>"}}, "notice", true, "notice"},
      {"list order decides", {{"foot", "I:1"}, {"note", "I:2"}}, "footnote", true, "1"},
      {"exact before search", {{"note", "I:search"}, {"footnotes", "M:exact"}}, "footnotes", true,
       "exact"},
      {"escaped form not seen", {{"&lt;", "I:hit"}}, "<", true, "&lt;"},
      {"empty word everywhere", {{"", "I:[%1]"}}, "xyz", true, "[xyz]"},
      // The word "\" must not be found inside the pair 95 5C.
      {"not at a trail byte", {{"\\\\", "I:hit"}}, "\x95\x5C", false, "\x95\x5C"},
      {"after a pair", {{"\\\\", "I:hit"}}, "\x95\x5C\\", false, "hit"},
      {"not across pairs", {{"\\\\\x95", "I:hit"}}, "\x95\x5C\x95\x5C", false, "\x95\x5C\x95\x5C"},
      // One scan finds all words; the list decides, not the place in the text.
      {"later in text, earlier in list", {{"zz", "I:1"}, {"b", "I:2"}, {"ab", "I:3"}}, "xabzz", false,
       "1"},
      {"same first byte", {{"abd", "I:1"}, {"abc", "I:2"}, {"ab", "I:3"}}, "abcabd", false, "1"},
      {"word at the very end", {{"yz", "I:1"}, {"q", "I:2"}}, "qxyz", false, "1"},
      {"word past the end", {{"yz!", "I:1"}, {"q", "I:2"}}, "qxyz", false, "2"},
      {"empty word after others", {{"q", "I:1"}, {"", "I:2"}, {"x", "I:3"}}, "axq", false, "1"},
      {"empty word before others", {{"q", "I:1"}, {"", "I:2"}, {"x", "I:3"}}, "ax", false, "2"},
  });
}

TEST(AutoReplacePattern, MatchesConvertedTextInPlace) {
  RunCases({
      {"first match only", {{"a", "R:x"}}, "banana", true, "bxnana"},
      {"chain on previous output", {{"a", "R:x"}, {"x", "R:yy"}}, "aaa", true, "yyaa"},
      {"second alone matching", {{"q", "R:x"}, {"n", "R:N"}}, "banana", true, "baNana"},
      {"none matches: text", {{"q", "R:x"}}, "a<b", true, "a&lt;b"},
      {"sees escapes", {{"&lt;", "R:[lt]"}}, "<b>", true, "[lt]b&gt;"},
      {"%1 is converted text", {{"x", "R:<%1>"}}, "a x", true, "a&nbsp;<a&nbsp;x>"},
      {"hits expand", {{"%{b%}", "R:[%0v]"}}, "abc", true, "a[b]c"},
      {"empty template deletes", {{"b", "R:"}}, "abc", true, "ac"},
      {"search before patterns", {{"a", "R:x"}, {"n", "I:found"}}, "banana", true, "found"},
      // After a match every "%1" of the result stands for the text, also
      // one the text brought itself; without a match the text stays as is.
      {"text's own %1 after a match", {{"a", "R:b"}}, "a%1", false, "ba%1"},
      {"text's own %1 without match", {{"q", "R:b"}}, "a%1", false, "a%1"},
  });
}

TEST(AutoReplaceBuild, EmptyAndRebuild) {
  AutoReplacer r;
  EXPECT_TRUE(r.empty());
  for (const char* value : {"M:x", "I:x", "R:x"}) {
    SCOPED_TRACE(value);
    r.Build({{"a", value}});
    EXPECT_FALSE(r.empty());
  }
  // A rebuild drops every set of the previous rule.
  r.Build({{"old", "M:1"}, {"ol", "I:2"}, {"o", "R:3"}});
  r.Build({{"new", "M:N"}});
  std::string out;
  r.WriteElementText(out, "old", false, kTab3);
  r.WriteElementText(out, "new", false, kTab3);
  EXPECT_EQ(out, "oldN");
  r.Build({});
  EXPECT_TRUE(r.empty());
}

TEST(AutoReplaceBuild, BuffersReusedAcrossElements) {
  // The converted text of one element must not leak into the next.
  AutoReplacer r;
  r.Build({{"long", "I:(%1)"}, {"z", "R:Z"}});
  std::string out;
  for (const char* text : {"a long<text>", "xz", "q"}) {
    r.WriteElementText(out, text, true, kTab3);
    out += '|';
  }
  EXPECT_EQ(out, "(a&nbsp;long&lt;text&gt;)|xZ|q|");
}

TEST(ReplaceTable, SetRepArgument) {
  const struct {
    const char* arg;
    int slot;  // -1: nothing changes
    const char* text;
  } cases[] = {
      {"5=<hr>", 5, "<hr>"}, {"99=last", 99, "last"}, {"5=", 5, ""}, {"5=a=b", 5, "a=b"},
      {"x=y", 0, "y"},       {" +7=y", 7, "y"},       {"100=x", -1, ""}, {"-1=x", -1, ""},
      {"5", -1, ""},         {"4294967301=x", -1, ""},  // must not wrap round to slot 5
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arg);
    CStr slots[kReplaceSlots];
    for (CStr& s : slots) s = "old";
    EXPECT_EQ(ApplySetRep(c.arg, slots), c.slot >= 0);
    for (int i = 0; i < kReplaceSlots; ++i)
      EXPECT_EQ(slots[i].view(), i == c.slot ? c.text : "old") << "slot " << i;
  }
}

TEST(ReplaceTable, RepArgument) {
  CStr slots[kReplaceSlots];
  const struct {
    const char* arg;
    int slot;  // -1: nothing written
  } cases[] = {{"5", 5}, {"", 0}, {"abc", 0}, {"104", 104}, {"105", -1}, {"-1", -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arg);
    EXPECT_EQ(RepSlot(c.arg, slots), c.slot < 0 ? nullptr : &slots[c.slot]);
  }
}

}  // namespace
}  // namespace norvelle

namespace norvelle {
namespace {

// A pattern cut off by its budget is reported even though its required text
// is missing: the skip applies only where no budget can run out.
TEST(AutoReplacePattern, CutOffReportedThoughTheLiteralIsMissing) {
  AutoReplacer r;
  r.Build({{"%*j%*j%*j%*jx", "R:y"}});
  std::string out;
  r.WriteElementText(out, std::string(400, 'a'), false, kTab3);
  EXPECT_TRUE(r.cut_off());
  EXPECT_EQ(out, std::string(400, 'a'));
  r.WriteElementText(out, "aaa", false, kTab3);
  EXPECT_FALSE(r.cut_off());
}

// A word written again gives the same HTML, however it was found before:
// per conversion, tab string and list; cut-off words are reported each time.
TEST(AutoReplaceBuild, RepeatedWordsKeepTheirMeaning) {
  AutoReplacer r;
  r.Build({{"w", "M:<%1>"}, {"a", "I:[%1]"}});
  std::string out;
  for (int round = 0; round < 2; ++round) {
    r.WriteElementText(out, "a\tb", true, kTab3);
    r.WriteElementText(out, "a\tb", true, "T");
    r.WriteElementText(out, "a\tb", false, "T");
    r.WriteElementText(out, "w", true, kTab3);
    out += '|';
  }
  const std::string once = "[a" + std::string(kTab3) + "b][aTb][a\tb]<w>|";
  EXPECT_EQ(out, once + once);
  r.Build({{"w", "M:new"}});
  out.clear();
  r.WriteElementText(out, "w", true, kTab3);
  EXPECT_EQ(out, "new");
  r.Build({{"%*j%*j%*j%*j%*j%*jx", "R:y"}});
  for (int round = 0; round < 2; ++round) {
    out.clear();
    r.WriteElementText(out, std::string(32, 'a'), false, kTab3);
    EXPECT_TRUE(r.cut_off()) << round;
  }
}

}  // namespace
}  // namespace norvelle

namespace norvelle {
namespace {

// A line is left whole to the caller only when no word of it meets an
// entry and no pattern could run out of its budget on one.
TEST(AutoReplaceScreen, LeavesOnlyLinesNoEntryChanges) {
  const struct {
    const char* key;
    const char* value;
    const char* left;     // no word changes
    const char* changed;  // some word does
  } cases[] = {
      {"the", "M:<b>%1</b>", "then other", "a the b"},
      {"ing", "I:<u>%1</u>", "sin", "a bring"},
      {"%{%/1d%}", "R:<b>%0v</b>", "no digits", "page 12"},
      {"&quot;%{%+C%}&quot;", "R:<q>%0v</q>", "say \"x", "say \"x\""},  // patterns see &quot;
      {"%A%a", "R:<i>%1</i>", "all lower", "x Ab"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    AutoReplacer r;
    r.Build({{c.key, c.value}});
    bool left = false;
    for (int line = 0; line < 300; ++line) {  // asked once lines went out unchanged
      r.WroteLine(true);
      left = r.LeavesEach(c.left, ' ');
      ASSERT_FALSE(r.LeavesEach(c.changed, ' '));
    }
    EXPECT_TRUE(left);
  }
  AutoReplacer cut;
  cut.Build({{"%+0{%}x", "R:y"}});  // may run out on any word
  for (int line = 0; line < 64; ++line) cut.WroteLine(true);
  for (const char* line : {"a b", "", " ", "a "}) EXPECT_FALSE(cut.LeavesEach(line, ' ')) << line;
  std::string out;
  cut.WriteElementText(out, "abc", false, kTab3);
  EXPECT_TRUE(cut.cut_off());
}

}  // namespace
}  // namespace norvelle

namespace norvelle {
namespace {

// The screen is asked only while it spares work, or would have.
TEST(ScreenWorth, AskedWhileItSpares) {
  ScreenWorth w;
  auto window = [&](int spared) {
    for (int i = 0; i < 64; ++i) w.Saw(i < spared);
  };
  window(15);
  EXPECT_FALSE(w.asking());  // texts that change are all it saw
  window(16);
  EXPECT_TRUE(w.asking());
  window(40);
  EXPECT_TRUE(w.asking());
  window(15);
  EXPECT_FALSE(w.asking());  // its answers spared too little
  for (int i = 0; i < 1024; ++i) w.Saw(true);
  EXPECT_FALSE(w.asking());  // it waits before counting again
  window(64);
  EXPECT_TRUE(w.asking());
  ScreenWorth late(100);
  for (int i = 0; i < 100 + 63; ++i) late.Saw(true);
  EXPECT_FALSE(late.asking());
  late.Saw(true);
  EXPECT_TRUE(late.asking());
}

}  // namespace
}  // namespace norvelle
