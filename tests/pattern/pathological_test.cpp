// Inputs built by repetition that would exhaust the stack or the clock of a
// naive matcher. They check the shape of the result; speed is measured by
// the benchmark, not here.
#include <gtest/gtest.h>

#include <string>

#include "pattern/regex.h"

namespace norvelle {
namespace {

std::string Repeat(std::string_view s, std::size_t n) {
  std::string r;
  r.reserve(s.size() * n);
  for (std::size_t i = 0; i < n; ++i) r += s;
  return r;
}

// Levels of nesting along the first child.
int Depth(const CStrRegexStruct& root) {
  int depth = 0;
  for (const CStrRegexStruct* e = &root; !e->children.empty(); e = &e->children[0]) ++depth;
  return depth;
}

TEST(Pathological, DeepNestingIsCut) {
  const struct {
    const char* open;
    const char* close;
    int count;           // the innermost element is empty: which matches
    std::uint32_t hits;  // one empty hit per capture level kept
  } cases[] = {
      {"%(", "%)", 1, 0},
      {"%{", "%}", 1, kMaxPatternDepth},
      {"%[", "%]", 0, 0},  // an empty alternation has nothing to match
      {"%z", "", 0, 0},    // nor has an empty "z"
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.open);
    const std::string pattern = Repeat(c.open, 100000) + "a" + Repeat(c.close, 100000) + "b";
    const CStrRegexStruct tree = RegexCompile(pattern);
    EXPECT_EQ(Depth(tree), kMaxPatternDepth);
    EXPECT_EQ(tree.children.count(), 1u);  // "b" was dropped with the rest
    CStr subject("ab");
    CStrHitList hits;
    EXPECT_EQ(RegexMatch(subject, tree, "s", &hits), c.count);
    EXPECT_EQ(hits.count(), c.hits);
  }
}

TEST(Pathological, NestingBelowTheCapIsKept) {
  const int levels = kMaxPatternDepth;
  const std::string pattern = Repeat("%{", levels) + "a" + Repeat("%}", levels) + "b";
  CStr subject("ab");
  CStrHitList hits;
  EXPECT_EQ(RegexMatch(subject, pattern.c_str(), "s", &hits), 1);
  ASSERT_EQ(hits.count(), std::uint32_t(levels));
  EXPECT_EQ(hits[0].view(), "a");
}

TEST(Pathological, LongChainsOfLazyElements) {
  // Each lazy element matches the rest of its group, so a chain recurses once
  // per element; past the depth cap the attempt is no match.
  CStr subject("abc");
  EXPECT_EQ(RegexMatch(subject, Repeat("%+0j", 300).c_str(), "s"), 1);
  EXPECT_EQ(RegexMatch(subject, Repeat("%+0j", 100000).c_str(), "s"), 0);
  EXPECT_EQ(RegexMatch(subject, Repeat("%*0j", 100000).c_str(), ""), 0);
}

TEST(Pathological, RepetitionOverTenMegabytes) {
  const std::size_t n = 10 * 1000 * 1000;
  const std::string as(n, 'a');
  const struct {
    const char* pattern;
    std::string text;
    int start;
    std::size_t length;
  } cases[] = {
      {"%*j%d", as + "1b", 0, n + 1},
      {"%*jX", as, -1, 0},
      {"%+jX", as + "X", 0, n + 1},
      {"%/0j", as, 0, n},
      {"%0,2147483647a", as, 0, n},
      {"%*(%*a%)b", as, -1, 0},
      {"%*J", Repeat("\x82\xA0", n / 2) + "\x82", 0, n},  // a lone lead byte at the end is no J
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern);
    CStr subject(c.text);
    CStrPositionList positions;
    const int count = RegexMatch(subject, c.pattern, "s", nullptr, nullptr, nullptr, 0, &positions);
    EXPECT_EQ(count, c.start < 0 ? 0 : 1);
    if (count == 1) {
      EXPECT_EQ(positions[0].start, c.start);
      EXPECT_EQ(std::size_t(positions[0].length), c.length);
    }
  }
}

TEST(Pathological, BacktrackingPastTheLocalPoints) {
  // Points beyond the first thousand live on the heap; hits must still be
  // trimmed to each point's count.
  CStr subject(std::string(3000, '1') + "x");
  CStrHitList hits;
  EXPECT_EQ(RegexMatch(subject, "%*{%d%}1x", "s", &hits), 1);
  EXPECT_EQ(hits.count(), 2999u);
  CStr nested(std::string(2000, '7') + "x");
  CStrPositionList positions;
  EXPECT_EQ(RegexMatch(nested, "%*d%*d%dx", "s", nullptr, nullptr, nullptr, 0, &positions), 1);
  EXPECT_EQ(positions[0].length, 2001);
}

TEST(Pathological, StepBudgetEndsTheCall) {
  // Six greedy runs over a failing tail: about n^6 steps without a budget.
  const std::string pattern = Repeat("%*j", 6) + "X";
  const std::string text(300, 'a');
  for (const char* flags : {"s", "", "g"}) {
    SCOPED_TRACE(flags);
    CStr subject(text);
    EXPECT_EQ(RegexMatch(subject, pattern.c_str(), flags, nullptr, "-"), 0);
    EXPECT_EQ(subject.view(), text);
    EXPECT_EQ(RegexSearch(text, pattern.c_str(), flags), 0);
  }
}

}  // namespace
}  // namespace norvelle

namespace norvelle {
namespace {

// One match without "g"; tells whether an attempt broke a budget.
bool CutOff(const std::string& text, const std::string& pattern, int* count = nullptr) {
  CStr subject(text);
  MatchOptions o;
  o.tmpl = "-";
  const MatchResult m = Match(subject, RegexCompile(pattern), o);
  const bool cut = m.cut_off;
  if (count) *count = m.matches;
  if (cut) {
    EXPECT_EQ(subject.view(), text);  // written as if nothing matched
  }
  return cut;
}

TEST(Budgets, EachBudgetHasTwoSides) {
  const std::uint64_t hit_limit = kMaxMatchHits + kMatchHitsPerByte;  // for a 1-byte subject
  const struct {
    std::string pattern;
    std::string text;
    bool cut;
    int count;
  } cases[] = {
      // "%Nt" appends empty hits up to slot N.
      {"%" + std::to_string(hit_limit - 1) + "t", "a", false, 1},
      {"%" + std::to_string(hit_limit) + "t", "a", true, 0},
      {"%2147483647t", "a", true, 0},
      // Lazy rounds that take nothing but add a hit stop at the hit budget.
      {"%+0{%}x", "ab", true, 0},
      {"%+0{%}x", "x", false, 1},
      {"%+0,100{%}%100vx", "x", false, 1},
      // Nested lazy runs over a failing tail: about n^4 steps.
      {"%+j%+j%+j%+jX", std::string(30, 'a'), false, 0},
      {"%+j%+j%+j%+jX", std::string(300, 'a'), true, 0},
      // Each lazy count captures the whole rest, at each start position:
      // n^3/6 bytes copied into hits.
      {"%+0j%{%*j%}X", std::string(200, 'a'), false, 0},
      {"%+0j%{%*j%}X", std::string(3000, 'a'), true, 0},
      // Each attempt is linear, but there are n of them: n^2/2 steps a call.
      {"%+0jX", std::string(3000, 'a'), false, 0},
      {"%+0jX", std::string(10000, 'a'), true, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern.substr(0, 20) + " on " + std::to_string(c.text.size()) + " bytes");
    int count = -1;
    EXPECT_EQ(CutOff(c.text, c.pattern, &count), c.cut);
    EXPECT_EQ(count, c.count);
  }
}

TEST(Budgets, OneCallOnAShortSubjectIsBounded) {
  // A call on a short subject gets about kMaxMatchSteps steps, whatever the
  // entry form: four nested lazy runs on 40 letters need ~2.6M steps (just
  // past the budget of a 40-byte call), on 30 letters ~0.6M. The fuzzed
  // command-line-shaped pattern below used to run 20M steps in one attempt.
  ASSERT_LT(MatchCallBudget(40), 2'600'000u);
  const std::string fuzzed_subject =
      "}|b,i|te" + std::string(13, '\xFF') + "\x18\x18=%}%{%+0j%P\n" + std::string(25, '\x18') +
      std::string(9, '\xFF') + "xt%d%}";
  const struct {
    std::string pattern;
    std::string text;
    bool cut;
  } cases[] = {
      {"%+j%+j%+j%+jX", std::string(30, 'a'), false},
      {"%+j%+j%+j%+jX", std::string(40, 'a'), true},
      {"|%+29{%*0j%e%[,%(%p|%)%]%}|%{\xDB\xD0" "0j%", fuzzed_subject, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern);
    const CStrRegexStruct root = RegexCompile(c.pattern);
    for (const char* tmpl : {"-", static_cast<const char*>(nullptr)}) {
      CStr subject(c.text);
      bool cut = false;
      EXPECT_EQ(RegexMatch(subject, root, "", nullptr, tmpl, nullptr, 0, nullptr, nullptr, &cut), 0);
      EXPECT_EQ(cut, c.cut);
      EXPECT_EQ(subject.view(), c.text);
    }
  }
}

TEST(Budgets, HitsStayBelowTheLimit) {
  CStrHitList hits;
  CStr subject("a");
  EXPECT_EQ(RegexMatch(subject, "%2147483647t", "", &hits), 0);
  EXPECT_LE(hits.count(), kMaxMatchHits + kMatchHitsPerByte);
}

TEST(Budgets, TemplateFromAStartOffsetKeepsTheEarlierBytes) {
  const struct {
    const char* pattern;
    int start;
    const char* flags;
    const char* want;
    int count;
  } cases[] = {
      {"b", 2, "", "abc[x]", 1},
      {"b", 1, "g", "a[x]c[x]", 2},
      {"z", 1, "", "abcb", 0},
      {"z", 4, "g", "abcb", 0},
      {"b", 0, "", "a[x]cb", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.want);
    CStr subject("abcb");
    EXPECT_EQ(RegexMatch(subject, c.pattern, c.flags, nullptr, "[x]", nullptr, c.start), c.count);
    EXPECT_EQ(subject.view(), c.want);
  }
}

}  // namespace
}  // namespace norvelle
