// The settings dialog's logic on fake controls: showing, gathering, saving,
// the two list editors and the file commands.
#include "settings/settings_editor.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/paths.h"
#include "settings/fake_view.h"
#include "support/permissions.h"
#include "support/test_support.h"

namespace norvelle::test {
namespace {

using Answer = MessageBoxes::Answer;
constexpr const char* kSaveFailed = "保存に失敗しました";

class SettingsEditorTest : public ::testing::Test {
 protected:
  void SetUp() override { SetProgramPathForTesting(dir.File("norvelle")); }
  void TearDown() override { SetProgramPathForTesting(""); }
  std::string Ini() const { return dir.File("norvelle.ini"); }
  // A started editor whose default rule holds an auto-replace list.
  void StartWith(Bench& b, const std::string& ini_utf8) {
    if (!ini_utf8.empty()) {
      ASSERT_TRUE(WriteBytes(Ini(), Sjis(ini_utf8)));
    }
    b.editor.Start();
  }
  TempDir dir;
};

TEST_F(SettingsEditorTest, StartShowsDefaults) {
  Bench b;
  b.editor.Start();
  EXPECT_NE(b.Field(ctl::kHeader).find("<html lang=\"ja\">\r\n<head>\r\n"), std::string::npos);
  EXPECT_EQ(b.Field(ctl::kFooter), "</body>\r\n</html>");
  EXPECT_EQ(b.Field(ctl::kTabStop), "3");
  EXPECT_EQ(b.Field(ctl::kColorKeyword), "0000ff");
  EXPECT_EQ(b.controls.swatches[ctl::kColorKeyword], (Rgb{0, 0, 0xff}));
  EXPECT_EQ(b.controls.swatches[ctl::kColorString], (Rgb{0, 0x80, 0xbb}));
  EXPECT_TRUE(b.controls.Check(ctl::kLineOut));
  ASSERT_EQ(b.controls.ListCount(ctl::kReplaceList), 100);
  EXPECT_EQ(b.Line(ctl::kReplaceList, 99), "99：");
  EXPECT_EQ(b.controls.ListSelection(ctl::kReplaceList), 0);
  EXPECT_EQ(b.controls.ListCount(ctl::kAutoList), 0);
  EXPECT_FALSE(b.editor.modified());
  EXPECT_TRUE(b.boxes.asked.empty());  // a missing default rule file is no error
  EXPECT_EQ(b.controls.caption, "Norvelle設定");
}

TEST_F(SettingsEditorTest, HeaderOverThreeLinesStoresLineFeeds) {
  Bench b;
  b.editor.Start();
  b.Type(ctl::kHeader, "a\r\nb\r\nc");
  b.Press(ctl::kApply);
  EXPECT_EQ(b.Stored("/HeaderStr"), "a\nb\nc");
  EXPECT_NE(ReadBytes(Ini()).find("HeaderStr=a\\nb\\nc\r\n"), std::string::npos);
  Bench again;
  again.editor.Start();
  EXPECT_EQ(again.Field(ctl::kHeader), "a\r\nb\r\nc");
}

TEST_F(SettingsEditorTest, WhichFieldsSetTheModifiedFlag) {
  struct Case {
    int id;
    bool sets;
  };
  const Case cases[] = {
      {ctl::kHeader, true},       {ctl::kFooter, true},       {ctl::kTabStop, true},
      {ctl::kSplitKey, true},     {ctl::kJoinKey, true},      {ctl::kColorNormal, true},
      {ctl::kColorSymbol, true},  {ctl::kColorKeyword, true}, {ctl::kColorNum, true},
      {ctl::kColorChar, true},    {ctl::kColorString, true},  {ctl::kColorComment, true},
      {ctl::kColorLine, true},    {ctl::kReplaceEntry, false}, {ctl::kWord, false},
      {ctl::kReplacement, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    Bench b;
    StartWith(b, "[AutoReplaceList]\nw=M:v\n[EndSection]\n");
    b.Type(c.id, "x");
    EXPECT_EQ(b.editor.modified(), c.sets);
  }
  Bench b;
  b.editor.Start();
  b.controls.checks[ctl::kLineOut] = false;
  b.Press(ctl::kLineOut);
  EXPECT_FALSE(b.editor.modified());
}

TEST_F(SettingsEditorTest, ColourFieldRecoloursItsSwatch) {
  Bench b;
  b.editor.Start();
  b.Type(ctl::kColorComment, "fff");
  EXPECT_EQ(b.controls.swatches[ctl::kColorComment], (Rgb{0xff, 0x0f, 0}));
  b.Type(ctl::kColorComment, "#123456");
  EXPECT_EQ(b.controls.swatches[ctl::kColorComment], (Rgb{0, 0, 0}));
}

TEST_F(SettingsEditorTest, FieldsAreStoredAsTyped) {
  Bench b;
  b.editor.Start();
  b.Type(ctl::kTabStop, "abc");
  b.Type(ctl::kColorNum, "12 34 56");
  b.controls.checks[ctl::kLineOut] = false;
  b.Press(ctl::kOk);
  EXPECT_EQ(b.controls.closed, std::optional<bool>(true));
  EXPECT_EQ(b.Stored("/TabStop"), "abc");
  EXPECT_EQ(b.Stored("/SrcColorNum"), "12 34 56");
  EXPECT_EQ(b.Stored("/SrcLineOut"), "OFF");
  Bench again;
  again.editor.Start();
  EXPECT_EQ(again.Field(ctl::kTabStop), "3");  // no number reads as 3
  EXPECT_FALSE(again.controls.Check(ctl::kLineOut));
}

TEST_F(SettingsEditorTest, ReplaceEntryWritesThrough) {
  Bench b;
  b.editor.Start();
  b.Select(ctl::kReplaceList, 5);
  EXPECT_EQ(b.Field(ctl::kReplaceEntry), "");
  b.Type(ctl::kReplaceEntry, "<br>");
  EXPECT_EQ(b.Line(ctl::kReplaceList, 5), "05：<br>");
  EXPECT_EQ(b.controls.ListSelection(ctl::kReplaceList), 5);
  EXPECT_EQ(b.controls.ListCount(ctl::kReplaceList), 100);
  EXPECT_EQ(b.Stored("/ReplaceList/05"), "<br>");
  b.Type(ctl::kReplaceEntry, "a\\nb");
  EXPECT_EQ(b.Stored("/ReplaceList/05"), "a\nb");
  EXPECT_EQ(b.Line(ctl::kReplaceList, 5), "05：a\\nb");
  EXPECT_FALSE(b.editor.modified());
}

TEST_F(SettingsEditorTest, WordWithSlashAndEqualsIsEscapedInTheKey) {
  Bench b;
  b.editor.Start();
  b.Press(ctl::kAdd);
  b.Type(ctl::kWord, "a/b=c");
  b.Type(ctl::kReplacement, "v");
  EXPECT_EQ(b.Words(), std::vector<std::string>{"a/b=c"});
  EXPECT_EQ(b.Stored("/AutoReplaceList/a\\sb\\ec"), "M:v");
  b.Press(ctl::kApply);
  EXPECT_NE(ReadBytes(Ini()).find("a\\sb\\ec=M:v\r\n"), std::string::npos);
}

TEST_F(SettingsEditorTest, ReplacementWithKindSearch) {
  Bench b;
  StartWith(b, "[AutoReplaceList]\nw=M:old\n[EndSection]\n");
  b.Select(ctl::kKind, 1);
  b.Type(ctl::kReplacement, "x\\ny");
  EXPECT_EQ(b.Stored("/AutoReplaceList/w"), "I:x\ny");
}

TEST_F(SettingsEditorTest, ShowingAnEntry) {
  struct Case {
    const char* value;  // stored
    int kind;
    const char* shown;
    const char* stored_after;  // showing stores the value back
  };
  const Case cases[] = {
      {"I:a\\tb", 1, "a\\tb", "I:a\tb"},
      {"R:%d+", 2, "%d+", "R:%d+"},
      {"X:keep", 0, "keep", "M:keep"},
      {"M", 0, "", "M:"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    Bench b;
    StartWith(b, std::string("[AutoReplaceList]\nw=") + c.value + "\n[EndSection]\n");
    EXPECT_EQ(b.Field(ctl::kWord), "w");
    EXPECT_EQ(b.controls.ListSelection(ctl::kKind), c.kind);
    EXPECT_EQ(b.Field(ctl::kReplacement), c.shown);
    EXPECT_EQ(b.Stored("/AutoReplaceList/w"), c.stored_after);
    EXPECT_EQ(b.controls.focus, ctl::kReplacement);
  }
}

TEST_F(SettingsEditorTest, RenameToAnExistingWordWarnsUntilUnique) {
  Bench b;
  StartWith(b, "[AutoReplaceList]\nab=M:1\nabc=M:2\n[EndSection]\n");
  ASSERT_EQ(b.Words(), (std::vector<std::string>{"ab", "abc"}));
  b.Select(ctl::kAutoList, 0);
  b.Type(ctl::kWord, "abc");
  EXPECT_TRUE(b.controls.shown[ctl::kWarning]);
  EXPECT_FALSE(b.editor.word_in_sync());
  b.Type(ctl::kReplacement, "lost");  // not stored while the word clashes
  EXPECT_EQ(b.Stored("/AutoReplaceList/ab"), "M:1");
  EXPECT_EQ(b.Stored("/AutoReplaceList/abc"), "M:2");
  b.Type(ctl::kWord, "abcd");
  EXPECT_FALSE(b.controls.shown[ctl::kWarning]);
  EXPECT_TRUE(b.editor.word_in_sync());
  EXPECT_EQ(b.Words(), (std::vector<std::string>{"abc", "abcd"}));
  EXPECT_EQ(b.Line(ctl::kAutoList, b.controls.ListSelection(ctl::kAutoList)), "abcd");
  EXPECT_EQ(b.Stored("/AutoReplaceList/abcd"), "M:1");
  EXPECT_EQ(b.Stored("/AutoReplaceList/ab"), "<absent>");
}

TEST_F(SettingsEditorTest, RenameSelectsTheWordOfTheSameCase) {
  Bench b;
  StartWith(b, "[AutoReplaceList]\nAbc=M:upper\nx=M:lower\n[EndSection]\n");
  b.Select(ctl::kAutoList, 1);
  b.Type(ctl::kWord, "abc");  // sorts beside "Abc"; the list's search would find that first
  EXPECT_EQ(b.Line(ctl::kAutoList, b.controls.ListSelection(ctl::kAutoList)), "abc");
  b.Type(ctl::kReplacement, "changed");
  EXPECT_EQ(b.Stored("/AutoReplaceList/Abc"), "M:upper");
  EXPECT_EQ(b.Stored("/AutoReplaceList/abc"), "M:changed");
}

TEST_F(SettingsEditorTest, EmptyWordIsGoneAfterSavingAndReopening) {
  // An empty (or blank) word is written as a line starting with "=", which
  // reading ignores; where that line would misread ("=M:a=b" as the word
  // "=M:a", "[EndSection]" closing the list early) it is left out.
  struct Case {
    const char* word;
    const char* replacement;
    bool written;
  };
  const Case cases[] = {{"", "v", true}, {"", "a=b", false}, {"", "x[EndSection]", false}, {"  ", "a=b", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("[") + c.word + "] " + c.replacement);
    Bench b;
    StartWith(b, "[AutoReplaceList]\nz=M:1\n[EndSection]\nTabStop=7\n");
    b.Press(ctl::kAdd);
    b.Type(ctl::kWord, c.word);
    b.Type(ctl::kReplacement, c.replacement);
    EXPECT_EQ(b.Stored((std::string("/AutoReplaceList/") + c.word).c_str()),
              std::string("M:") + c.replacement);
    b.Press(ctl::kApply);
    EXPECT_TRUE(b.boxes.asked.empty());
    EXPECT_EQ(ReadBytes(Ini()).find("\n\t" + std::string(c.word) + "=M:" + c.replacement + "\r\n") !=
                  std::string::npos,
              c.written);
    Bench again;
    again.editor.Start();
    EXPECT_TRUE(again.boxes.asked.empty());
    EXPECT_EQ(again.Words(), std::vector<std::string>{"z"});
    EXPECT_EQ(again.Stored("/AutoReplaceList/z"), "M:1");
    EXPECT_EQ(again.Field(ctl::kTabStop), "7");
  }
}

TEST_F(SettingsEditorTest, AddTwiceAsksToRenameTheEmptyWord) {
  Bench b;
  StartWith(b, "[AutoReplaceList]\nz=M:1\n[EndSection]\n");
  b.Press(ctl::kAdd);
  EXPECT_EQ(b.controls.ListSelection(ctl::kAutoList), 0);
  b.Select(ctl::kAutoList, 1);
  b.Press(ctl::kAdd);
  ASSERT_EQ(b.boxes.asked.size(), 1u);
  EXPECT_EQ(b.boxes.asked[0],
            "既に同名の要素があるため、追加できません。\n要素名を変更してください。\n該当要素にカーソルを合わせます");
  EXPECT_EQ(b.boxes.buttons[0], MessageBoxes::Buttons::kOk);
  EXPECT_EQ(b.controls.ListCount(ctl::kAutoList), 2);
  EXPECT_EQ(b.controls.ListSelection(ctl::kAutoList), 0);
  EXPECT_EQ(b.Field(ctl::kWord), "");
}

TEST_F(SettingsEditorTest, DeleteSelectsTheNextOrTheLast) {
  struct Case {
    int selected;
    const char* shown_after;
  };
  const Case cases[] = {{0, "b"}, {1, "c"}, {2, "b"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.selected);
    Bench b;
    StartWith(b, "[AutoReplaceList]\na=M:1\nb=M:2\nc=M:3\n[EndSection]\n");
    b.Select(ctl::kAutoList, c.selected);
    b.Press(ctl::kDelete);
    EXPECT_EQ(b.controls.ListCount(ctl::kAutoList), 2);
    EXPECT_EQ(b.Field(ctl::kWord), c.shown_after);
    EXPECT_EQ(b.Line(ctl::kAutoList, b.controls.ListSelection(ctl::kAutoList)), c.shown_after);
    EXPECT_EQ(b.editor.store().FindSection("/AutoReplaceList")->Values().size(), 2u);
  }
}

TEST_F(SettingsEditorTest, DeletingTheOnlyEntryLeavesTheFields) {
  Bench b;
  StartWith(b, "[AutoReplaceList]\nw=I:v\n[EndSection]\n");
  b.Press(ctl::kDelete);
  EXPECT_EQ(b.controls.ListCount(ctl::kAutoList), 0);
  EXPECT_EQ(b.Field(ctl::kWord), "w");
  EXPECT_EQ(b.Field(ctl::kReplacement), "v");
  b.Type(ctl::kWord, "new");
  b.Type(ctl::kReplacement, "x");
  b.Press(ctl::kDelete);
  EXPECT_EQ(b.controls.ListCount(ctl::kAutoList), 0);
  EXPECT_EQ(b.editor.store().FindSection("/AutoReplaceList")->Values().size(), 0u);
}

TEST_F(SettingsEditorTest, NewDiscardsEditsWithoutAsking) {
  Bench b;
  StartWith(b, "TabStop=8\n");
  b.Type(ctl::kHeader, "edited");
  b.Press(ctl::kCmdNew);
  EXPECT_TRUE(b.boxes.asked.empty());
  EXPECT_FALSE(b.editor.modified());
  EXPECT_EQ(b.Field(ctl::kTabStop), "3");
  EXPECT_NE(b.Field(ctl::kHeader), "edited");
  EXPECT_EQ(b.controls.caption, "Norvelle設定");
  EXPECT_EQ(b.controls.ListCount(ctl::kReplaceList), 100);
}

TEST_F(SettingsEditorTest, CheckBoxAloneThenOpenAsksNothing) {
  Bench b;
  b.editor.Start();
  b.controls.checks[ctl::kLineOut] = false;
  b.Press(ctl::kLineOut);
  b.Press(ctl::kCmdOpen);
  EXPECT_TRUE(b.boxes.asked.empty());
  EXPECT_EQ(b.files.opens, 1);
  EXPECT_EQ(b.files.last_filter, "Norvelle設定ファイル(*.qdx)|*.qdx|全てのファイル(*.*)|*.*||");
  EXPECT_EQ(b.files.last_folder, dir.File("qdx"));
}

TEST_F(SettingsEditorTest, OpenWithEditsAndNoNameAsksThenSaveAsCancelled) {
  Bench b;
  b.editor.Start();
  b.Type(ctl::kSplitKey, "!");
  b.boxes.answers = {Answer::kYes};
  b.Press(ctl::kCmdOpen);
  ASSERT_EQ(b.boxes.asked.size(), 1u);
  EXPECT_EQ(b.boxes.asked[0], "このルールは編集されています。編集を保存しますか");
  EXPECT_EQ(b.boxes.buttons[0], MessageBoxes::Buttons::kYesNoCancel);
  EXPECT_EQ(b.files.saves, 1);  // the save-as dialog came first
  EXPECT_EQ(b.files.opens, 0);  // and cancelling it cancelled Open
  EXPECT_TRUE(b.editor.modified());
}

TEST_F(SettingsEditorTest, OpenAnswers) {
  struct Case {
    Answer answer;
    int opens;
  };
  const Case cases[] = {{Answer::kNo, 1}, {Answer::kCancel, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.answer));
    Bench b;
    b.editor.Start();
    b.Type(ctl::kJoinKey, "+");
    b.boxes.answers = {c.answer};
    b.Press(ctl::kCmdOpen);
    EXPECT_EQ(b.files.opens, c.opens);
    EXPECT_EQ(b.files.saves, 0);
  }
}

TEST_F(SettingsEditorTest, OpenShowsTheFileUnderItsTitle) {
  ASSERT_TRUE(WriteBytes(dir.File("abc.qdx"), "TabStop=5\r\n[ReplaceList]\r\n05=x\r\n[EndSection]\r\n"));
  Bench b;
  b.editor.Start();
  b.files.open_result = dir.File("abc.qdx");
  b.Press(ctl::kCmdOpen);
  EXPECT_EQ(b.controls.caption, "abc - Norvelle設定");
  EXPECT_EQ(b.editor.rule_file_path(), dir.File("abc.qdx"));
  EXPECT_EQ(b.Field(ctl::kTabStop), "5");
  EXPECT_EQ(b.Line(ctl::kReplaceList, 5), "05：x");
  EXPECT_FALSE(b.editor.modified());
  EXPECT_TRUE(b.boxes.asked.empty());
}

TEST_F(SettingsEditorTest, SaveWithoutNameIsSaveAsAndProposesTheTitle) {
  Bench b;
  b.editor.Start();
  b.Press(ctl::kCmdSave);
  EXPECT_EQ(b.files.saves, 1);
  EXPECT_EQ(b.files.last_proposed, "");
  EXPECT_EQ(b.files.last_filter, "Norvelle設定ファイル(*.qdx)|*.qdx||");
  b.files.save_result = dir.File("abc.qdx");
  b.Type(ctl::kTabStop, "7");
  b.Press(ctl::kCmdSave);
  EXPECT_EQ(b.controls.caption, "abc - Norvelle設定");
  EXPECT_FALSE(b.editor.modified());
  EXPECT_NE(ReadBytes(dir.File("abc.qdx")).find("TabStop=7\r\n"), std::string::npos);
  b.files.save_result.reset();
  b.Press(ctl::kCmdSaveAs);
  EXPECT_EQ(b.files.last_proposed, "abc");
  EXPECT_EQ(b.controls.caption, "abc - Norvelle設定");  // cancelled: nothing changed
  b.Type(ctl::kTabStop, "9");
  b.Press(ctl::kCmdSave);  // named now: no dialog
  EXPECT_EQ(b.files.saves, 3);
  EXPECT_NE(ReadBytes(dir.File("abc.qdx")).find("TabStop=9\r\n"), std::string::npos);
}

// The profile keys have no field: a rule that sets them keeps them, as
// written, through an edit and a save.
TEST_F(SettingsEditorTest, SaveKeepsTheProfileKeysItDoesNotShow) {
  const std::string keys = "OutputProfile=html5\r\nHtmlLang=en\r\nHtml5HeaderStr=<!DOCTYPE html>\\n<body>\r\n";
  ASSERT_TRUE(WriteBytes(dir.File("abc.qdx"), "TabStop=5\r\n" + keys));
  Bench b;
  b.editor.Start();
  b.files.open_result = dir.File("abc.qdx");
  b.Press(ctl::kCmdOpen);
  b.Type(ctl::kTabStop, "6");
  b.Press(ctl::kCmdSave);
  const std::string saved = ReadBytes(dir.File("abc.qdx"));
  EXPECT_NE(saved.find("TabStop=6\r\n"), std::string::npos);
  for (const char* line : {"OutputProfile=html5\r\n", "HtmlLang=en\r\n", "Html5HeaderStr=<!DOCTYPE html>\\n<body>\r\n"})
    EXPECT_NE(saved.find(line), std::string::npos) << line << " in\n" << saved;
}

TEST_F(SettingsEditorTest, ApplyWhileANamedFileIsEditedWritesOnlyTheDefault) {
  ASSERT_TRUE(WriteBytes(dir.File("abc.qdx"), "TabStop=5\r\n"));
  Bench b;
  b.editor.Start();
  b.files.open_result = dir.File("abc.qdx");
  b.Press(ctl::kCmdOpen);
  b.Type(ctl::kTabStop, "6");
  b.Press(ctl::kApply);
  EXPECT_EQ(ReadBytes(dir.File("abc.qdx")), "TabStop=5\r\n");
  EXPECT_NE(ReadBytes(Ini()).find("TabStop=6\r\n"), std::string::npos);
  EXPECT_EQ(b.controls.caption, "abc - Norvelle設定");
  EXPECT_EQ(b.editor.rule_file_path(), dir.File("abc.qdx"));
}

TEST_F(SettingsEditorTest, OkWithUnwritableDefaultShowsTheMessageAndCloses) {
  // The program's "folder" is a file: nothing to read, and no file can be
  // made there (also for root, whom permissions would not stop).
  ASSERT_TRUE(WriteBytes(dir.File("file"), "x"));
  SetProgramPathForTesting(dir.File("file/norvelle"));
  Bench b;
  b.editor.Start();
  b.Type(ctl::kTabStop, "4");
  b.Press(ctl::kOk);
  ASSERT_EQ(b.boxes.asked.size(), 1u);
  EXPECT_EQ(b.boxes.asked[0], kSaveFailed);
  EXPECT_EQ(b.controls.closed, std::optional<bool>(true));
  EXPECT_TRUE(b.editor.modified());
}

TEST_F(SettingsEditorTest, ApplyMakesTheFolderOfTheDefaultRuleFile) {
  SetProgramPathForTesting(dir.File("config/norvelle/norvelle"));
  Bench b;
  b.editor.Start();
  b.Press(ctl::kApply);
  EXPECT_TRUE(b.boxes.asked.empty());
  EXPECT_TRUE(FileExists(dir.File("config/norvelle/norvelle.ini")));
}

TEST_F(SettingsEditorTest, ApplyInAReadOnlyFolderSavesAWritableDefaultRuleFile) {
  PermissionsBind bind;
  if (!bind.bound()) GTEST_SKIP() << "running as root and cannot set aside root's right to ignore permissions";
  const std::string ro = dir.File("ro");
  ASSERT_EQ(mkdir(ro.c_str(), 0700), 0);
  ASSERT_TRUE(WriteBytes(ro + "/norvelle.ini", "TabStop=4\r\n"));
  ASSERT_EQ(chmod(ro.c_str(), 0555), 0);
  SetProgramPathForTesting(ro + "/norvelle");
  Bench b;
  b.editor.Start();
  b.Type(ctl::kTabStop, "6");
  b.Press(ctl::kApply);
  EXPECT_TRUE(b.boxes.asked.empty());
  EXPECT_NE(ReadBytes(ro + "/norvelle.ini").find("TabStop=6\r\n"), std::string::npos);
  EXPECT_FALSE(b.editor.modified());
}

TEST_F(SettingsEditorTest, CancelAndExitCloseWithoutSaving) {
  for (int id : {ctl::kCancel, ctl::kCmdExit}) {
    SCOPED_TRACE(id);
    Bench b;
    b.editor.Start();
    b.Type(ctl::kTabStop, "4");
    b.Press(id);
    EXPECT_EQ(b.controls.closed, std::optional<bool>(false));
    EXPECT_TRUE(b.boxes.asked.empty());
    EXPECT_FALSE(FileExists(Ini()));
  }
}

TEST_F(SettingsEditorTest, OpenOfAnUnreadableFileKeepsTheRule) {
  Bench b;
  StartWith(b, "TabStop=8\n");
  b.files.open_result = dir.File("none.qdx");
  b.Press(ctl::kCmdOpen);
  ASSERT_EQ(b.boxes.asked.size(), 1u);
  EXPECT_EQ(b.boxes.asked[0], "ルールファイルを読み込めませんでした");
  EXPECT_EQ(b.Field(ctl::kTabStop), "8");
  EXPECT_EQ(b.editor.rule_file_path(), "");
  b.Press(ctl::kCmdSave);  // still no name: Save as, not a write over none.qdx
  EXPECT_EQ(b.files.saves, 1);
  EXPECT_FALSE(FileExists(dir.File("none.qdx")));
}

TEST_F(SettingsEditorTest, OpenOfAFileWithABadLineWarnsAndSaveAsks) {
  const std::string text = "TabStop=5\r\n[a.b]\r\nJoinKey=lost\r\n";
  ASSERT_TRUE(WriteBytes(dir.File("bad.qdx"), text));
  Bench b;
  b.editor.Start();
  b.files.open_result = dir.File("bad.qdx");
  b.Press(ctl::kCmdOpen);
  ASSERT_EQ(b.boxes.asked.size(), 1u);
  EXPECT_EQ(b.boxes.asked[0], "ルールファイルを最後まで読み込めませんでした。\n読み込めた部分だけを表示します");
  EXPECT_EQ(b.Field(ctl::kTabStop), "5");      // read before the bad line
  EXPECT_EQ(b.Field(ctl::kJoinKey), " ");  // the default: the line after it was not read
  EXPECT_EQ(b.controls.caption, "bad - Norvelle設定");
  b.boxes.answers = {Answer::kNo};
  EXPECT_FALSE(b.editor.SaveCommand());
  EXPECT_EQ(ReadBytes(dir.File("bad.qdx")), text);
  EXPECT_EQ(b.boxes.buttons.back(), MessageBoxes::Buttons::kYesNo);
  b.boxes.answers = {Answer::kYes};
  EXPECT_TRUE(b.editor.SaveCommand());
  EXPECT_NE(ReadBytes(dir.File("bad.qdx")), text);
  const std::size_t asked = b.boxes.asked.size();
  EXPECT_TRUE(b.editor.SaveCommand());  // once confirmed, saving goes on as usual
  EXPECT_EQ(b.boxes.asked.size(), asked);
}

TEST_F(SettingsEditorTest, DefaultRuleWithABadLineIsNotOverwrittenSilently) {
  const std::string text = "TabStop=5\r\n[x/y]\r\nJoinKey=lost\r\n";
  ASSERT_TRUE(WriteBytes(Ini(), text));
  Bench b;
  b.editor.Start();
  ASSERT_EQ(b.boxes.asked.size(), 1u);
  b.boxes.answers = {Answer::kNo};
  b.Press(ctl::kOk);
  EXPECT_EQ(b.controls.closed, std::optional<bool>(true));
  EXPECT_EQ(ReadBytes(Ini()), text);
}

TEST_F(SettingsEditorTest, AboutOpensTheBox) {
  Bench b;
  b.editor.Start();
  b.Press(ctl::kCmdAbout);
  EXPECT_EQ(b.controls.abouts, 1);
}

}  // namespace
}  // namespace norvelle::test
