// Finding a key at character starts and cutting text at it.
#include "text/split.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace norvelle {
namespace {

TEST(SplitAtKey, Pieces) {
  struct SplitCase {
    std::string text, key;
    std::vector<std::string> pieces;
  };
  const SplitCase cases[] = {
      {"a b c", " ", {"a", "b", "c"}},
      {"a  b", " ", {"a", "", "b"}},
      {" a ", " ", {"", "a", ""}},
      {"", " ", {""}},
      {"a b", "", {"a b"}},
      {"", "", {""}},
      {"a, b,c", ", ", {"a", "b,c"}},
      {"aaa", "aa", {"", "a"}},
      {"abab", "ab", {"", "", ""}},
      {"a", "abc", {"a"}},
      {"x\x82\xA0y", "\x82\xA0", {"x", "y"}},
      // Never matched at a trail byte.
      {"x\x95\x5Cy", "\\", {"x\x95\x5Cy"}},
      {"x\x95\x5C\\y", "\\", {"x\x95\x5C", "y"}},
      {"\x81\x7C|", "|", {"\x81\x7C", ""}},
      {"\x82\x82\xA0", "\x82\xA0", {"\x82\x82\xA0"}},
      {"a\tb\t", "\t", {"a", "b", ""}},
  };
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(c.text + " at " + c.key);
    std::vector<std::string> got;
    SplitAtKey(c.text, c.key, [&](std::string_view piece) { got.emplace_back(piece); });
    EXPECT_EQ(got, c.pieces);
  }
}

TEST(FindAtCharStart, FirstMatchAtACharacterStart) {
  const struct {
    std::string text, key;
    std::size_t at;
  } cases[] = {
      {"abc", "", 0},
      {"abc", "c", 2},
      {"abc", "d", std::string::npos},
      {"\x95\x5C\\", "\\", 2},                          // not the trail byte
      {"\x82\xA0\x82\xA0x", "\x82\xA0x", 2},              // a double-byte key
      {std::string(40, 'a') + "\x81|" + "|", "|", 42},  // past the blocks
      {std::string(20, 'a') + "ab", "abc", std::string::npos},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text + " for " + c.key);
    EXPECT_EQ(FindAtCharStart(c.text, c.key), c.at);
  }
}

}  // namespace
}  // namespace norvelle
