// Reading and writing the rule file's text form.
#include "rules/rule_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "pattern/regex.h"
#include "platform/paths.h"
#include "rules/rule_keys.h"
#include "rules/rule_store.h"
#include "support/test_support.h"

namespace norvelle {
namespace {

// Every section as "/A/B/" and every value as "/A/B/key=value", sorted, so
// that expectations do not depend on the map order.
void DumpSection(const RuleStore::Section& s, const std::string& path,
                 std::vector<std::string>& out) {
  RuleStore::ForEachKey(s, [&](std::string_view k, const CStr& v) {
    out.push_back(path + std::string(k) + "=" + std::string(v.view()));
  });
  RuleStore::ForEachSection(s, [&](std::string_view name, const RuleStore::Section& child) {
    std::string p = path + std::string(name) + "/";
    out.push_back(p);
    DumpSection(child, p, out);
  });
}

std::vector<std::string> Dump(const RuleStore& store) {
  std::vector<std::string> out;
  DumpSection(store.root(), "/", out);
  std::sort(out.begin(), out.end());
  return out;
}

std::string Written(const RuleStore& store) {
  CStr_base<1024> out;
  WriteRuleText(store, out);
  return std::string(out.view());
}

using Lines = std::vector<std::string>;

// Puts the default rule file into a test folder for one test.
struct ProgramPathOverride {
  explicit ProgramPathOverride(const std::string& path) { SetProgramPathForTesting(path); }
  ~ProgramPathOverride() { SetProgramPathForTesting(""); }
};

struct ReadCase {
  const char* text;
  bool ok;
  Lines dump;
};

TEST(RuleFileReader, LineKindsAndFailures) {
  const ReadCase cases[] = {
      // key lines: blanks skipped, the key ends at the first "=" after its first character
      {"  key=a=b", true, {"/key=a=b"}},
      {"\t key =v", true, {"/key =v"}},
      {"==x", true, {"/==x"}},
      {"k=", true, {"/k="}},
      {"k= v ", true, {"/k= v "}},
      {"=x", true, {}},
      {"x=[EndSection]", true, {"/x=[EndSection]"}},
      {"[EndSection]=x", true, {"/[EndSection]=x"}},
      {"[S]=1", true, {"/[S]=1"}},
      // a key holding "/" is kept as it is, in the section being read
      {"a/b=c", true, {"/a/b=c"}},
      {"a\\sb\\ec=1", true, {"/a\\sb\\ec=1"}},  // keys are not unescaped
      {"\x95\x5C=v", true, {"/\x95\x5C=v"}},
      {"k=1\nk=2", true, {"/k=2"}},
      // section lines
      {"[name] trailing text\nk=v", true, {"/name/", "/name/k=v"}},
      {"  [S]\n  k=v\n  [EndSection]\nr=1", true, {"/S/", "/S/k=v", "/r=1"}},
      {"[a]b]", true, {"/a/"}},
      {"[]", true, {}},
      {"[]x]", true, {"/]x/"}},
      {"[open", true, {}},
      {"[\x83\x5D]]", true, {"/\x83\x5D/"}},  // trail byte 0x5D is no "]"
      {"[S]\nk=v", true, {"/S/", "/S/k=v"}},  // left open: closed silently
      // end lines anywhere in a line that is no key line
      {"[S]\nabc [EndSection] def\nk=v", true, {"/S/", "/k=v"}},
      {"[S]\n\x95[EndSection]\nk=v", true, {"/S/", "/S/k=v"}},  // "[" is a trail byte
      {"[A]\n[B]\nb=1\n[EndSection]\na=1\n[EndSection]\nr=1", true,
       {"/A/", "/A/B/", "/A/B/b=1", "/A/a=1", "/r=1"}},
      // merged sections
      {"[X]\na=1\n[EndSection]\n[X]\nb=2\n[EndSection]", true, {"/X/", "/X/a=1", "/X/b=2"}},
      {"[X]\na=1\n[EndSection]\n[X]\na=2\n[EndSection]", true, {"/X/", "/X/a=2"}},
      // failing lines keep what was read before
      {"[EndSection]", false, {}},
      {"k=1\n[S]\n[EndSection]\n[EndSection]\nm=2", false, {"/S/", "/k=1"}},
      {"k=1\n[a.b]\nm=2", false, {"/k=1"}},
      {"k=1\n[a/b]\nm=2", false, {"/k=1"}},
      {"[..]", false, {}},
      {"[S]\nk=1\n[.]\nm=2", false, {"/S/", "/S/k=1"}},
      // empty and blank text
      {"", true, {}},
      {"\n\n  \n\t", true, {}},
      {"ignored text\nk=v\n", true, {"/k=v"}},
      // parsed text has no CR LF any more (files are read in text mode), so
      // a CR is part of the value; "[S]\r" still opens S, "[EndSection]\r" ends it
      {"a=1\r\n[S]\r\nb=2\r\n[EndSection]\r\n", true, {"/S/", "/S/b=2\r", "/a=1\r"}},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.text);
    RuleStore store;
    EXPECT_EQ(store.Parse(c.text, true), c.ok);
    Lines want = c.dump;
    std::sort(want.begin(), want.end());
    EXPECT_EQ(Dump(store), want);
  }
}

// The line grammar is that of two patterns; every line of up to five
// characters from an alphabet of blanks, marks, a lead byte and NUL reads
// as the pattern engine reads it, key and value or name included.
TEST(RuleFileReader, LinesReadAsTheirPatternsMatch) {
  const CStrRegexStruct key_line = RegexCompile("%/0w%{%+j%e=%}%{%+0j%P\n%}");
  const CStrRegexStruct section_line = RegexCompile("%/0w[%{%+j%e]%}");
  const char alphabet[] = {' ', '\t', '=', '[', ']', 'a', '\x81', '\0'};
  std::vector<std::string> lines{""};
  for (std::size_t from = 0, len = 0; len < 5; ++len) {
    const std::size_t to = lines.size();
    for (std::size_t i = from; i < to; ++i)
      for (char c : alphabet) lines.push_back(lines[i] + c);
    from = to;
  }
  CStrHitList hits;
  for (const std::string& line : lines) {
    SCOPED_TRACE(testing::PrintToString(line));
    std::string_view key, value, name;
    const bool is_key = RegexSearch(line, key_line, "s", &hits) > 0;
    ASSERT_EQ(SplitKeyLine(line, key, value), is_key);
    if (is_key) {
      ASSERT_EQ(hits.count(), 2u);
      EXPECT_EQ(key, hits[0].view());
      EXPECT_EQ(value, hits[1].view());
    }
    const bool is_section = RegexSearch(line, section_line, "s", &hits) > 0;
    ASSERT_EQ(SectionLineName(line, name), is_section);
    if (is_section) {
      EXPECT_EQ(name, hits[0].view());
    }
  }
}

TEST(RuleFileReader, CurrentSectionAfterReading) {
  struct Case {
    const char* text;
    bool ok;
    const char* path;
  };
  const Case cases[] = {
      {"[A]\n[B]\nk=v", true, ""},           // success: back at the root
      {"[A]\n[B]\n[c.d]", false, "A/B"},     // failure: where reading stopped
      {"[A]\n[EndSection]\n[EndSection]", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    RuleStore store;
    EXPECT_EQ(store.Parse(c.text, true), c.ok);
    EXPECT_EQ(store.current_path().view(), c.path);
    EXPECT_EQ(&store.current(), store.FindSection(std::string("/") + c.path));
  }
}

TEST(RuleFileReader, ValueEscapes) {
  struct Case {
    const char* line;
    const char* value;
  };
  const Case cases[] = {
      {"k=a\\qb", "ab"},
      {"k=a\\\\n", "a\\n"},
      {"k=a\\nb\\tc", "a\nb\tc"},
      {"k=abc\\", "abc"},
      {"k=\\\\\\", "\\"},
      {"k=a\\rb", "ab"},
      // 0x5C as a trail byte is part of its character, not an escape
      {"k=\x95\x5Cx", "\x95\x5Cx"},
      {"k=\x83\x5C\\n", "\x83\x5C\n"},
      // an escaped double-byte character goes whole
      {"k=a\\\x82\xA0z", "az"},
      // a lead byte at the very end stands alone
      {"k=x\x95", "x\x95"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    RuleStore store;
    ASSERT_TRUE(store.Parse(c.line, true));
    const CStr* v = store.GetValue("/k");
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->view(), std::string_view(c.value));
  }
}

TEST(RuleFileWriter, LayoutAndEscapes) {
  struct Case {
    const char* name;
    const char* text;  // read first, then written
    const char* written;
  };
  const Case cases[] = {
      {"nested sections", "A=1\n[S]\nk=v\n[T]\nm=w\n[EndSection]\n[EndSection]",
       "A=1\n[S]\n\tk=v\n\t[T]\n\t\tm=w\n\t[EndSection]\n[EndSection]\n"},
      {"empty section", "[S]\n[EndSection]", "[S]\n[EndSection]\n"},
      {"empty store", "", ""},
      {"escapes", "k=a\\\\b\\nc\\td", "k=a\\\\b\\nc\\td\n"},
      {"three-line header", "HeaderStr=<a>\\n<b>\\n<c>", "HeaderStr=<a>\\n<b>\\n<c>\n"},
      {"0x5C trail byte not doubled", "k=\x95\x5C\\\\", "k=\x95\x5C\\\\\n"},
      {"merged sections written once", "[X]\na=1\n[EndSection]\n[X]\n[Y]\n",
       "[X]\n\ta=1\n\t[Y]\n\t[EndSection]\n[EndSection]\n"},
      {"root keys before sections", "[S]\n[EndSection]\nk=v", "k=v\n[S]\n[EndSection]\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RuleStore store;
    ASSERT_TRUE(store.Parse(c.text, true));
    EXPECT_EQ(Written(store), c.written);
  }
}

TEST(RuleFileWriter, EscapesRawBytes) {
  RuleStore store;
  store.ValueSlot("/k") = "a\\b\nc\td\re\x95\x5C\x95";
  EXPECT_EQ(Written(store), "k=a\\\\b\\nc\\td\re\x95\x5C\x95\n");
}

TEST(RuleFileWriter, KeysOfBlanksOnlyNeverMisread) {
  RuleStore store;
  store.ValueSlot("/") = "=a";
  store.ValueSlot("/ \t") = "[EndSection]";
  store.ValueSlot("/ k") = "v";
  EXPECT_EQ(Written(store), " k=v\n");
  RuleStore harmless;
  harmless.ValueSlot("/") = "M:v";  // a line reading ignores, as it always was
  EXPECT_EQ(Written(harmless), "=M:v\n");
}

TEST(RuleFileWriter, IterationOrderIsBucketOrder) {
  // "b" hashes to bucket 2 and "a" to bucket 1; "A" and "!" share bucket 1
  // with "a" and keep their insertion order there.
  RuleStore store;
  ASSERT_TRUE(store.Parse("b=1\na=2\nA=3\n!=4\n[b]\n[EndSection]\n[a]\n[EndSection]", true));
  EXPECT_EQ(Written(store), "a=2\nA=3\n!=4\nb=1\n[a]\n[EndSection]\n[b]\n[EndSection]\n");
}

TEST(RuleFileRoundTrip, ReadSaveReadGivesTheSameStore) {
  const std::string file =
      "  HeaderStr=<html>\\n<body>\r\n"
      "odd\\qkey=x\\qy\r\n"
      "\r\n"
      "[ReplaceList]\r\n"
      "05=<br>\r\n"
      "06=\x95\x5C\\\\\\t\r\n"
      "[Deep]\r\n"
      "[Deeper]\r\n"
      "z= lead \r\n"
      "[EndSection]\r\n"
      "[EndSection]\r\n"
      "[EndSection] trailing\r\n"
      "[ReplaceList]\r\n"
      "07=x=y\r\n"
      "[EndSection]\r\n"
      "[AutoReplaceList]\r\n"
      "a\\sb\\ec=M:<b>%1</b>\r\n"
      "tail=\\";
  test::TempDir dir;
  ASSERT_TRUE(test::WriteBytes(dir.File("in.qdx"), file));
  RuleStore first;
  ASSERT_TRUE(first.Load(dir.File("in.qdx"), true));
  ASSERT_TRUE(first.Save(dir.File("out.qdx")));
  std::string saved = test::ReadBytes(dir.File("out.qdx"));
  EXPECT_NE(saved.find("\r\n\t\t[Deeper]\r\n\t\t\tz= lead \r\n\t\t[EndSection]\r\n"),
            std::string::npos)
      << saved;

  RuleStore second;
  ASSERT_TRUE(second.Load(dir.File("out.qdx"), true));
  EXPECT_EQ(Dump(second), Dump(first));
  ASSERT_TRUE(second.Save(dir.File("again.qdx")));
  EXPECT_EQ(test::ReadBytes(dir.File("again.qdx")), saved);
}

TEST(RuleFileReader, LongSectionsAroundANestedOne) {
  // A long run of keys has its index sized for the lines up to the next
  // section line; keys after a nested section go on growing it. The store
  // must be the one that key-by-key inserts give, in the same order.
  for (int before : {63, 64, 65, 400}) {
    SCOPED_TRACE(before);
    std::string text = "[list]\n";
    RuleStore by_keys;
    by_keys.CreateSection("list");
    auto add = [&](const std::string& key) {
      text += "\t" + key + "=v" + key + "\n";
      by_keys.ValueSlot("/list/" + key) = ("v" + key).c_str();
    };
    for (int i = 0; i < before; ++i) add("a" + std::to_string(i));
    text += "\t[sub]\n\t\tx=1\n\t[EndSection]\n";
    by_keys.ChangeSection("/list");
    by_keys.CreateSection("sub");
    by_keys.ValueSlot("/list/sub/x") = "1";
    for (int i = 0; i < 300; ++i) add("b" + std::to_string(i));
    text += "[EndSection]\n";
    RuleStore read;
    ASSERT_TRUE(read.Parse(text, true));
    EXPECT_EQ(Written(read), Written(by_keys));
    EXPECT_EQ(read.GetValue("/list/b299")->view(), "vb299");
  }
}

TEST(RuleFileRoundTrip, DeepNestingNeedsNoRecursion) {
  // Reading, copying and clearing a tree deeper than any stack would allow a
  // recursive walk. (Writing it shares the copy's walk; its tabs alone would
  // take gigabytes.)
  constexpr int kDepth = 100000;
  std::string text;
  for (int i = 0; i < kDepth; ++i) text += "[s]\n";
  text += "k=v\n";
  RuleStore store;
  ASSERT_TRUE(store.Parse(text, true));
  EXPECT_EQ(store.section_count(), std::uint32_t(kDepth + 1));
  RuleStore copy;
  copy.CopyFrom(store);
  EXPECT_EQ(copy.section_count(), std::uint32_t(kDepth + 1));
  store.Clear();
  EXPECT_EQ(store.section_count(), 1u);
  EXPECT_EQ(store.section_nodes_in_use(), 0u);
}

// The rule file that the settings dialog writes for a rule with its own
// header, one replace entry and one auto-replace entry.
TEST(RuleFileRoundTrip, SettingsDialogFileByteForByte) {
  test::TempDir dir;
  ProgramPathOverride program(dir.File("norvelle"));
  RuleStore store;
  EXPECT_FALSE(store.Load(true));  // no default rule file yet

  // Showing the rule creates both lists.
  store.ChangeSection("/");
  ASSERT_TRUE(store.CreateSection("ReplaceList"));
  ASSERT_TRUE(store.ChangeSection("/ReplaceList"));
  for (int n = 0; n < 100; ++n) store.ValueSlot(ReplaceKey(n).view());
  store.ChangeSection("/");
  ASSERT_TRUE(store.CreateSection("AutoReplaceList"));
  ASSERT_TRUE(store.ChangeSection("/AutoReplaceList"));

  // The user types entry 05 and adds the word C++ (added empty, then renamed).
  store.ChangeSection("/ReplaceList");
  store.ValueSlot("05") = "<br>";
  store.ChangeSection("/AutoReplaceList");
  store.ValueSlot("") = "";
  store.ValueSlot(EscapeKey("C++").view()) = *store.GetValue("");
  store.RemoveValue("");
  store.ValueSlot("C++") = "M:<b>%1</b>";

  // Saving gathers the fields in the dialog's order.
  store.ValueSlot("/HeaderStr") = "<html>\n<body>";
  const char* const gathered[][2] = {
      {"/EndStr", "</body>\n</html>"}, {"/SrcColorNormal", "000000"},
      {"/SrcColorKeyword", "0000ff"},  {"/SrcColorString", "0080bb"},
      {"/SrcColorComment", "008000"},  {"/SrcColorLine", "6000ff"},
      {"/TabStop", "3"},               {"/SplitKey", " "},
      {"/JoinKey", " "},               {"/SrcColorSymbol", "000000"},
      {"/SrcColorChar", "0080bb"},     {"/SrcColorNum", "000000"},
  };
  for (const auto& kv : gathered) store.ValueSlot(kv[0]) = kv[1];
  store.SetFlag("/SrcLineOut", true);
  ASSERT_TRUE(store.Save());

  std::string want =
      "SrcColorNormal=000000\r\n"
      "SrcColorComment=008000\r\n"
      "SrcColorChar=0080bb\r\n"
      "EndStr=</body>\\n</html>\r\n"
      "SplitKey= \r\n"
      "SrcColorKeyword=0000ff\r\n"
      "SrcColorSymbol=000000\r\n"
      "HeaderStr=<html>\\n<body>\r\n"
      "SrcLineOut=ON\r\n"
      "SrcColorLine=6000ff\r\n"
      "SrcColorString=0080bb\r\n"
      "TabStop=3\r\n"
      "SrcColorNum=000000\r\n"
      "JoinKey= \r\n"
      "[ReplaceList]\r\n";
  const char* const replace_order[] = {
      "08", "27", "46", "65", "84", "18", "37", "56", "75", "94", "09", "28", "47", "66", "85",
      "19", "38", "57", "76", "95", "29", "48", "67", "86", "39", "58", "77", "96", "49", "68",
      "87", "59", "78", "97", "69", "88", "79", "98", "89", "99", "00", "10", "01", "20", "11",
      "30", "02", "21", "40", "12", "31", "50", "03", "22", "41", "60", "13", "32", "51", "70",
      "04", "23", "42", "61", "80", "14", "33", "52", "71", "90", "05", "24", "43", "62", "81",
      "15", "34", "53", "72", "91", "06", "25", "44", "63", "82", "16", "35", "54", "73", "92",
      "07", "26", "45", "64", "83", "17", "36", "55", "74", "93"};
  for (const char* key : replace_order)
    want += std::string("\t") + key + "=" + (std::string(key) == "05" ? "<br>" : "") + "\r\n";
  want +=
      "[EndSection]\r\n"
      "[AutoReplaceList]\r\n"
      "\tC++=M:<b>%1</b>\r\n"
      "[EndSection]\r\n";
  EXPECT_EQ(test::ReadBytes(dir.File("norvelle.ini")), want);
}

}  // namespace
}  // namespace norvelle

namespace norvelle {
namespace {

// The CR of a file's CR LF goes with the text-mode read; a CR before it is
// data and survives a save and a load.
TEST(RuleStoreFiles, CarriageReturnInAValueSurvivesARoundTrip) {
  test::TempDir tmp;
  ASSERT_TRUE(test::WriteBytes(tmp.File("r.qdx"), "k=v\r\r\nm=w\r\n"));
  RuleStore store;
  ASSERT_TRUE(store.Load(tmp.File("r.qdx"), true));
  EXPECT_EQ(store.GetValueOr("/k", "").view(), "v\r");
  EXPECT_EQ(store.GetValueOr("/m", "").view(), "w");
  ASSERT_TRUE(store.Save(tmp.File("s.qdx")));
  RuleStore again;
  ASSERT_TRUE(again.Load(tmp.File("s.qdx"), true));
  EXPECT_EQ(again.GetValueOr("/k", "").view(), "v\r");
}

}  // namespace
}  // namespace norvelle
