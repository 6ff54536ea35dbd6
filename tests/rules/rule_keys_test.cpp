// Rule keys, their defaults, and reading the conversion settings.
#include "rules/rule_keys.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "rules/rule_store.h"

namespace norvelle {
namespace {

constexpr const char* kDefaultHeader =
    "<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n"
    "<html lang=\"ja\">\n"
    "<head>\n"
    "<META http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">\n"
    "<title_rep>\n"
    "</head>\n"
    "<body>";

TEST(RuleKeys, TableIsInKeyOrderWithRootPaths) {
  for (int i = 0; i < kRuleKeyCount; ++i) {
    SCOPED_TRACE(kRuleKeys[i].path);
    EXPECT_EQ(int(kRuleKeys[i].key), i);
    EXPECT_EQ(&RuleKeyOf(RuleKey(i)), &kRuleKeys[i]);
    EXPECT_EQ(kRuleKeys[i].path[0], '/');
  }
}

TEST(RuleSettingsTest, DefaultsOfAnEmptyRule) {
  RuleStore store;
  RuleSettings s;
  ReadSettings(store, s);
  struct Case {
    const char* name;
    const CStr& got;
    const char* want;
  };
  const Case cases[] = {
      {"header", s.header, kDefaultHeader},
      {"footer", s.footer, "</body>\n</html>"},
      {"normal", s.colours[ListingColour::kNormal], "000000"},
      {"keyword", s.colours[ListingColour::kKeyword], "0000ff"},
      {"string", s.colours[ListingColour::kString], "0080bb"},
      {"comment", s.colours[ListingColour::kComment], "008000"},
      {"line", s.colours[ListingColour::kLine], "6000ff"},
      {"symbol", s.colours[ListingColour::kSymbol], "000000"},
      {"char", s.colours[ListingColour::kChar], "0080bb"},
      {"num", s.colours[ListingColour::kNumber], "000000"},
      {"split", s.split_key, " "},
      {"join", s.join_key, " "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.got.view(), c.want);
  }
  EXPECT_EQ(s.tab_stop, 3);
  EXPECT_TRUE(s.src_line_out);
  for (const CStr& r : s.replace) EXPECT_TRUE(r.empty());
  EXPECT_TRUE(s.auto_replace.empty());
  // Reading the defaults creates no root key.
  EXPECT_EQ(store.root().Values().size(), 0u);
}

TEST(RuleSettingsTest, ValuesFromTheRule) {
  RuleStore store;
  ASSERT_TRUE(store.Parse(
      "HeaderStr=<html>\\n<body>\nEndStr=</x>\nTabStop=8\nSrcColorNum=123456\n"
      "SplitKey=,\nJoinKey=\\t\nSrcLineOut=OFF\n"
      "[ReplaceList]\n00=zero\n99=last\n[EndSection]\n",
      true));
  RuleSettings s;
  ReadSettings(store, s);
  EXPECT_EQ(s.header.view(), "<html>\n<body>");
  EXPECT_EQ(s.footer.view(), "</x>");
  EXPECT_EQ(s.tab_stop, 8);
  EXPECT_EQ(s.colours[ListingColour::kNumber].view(), "123456");
  EXPECT_EQ(s.colours[ListingColour::kLine].view(), "6000ff");
  EXPECT_EQ(s.split_key.view(), ",");
  EXPECT_EQ(s.join_key.view(), "\t");
  EXPECT_FALSE(s.src_line_out);
  EXPECT_EQ(s.replace[0].view(), "zero");
  EXPECT_EQ(s.replace[99].view(), "last");
  EXPECT_TRUE(s.replace[50].empty());
}

// The profile: html5 in any letter case; the HTML5 header its own unless the
// rule gives one; the HTML5 footer EndStr unless the rule gives one.
TEST(RuleSettingsTest, ProfileKeys) {
  struct Case {
    const char* rule;
    bool html5;
    const char* lang;
    const char* header_starts;
    const char* footer;
  };
  const Case cases[] = {
      {"", false, "ja", "<!DOCTYPE html>\n<html lang=\"<lang_rep>\">\n", "</body>\n</html>"},
      {"OutputProfile=HTML5\nEndStr=</x>\n", true, "ja", "<!DOCTYPE html>\n", "</x>"},
      {"OutputProfile=html5\nHtmlLang=en\nHtml5HeaderStr=<h5>\nHtml5EndStr=<e5>\nHeaderStr=<h4>\n", true, "en",
       "<h5>", "<e5>"},
      {"OutputProfile=html 5\n", false, "ja", "<!DOCTYPE html>\n", "</body>\n</html>"},
      {"OutputProfile=html4\nHtml5EndStr=\n", false, "ja", "<!DOCTYPE html>\n", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rule);
    RuleStore store;
    ASSERT_TRUE(store.Parse(c.rule, true));
    RuleSettings s;
    ReadSettings(store, s);
    EXPECT_EQ(s.html5, c.html5);
    EXPECT_EQ(s.lang.view(), c.lang);
    EXPECT_TRUE(s.html5_header.view().starts_with(c.header_starts)) << s.html5_header.view();
    EXPECT_EQ(s.html5_footer.view(), c.footer);
  }
}

TEST(RuleSettingsTest, TabStopReadsLikePercentD) {
  struct Case {
    const char* value;  // null: absent
    int want;
  };
  const Case cases[] = {
      {nullptr, 3}, {"abc", 3}, {" 5x", 5}, {"-2", -2}, {"+7", 7}, {"", 3},
      {"\t12", 12}, {"x5", 3},  {"0", 0},   {"- 4", 3}, {"007", 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value ? c.value : "(absent)");
    RuleStore store;
    if (c.value) store.ValueSlot("/TabStop") = c.value;
    RuleSettings s;
    ReadSettings(store, s);
    EXPECT_EQ(s.tab_stop, c.want);
  }
}

TEST(RuleSettingsTest, SrcLineOutIsOnOnlyForExactlyON) {
  struct Case {
    const char* value;  // null: absent
    bool want;
  };
  const Case cases[] = {{nullptr, true}, {"ON", true}, {"on", false}, {"OFF", false}, {"", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value ? c.value : "(absent)");
    RuleStore store;
    if (c.value) store.ValueSlot("/SrcLineOut") = c.value;
    RuleSettings s;
    ReadSettings(store, s);
    EXPECT_EQ(s.src_line_out, c.want);
  }
}

TEST(RuleKeys, ReplaceKeysAreTwoDigitsAndOthersAsPercent02d) {
  const std::pair<int, const char*> cases[] = {{0, "00"}, {7, "07"}, {10, "10"}, {99, "99"},
                                               {100, "100"}, {-1, "-1"}, {-12, "-12"}};
  for (const auto& [n, key] : cases) EXPECT_EQ(ReplaceKey(n).view(), key) << n;
}

TEST(RuleSettingsTest, CreatesBothListsAndEndsInTheAutoReplaceList) {
  RuleStore store;
  ASSERT_TRUE(store.Parse("[ReplaceList]\n05=<br>\n100=extra\n[EndSection]", true));
  RuleSettings s;
  ReadSettings(store, s);
  const RuleStore::Section* list = store.FindSection("/ReplaceList");
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->Values().size(), 101u);  // "00".."99" plus the kept extra key
  for (int n = 0; n < kReplaceCount; ++n) {
    SCOPED_TRACE(n);
    char key[3] = {char('0' + n / 10), char('0' + n % 10), 0};
    const CStr* v = list->Values().Find(key);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->view(), n == 5 ? "<br>" : "");
  }
  EXPECT_EQ(s.replace[5].view(), "<br>");
  EXPECT_NE(store.FindSection("/AutoReplaceList"), nullptr);
  EXPECT_EQ(store.current_path().view(), "AutoReplaceList");
  EXPECT_EQ(&store.current(), store.FindSection("/AutoReplaceList"));

  // Reading again adds nothing.
  std::uint32_t sections = store.section_count();
  ReadSettings(store, s);
  EXPECT_EQ(store.section_count(), sections);
  EXPECT_EQ(list->Values().size(), 101u);
}

TEST(RuleSettingsTest, AutoReplaceEntriesInMapOrderStillEscaped) {
  // "a", "b" and "a\\sb" sit in buckets 1, 2 and 26:
  // map order is a, b, a\sb whatever the file order.
  RuleStore store;
  ASSERT_TRUE(store.Parse("[AutoReplaceList]\na\\sb=R:x\nb=I:y\na=M:z\n[EndSection]", true));
  ASSERT_TRUE(store.ChangeSection("/"));  // ReadSettings must not rely on it
  RuleSettings s;
  s.auto_replace.emplace_back("stale", "x");
  ReadSettings(store, s);
  ASSERT_EQ(s.auto_replace.size(), 3u);
  const char* const want[][2] = {{"a", "M:z"}, {"b", "I:y"}, {"a\\sb", "R:x"}};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(s.auto_replace[std::size_t(i)].first.view(), want[i][0]);
    EXPECT_EQ(s.auto_replace[std::size_t(i)].second.view(), want[i][1]);
  }
}

TEST(RuleSettingsTest, ADroppedStoreGivesTheSameSettings) {
  // Reading from a store that is dropped afterwards moves the auto-replace
  // values out instead of copying them; the settings are the same.
  std::string text = "TabStop=5\n[AutoReplaceList]\n";
  for (int i = 0; i < 300; ++i) text += "w" + std::to_string(i) + "=M:" + std::string(i % 90, 'v') + "\n";
  text += "[EndSection]\n";
  RuleStore kept, dropped;
  ASSERT_TRUE(kept.Parse(text, true));
  ASSERT_TRUE(dropped.Parse(text, true));
  RuleSettings copied, moved;
  ReadSettings(kept, copied);
  ReadSettings(std::move(dropped), moved);
  EXPECT_EQ(moved.tab_stop, 5);
  ASSERT_EQ(moved.auto_replace.size(), 300u);
  ASSERT_EQ(copied.auto_replace.size(), 300u);
  for (std::size_t i = 0; i < 300; ++i) {
    EXPECT_EQ(moved.auto_replace[i].first.view(), copied.auto_replace[i].first.view());
    EXPECT_EQ(moved.auto_replace[i].second.view(), copied.auto_replace[i].second.view());
  }
  EXPECT_EQ(kept.GetValue("/AutoReplaceList/w89")->view(), "M:" + std::string(89, 'v'));
}

TEST(RuleKeyEscapes, WordsAndKeys) {
  struct Case {
    const char* word;
    const char* key;
  };
  const Case cases[] = {
      {"a/b=c", "a\\sb\\ec"},
      {"x\\y", "x\\\\y"},
      {"l\nt\t", "l\\nt\\t"},
      {"C++", "C++"},
      {"", ""},
      {"\x95\x5C/", "\x95\x5C\\s"},  // trail byte 0x5C is no backslash
      {"\x83\x5C\\", "\x83\x5C\\\\"},
      {"end\x95", "end\x95"},  // a lone lead byte at the end
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.word);
    EXPECT_EQ(EscapeKey(c.word).view(), c.key);
    EXPECT_EQ(UnescapeKey(c.key).view(), c.word);
  }
}

TEST(RuleKeyEscapes, UnescapeDropsUnknownAndTrailingEscapes) {
  struct Case {
    const char* key;
    const char* word;
  };
  const Case cases[] = {
      {"a\\qb", "ab"},       {"ab\\", "ab"},      {"\\\\\\", "\\"},
      {"a\\\x82\xA0z", "az"}, {"\\S\\E", ""},     {"\\s\\e\\n", "/=\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(UnescapeKey(c.key).view(), c.word);
  }
}

}  // namespace
}  // namespace norvelle
