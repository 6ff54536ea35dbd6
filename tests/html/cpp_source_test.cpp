#include "html/cpp_source.h"
#include "html/escape.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace norvelle {
namespace {

const CppKeywordSet& Keywords() {
  static const CppKeywordSet set;
  return set;
}

// One letter per class, so every font tag in an expected output names its class.
SourceColours Letters() {
  SourceColours c;
  using L = ListingColour;
  c[L::kNormal] = "N"; c[L::kKeyword] = "K"; c[L::kString] = "S"; c[L::kComment] = "C";
  c[L::kLine] = "L"; c[L::kSymbol] = "Y"; c[L::kChar] = "H"; c[L::kNumber] = "U";
  return c;
}

// The lines with a LF between each two.
std::string Join(const std::vector<std::string_view>& lines) {
  std::string text;
  for (std::string_view l : lines) text.append(l).push_back('\n');
  text.pop_back();
  return text;
}

std::string Render(const std::vector<std::string_view>& lines, bool numbers,
                   const SourceColours& colours, const SourceProgress& progress = {}, int base = 0,
                   std::string_view tab = "&nbsp;&nbsp;") {
  const std::string text = Join(lines);
  SourceBlockInput in{text, lines.size(), numbers, &colours, tab, base};
  std::string body;
  EXPECT_TRUE(WriteSourceBlock(in, Keywords(), body, progress));
  return body;
}

using Tokens = std::vector<std::pair<int, std::string>>;

Tokens Scan(std::string_view text) {
  CppScanner scanner(text);
  Tokens out;
  TarnCPPSymbol sym;
  while (!scanner.AtEnd()) {
    scanner.Read(sym);
    if (!sym.text.empty()) out.emplace_back(ColourClassOf(sym, Keywords()), std::string(sym.text.view()));
  }
  return out;
}

TEST(CppSourceScan, TokensAndClasses) {
  const int W = kClassWhitespace, N = kClassNormal, K = kClassKeyword, S = kClassString,
            C = kClassComment, Y = kClassSymbol, H = kClassChar, U = kClassNumber;
  const struct {
    const char* text;
    Tokens tokens;
  } cases[] = {
      {"#include", {{K, "#include"}}},
      {"#pragma once", {{K, "#pragma"}, {W, " "}, {Y, "once"}}},
      {"# include", {{Y, "#"}, {W, " "}, {Y, "include"}}},
      {"While NULL", {{Y, "While"}, {W, " "}, {Y, "NULL"}}},
      {"while(x)", {{K, "while"}, {N, "("}, {Y, "x"}, {N, ")"}}},
      {"abc123", {{Y, "abc123"}}},
      {"123abc", {{U, "123abc"}}},
      {"0x1F", {{U, "0x1F"}}},
      {"1.5e+3", {{U, "1.5e"}, {N, "+"}, {U, "3"}}},
      {"a#b", {{Y, "a#b"}}},
      {"a'b'", {{Y, "a"}, {H, "'b'"}}},  // the empty token between is dropped
      {"\"a\\\"b\";", {{S, "\"a\\\"b\""}, {N, ";"}}},
      {"'\\''x", {{H, "'\\''"}, {Y, "x"}}},
      {"\"\x95\\\"x", {{S, "\"\x95\\\""}, {Y, "x"}}},  // trail byte 0x5C escapes nothing
      {"'\x95\\'x", {{H, "'\x95\\'"}, {Y, "x"}}},
      {"'a\nb'", {{H, "'a\nb'"}}},
      {"\"abc", {{S, "\"abc"}}},
      {"x/y", {{Y, "x"}, {N, "/"}, {Y, "y"}}},
      {"/*/ x", {{C, "/*/"}, {W, " "}, {Y, "x"}}},
      {"/* a\nb", {{C, "/* a\nb"}}},
      {"/*\x81*/ x", {{C, "/*\x81*/ x"}}},  // "*" as a trail byte does not close
      {"a // c\nb", {{Y, "a"}, {W, " "}, {C, "// c\n"}, {Y, "b"}}},
      {"// \x82\nx", {{C, "// \x82\nx"}}},  // a pair's LF does not end the comment
      {"\x82" "abc", {{N, "\x82" "a"}, {Y, "bc"}}},
      {"12\x82\xA0", {{U, "12"}, {N, "\x82\xA0"}}},
      {" \t\n\r", {{N, " \t\n\r"}}},  // CR is no blank
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Scan(c.text), c.tokens);
  }
}

TEST(CppSourceScan, KeywordSetIsExactAndCaseSensitive) {
  for (const char* w : {"asm", "bad_typeid", "except", "finally", "type_info", "while", "#import",
                        "#pragma", "#ifndef"})
    EXPECT_TRUE(Keywords().Contains(w)) << w;
  for (const char* w : {"While", "NULL", "include", "#Include", "intx", "nullptr", "#elseif", ""})
    EXPECT_FALSE(Keywords().Contains(w)) << w;
}

TEST(CppSourceBlock, ExactTables) {
  const SourceColours defaults;
  const SourceColours letters = Letters();
  const struct {
    std::vector<std::string_view> lines;
    bool numbers;
    const SourceColours* colours;
    const char* html;
  } cases[] = {
      {{"int x;"}, false, &defaults,
       "<table><tr><td><tt><b><nobr><font color=\"#0000ff\">int&nbsp;</font><font "
       "color=\"#000000\">x;&nbsp;</font></nobr></b></tt></tr></table>"},
      {{""}, true, &defaults,
       "<table><tr><td><tt><b><font color=\"#6000ff\">&lt;&nbsp;&nbsp;1&gt;</font></b></tt><td><tt>"
       "<b><nobr><font color=\"#000000\">&nbsp;</font></nobr></b></tt></tr></table>"},
      // The empty block writes 000000 whatever the normal colour.
      {{""}, false, &letters,
       "<table><tr><td><tt><b><nobr><font color=\"#000000\">&nbsp;</font></nobr></b></tt></tr>"
       "</table>"},
      {{"a", "b"}, true, &letters,
       "<table><tr><td><tt><b><font color=\"#L\">&lt;&nbsp;&nbsp;1&gt;<br>&lt;&nbsp;&nbsp;2&gt;"
       "</font></b></tt><td><tt><b><nobr><font color=\"#Y\">a<br>\nb&nbsp;</font></nobr></b></tt>"
       "</tr></table>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.html);
    EXPECT_EQ(Render(c.lines, c.numbers, *c.colours), c.html);
  }
}

// The code column between the head and the tail, with one letter per class.
TEST(CppSourceBlock, ColoursAndEscapes) {
  const struct {
    std::vector<std::string_view> lines;
    const char* code;
  } cases[] = {
      {{"# include"}, "Y\">#&nbsp;include"},
      {{"#include <a.h>"},  // the blank belongs to the normal token " <"
       "K\">#include</font><font color=\"#N\">&nbsp;&lt;</font><font color=\"#Y\">a</font>"
       "<font color=\"#N\">.</font><font color=\"#Y\">h</font><font color=\"#N\">&gt;"},
      {{" x"}, "N\">&nbsp;</font><font color=\"#Y\">x"},  // a blank first counts as normal
      {{"\tx"}, "N\">&nbsp;&nbsp;</font><font color=\"#Y\">x"},
      {{"x // c", "y"}, "Y\">x&nbsp;</font><font color=\"#C\">//&nbsp;c<br>\n</font><font color=\"#Y\">y"},
      {{"s=\"\x95\\\";x"},
       "Y\">s</font><font color=\"#N\">=</font><font color=\"#S\">&quot;\x95\\&quot;</font>"
       "<font color=\"#N\">;</font><font color=\"#Y\">x"},
      {{"c='&'"}, "Y\">c</font><font color=\"#N\">=</font><font color=\"#H\">'&amp;'"},
      {{"/* a", "", "b"}, "C\">/*&nbsp;a<br>\n<br>\nb"},
      {{"n=1.5e+3"},
       "Y\">n</font><font color=\"#N\">=</font><font color=\"#U\">1.5e</font><font "
       "color=\"#N\">+</font><font color=\"#U\">3"},
      {{"a\x82"}, "Y\">a</font><font color=\"#N\">"},  // a lead byte at the end is dropped
      // Runs of one colour written together; a lead byte before a byte that
      // can be no trail byte ('=', '+', the line feed) is dropped.
      {{"\x82=\x81+-\x82", "x"}, "N\">=+-<br>\n</font><font color=\"#Y\">x"},
      {{"=\x82", "\x82"}, "N\">=<br>\n"},
      {{"\x82\x82=\x82\x40"}, "N\">\x82\x82=\x82\x40"},
  };
  const SourceColours letters = Letters();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(Render(c.lines, false, letters),
              std::string("<table><tr><td><tt><b><nobr><font color=\"#") + c.code +
                  "&nbsp;</font></nobr></b></tt></tr></table>");
  }
}

TEST(CppSourceBlock, EqualColourStringsShareOneTag) {
  SourceColours c = Letters();
  c[ListingColour::kString] = "K";  // keyword and string look alike; comment differs
  EXPECT_EQ(Render({"if \"s\"/**/"}, false, c),
            "<table><tr><td><tt><b><nobr><font color=\"#K\">if&nbsp;&quot;s&quot;</font><font "
            "color=\"#C\">/**/&nbsp;</font></nobr></b></tt></tr></table>");
}

TEST(CppSourceBlock, LineNumberWidths) {
  std::vector<std::string_view> lines(100, "x");
  const std::string html = Render(lines, true, SourceColours());
  for (const char* part : {"&lt;&nbsp;&nbsp;9&gt;<br>&lt;&nbsp;10&gt;<br>",
                           "&lt;&nbsp;99&gt;<br>&lt;100&gt;</font></b></tt><td>"})
    EXPECT_NE(html.find(part), std::string::npos) << part;
}

// A listing of many chunks; comments, literals and pairs straddle chunk ends.
std::vector<std::string> LongListing(int n) {
  const char* shapes[] = {"#include <stdio.h>", "int main(void) { return 0x1F; } // done",
                          "\tconst char* s = \"a\\\"\x95\\\"b\";", "/* open", "still \x82\xA0 */ x",
                          "", "1.5e+3 + 'c' - '\\''", "\"string over", "two lines\" y"};
  std::vector<std::string> out;
  for (int i = 0; i < n; ++i) out.emplace_back(shapes[i % 9]);
  return out;
}

// The model: every token escaped on its own, a font tag wherever the colour
// string changes. The writer buffers its output; long comments, long tab
// strings and many short tokens cross its buffer's ends.
std::string Model(const std::vector<std::string_view>& lines, const SourceColours& colours,
                  std::string_view tab) {
  const std::string text = Join(lines);
  std::string code;
  std::string colour;
  for (const auto& [cls, token] : Scan(text)) {
    const std::string c(colours.ForClass(colour.empty() && cls == kClassWhitespace ? kClassNormal : cls).view());
    if (colour.empty()) code += c + "\">";
    else if (cls != kClassWhitespace && c != colour) code += "</font><font color=\"#" + c + "\">";
    if (colour.empty() || cls != kClassWhitespace) colour = c;
    AppendConvertedLines(code, token, tab);
  }
  return "<table><tr><td><tt><b><nobr><font color=\"#" + code + "&nbsp;</font></nobr></b></tt></tr></table>";
}

TEST(CppSourceBlock, LongListingsEqualTheTokenModel) {
  const std::string long_comment = "/*" + std::string(40000, 'c') + " \x82\xA0 <&> */";
  const std::string tabs(3000, '\t');
  std::vector<std::string> text = LongListing(5000);
  text.insert(text.begin() + 2500, long_comment);
  text.push_back(tabs + "x" + tabs);
  const std::vector<std::string_view> lines(text.begin(), text.end());
  const SourceColours letters = Letters();
  SourceColours shared = letters;
  shared[ListingColour::kString] = "K";
  const std::string long_tab(100, 'T');  // longer than a buffered piece
  for (std::string_view tab : {std::string_view("&nbsp;&nbsp;"), std::string_view(long_tab)})
    for (const SourceColours* c : {&letters, static_cast<const SourceColours*>(&shared)}) {
      SCOPED_TRACE(tab.size());
      EXPECT_EQ(Render(lines, false, *c, {}, 0, tab), Model(lines, *c, tab));
    }
  // A comment filling the buffer to every offset near its end, then tags.
  for (std::size_t n = 16300; n < 16400; ++n) {
    const std::string comment = "//" + std::string(n, 'c');
    const std::vector<std::string_view> two = {comment, "x \"y\""};
    ASSERT_EQ(Render(two, false, letters), Model(two, letters, "&nbsp;&nbsp;")) << n;
  }
}

TEST(CppSourceBlock, ProgressEveryHundredTokens) {
  // "a" and "\n" alternate: 499 tokens, 50 line feeds per 100 tokens.
  const std::vector<std::string_view> lines(250, "a");
  std::vector<int> seen;
  Render(lines, false, SourceColours(), [&](int pos) { seen.push_back(pos); return false; }, 7);
  EXPECT_EQ(seen, (std::vector<int>{57, 107, 157, 207}));
}

TEST(CppSourceBlock, CancelStopsTheBlock) {
  // Short and long blocks.
  for (std::size_t n : {std::size_t(250), std::size_t(200000)}) {
    SCOPED_TRACE(n);
    const std::string text = Join(std::vector<std::string_view>(n, "a"));
    const SourceColours colours;
    SourceBlockInput in{text, n, false, &colours, "&nbsp;", 0};
    int calls = 0;
    std::string body;
    EXPECT_FALSE(WriteSourceBlock(in, Keywords(), body, [&](int) { return ++calls == 2; }));
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(body.find("</table>"), std::string::npos);
  }
}

}  // namespace
}  // namespace norvelle
