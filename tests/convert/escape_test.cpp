// HTML escaping of Shift_JIS text, with tab and line-feed expansion.
#include "convert/escape.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <string>

namespace norvelle {
namespace {

struct Case {
  std::string in;
  std::string out;
};

TEST(Escape, MarkupCharactersAndDoubleBytePairs) {
  const Case cases[] = {
      {"", ""},
      {"plain", "plain"},
      {"a<b & \"c\"", "a&lt;b&nbsp;&amp;&nbsp;&quot;c&quot;"},
      {">", "&gt;"},
      {"  ", "&nbsp;&nbsp;"},
      {"&amp;", "&amp;amp;"},
      {"'", "'"},
      // Trail bytes equal to '\\' and '|' pass unchanged.
      {"\x95\x5C", "\x95\x5C"},
      {"\x83\x7C", "\x83\x7C"},
      {"\x82\xA0 \x82\xA2", "\x82\xA0&nbsp;\x82\xA2"},
      // A trail byte is never examined; a byte that can be no trail byte is
      // escaped on its own and the lead byte before it dropped.
      {"\x81<", "&lt;"},
      {"\x81\"x", "&quot;x"},
      {"\x81 ", "&nbsp;"},
      {"\x81\x7F\x82\xFD\xE0\x3F", "\x7F\xFD?"},
      {"\x81\x40\x9F\xFC", "\x81\x40\x9F\xFC"},
      // Pairs are counted from the left: the second 0x81 is a trail byte.
      {"\x81\x81<", "\x81\x81&lt;"},
      {"\x81\x81\x81<", "\x81\x81&lt;"},
      // A lead byte that ends the text has no character: dropped.
      {"ab\x82", "ab"},
      {"\x82", ""},
      {"\x82\xA0\x82", "\x82\xA0"},
      // Single-byte katakana and other bytes are copied.
      {"\xB1\xB2\xDF", "\xB1\xB2\xDF"},
      {"\x7F\x80\xA0\xFD", "\x7F\x80\xA0\xFD"},
      // Escaping alone leaves TAB and LF.
      {"a\tb\nc", "a\tb\nc"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    std::string out = "[";
    AppendHtmlEscaped(out, c.in);
    EXPECT_EQ(out, "[" + c.out);
  }
}

TEST(Escape, ConvertedExpandsTabsOutsidePairs) {
  struct TabCase {
    std::string in;
    std::string tab;
    std::string out;
  };
  const std::string three = "&nbsp;&nbsp;&nbsp;";
  const TabCase cases[] = {
      {"a\tb", three, "a" + three + "b"},
      {"\t\t", three, three + three},
      {"\t<\t", "&nbsp;", "&nbsp;&lt;&nbsp;"},
      {"a\tb", "", "ab"},  // tab stop 0
      {"a\tb c", "T", "aTb&nbsp;c"},
      // Not column-aware: every TAB is the same run.
      {"abcd\tx\ty", "T", "abcdTxTy"},
      // A TAB after a lead byte is no trail byte: the lead byte is dropped.
      {"\x81\tx\t", "T", "TxT"},
      // Line feeds are left alone here.
      {"a\nb", "T", "a\nb"},
      {"\x82\xA0\t\x82", "T", "\x82\xA0T"},
  };
  for (const TabCase& c : cases) {
    SCOPED_TRACE(c.in);
    std::string out = "[";
    AppendConverted(out, c.in, c.tab);
    EXPECT_EQ(out, "[" + c.out);
  }
}

TEST(Escape, ConvertedLinesBreakAndCount) {
  struct LineCase {
    std::string in;
    std::string out;
    int lines;
  };
  const LineCase cases[] = {
      {"x", "x", 0},
      {"a\nb", "a<br>\nb", 1},
      {"\n\n", "<br>\n<br>\n", 2},
      {"a\tb\n", "aTb<br>\n", 1},
      {"a\r\nb", "a\r<br>\nb", 1},
      {"if (a < b)\n  c;", "if&nbsp;(a&nbsp;&lt;&nbsp;b)<br>\n&nbsp;&nbsp;c;", 1},
      // Nor is a line feed: broken and counted.
      {"\x81\nx\n", "<br>\nx<br>\n", 2},
      {"\x95\x5C\n", "\x95\x5C<br>\n", 1},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.in);
    std::string out = "[";
    EXPECT_EQ(AppendConvertedLines(out, c.in, "T"), c.lines);
    EXPECT_EQ(out, "[" + c.out);
  }
}

TEST(Escape, LongTextsAreEscapedWhole) {
  std::string in, want;
  for (int i = 0; i < 100000; ++i) {
    in += "ab \x95\x5C<";
    want += "ab&nbsp;\x95\x5C&lt;";
  }
  std::string out;
  AppendHtmlEscaped(out, in);
  EXPECT_EQ(out, want);
}

// The same pieces behind prefixes of every length up to two 16-byte blocks,
// so each special byte and each pair falls at every place of a block; and
// long runs, so the output passes the writer's own buffer many times.
TEST(Escape, PiecesAtEveryOffsetAndInLongRuns) {
  const Case pieces[] = {
      {"\x81<", "&lt;"},
      {"\x81\x81<", "\x81\x81&lt;"},
      {"\x81\x81\x81<", "\x81\x81&lt;"},
      {"\x81 \x81\x7F", "&nbsp;\x7F"},
      {"\x82\xA0 \x82\xA2\t", "\x82\xA0&nbsp;\x82\xA2T"},
      {"a\"b&c>d", "a&quot;b&amp;c&gt;d"},
      {"\xB1\x80\xFD\x7F", "\xB1\x80\xFD\x7F"},
      {"\x81", ""},
  };
  for (const Case& c : pieces) {
    for (std::size_t pad = 0; pad <= 33; ++pad) {
      SCOPED_TRACE(c.in + " after " + std::to_string(pad));
      const std::string prefix(pad, 'x');
      std::string out;
      AppendConverted(out, prefix + c.in, "T");
      EXPECT_EQ(out, prefix + c.out);
    }
  }
  // Escapes and pieces right where the writer's buffer fills.
  for (std::size_t amps = 0; amps < 4; ++amps) {
    for (std::size_t pad = 8100; pad <= 8200; ++pad) {
      SCOPED_TRACE(pad);
      std::string in(amps, '&'), want;
      for (std::size_t i = 0; i < amps; ++i) want += "&amp;";
      in += std::string(pad, 'x') + "<\t\t";
      want += std::string(pad, 'x') + "&lt;sixteen bytes...sixteen bytes...";
      std::string out;
      AppendConverted(out, in, "sixteen bytes...");
      ASSERT_EQ(out, want);
    }
  }
  std::string in, want, cut;
  const std::string sep = "<separator longer than sixteen bytes>";
  for (int i = 0; i < 5000; ++i) {
    in += "word \x82\xA0\x82\xA2\t<x>plain ascii text ";
    want += "word&nbsp;\x82\xA0\x82\xA2T&lt;x&gt;plain&nbsp;ascii&nbsp;text&nbsp;";
    cut += "word" + sep + "\x82\xA0\x82\xA2T&lt;x&gt;plain" + sep + "ascii" + sep + "text" + sep;
  }
  std::string out;
  AppendConverted(out, in, "T");
  EXPECT_EQ(out, want);
  out.clear();
  AppendConvertedCut(out, in, "T", ' ', sep);
  EXPECT_EQ(out, cut);
  // A key among the letters ('|' is also a trail byte: never cut after a lead byte).
  std::string bars, bars_cut;
  for (int i = 0; i < 3000; ++i) {
    bars += "alpha|\x83|beta <0123456789>|";
    bars_cut += "alpha" + sep + "\x83|beta&nbsp;&lt;0123456789&gt;" + sep;
  }
  out.clear();
  AppendConvertedCut(out, bars, "T", '|', sep);
  EXPECT_EQ(out, bars_cut);
}

// The rule, byte by byte: a lead byte takes the next byte when that is a
// trail byte (0x40-0x7E, 0x80-0xFC), else the lead byte is dropped; key bytes
// become sep, except right after a dropped lead byte (no cut there).
std::string EscapeRule(const std::string& in, const std::string& tab, char key, const std::string& sep) {
  std::string out;
  for (std::size_t i = 0; i < in.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(in[i]);
    bool after_lone_lead = false;
    if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
      const unsigned char t = i + 1 < in.size() ? static_cast<unsigned char>(in[i + 1]) : 0;
      if (t >= 0x40 && t != 0x7F && t <= 0xFC) {
        out += in.substr(i++, 2);
        continue;
      }
      if (++i == in.size()) break;
      after_lone_lead = true;
    }
    const unsigned char b = static_cast<unsigned char>(in[i]);
    if (in[i] == key && !after_lone_lead) out += sep;
    else if (b == ' ') out += "&nbsp;";
    else if (b == '"') out += "&quot;";
    else if (b == '&') out += "&amp;";
    else if (b == '<') out += "&lt;";
    else if (b == '>') out += "&gt;";
    else if (b == '\t') out += tab;
    else out += in[i];
  }
  return out;
}

// Random texts of every length up to a few blocks, against the rule: words
// and blanks (which sixteen-byte blocks expand in place), pairs, specials.
TEST(Escape, RandomTextsFollowTheRule) {
  std::mt19937 random(7);
  const char alphabet[] = {'a', 'b', ' ', ' ', ' ', '<', '\x82', '\xA0', '\t', ',', '\0', '"'};
  const std::string seps[] = {"", "+", "&nbsp;", "12345678", "123456789", std::string(40, 's')};
  for (int round = 0; round < 3000; ++round) {
    std::string in;
    const int size = int(random() % 120);
    // Letters and blanks only; or lead-range bytes, other high bytes and
    // blanks, so that blanks fall after runs of leads of every length.
    const char* const plain = "ab  ";
    const char* const paired = "a \x81\x82\x9F\xE0\xFC\xA0\x80  \x7F\xFD<";
    for (int i = 0; i < size; ++i)
      in += round % 3 == 0 ? plain[random() % 4] : round % 3 == 1 ? paired[random() % 14] : alphabet[random() % sizeof alphabet];
    const std::string& sep = seps[std::size_t(round) % std::size(seps)];
    SCOPED_TRACE(round);
    std::string out;
    AppendConverted(out, in, "TT");
    ASSERT_EQ(out, EscapeRule(in, "TT", '\x01', ""));
    out.clear();
    AppendConvertedCut(out, in, "TT", ' ', sep);
    ASSERT_EQ(out, EscapeRule(in, "TT", ' ', sep));
    out.clear();
    AppendConvertedCut(out, in, "TT", ',', sep);
    ASSERT_EQ(out, EscapeRule(in, "TT", ',', sep));
    // A key from 0x40 on, between blanks.
    out.clear();
    AppendConvertedCut(out, in, "TT", 'b', sep);
    ASSERT_EQ(out, EscapeRule(in, "TT", 'b', sep));
  }
}

}  // namespace
}  // namespace norvelle
