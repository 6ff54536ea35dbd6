// The command-line scan against the pattern it stands for: the same answer,
// words and text on chosen lines and on many random ones.
#include "markup/command_line.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "pattern/regex.h"

namespace norvelle {
namespace {

struct Reading {
  bool command = false;
  std::vector<std::string> words;
  std::string text;
  bool operator==(const Reading&) const = default;
};

Reading ByPattern(const std::string& line) {
  static const CStrRegexStruct pattern = RegexCompile(kCommandLinePattern);
  Reading r;
  CStrHitList hits;
  if (RegexSearch(line, pattern, "s", &hits) <= 0 || hits.count() == 0) return r;
  r.command = true;
  for (std::uint32_t i = 0; i + 1 < hits.count(); ++i) r.words.emplace_back(hits[i].view());
  r.text = std::string(hits[hits.count() - 1].view());
  return r;
}

Reading ByScan(const std::string& line) {
  Reading r;
  std::vector<std::string_view> words = {"left over"};
  std::string_view text;
  r.command = ScanCommandLine(line, words, text);
  for (std::string_view w : words) r.words.emplace_back(w);
  if (r.command) r.text = std::string(text);
  return r;
}

std::string Show(const Reading& r) {
  if (!r.command) return "plain";
  std::string s;
  for (const std::string& w : r.words) s += "[" + w + "]";
  return s + " " + r.text;
}

TEST(CommandLineScan, ChosenLines) {
  const struct {
    std::string line;
    std::string expected;
  } cases[] = {
      {"|b|text", "[b] text"},
      {"|b,i|", "[b][i] "},
      {"||text", " text"},
      {"|a,|t", "[a] t"},
      {"|a,,b|t", "[a][][b] t"},
      {"|,|x", "[] x"},
      {"|a|b|c", "[a] b|c"},
      {"|a,b", "plain"},
      {"|abc", "plain"},
      {"|", "plain"},
      {"", "plain"},
      {"b|x|", "plain"},
      {"|\x83\x7C|t", "[\x83\x7C] t"},      // the bar is a trail byte: inside the word
      {"|\x83\x7C", "plain"},
      {"|a\x83|t", "plain"},                 // a lead byte before a bar pairs with it
      {std::string("|a\x83\0|t", 6), std::string("[a\x83\0] t", 7)},  // a lead byte before NUL is alone
      {"|\x83,|t", "[\x83,] t"},            // a lead byte takes any next byte but NUL
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(Show(ByPattern(c.line)), c.expected);
    EXPECT_EQ(ByScan(c.line), ByPattern(c.line));
  }
}

TEST(CommandLineScan, RandomLinesAgreeWithThePattern) {
  // Bytes that matter to the pattern, lead and trail bytes among them.
  const char alphabet[] = {'|', '|', ',', ',', 'a', 'b', ' ', '\x83', '\x7C', '\x81', '\0', '\xE0'};
  std::mt19937 rng(12);
  std::uniform_int_distribution<int> len(0, 14), pick(0, sizeof alphabet - 1);
  int commands = 0;
  for (int n = 0; n < 20000; ++n) {
    std::string line = "|";
    for (int k = len(rng); k > 0; --k) line += alphabet[pick(rng)];
    if (n % 7 == 0) line[0] = alphabet[pick(rng)];
    SCOPED_TRACE(testing::PrintToString(line));
    const Reading want = ByPattern(line);
    commands += want.command;
    ASSERT_EQ(ByScan(line), want);
  }
  EXPECT_GT(commands, 1000);  // both kinds of line were tried
}

}  // namespace
}  // namespace norvelle
