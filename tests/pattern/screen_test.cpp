// The screen: never refuses a text where a pattern matches or a word is met
// (the matcher and plain comparisons are the oracles), and does refuse the
// texts that no entry can meet, whatever the pattern's shape.
#include "pattern/screen.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "pattern/match_oracle.h"
#include "text/split.h"

namespace norvelle {
namespace {

Screen Of(const char* pattern) {
  Screen s;
  s.AddPattern(RegexCompile(pattern));
  return s;
}

// Shapes with no literal a prefilter could require.
TEST(Screen, RefusesWhatNoMatchCanHold) {
  const struct {
    const char* pattern;
    const char* refused;
    const char* accepted;
  } cases[] = {
      {"%{%/1d%}", "words", "page2"},
      {"%A%a", "all LOWER", "xAb"},
      {"%*aing", "ing", "xsing"},
      {"%d%l", "1 2", "a1b"},
      {"colo%0,1(u%)r", "colr", "colour"},
      {"%{%[%(colour%)%(color%)%]%}", "colo", "color"},
      {"word%S", "words", "word!"},
      {"%^%A%l", "aBc", "Ab"},
      {"%l%$", "ab1", "1ab"},
      {"%-af%-09", "zz9", "c7"},
      {"%J", "ascii", "a\x93\xFA"},
      {"%?", "\x93\xFA\x96\x7B", "\x93\xFA" "a"},
      {"%U", "anything", nullptr},
      {"%{%+j%e:%}", "no colon", "k:v"},
      {"%3za", "aab", "baaa"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern);
    Screen s = Of(c.pattern);
    const CStrRegexStruct root = RegexCompile(c.pattern);
    EXPECT_FALSE(Matches(root, c.refused));
    EXPECT_TRUE(s.Refuses(c.refused, false));
    if (!c.accepted) continue;
    EXPECT_TRUE(Matches(root, c.accepted));
    EXPECT_FALSE(s.Refuses(c.accepted, false));
  }
}

// Trail bytes in the lead range and in the ASCII range are no characters
// of their own; a lead byte at the very end is one.
TEST(Screen, DoubleByteCharactersStepWhole) {
  EXPECT_TRUE(Of("%l").Refuses("\x83J\x83i", false));           // trails 'J' and 'i'
  EXPECT_FALSE(Of("%l").Refuses("\x83Ja", false));
  EXPECT_FALSE(Of("%D%$").Refuses("1\x93", false));              // a lone lead at the end
  EXPECT_FALSE(Of("%?%$").Refuses("\x93\xFA\x93", false));       // a trail, then a lone lead
  EXPECT_TRUE(Of("%?").Refuses("\x93\xFA\x8C\xEA", false));      // trail 0xEA is in the lead range
  EXPECT_FALSE(Of("%d").Refuses(std::string("ab\0", 3), false)); // a NUL: never refused
}

TEST(Screen, WordsAreExactOrContainedAtACharacterStart) {
  Screen s;
  s.AddWord("note");
  s.AddContained("ion");
  EXPECT_FALSE(s.Refuses("note", false));
  EXPECT_TRUE(s.Refuses("notes", false));
  EXPECT_FALSE(s.Refuses("motion", false));
  EXPECT_TRUE(s.Refuses("\x83ion", false));      // "\x83i" is one character
  EXPECT_FALSE(s.Refuses("\x83" "aion", false));
}

// The mapped subject: entities for a few bytes, a stop, broken pairs.
TEST(Screen, MappedSubjects) {
  SubjectMap map;
  map.strict_pairs = true;
  map.as[static_cast<unsigned char>('"')] = "&quot;";
  map.stop[static_cast<unsigned char>('\t')] = true;
  Screen s = Of("&quot;%{%+C%}&quot;");
  s.AddWord("\"x\"");  // words see the text itself
  s.SetMap(map);
  EXPECT_TRUE(s.Refuses("\"x", true));
  EXPECT_FALSE(s.Refuses("\"x\"", true));
  EXPECT_FALSE(s.Refuses("\"y\"", true));
  EXPECT_TRUE(s.Refuses("\"y\"", false));
  EXPECT_FALSE(s.Refuses("a\tb", true));      // a stop
  EXPECT_FALSE(s.Refuses("\x93 a", true));    // a lead byte before a blank is dropped there
  EXPECT_TRUE(s.Refuses("\x93 a", false));    // but is a pair in the text itself
  EXPECT_EQ(s.SubjectLength("a\"b", true), 8u);
  EXPECT_TRUE(s.RefusesEach("ab cd \"e", ' ', 100, true));
  EXPECT_FALSE(s.RefusesEach("ab \"e\" cd", ' ', 100, true));
  EXPECT_FALSE(s.RefusesEach("ab cdefgh", ' ', 6, true));   // a piece too long to be bounded
  EXPECT_FALSE(s.RefusesEach("\"x\" cd", ' ', 100, true));  // the word
  for (const char* text : {"", "a ", " a", "a  b"}) {  // empty pieces are subjects too
    SCOPED_TRACE(text);
    EXPECT_FALSE(s.RefusesEach(text, ' ', 0, true));
    EXPECT_FALSE(s.RefusesEach(text, ' ', 0, false));
    EXPECT_TRUE(s.RefusesEach(text, ' ', 2, true));
  }
}

// Random texts over a small alphabet: every one with a match, of every
// piece, is accepted.
TEST(Screen, RandomSubjectsWithAMatchAreNeverRefused) {
  const char* patterns[] = {
      "colo%0,1(u%)r", "%{%[%(ab%)%(ba%)%]%}c", "a%+0jb%ec", "%(a%Pb%)c", "%*(ab%)c", "%/1(ab%)%[%(c%)%p%]",
      "%{%+1a%}b%$",   "x%zab",                 "%^ab",      "%[a%pb%]c", "%2,3(ab%)", "%{a%}%0vb",
      "%^%a%/0b",      "%^%Jb",                 "a%Pb%$",    "%+0jb%$",   "%^%3a",     "%0,7z%*jab",
      "a%0,3z%*bc%$",  "%!ac",                  "%[%+ab%]c", "%-ac%$",    "%D%?",      "%{%l%}%T%H%0hx",
      "%[%Pa%]%$",     "%3,2a",                 "%20a",      "%K%$",      "%1,20(ab%)x",
  };
  const char alphabet[] = {'a', 'b', 'c', 'x', '\x83', '\x7C', '\x93', 'o', 'l', 'r', 'u', 'B', ' '};
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> len(0, 12), pick(0, sizeof alphabet - 1);
  int matched = 0, refused = 0;
  for (const char* pattern : patterns) {
    SCOPED_TRACE(pattern);
    const CStrRegexStruct root = RegexCompile(pattern);
    Screen screen = Of(pattern);
    for (int n = 0; n < 2000; ++n) {
      std::string s;
      for (int k = len(rng); k > 0; --k) s += alphabet[pick(rng)];
      const bool refuses = screen.Refuses(s, false);
      bool any = false;
      for (std::string_view rest = s;;) {  // the pieces as the writer cuts them
        const std::size_t cut = FindAtCharStart(rest, " ");
        any = any || Matches(root, std::string(rest.substr(0, cut)));
        if (cut == std::string_view::npos) break;
        rest.remove_prefix(cut + 1);
      }
      if (Matches(root, s)) {
        ASSERT_FALSE(refuses) << testing::PrintToString(s);
      }
      if (any) {
        ASSERT_FALSE(screen.RefusesEach(s, ' ', 1000, false)) << testing::PrintToString(s);
      }
      matched += !refuses && Matches(root, s);
      refused += refuses;
    }
  }
  EXPECT_GT(matched, 1000);
  EXPECT_GT(refused, 10000);
}

}  // namespace
}  // namespace norvelle
