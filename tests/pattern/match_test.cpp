// What one match finds: element kinds, operators, repetitions, hits.
#include <gtest/gtest.h>

#include <string>

#include "pattern/regex.h"

namespace norvelle {
namespace {

std::string Join(const CStrHitList& hits) {
  std::string s;
  for (std::uint32_t i = 0; i < hits.count(); ++i) {
    if (i) s += '|';
    s += hits[i].view();
  }
  return s;
}

struct Found {
  int start;         // -1: no match
  std::string text;  // the matched bytes
  std::string hits;  // joined by "|"
};

// The first match by the in-place form without a template.
Found First(const char* pattern, std::string_view text, const char* flags) {
  CStr subject(text);
  CStrHitList hits;
  CStrPositionList positions;
  const int n = RegexMatch(subject, pattern, flags, &hits, nullptr, nullptr, 0, &positions);
  EXPECT_EQ(subject.view(), text);  // no template: the subject stays
  if (n == 0) return {-1, "", Join(hits)};
  EXPECT_EQ(n, 1);
  const CStrRegexMatchStruct& m = positions[0];
  return {m.start, std::string(text.substr(std::size_t(m.start), std::size_t(m.length))), Join(hits)};
}

struct Case {
  const char* pattern;
  const char* text;
  const char* flags;
  int start;
  const char* match;
  const char* hits;
};

void RunCases(const Case* begin, const Case* end) {
  for (const Case* c = begin; c != end; ++c) {
    SCOPED_TRACE(std::string(c->pattern) + " on '" + c->text + "' flags '" + c->flags + "'");
    const Found f = First(c->pattern, c->text, c->flags);
    EXPECT_EQ(f.start, c->start);
    EXPECT_EQ(f.text, c->match);
    EXPECT_EQ(f.hits, c->hits);
  }
}

TEST(Match, LiteralsAnchorsAndMarks) {
  const Case cases[] = {
      {"a%qb", "aqb", "", 0, "aqb", ""},
      {"ABC", "xabc", "", -1, "", ""},
      {"ABC", "xabc", "i", 1, "abc", ""},
      {"\x82\x61", "\x82\x41", "i", -1, "", ""},  // trail bytes are never folded
      {"\\", "\x95\x5C", "", -1, "", ""},           // a trail 0x5C is no backslash
      {"%*j\\", "\x95\x5C\\x", "", 0, "\x95\x5C\\", ""},
      {"%j%$", "\x95\x5C", "", 0, "\x95\x5C", ""},  // one character, trail 0x5C and all
      {"%J%$", "\x95\x5C", "", 0, "\x95\x5C", ""},
      {"%K%$", "\x95\x5C", "", 0, "\x95\x5C", ""},
      {"", "abc", "", 0, "", ""},
      {"%^a", "ba", "", -1, "", ""},
      {"a%$", "aba", "", 2, "a", ""},
      {"%$", "ab", "", 2, "", ""},
      {"%ga", "b\na", "", 2, "a", ""},
      {"a%G", "ba\n", "", 1, "a", ""},
      {"a%pb", "ab", "", 0, "a", ""},  // "b" must follow but is not taken
      {"a%pb", "ac", "", -1, "", ""},
      {"a%Pb", "a", "", 0, "a", ""},  // the end of the text ends the sequence
      {"a%Pb", "ab", "", 0, "a", ""},
      {"%{a%eb%}", "ab", "", 0, "ab", "a"},
      {"%{a%P%}", "a", "", 0, "a", "a"},
      // the first item decides where an attempt can start, unless it may be skipped
      {"%0,1(a%)b", "b", "", 0, "b", ""},
      {"%!(a%)b", "b", "", 0, "b", ""},
      {"%{%{%+2d%}%}x", "a12x", "", 1, "12x", "12|12"},
      {"\x82\xA0" "a", "x\x82\xA0" "A", "i", 1, "\x82\xA0" "A", ""},
      {"%-09%d", "a12", "", 1, "12", ""},
  };
  RunCases(std::begin(cases), std::end(cases));
}

TEST(Match, Repetition) {
  const Case cases[] = {
      // rounds that consume nothing: bounded "/" goes on to K; lazy "+" goes
      // on while a round still adds a hit
      {"%/0,3{%}", "x", "", 0, "", "||"},
      {"%{a%}%+0,2{%}%0Vb", "ab", "", 0, "ab", "a|"},
      {"%{a%}%+0,2T%0Vb", "ab", "", 0, "ab", "a|"},
      {"%d", "x", "", -1, "", ""},
      {"%!d", "x", "", 0, "", ""},
      {"%!2d", "12", "", 1, "", ""},  // at 0 both tries match, so the negation fails
      {"%3d", "12345", "", 0, "123", ""},
      {"%2,4d", "12345", "", 0, "1234", ""},
      {"%/0d", "abc", "", 0, "", ""},
      {"%/2,3d", "12345", "", 0, "123", ""},
      {"%0,1(ab%)c", "c", "", 0, "c", ""},
      {"%0,1(ab%)c", "abc", "", 0, "abc", ""},
      // lazy, greedy, possessive, plain
      {"%+j;", "ab;cd;", "", 0, "ab;", ""},
      {"%*j;", "ab;cd;", "", 0, "ab;cd;", ""},
      {"%/j;", "ab;cd;", "", -1, "", ""},
      {"%0,2d%d", "12", "", -1, "", ""},
      {"%/0,2d%d", "12", "", -1, "", ""},
      {"%*0,2d%d", "12", "", 0, "12", ""},
      {"%+0,2jX", "abcX", "", 1, "bcX", ""},  // the rest is tried at counts 0..2 only
      {"%*j%d", "a1b2c", "", 0, "a1b2", ""},
      {"%*0,2ja", "aaaa", "", 0, "aaa", ""},
      {"%*2d1", "1211", "", 0, "1211", ""},
      {"%*3d%d", "123", "", -1, "", ""},  // the minimum is never given back
      // a round that consumes nothing ends the repetition instead of spinning
      {"%*(%/0d%)x", "12x", "", 0, "12x", ""},
      {"%/(%/0d%)x", "ax", "", 1, "x", ""},
      {"%+0(%/0d%)x", "ax", "", 1, "x", ""},
      // hits added by rounds that are given back disappear
      {"%+{%j%}x", "abx", "", 0, "abx", "a|b"},
      {"%*{%j%}b", "aab", "", 0, "aab", "a|a"},
      {"%*{%d%}a", "12a", "", 0, "12a", "1|2"},
      {"%{%*d%}x", "12y3x", "", 3, "3x", "3"},
      // "z": the first operand item repeats, the items after the "z" are its rest
      {"%z%d!x", "1x", "", 0, "1x", ""},
      {"%z%+j;x", "ab;cd;xx", "", 0, "ab;cd;x", ""},
      {"%z%*j;x", "ab;cd;xx", "", 0, "ab;cd;xx", ""},
      {"%2z%d", "123", "", 0, "12", ""},
      {"%z", "a", "", -1, "", ""},
      {"a%z", "a", "", -1, "", ""},
  };
  RunCases(std::begin(cases), std::end(cases));
}

TEST(Match, Groups) {
  const Case cases[] = {
      {"%[ab%]", "xb", "", 1, "b", ""},
      {"%[%%x%]", "%", "", 0, "%", ""},
      {"%[a%(ab%)%]c", "abc", "", -1, "", ""},  // the first alternative is kept
      {"%[%+jx%]", "abx", "", 0, "abx", ""},     // a lazy alternative's rest: the later ones
      {"%[%p%Pa%]", "", "", 0, "", ""},
      {"%[%p%Pa%]", "a", "", 0, "a", ""},
      {"%[%pa%]", "", "", -1, "", ""},
      {"%{a%{b%}%}", "ab", "", 0, "ab", "b|ab"},  // inner captures are numbered first
      {"%{a%}%{x%}", "ab", "", -1, "", ""},        // a failed attempt leaves no hits
      {"%{a%}%0v", "aa", "", 0, "aa", "a"},
      {"%{a%}%0v", "aA", "", -1, "", ""},
      {"%{a%}%0v", "aA", "i", 0, "aA", "a"},
      {"%{a%}%{b%}%0V", "abb", "", 0, "abb", "a|b"},
      {"%{ab%}%0.2v", "ababab", "", 0, "ababab", "ab"},
      {"x%5v", "x", "", 0, "x", ""},  // a missing hit matches empty
      {"%T%T%{a%}", "a", "", 0, "a", "||a"},
      {"%{a%}%{b%}%H", "ab", "", 0, "ab", "a"},
      {"%{a%}%{b%}%{c%}%1h", "abc", "", 0, "abc", "a"},
      {"%{a%}%3t", "a", "", 0, "a", "a|||a"},
      {"%{a%}%{b%}%0t", "ab", "", 0, "ab", "b|b"},
      {"%U", "a", "", -1, "", ""},  // no external matchers are registered
      {"%!u", "a", "", 0, "", ""},
      {"%-az", "M m", "", 2, "m", ""},
      {"%-az", "\x82\xA0", "", -1, "", ""},
      {"%-\x82\xA0z", "!", "", 0, "!", ""},
      {"%-\xA1z", "\xB1", "", 0, "\xB1", ""},  // bytes compare as signed
      {"%-!~", "\xB1", "", -1, "", ""},
  };
  RunCases(std::begin(cases), std::end(cases));
}

// The system's own patterns on the inputs they are made for (all anchored).
TEST(Match, SystemPatterns) {
  const char* section = "%/0w[%{%+j%e]%}";
  const char* key = "%/0w%{%+j%e=%}%{%+0j%P\n%}";
  const char* file = "%0,1(%*j%[\\/%]%)%{%*j%P%![. %]%j%}";
  const char* colour = "%{%0,2n%}%{%0,2n%}%{%0,2n%}";
  const char* command = "|%+0{%+0j%e%[,%(%p|%)%]%}|%{%/0j%}";
  const Case cases[] = {
      {section, "  [Header]", "s", 0, "  [Header]", "Header"},
      {section, "[a]b]", "s", 0, "[a]", "a"},
      {section, "Header", "s", -1, "", ""},
      {key, "a=b=c\n", "s", 0, "a=b=c", "a|b=c"},
      {key, "key=", "s", 0, "key=", "key|"},
      {key, "  k =v", "s", 0, "  k =v", "k |v"},
      {key, "novalue\n", "s", -1, "", ""},
      {file, "dir\\\x95\x5C.txt", "s", 0, "dir\\\x95\x5C.txt", "\x95\x5C.txt"},
      {file, "C:/a\\b.c", "s", 0, "C:/a\\b.c", "b.c"},
      {file, "name", "s", 0, "name", "name"},
      {colour, "ff8000", "s", 0, "ff8000", "ff|80|00"},
      {colour, "abc", "s", 0, "abc", "ab|c|"},
      {command, "|a,b|x", "s", 0, "|a,b|x", "a|b|x"},
      {command, "||text", "s", 0, "||text", "text"},
      {command, "|b,center,font=face=Arial|Welcome", "s", 0, "|b,center,font=face=Arial|Welcome",
       "b|center|font=face=Arial|Welcome"},
      {command, "|\x83\x7C|x", "s", 0, "|\x83\x7C|x", "\x83\x7C|x"},  // trail byte 0x7C
      {command, "|a,", "s", -1, "", ""},
      {command, "plain", "s", -1, "", ""},
  };
  RunCases(std::begin(cases), std::end(cases));
}

// Which probe characters one class operator takes whole: "1" per probe.
TEST(Match, CharacterClasses) {
  const char* probes[] = {"a",  "f",  "g",  "A",  "F",    "G",    "9",    "_",        "!",
                          "~",  " ",  "\t", "\n", "\r",   "\x01", "\x7F", "\xB1", "\x82\xA0"};
  const struct {
    char op;
    const char* takes;
  } cases[] = {
      {'j', "111111111111111111"}, {'C', "111111111111011111"}, {'?', "111111111111111110"},
      {'J', "000000000000000001"}, {'K', "111111111100000001"}, {'k', "111111111100000000"},
      {'c', "000000000001111100"}, {'d', "000000100000000000"}, {'D', "111111011111111111"},
      {'a', "111000000000000000"}, {'A', "000111000000000000"}, {'l', "111111000000000000"},
      {'b', "000000111111111111"}, {'L', "111111100000000000"}, {'B', "000000011111111111"},
      {'s', "111111110000000000"}, {'S', "000000001111111111"}, {'n', "110110100000000000"},
      {'N', "001001011111111111"}, {'x', "110000100000000000"}, {'X', "000110100000000000"},
      {'y', "000000011100000000"}, {'Y', "111111100011111111"}, {'w', "000000000011000000"},
      {'i', "111111111100111111"}, {'W', "000000000011110000"}, {'I', "111111111100001111"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("%") + c.op);
    const std::string pattern = std::string("%") + c.op + "%$";
    std::string takes;
    for (const char* probe : probes) {
      CStr subject(probe);
      takes += RegexMatch(subject, pattern.c_str(), "s") == 1 ? '1' : '0';
    }
    EXPECT_EQ(takes, c.takes);
    CStr empty;
    EXPECT_EQ(RegexMatch(empty, pattern.c_str(), "s"), 0) << "classes fail at the end";
  }
}

// The bytes on both sides of every edge of the punctuation class and of a
// range: a bound off by one shows only here.
TEST(Match, ClassEdges) {
  const char probes[] = "\x20\x21\x2F\x30\x39\x3A\x40\x41\x5A\x5B\x60\x61\x7A\x7B\x7E\x7F";
  const struct {
    const char* pattern;
    const char* takes;
  } cases[] = {
      {"%y%$", "0110011001100110"},
      {"%Y%$", "1001100110011001"},
      {"%-az%$", "0000000000011000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern);
    std::string takes;
    for (const char* p = probes; *p; ++p) {
      CStr subject(std::string_view(p, 1));
      takes += RegexMatch(subject, c.pattern, "s") == 1 ? '1' : '0';
    }
    EXPECT_EQ(takes, c.takes);
  }
}

}  // namespace
}  // namespace norvelle
