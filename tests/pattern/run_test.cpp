// The entry forms: replacement in place, templates, callbacks, position
// lists, hit logs and the hit list's buffers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pattern/regex.h"

namespace norvelle {
namespace {

std::string Positions(const CStrPositionList& list) {
  std::string s;
  for (std::uint32_t i = 0; i < list.count(); ++i)
    s += "(" + std::to_string(list[i].start) + "," + std::to_string(list[i].length) + ")";
  return s;
}

TEST(Run, ReplaceInPlace) {
  const struct {
    const char* pattern;
    const char* flags;
    const char* tmpl;  // null: no replacement
    const char* subject;
    int count;
    const char* result;
  } cases[] = {
      {"b", "g", "[%0v]", "abcb", 2, "a[]c[]"},  // no capture: hit 0 writes nothing
      {"%{b%}", "g", "[%0v]", "abcb", 2, "a[b]c[b]"},
      {"b", "", "[%0v]", "abcb", 1, "a[]cb"},
      {"b", "s", "[%0v]", "abc", 0, "abc"},
      {"x", "g", "-", "abc", 0, "abc"},
      {"%/0d", "g", "<>", "a1", 3, "<>a<><>"},  // empty at 0, "1", empty at the end
      {"%{%/0d%}", "g", "<%0v>", "a1", 3, "<>a<1><>"},
      {"", "g", "-", "\x82\xA0", 2, "-\x82\xA0-"},  // empty matches step whole characters
      {"\\", "g", "/", "\x95\x5C\\", 1, "\x95\x5C/"},
      {"%{%d%}", "gs", "<%0v>", "12a3", 2, "<1><2>a3"},  // anchored: only back to back
      {"%d", "g", nullptr, "a1b2", 2, "a1b2"},
      {"%{%l%}%{%d%}", "g", "%1v%0v", "a1-b2", 2, "1a-2b"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.pattern) + " '" + c.flags + "' on " + c.subject);
    CStr subject(c.subject);
    EXPECT_EQ(RegexMatch(subject, c.pattern, c.flags, nullptr, c.tmpl), c.count);
    EXPECT_EQ(subject.view(), c.result);
  }
}

TEST(Run, ExpandTemplate) {
  CStrHitList hits;
  for (const char* h : {"x", "y", "z"}) hits.Add().Assign(h);
  const struct {
    const char* tmpl;
    const char* out;
  } cases[] = {
      {"%%", "%"},       {"%%0v", "%0v"},   {"%0v", "x"},        {"%2v", "z"},
      {"%0V", "z"},      {"%2V", "x"},      {"%3v", ""},         {"%3V", ""},
      {"%v", "%v"},      {"%x", "%x"},      {"%12q", "q"},       {"%", "%"},
      {"a%", "a%"},      {"%1", ""},        {"[%0v%1v]", "[xy]"}, {"%99999999999v", ""},
      {"\x95\x5C%0v", "\x95\x5Cx"},         {"%1\x82\xA0" "b", "\x82\xA0" "b"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tmpl);
    CStr out("=");
    RegexExpandTemplate(c.tmpl, hits, out);
    EXPECT_EQ(out.view(), std::string("=") + c.out);
  }
}

TEST(Run, PositionsAndHitLog) {
  CStr subject("a12");
  CStrHitList hits;
  CStrHitLog log;
  CStrPositionList positions;
  EXPECT_EQ(RegexMatch(subject, "%{%d%}", "g", &hits, "<%0v>", &log, 0, &positions), 2);
  EXPECT_EQ(subject.view(), "a<1><2>");
  EXPECT_EQ(Positions(positions), "(1,3)(4,3)");  // the expansions in the output
  ASSERT_EQ(log.count(), 2u);
  EXPECT_EQ(log[0][0].view(), "1");
  EXPECT_EQ(log[1][0].view(), "2");
  EXPECT_TRUE(log[1].release_on_reset());
  EXPECT_EQ(hits.count(), 0u);  // a global call clears hits after each match

  subject = "a12";
  EXPECT_EQ(RegexMatch(subject, "%{%d%}", "g", &hits, nullptr, nullptr, 0, &positions), 2);
  EXPECT_EQ(Positions(positions), "(1,1)(2,1)");  // the matches in the subject

  EXPECT_EQ(RegexMatch(subject, "%{%d%}%{%d%}", "", &hits), 1);
  EXPECT_EQ(hits.count(), 2u);  // without "g" the one match's hits stay
  EXPECT_EQ(hits[1].view(), "2");
}

TEST(Run, StartOffset) {
  CStr subject("abb");
  CStrPositionList positions;
  EXPECT_EQ(RegexMatch(subject, "%^b", "", nullptr, nullptr, nullptr, 1, &positions), 1);
  EXPECT_EQ(Positions(positions), "(1,1)");
  EXPECT_THROW(RegexMatch(subject, "b", "", nullptr, nullptr, nullptr, 4), int);
}

TEST(Run, SearchForm) {
  CStrPositionList positions;
  CStrHitList hits;
  EXPECT_EQ(RegexSearch("abcb", "b", "g", nullptr, nullptr, &positions), 2);
  EXPECT_EQ(Positions(positions), "(1,1)(3,1)");
  EXPECT_EQ(RegexSearch("abcb", "b", "s"), 0);
  EXPECT_EQ(RegexSearch("ab", "%$", ""), 0);  // the end itself is not tried
  EXPECT_EQ(RegexSearch("", "", ""), 0);
  EXPECT_EQ(RegexSearch("a1", "%/0d", "g", nullptr, nullptr, &positions), 2);
  EXPECT_EQ(Positions(positions), "(0,0)(1,1)");
  EXPECT_EQ(RegexSearch(std::string_view("x=1y", 3), "%{%j%}=%{%d%}", "", &hits), 1);
  EXPECT_EQ(hits[1].view(), "1");

  const RegexCallback reject = [](const RegexCallbackArgs& a) {
    EXPECT_EQ(a.output, nullptr);
    return -2;  // any negative result rejects here
  };
  EXPECT_EQ(RegexSearch("abcb", "b", "g", nullptr, nullptr, &positions, &reject), 0);
  const RegexCallback two = [](const RegexCallbackArgs&) { return 2; };
  EXPECT_EQ(RegexSearch("abcb", "b", "g", nullptr, nullptr, &positions, &two), 2);
  EXPECT_EQ(Positions(positions), "(1,2)(3,1)");
}

TEST(Run, CallbackResults) {
  const struct {
    int result;
    int count;
    const char* subject;  // after replacing "b" by "X" globally in "abcb"
  } cases[] = {
      {-1, 0, "abcb"},  // rejected
      {-2, 2, "aXcX"},  // template applied
      {-3, 2, "ac"},    // kept, template not applied, nothing written
      {1, 2, "a<>c<>"}, // the callback wrote the replacement
      {2, 2, "a<><>"},  // length 2 takes "bc"; at the end it is cut to what is left
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.result);
    CStr subject("abcb");
    const RegexCallback cb = [&](const RegexCallbackArgs& a) {
      EXPECT_EQ(a.match, subject.data() + a.start);
      EXPECT_EQ(a.length, 1);
      EXPECT_STREQ(a.tmpl, "X");
      if (c.result >= 0) a.output->Append("<>");
      return c.result;
    };
    EXPECT_EQ(RegexMatch(subject, "b", "g", nullptr, "X", nullptr, 0, nullptr, &cb), c.count);
    EXPECT_EQ(subject.view(), c.subject);
  }
}

TEST(Run, CallbackSeesHitsAndCanRejectOne) {
  CStr subject("a1b2");
  CStrHitList hits;
  std::vector<std::string> seen;
  const RegexCallback cb = [&](const RegexCallbackArgs& a) {
    seen.emplace_back(a.hits->count() ? (*a.hits)[0].view() : "");
    EXPECT_FALSE(a.hits->release_on_reset());  // buffers are kept during the call
    return a.start == 1 ? -1 : -2;
  };
  hits.set_release_on_reset(true);
  EXPECT_EQ(RegexMatch(subject, "%{%d%}", "g", &hits, "<%0v>", nullptr, 0, nullptr, &cb), 1);
  EXPECT_EQ(subject.view(), "a1b<2>");
  EXPECT_EQ(seen, (std::vector<std::string>{"1", "2"}));
  EXPECT_TRUE(hits.release_on_reset());

  const RegexCallback keep = [](const RegexCallbackArgs&) { return -5; };
  EXPECT_EQ(RegexMatch(subject, "%d", "g", nullptr, nullptr, nullptr, 0, nullptr, &keep), 2)
      << "without a template a negative result other than -1 keeps the match";
}

TEST(Run, HitBuffersSurviveBetweenMatches) {
  const CStrRegexStruct tree = RegexCompile("|%+0{%+0j%e%[,%(%p|%)%]%}|%{%/0j%}");
  CStrHitList hits;
  CStr first(("|" + std::string(300, 'w') + "|text").c_str());
  ASSERT_EQ(RegexMatch(first, tree, "s", &hits), 1);
  const std::uint32_t grown = hits[0].capacity();
  ASSERT_GT(grown, 300u);
  CStr second("|xy|z");
  ASSERT_EQ(RegexMatch(second, tree, "s", &hits), 1);
  EXPECT_EQ(hits[0].view(), "xy");
  EXPECT_EQ(hits[0].capacity(), grown);  // cleared, not freed
  EXPECT_TRUE(hits.release_on_reset());
  CStr plain("no commands");
  EXPECT_EQ(RegexMatch(plain, tree, "s", &hits), 0);
  EXPECT_EQ(hits.count(), 0u);
}

}  // namespace
}  // namespace norvelle
