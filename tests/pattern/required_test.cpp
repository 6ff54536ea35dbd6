// Required text: never refuses a subject that has a match, and does refuse
// subjects that lack what every match needs.
#include "pattern/required.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "pattern/match_oracle.h"

namespace norvelle {
namespace {

TEST(RequiredText, RefusesOnlyWhatCannotMatch) {
  const struct {
    const char* pattern;
    const char* refused;   // lacks a required literal
    const char* accepted;  // has them (and a match)
  } cases[] = {
      {"colo%0,1(u%)r", "colr", "a colour"},
      {"%{%[%(colour%)%(color%)%]%}", "colo", "my color"},
      {"&quot;%{%+C%}&quot;", "\"x\"", "&quot;x&quot;"},
      {"%{%+1l%}ing%$", "in g", "writing"},
      {"http%0,1(s%)://%+1I", "htp://x", "https://x"},
      {"a%*db", "a1", "a12b"},           // a greedy run's rest is required too
      {"%+0jq", "abc", "abq"},           // and a lazy one's
      {"%{x%}%[%(ab%)%(cd%)%]", "xa", "xcd"},
      {"%^%A%/0a%$", "xAb", "Abc"},      // anchored: the class at the first byte
      {"%^ab", "xab", "abx"},            // the literal at the first byte
      {"%{%+1l%}ing%$", "sings", "sing"},  // the literal before the end
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern);
    const CStrRegexStruct root = RegexCompile(c.pattern);
    const RequiredText req(root);
    EXPECT_FALSE(req.MayMatch(c.refused));
    EXPECT_FALSE(Matches(root, c.refused));
    EXPECT_TRUE(req.MayMatch(c.accepted));
    EXPECT_TRUE(Matches(root, c.accepted));
  }
}

TEST(RequiredText, NothingRequiredWhereMatchesNeedNoLiteral) {
  for (const char* pattern : {"%0,1(ab%)", "%!(ab%)x%0(", "%[ab%e%]", "%(ab%Pcd%)", "%dx%Pyz", "%zab"}) {
    SCOPED_TRACE(pattern);
    const RequiredText req(RegexCompile(pattern));
    for (const auto& clause : req.clauses())
      for (const std::string& lit : clause) EXPECT_NE(lit, "cd");  // after P: not required
  }
  EXPECT_TRUE(RequiredText(RegexCompile("%0,1(ab%)")).clauses().empty());
  EXPECT_TRUE(RequiredText(RegexCompile("%[ab%P%]")).clauses().empty());
  EXPECT_TRUE(RequiredText(RegexCompile("%!(ab%)")).clauses().empty());
}

TEST(RequiredText, RandomSubjectsWithAMatchAreNeverRefused) {
  const char* patterns[] = {
      "colo%0,1(u%)r",     "%{%[%(ab%)%(ba%)%]%}c", "a%+0jb%ec",     "%(a%Pb%)c",  "%*(ab%)c",
      "%/1(ab%)%[%(c%)%p%]", "%{%+1a%}b%$",        "x%zab",         "%^ab",      "%[a%pb%]c",
      "%2(ab%)",           "%+(a%)b",              "%{a%}%0vb",     "\x83\x7C" "a",
      "%^%a%/0b",          "%^%Jb",                "a%Pb%$",        "%+0jb%$",   "%^%3a",
      // A "z" whose operand may take no rounds: what follows it is not needed.
      "%0,7z%*jab",        "%0,7z%+(x%)c",         "a%0,3z%*bc%$",
  };
  const char alphabet[] = {'a', 'b', 'c', 'x', '\x83', '\x7C', 'o', 'l', 'r', 'u', 'B'};
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> len(0, 10), pick(0, sizeof alphabet - 1);
  int matched = 0, refused = 0;
  for (const char* pattern : patterns) {
    SCOPED_TRACE(pattern);
    const CStrRegexStruct root = RegexCompile(pattern);
    const RequiredText req(root);
    for (int n = 0; n < 3000; ++n) {
      std::string s;
      for (int k = len(rng); k > 0; --k) s += alphabet[pick(rng)];
      const bool may = req.MayMatch(s);
      if (Matches(root, s)) {
        ++matched;
        ASSERT_TRUE(may) << testing::PrintToString(s);
      }
      refused += !may;
    }
  }
  EXPECT_GT(matched, 300);
  EXPECT_GT(refused, 1000);
}

}  // namespace
}  // namespace norvelle

namespace norvelle {
namespace {

// Where Bounded says so, the matcher never runs out of a budget; where a
// pattern does run out, Bounded has said no.
TEST(RequiredText, BoundedOnlyWhereNoBudgetRunsOut) {
  const char* patterns[] = {"%*(%*a%)b", "%+0j%+0j%+0jx", "%*(a%*(b%)%)c", "%{%/1s%}(",
                            "%*j%*j%*j%*jx", "%5,9(a%)b",     "%!(ab%)%*ac",   "%{%+1l%}ing%$",
                            "%+0{%}x"};
  int bounded = 0, unbounded = 0;
  for (const char* pattern : patterns) {
    const CStrRegexStruct root = RegexCompile(pattern);
    const RequiredText req(root);
    for (std::size_t n : {0, 1, 5, 30, 300, 3000}) {
      SCOPED_TRACE(std::string(pattern) + " on " + std::to_string(n));
      CStr subject(std::string(n, 'a'));
      CStrHitList hits;  // as auto-replace calls it: hits count against their budget
      bool cut = false;
      RegexMatch(subject, root, "", &hits, "", nullptr, 0, nullptr, nullptr, &cut);
      if (req.Bounded(n)) {
        ++bounded;
        EXPECT_FALSE(cut);
      } else {
        ++unbounded;
      }
    }
  }
  EXPECT_GT(bounded, 10);
  EXPECT_GT(unbounded, 3);
  // Hits that pile up in a repetition, or "%t", are never bounded.
  EXPECT_FALSE(RequiredText(RegexCompile("%*(%{a%}%)b")).Bounded(1));
  EXPECT_FALSE(RequiredText(RegexCompile("a%99999t")).Bounded(1));
  EXPECT_FALSE(RequiredText(RegexCompile("%+0{%}x")).Bounded(1));  // a repeated capture itself
  EXPECT_TRUE(RequiredText(RegexCompile("%{ab%}c")).Bounded(100));
}

}  // namespace
}  // namespace norvelle
