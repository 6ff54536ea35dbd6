// The rule store: navigation, key paths, values, loading and saving.
#include "rules/rule_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <string>

#include "platform/paths.h"
#include "rules/rule_file.h"
#include "support/permissions.h"
#include "support/test_support.h"

namespace norvelle {
namespace {

// A/B, A/k, C and the root key r, as the navigation tests expect.
constexpr const char* kTree =
    "r=root\n"
    "[A]\nk=inA\n[B]\nk=inB\n[EndSection]\n[EndSection]\n"
    "[C]\nk=inC\n[EndSection]\n";

std::string Written(const RuleStore& store) {
  CStr_base<1024> out;
  WriteRuleText(store, out);
  return std::string(out.view());
}

struct ProgramPathOverride {
  explicit ProgramPathOverride(const std::string& path) { SetProgramPathForTesting(path); }
  ~ProgramPathOverride() { SetProgramPathForTesting(""); }
};

TEST(RuleStoreNavigation, ChangeSection) {
  struct Case {
    const char* from;     // current section before (absolute)
    const char* path;     // given to ChangeSection
    bool ok;
    const char* section;  // current section after (absolute)
    const char* current;  // current path after
  };
  const Case cases[] = {
      {"/", "..", false, "/", ""},
      {"/", "/", true, "/", ""},
      {"/", "", true, "/", ""},
      {"/", "A", true, "/A", "A"},
      {"/", "A/B", true, "/A/B", "A/B"},
      {"/", "A//B/", true, "/A/B", "A/B"},      // relative: empty components skipped
      {"/", "/A//B", true, "/A/B", "A//B"},     // absolute: kept as given
      {"/", "//A", true, "/A", "/A"},
      {"/", "A/../C", true, "/C", "C"},
      {"/A/B", "..", true, "/A", "A"},
      {"/A/B", "../../C", true, "/C", "C"},
      {"/A/B", "../../..", false, "/A/B", "A/B"},
      {"/A", "B/..", true, "/A", "A"},
      {"/A", "/C", true, "/C", "C"},
      {"/A", "X", false, "/A", "A"},
      {"/A", "", true, "/A", "A"},
      {"/A", "k", false, "/A", "A"},            // a key is no section
      {"/", "a", false, "/", ""},                // names are case-sensitive
      {"//A", "B", true, "/A/B", "A/B"},         // "/A" loses its first empty component
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.from) + " + " + c.path);
    RuleStore store;
    ASSERT_TRUE(store.Parse(kTree, true));
    ASSERT_TRUE(store.ChangeSection(c.from));
    EXPECT_EQ(store.ChangeSection(c.path), c.ok);
    EXPECT_EQ(&store.current(), store.FindSection(c.section));
    EXPECT_EQ(store.current_path().view(), c.current);
  }
}

TEST(RuleStoreNavigation, FindSectionChangesNothing) {
  RuleStore store;
  ASSERT_TRUE(store.Parse(kTree, true));
  ASSERT_TRUE(store.ChangeSection("/A"));
  const RuleStore::Section* b = store.FindSection("B");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->parent, store.FindSection("/A"));
  EXPECT_EQ(store.FindSection(".."), &store.root());
  EXPECT_EQ(store.FindSection("../.."), nullptr);
  EXPECT_EQ(store.FindSection("C"), nullptr);
  EXPECT_EQ(store.current_path().view(), "A");
}

TEST(RuleStoreNavigation, CreateSection) {
  struct Case {
    const char* name;
    bool ok;
  };
  const Case cases[] = {{"a.b", false}, {"a/b", false}, {"..", false}, {".", false},
                        {"new", true},  {"A", true},    {"\x95\x5C", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RuleStore store;
    ASSERT_TRUE(store.Parse(kTree, true));
    std::uint32_t before = store.section_count();
    bool existed = store.FindSection(std::string("/") + c.name) != nullptr;
    EXPECT_EQ(store.CreateSection(c.name), c.ok);
    EXPECT_EQ(store.section_count(), before + (c.ok && !existed ? 1 : 0));
    EXPECT_EQ(&store.current(), &store.root());
    if (c.ok) {
      const RuleStore::Section* s = store.FindSection(c.name);
      ASSERT_NE(s, nullptr);
      EXPECT_EQ(s->parent, &store.root());
      EXPECT_TRUE(store.CreateSection(c.name));  // a second time: the same section
      EXPECT_EQ(store.FindSection(c.name), s);
      EXPECT_EQ(store.section_count(), before + (existed ? 0 : 1));
    }
  }
}

TEST(RuleStoreValues, KeyPaths) {
  struct Case {
    const char* current;
    const char* key_path;
    const char* value;  // null: absent
  };
  const Case cases[] = {
      {"/", "r", "root"},         {"/", "/r", "root"},         {"/A", "/r", "root"},
      {"/A", "r", nullptr},       {"/A", "k", "inA"},          {"/A", "/A/k", "inA"},
      {"/A", "B/k", "inB"},       {"/A", "../C/k", "inC"},     {"/A", "B//k", "inB"},
      {"/", "//A/k", "inA"},      {"/A/B", "k", "inB"},        {"/", "A/missing", nullptr},
      {"/", "/A/", nullptr},      {"/C", "..//r", "root"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.current) + " : " + c.key_path);
    RuleStore store;
    ASSERT_TRUE(store.Parse(kTree, true));
    ASSERT_TRUE(store.ChangeSection(c.current));
    const CStr* v = store.GetValue(c.key_path);
    if (!c.value) {
      EXPECT_EQ(v, nullptr);
      EXPECT_EQ(store.GetValueOr(c.key_path, "dflt").view(), "dflt");
    } else {
      ASSERT_NE(v, nullptr);
      EXPECT_EQ(v->view(), c.value);
      EXPECT_EQ(store.GetValueOr(c.key_path, "dflt").view(), c.value);
      EXPECT_EQ(&store.ValueSlot(c.key_path), v);
    }
  }
}

TEST(RuleStoreValues, BadKeyPathsThrow) {
  struct Case {
    const char* key_path;
    int error;
  };
  const Case cases[] = {
      {"a=b", RuleStore::kKeyPathHasEquals},      {"/A/k=", RuleStore::kKeyPathHasEquals},
      {"=", RuleStore::kKeyPathHasEquals},        {"/Missing/k", RuleStore::kNoSuchSection},
      {"Missing/k", RuleStore::kNoSuchSection},   {"../k", RuleStore::kNoSuchSection},
      {"A/../../k", RuleStore::kNoSuchSection},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key_path);
    RuleStore store;
    ASSERT_TRUE(store.Parse(kTree, true));
    std::string before = Written(store);
    auto expect_throw = [&](auto&& call) {
      try {
        call();
        ADD_FAILURE() << "no exception";
      } catch (int e) {
        EXPECT_EQ(e, c.error);
      }
    };
    expect_throw([&] { store.GetValue(c.key_path); });
    expect_throw([&] { store.GetValueOr(c.key_path, ""); });
    expect_throw([&] { store.GetFlag(c.key_path, true); });
    expect_throw([&] { store.ValueSlot(c.key_path); });
    expect_throw([&] { store.SetFlag(c.key_path, true); });
    EXPECT_EQ(Written(store), before);  // nothing was created
  }
}

TEST(RuleStoreValues, Flags) {
  struct Case {
    const char* value;  // null: absent
    bool fallback;
    bool want;
  };
  const Case cases[] = {
      {"ON", false, true},   {"on", true, false}, {"OFF", true, false}, {"ON ", true, false},
      {"", true, false},     {nullptr, true, true}, {nullptr, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value ? c.value : "(absent)");
    RuleStore store;
    if (c.value) store.ValueSlot("/F") = c.value;
    EXPECT_EQ(store.GetFlag("/F", c.fallback), c.want);
  }
  RuleStore store;
  store.SetFlag("/F", false);
  EXPECT_EQ(store.GetValue("/F")->view(), "OFF");
  store.SetFlag("/F", true);
  EXPECT_EQ(store.GetValue("/F")->view(), "ON");
}

TEST(RuleStoreValues, ValueSlotCreatesAnEmptyKey) {
  RuleStore store;
  CStr& slot = store.ValueSlot("/X");
  EXPECT_TRUE(slot.empty());
  EXPECT_EQ(store.GetValue("/X"), &slot);
  test::TempDir dir;
  ASSERT_TRUE(store.Save(dir.File("x.qdx")));
  EXPECT_EQ(test::ReadBytes(dir.File("x.qdx")), "X=\r\n");
}

TEST(RuleStoreValues, RemoveValueWorksOnTheCurrentSection) {
  RuleStore store;
  ASSERT_TRUE(store.Parse(kTree, true));
  ASSERT_TRUE(store.ChangeSection("/A"));
  store.RemoveValue("r");  // a root key, not here: nothing happens
  store.RemoveValue("k");
  store.RemoveValue("k");
  EXPECT_EQ(store.GetValue("k"), nullptr);
  EXPECT_NE(store.GetValue("/r"), nullptr);
  EXPECT_NE(store.GetValue("/C/k"), nullptr);
  EXPECT_NE(store.GetValue("/A/B/k"), nullptr);
}

TEST(RuleStoreLifecycle, ClearFreesEverySection) {
  RuleStore store;
  test::TempDir dir;
  store.Load(dir.File("missing.qdx"), false);
  ASSERT_TRUE(store.Parse(kTree, false));
  ASSERT_TRUE(store.ChangeSection("/A/B"));
  EXPECT_EQ(store.section_count(), 4u);
  EXPECT_EQ(store.section_nodes_in_use(), 3u);
  EXPECT_EQ(store.value_nodes_in_use(), 4u);
  store.Clear();
  EXPECT_EQ(store.section_count(), 1u);
  EXPECT_EQ(store.section_nodes_in_use(), 0u);
  EXPECT_EQ(store.value_nodes_in_use(), 0u);
  EXPECT_EQ(&store.current(), &store.root());
  EXPECT_EQ(store.current_path().view(), "");
  EXPECT_EQ(store.FindSection("/A"), nullptr);
  EXPECT_EQ(store.file_path(), dir.File("missing.qdx"));
  // Sections reused after Clear start empty.
  ASSERT_TRUE(store.Parse("[Z]\n[EndSection]", false));
  EXPECT_EQ(Written(store), "[Z]\n[EndSection]\n");
}

TEST(RuleStoreLifecycle, CopyFrom) {
  RuleStore source;
  ASSERT_TRUE(source.Parse(kTree, true));
  ASSERT_TRUE(source.ChangeSection("A/B"));
  test::TempDir dir;
  RuleStore copy;
  copy.Load(dir.File("mine.qdx"), true);
  copy.ValueSlot("/old") = "gone";
  copy.CopyFrom(source);
  EXPECT_EQ(Written(copy), Written(source));
  EXPECT_EQ(copy.current_path().view(), "A/B");
  EXPECT_EQ(&copy.current(), copy.FindSection("/A/B"));
  EXPECT_EQ(copy.file_path(), dir.File("mine.qdx"));
  // The copy owns its own tree.
  copy.ValueSlot("/A/k") = "changed";
  EXPECT_EQ(source.GetValue("/A/k")->view(), "inA");
  copy.CopyFrom(copy);
  EXPECT_EQ(copy.GetValue("/A/k")->view(), "changed");
}

TEST(RuleStoreFiles, LoadRemembersThePath) {
  test::TempDir dir;
  std::string named = dir.File("named.qdx");
  RuleStore store;
  EXPECT_FALSE(store.Load(named, true));  // does not exist yet
  EXPECT_EQ(store.file_path(), named);
  store.ValueSlot("/K") = "v";
  ASSERT_TRUE(store.Save());
  EXPECT_EQ(test::ReadBytes(named), "K=v\r\n");
  EXPECT_EQ(store.file_path(), named);

  // Loading without clearing merges, the last value winning.
  ASSERT_TRUE(test::WriteBytes(named, "K=w\r\nL=x\r\n"));
  store.ValueSlot("/M") = "kept";
  EXPECT_TRUE(store.Load(named, false));
  EXPECT_EQ(store.GetValueOr("/K", "").view(), "w");
  EXPECT_EQ(store.GetValueOr("/M", "").view(), "kept");
  // With clearing, only the file's keys remain.
  EXPECT_TRUE(store.Load(named, true));
  EXPECT_EQ(store.GetValue("/M"), nullptr);
  // A failing line keeps what was read before it.
  ASSERT_TRUE(test::WriteBytes(named, "K=1\r\n[EndSection]\r\nL=2\r\n"));
  EXPECT_FALSE(store.Load(named, true));
  EXPECT_EQ(store.GetValueOr("/K", "").view(), "1");
  EXPECT_EQ(store.GetValue("/L"), nullptr);
  // Text mode: 0x1A ends the file.
  ASSERT_TRUE(test::WriteBytes(named, "K=1\r\n\x1AL=2\r\n"));
  EXPECT_TRUE(store.Load(named, true));
  EXPECT_EQ(store.GetValue("/L"), nullptr);
}

TEST(RuleStoreFiles, DefaultRuleFile) {
  test::TempDir dir;
  ProgramPathOverride program(dir.File("norvelle"));
  RuleStore store;
  store.ValueSlot("/stale") = "x";
  EXPECT_FALSE(store.Load(true));  // missing default file
  EXPECT_EQ(store.GetValue("/stale"), nullptr);
  EXPECT_EQ(store.section_count(), 1u);
  EXPECT_EQ(store.file_path(), dir.File("norvelle.ini"));

  ASSERT_TRUE(test::WriteBytes(dir.File("norvelle.ini"), "TabStop=8\r\n"));
  RuleStore fresh;
  EXPECT_TRUE(fresh.Load(true));
  EXPECT_EQ(fresh.GetValueOr("/TabStop", "").view(), "8");
  // Save without any remembered path goes to the default file too.
  RuleStore empty;
  empty.ValueSlot("/TabStop") = "4";
  ASSERT_TRUE(empty.Save());
  EXPECT_EQ(test::ReadBytes(dir.File("norvelle.ini")), "TabStop=4\r\n");
}

TEST(RuleStoreFiles, ShortProgramPathFailsLoadAndSave) {
  ProgramPathOverride program("/a.b");
  RuleStore store;
  EXPECT_FALSE(store.Load(true));
  EXPECT_EQ(store.file_path(), "");
  EXPECT_FALSE(store.Save());
}

TEST(RuleStoreFiles, FailedSaveKeepsTheOldFile) {
  test::TempDir dir;
  RuleStore store;
  store.ValueSlot("/K") = "new";

  // Into a folder that does not exist.
  EXPECT_FALSE(store.Save(dir.File("nowhere/rule.qdx")));
  EXPECT_FALSE(test::FileExists(dir.File("nowhere")));

  // Over a folder: nothing replaces it.
  ASSERT_EQ(mkdir(dir.File("folder.qdx").c_str(), 0700), 0);
  ASSERT_TRUE(test::WriteBytes(dir.File("folder.qdx/inside"), "x"));
  EXPECT_FALSE(store.Save(dir.File("folder.qdx")));
  EXPECT_EQ(test::ReadBytes(dir.File("folder.qdx/inside")), "x");

  // A read-only file in a read-only folder (permissions must bind, also for root).
  test::PermissionsBind bind;
  if (bind.bound()) {
    std::string ro = dir.File("ro");
    ASSERT_EQ(mkdir(ro.c_str(), 0700), 0);
    ASSERT_TRUE(test::WriteBytes(ro + "/rule.qdx", "K=old\r\n"));
    ASSERT_EQ(chmod((ro + "/rule.qdx").c_str(), 0444), 0);
    ASSERT_EQ(chmod(ro.c_str(), 0555), 0);
    EXPECT_FALSE(store.Save(ro + "/rule.qdx"));
    EXPECT_EQ(test::ReadBytes(ro + "/rule.qdx"), "K=old\r\n");
  }
}

TEST(RuleStoreFiles, WritableFileOfAReadOnlyFolderIsRewrittenInPlace) {
  test::PermissionsBind bind;
  if (!bind.bound()) GTEST_SKIP() << "running as root and cannot set aside root's right to ignore permissions";
  test::TempDir dir;
  const std::string ro = dir.File("ro");
  ASSERT_EQ(mkdir(ro.c_str(), 0700), 0);
  ASSERT_TRUE(test::WriteBytes(ro + "/rule.qdx", "K=a much longer old value\r\n"));
  ASSERT_EQ(chmod(ro.c_str(), 0555), 0);
  RuleStore store;
  store.ValueSlot("/K") = "new";
  EXPECT_TRUE(store.Save(ro + "/rule.qdx"));
  EXPECT_EQ(test::ReadBytes(ro + "/rule.qdx"), "K=new\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(ro), {}), 1);
  // A file that is not there cannot be made in such a folder.
  EXPECT_FALSE(store.Save(ro + "/other.qdx"));
  EXPECT_FALSE(test::FileExists(ro + "/other.qdx"));
}

TEST(RuleStoreFiles, ByteThatEndsTextFilesIsRefused) {
  // Reading would stop at 0x1A and lose every line after it: the save is
  // refused and the old file stays as it was.
  test::TempDir dir;
  const std::string path = dir.File("rule.qdx");
  ASSERT_TRUE(test::WriteBytes(path, "K=old\r\n"));
  const struct {
    const char* key_path;
    const char* value;
  } cases[] = {
      {"/K", "a\x1A" "b"},
      {"/S/K", "\x1A"},
      {"/K\x1A", "v"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key_path);
    RuleStore store;
    store.CreateSection("S");
    store.ValueSlot("/Later") = "kept";
    store.ValueSlot(c.key_path) = c.value;
    EXPECT_FALSE(store.Save(path));
    EXPECT_EQ(test::ReadBytes(path), "K=old\r\n");
  }
  RuleStore ok;
  ok.ValueSlot("/K") = "a\x1B";
  ASSERT_TRUE(ok.Save(path));
  RuleStore back;
  ASSERT_TRUE(back.Load(path, true));
  EXPECT_EQ(Written(back), Written(ok));
}

TEST(RuleStoreValues, LargeSectionKeepsTheMapOrder) {
  // Many keys in one section are found through an index grown behind the
  // scenes; the written order (buckets, then insertion) must not change.
  std::string text;
  for (int i = 0; i < 5000; ++i) text += "k" + std::to_string(i * 7919 % 5000) + "=" + std::to_string(i) + "\n";
  text += "k17=again\n";
  RuleStore store;
  ASSERT_TRUE(store.Parse(text, true));
  std::string expect[32];
  for (int i = 0; i < 5000; ++i) {
    const std::string key = "k" + std::to_string(i * 7919 % 5000);
    const std::string value = key == "k17" ? "again" : std::to_string(i);
    expect[MapHash(key) & 31] += key + "=" + value + "\n";
  }
  std::string all;
  for (const std::string& b : expect) all += b;
  EXPECT_EQ(Written(store), all);
  store.RemoveValue("k17");
  EXPECT_EQ(store.GetValue("/k17"), nullptr);
  ASSERT_NE(store.GetValue("/k4999"), nullptr);
  EXPECT_EQ(store.GetValue("/k4999")->view(), "2321");
}

// A rule file marked as UTF-8 is read as such and saved back with its mark,
// its characters (also those Shift_JIS lacks) unchanged.
TEST(RuleStoreFiles, Utf8FileKeepsItsMarkAndCharacters) {
  test::TempDir dir;
  const std::string path = dir.File("u.qdx");
  const std::string header = "HeaderStr=\xC2\xA9 Caf\xC3\xA9 \xE6\x97\xA5";
  ASSERT_TRUE(test::WriteBytes(path, "\xEF\xBB\xBF" + header + "\r\n"));
  RuleStore store;
  ASSERT_TRUE(store.Load(path, true));
  ASSERT_NE(store.GetValue("/HeaderStr"), nullptr);
  EXPECT_EQ(store.GetValue("/HeaderStr")->view().size(), 11u);  // ©, é carried (2 bytes each), 日 in Shift_JIS, 5 ASCII
  store.ValueSlot("/EndStr") = "x";
  ASSERT_TRUE(store.Save());
  const std::string saved = test::ReadBytes(path);
  EXPECT_EQ(saved.rfind("\xEF\xBB\xBF", 0), 0u);
  EXPECT_NE(saved.find(header + "\r\n"), std::string::npos) << saved;
}

}  // namespace
}  // namespace norvelle
