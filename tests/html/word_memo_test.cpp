// The memo of short texts' HTML: a text finds only what was kept for it.
#include "html/word_memo.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace norvelle {
namespace {

std::string Found(const WordMemo& m, const std::string& text, bool convert) {
  const WordMemo::Entry* e = m.Find(WordMemo::KeyOf(text, convert));
  return e ? std::string(m.Html(*e)) + (e->changed ? "+" : "") : "-";
}

// Every length up to the longest kept, with one byte changed at each place
// (the words overlap for some lengths: each byte must still count).
TEST(WordMemo, ATextDifferingInOneByteIsAnotherText) {
  for (std::size_t n = 0; n <= WordMemo::kMaxText; ++n) {
    const std::string text(n, 'a');
    for (std::size_t at = 0; at < n; ++at) {
      for (char other : {'b', '\0', '\x81'}) {
        SCOPED_TRACE(testing::Message() << n << " " << at << " " << int(other));
        WordMemo m;
        m.Put(WordMemo::KeyOf(text, true), "kept", true);
        std::string changed = text;
        changed[at] = other;
        EXPECT_EQ(Found(m, changed, true), "-");
        EXPECT_EQ(Found(m, text, false), "-");
        EXPECT_EQ(Found(m, text, true), "kept+");
        EXPECT_EQ(Found(m, text.substr(0, n - 1), true), "-");
      }
    }
  }
}

// Many texts: the table grows and the arena starts again when full; a text
// is found with its own HTML or not at all.
TEST(WordMemo, ManyTextsNeverFindAnotherOnesHtml) {
  WordMemo m;
  const std::string big(600 * 1024, 'x');
  std::vector<std::string> words;
  for (int i = 0; i < 20000; ++i) words.push_back("w" + std::to_string(i * 7919));
  int found = 0;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i % 5000 == 4999) m.Put(WordMemo::KeyOf("big", false), big, false);  // fills the arena
    m.Put(WordMemo::KeyOf(words[i], false), "<" + words[i] + ">", false);
    const std::string back = Found(m, words[i], false);
    ASSERT_EQ(back, "<" + words[i] + ">");
    for (std::size_t j = i > 100 ? i - 100 : 0; j < i; ++j) {
      const std::string earlier = Found(m, words[j], false);
      if (earlier == "-") continue;
      ++found;
      ASSERT_EQ(earlier, "<" + words[j] + ">");
    }
  }
  EXPECT_GT(found, 100000);  // most recent texts are still there
  m.Clear();
  EXPECT_EQ(Found(m, words.back(), false), "-");
}

}  // namespace
}  // namespace norvelle
