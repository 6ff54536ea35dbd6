// Tree shapes built by the pattern compiler.
#include <gtest/gtest.h>

#include <string>

#include "pattern/regex.h"

namespace norvelle {
namespace {

// One element as text: "+c0m3:j" is operator j with modifier "+", count 0,
// maximum 3; literals are quoted; groups are (...), {...}, [...]; a "z"
// shows its operand as z<...>; a range is "-" and its two bounds.
std::string Dump(const CStrRegexStruct& e);

std::string DumpChildren(const CStrRegexStruct& e) {
  std::string s;
  for (std::uint32_t i = 0; i < e.children.count(); ++i) {
    if (i) s += ' ';
    s += Dump(e.children[i]);
  }
  return s;
}

std::string Dump(const CStrRegexStruct& e) {
  std::string s;
  if (e.modifier != ' ') s += e.modifier;
  if (e.count >= 0) s += "c" + std::to_string(e.count);
  if (e.index >= 0) s += "i" + std::to_string(e.index);
  if (e.maximum >= 0) s += "m" + std::to_string(e.maximum);
  if (!s.empty()) s += ':';
  switch (e.kind) {
    case kRegexEmpty: return s + "E";
    case kRegexLiteral: return s + "'" + std::string(e.literal.view()) + "'";
    case kRegexSequence: return s + "(" + DumpChildren(e) + ")";
    case kRegexCapture: return s + "{" + DumpChildren(e) + "}";
    case kRegexAlternation: return s + "[" + DumpChildren(e) + "]";
    case kRegexOperator: return s + (e.op == 'z' ? "z<" + DumpChildren(e) + ">" : std::string(1, e.op));
    case kRegexRange: return s + "-" + e.range_low + e.range_high;
  }
  return s + "?";
}

std::string Compiled(std::string_view pattern) { return DumpChildren(RegexCompile(pattern)); }

TEST(Compile, TreeShapes) {
  const struct {
    const char* pattern;
    const char* tree;
  } cases[] = {
      {"", ""},
      {"ab%dcd", "'ab' d 'cd'"},
      {"%[ab%]", "['a' 'b']"},
      {"a%%b%[%%x\x82\xA0%]", "'a%b' ['%' 'x' '\x82\xA0']"},
      {"%(ab", "('ab')"},
      {"ab%)cd", "'ab'"},
      {"%{a%]b", "{'a'} 'b'"},  // any closer closes any group
      {"%(%{%[a%]%}%)", "({['a']})"},
      {"ab\x82", "'ab\x82'"},  // a lead byte ending the pattern stays
      {"a\x95\x5C%d", "'a\x95\x5C' d"},
      {"\x95%d", "'\x95%d'"},  // the lead byte takes "%" as its trail byte
      // numbers; index operators trade the first and the dot number
      {"%+0,3j", "+c0m3:j"},
      {"%3.5d", "c3i5:d"},
      {"%3.5v", "c5i3:v"},
      {"%3.5V%2h%t%1u%U%.4v", "c5i3:V i2:h t i1:u U c4:v"},
      {"%.,3j", "m3:j"},
      {"%99999999999d", "c2147483647:d"},
      // marks drop their modifier and numbers
      {"%*2.1,3$x", "$ 'x'"},
      {"%+2P%/e%!p%3^", "P e p ^"},
      // ranges: a double-byte bound is a blank; fewer than two bounds, nothing
      {"%-az", "-az"},
      {"%*2-09", "*c2:-09"},
      {"%-\x82\xA0z", "- z"},
      {"%-a", ""},
      // unknown operators: "%", modifier and numbers go, the character stays
      {"a%qb", "'a' 'qb'"},
      {"%E%2F", "'E' 'F'"},
      {"%+%d", "d"},
      {"%", ""},
      {"a%12", "'a'"},
      // "z" takes operators and groups up to one literal character or a closer
      {"%z%dx y", "z<d 'x'> ' y'"},
      {"%3z%(a%)bc", "c3:z<('a') 'b'> 'c'"},
      {"%(a%z%)b", "('a' z<> 'b')"},
      // the system's own patterns
      {"%/0w[%{%+j%e]%}", "/c0:w '[' {+:j e ']'}"},
      {"%/0w%{%+j%e=%}%{%+0j%P\n%}", "/c0:w {+:j e '='} {+c0:j P '\n'}"},
      {"%0,1(%*j%[\\/%]%)%{%*j%P%![. %]%j%}", "c0m1:(*:j ['\\' '/']) {*:j P !:['.' ' '] j}"},
      {"%{%0,2n%}%{%0,2n%}%{%0,2n%}", "{c0m2:n} {c0m2:n} {c0m2:n}"},
      {"|%+0{%+0j%e%[,%(%p|%)%]%}|%{%/0j%}", "'|' +c0:{+c0:j e [',' (p '|')]} '|' {/c0:j}"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern);
    EXPECT_EQ(Compiled(c.pattern), c.tree);
  }
}

TEST(Compile, CursorStopsAfterStrayCloser) {
  const char* p = "ab%)cd";
  CStrRegexStruct root;
  EXPECT_TRUE(RegexCompile(p, root));
  EXPECT_EQ(root.kind, kRegexSequence);
  EXPECT_STREQ(p, "cd");
  EXPECT_EQ(DumpChildren(root), "'ab'");
}

TEST(Compile, ReusedElementsStartFresh) {
  // Cleared arrays hand back their old elements; none of the old subtree may
  // survive into the new tree.
  CStrRegexStruct root;
  const char* first = "%+2{a%d%}";
  RegexCompile(first, root);
  root.children.Clear();
  const char* second = "b";
  RegexCompile(second, root);
  ASSERT_EQ(root.children.count(), 1u);
  const CStrRegexStruct& e = root.children[0];
  EXPECT_EQ(Dump(e), "'b'");
  EXPECT_EQ(e.children.count(), 0u);
}

}  // namespace
}  // namespace norvelle
