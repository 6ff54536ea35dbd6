// The settings window on the offscreen platform: what it shows at start,
// swatches, tab order, captions that fit, Apply, and a rule made in the
// window converting a document.
#include "ui/qt/settings_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "convert/run.h"
#include "dialogs/fake_boxes.h"
#include "dialogs/offscreen_app.h"
#include "platform/encoding.h"
#include "platform/paths.h"
#include "rules/listing_colours.h"
#include "support/recording_host.h"
#include "support/test_support.h"
#include "ui/qt/look.h"
#include "ui/qt/settings_template.h"

namespace norvelle::test {
namespace {

// Runs check on the modal window that opens next, then closes it.
void OnNextModal(std::function<void(QWidget*)> check) {
  QTimer::singleShot(0, [check] {
    QWidget* modal = QApplication::activeModalWidget();
    ASSERT_NE(modal, nullptr);
    check(modal);
  });
}

class SettingsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OffscreenApp();
    SetProgramPathForTesting(dir.File("norvelle"));
  }
  void TearDown() override {
    SetProgramPathForTesting("");
    // No window may outlive its test.
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty() ||
                std::none_of(QApplication::topLevelWidgets().begin(),
                             QApplication::topLevelWidgets().end(),
                             [](QWidget* w) { return w->isVisible(); }));
  }
  template <class W>
  static W* Get(SettingsDialog& d, int id) {
    W* w = qobject_cast<W*>(d.control(id));
    EXPECT_NE(w, nullptr) << id;
    return w;
  }
  TempDir dir;
  FakeBoxes quiet;
};

TEST_F(SettingsDialogTest, OpensWithTheDefaults) {
  SettingsDialog d(&quiet, &quiet);
  d.show();
  EXPECT_EQ(d.windowTitle(), QStringLiteral("Norvelle設定"));
  const QString header = Get<QPlainTextEdit>(d, ctl::kHeader)->toPlainText();
  EXPECT_TRUE(header.startsWith(QStringLiteral("<!DOCTYPE html PUBLIC")));
  EXPECT_TRUE(header.contains(QStringLiteral("<head>\n<META")));
  auto* list = Get<QListWidget>(d, ctl::kReplaceList);
  ASSERT_EQ(list->count(), 100);
  EXPECT_EQ(list->item(0)->text(), QStringLiteral("00："));
  EXPECT_EQ(list->item(99)->text(), QStringLiteral("99："));
  EXPECT_EQ(list->currentRow(), 0);
  EXPECT_EQ(Get<QLineEdit>(d, ctl::kColorKeyword)->text(), QStringLiteral("0000ff"));
  EXPECT_EQ(Get<QLineEdit>(d, ctl::kTabStop)->text(), QStringLiteral("3"));
  EXPECT_TRUE(Get<QCheckBox>(d, ctl::kLineOut)->isChecked());
  EXPECT_FALSE(Get<QLabel>(d, ctl::kWarning)->isVisible());
  auto* kind = Get<QComboBox>(d, ctl::kKind);
  ASSERT_EQ(kind->count(), 3);
  EXPECT_EQ(kind->itemText(2), QStringLiteral("独自形式正規表現(R)"));
  EXPECT_TRUE(Get<QPushButton>(d, ctl::kOk)->isDefault());
  EXPECT_EQ(Get<QPushButton>(d, ctl::kApply)->text(), QStringLiteral("適用(&A)"));
  QStringList menus;
  for (QAction* a : d.menu()->actions()) {
    menus << a->text();
    for (QAction* item : a->menu()->actions()) menus << (item->isSeparator() ? QStringLiteral("-") : item->text());
  }
  EXPECT_EQ(menus.join(QLatin1Char('|')),
            QStringLiteral("ルール(&R)|ルールの新規作成(&N)|ルールを開く(&O)...|ルールに名前をつけて保存(&A)...|"
                           "ルールの上書き保存(&S)|-|設定の終了(&X)|ヘルプ(&H)|Norvelleのバージョン情報(&A)...|"
                           "Norvelleのマニュアル(&M)|表示(&V)|プレビュー(&P)"));
  EXPECT_TRUE(quiet.asked.empty());
  d.reject();
}

TEST_F(SettingsDialogTest, SwatchFollowsItsFieldAtOnce) {
  SettingsDialog d(&quiet, &quiet);
  d.show();
  QWidget* swatch = d.swatch(ctl::kColorNum);
  ASSERT_NE(swatch, nullptr);
  EXPECT_EQ(swatch->palette().color(QPalette::Window), QColor(0, 0, 0));
  auto* field = Get<QLineEdit>(d, ctl::kColorNum);
  field->selectAll();
  QTest::keyClicks(field, QStringLiteral("fff"));
  EXPECT_EQ(swatch->palette().color(QPalette::Window), QColor(0xff, 0x0f, 0));
  EXPECT_TRUE(d.editor().modified());
  // Beside its own field, right of it, and no two swatches touch.
  EXPECT_LE(std::abs(swatch->geometry().center().y() - field->geometry().center().y()), 1);
  EXPECT_GT(swatch->x(), field->geometry().right());
  for (int a : ctl::kColourFields)
    for (int b : ctl::kColourFields)
      if (a != b) {
        EXPECT_FALSE(d.swatch(a)->geometry().intersects(d.swatch(b)->geometry())) << a << " " << b;
      }
  d.reject();
}

TEST_F(SettingsDialogTest, TabOrderIsTemplateOrder) {
  SettingsDialog d(&quiet, &quiet);
  const std::vector<int> want = {
      ctl::kOk,          ctl::kCancel,       ctl::kHeader,       ctl::kFooter,       ctl::kApply,
      ctl::kReplaceList, ctl::kReplaceEntry, ctl::kTabStop,      ctl::kAutoList,     ctl::kWord,
      ctl::kReplacement, ctl::kColorNormal,  ctl::kColorKeyword, ctl::kColorString,  ctl::kColorComment,
      ctl::kColorLine,   ctl::kAdd,          ctl::kDelete,       ctl::kSplitKey,     ctl::kJoinKey,
      ctl::kColorSymbol, ctl::kColorChar,    ctl::kColorNum,     ctl::kLineOut,      ctl::kKind};
  std::vector<int> got;
  QWidget* w = d.control(ctl::kOk);
  for (std::size_t n = 0; n < want.size(); ++n) {
    int id = 0;
    for (int candidate : want)
      if (d.control(candidate) == w) id = candidate;
    got.push_back(id);
    do {
      w = w->nextInFocusChain();
    } while (!(w->focusPolicy() & Qt::TabFocus) || !w->isEnabled());
  }
  EXPECT_EQ(got, want);
  EXPECT_EQ(w, d.control(ctl::kOk));  // and round again
  d.reject();
}

TEST_F(SettingsDialogTest, ControlsStandWhereTheTemplatePutsThem) {
  SettingsDialog d(&quiet, &quiet);
  const qt::DialogUnits du(d.font());
  std::vector<QString> labels;
  for (const TemplateItem& item : kSettingsTemplate) {
    SCOPED_TRACE(item.caption ? item.caption : std::to_string(item.id).c_str());
    if (item.id == 0) {
      if (item.kind == ControlKind::kLabel) labels.push_back(QString::fromUtf8(item.caption));
      continue;
    }
    QWidget* w = d.control(item.id);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->geometry(), du.Rect(item.x, item.y, item.w, item.h));
    EXPECT_EQ(w->objectName(), QStringLiteral("c%1").arg(item.id));
  }
  // The labels too, in template order.
  std::vector<QString> shown;
  QWidget* client = d.control(ctl::kOk)->parentWidget();
  for (QLabel* label : client->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
    if (label->objectName().isEmpty()) shown.push_back(label->text());
  EXPECT_EQ(shown, labels);
  // Each colour field has its label from the colour table beside it.
  for (const ListingColourInfo& c : kListingColours)
    EXPECT_NE(std::find(labels.begin(), labels.end(), QString::fromUtf8(c.label)), labels.end()) << c.label;
  d.reject();
}

TEST_F(SettingsDialogTest, CaptionsFitTheirControls) {
  SettingsDialog d(&quiet, &quiet);
  d.show();
  const QFontMetrics fm(qt::DialogFont());
  for (QLabel* label : d.findChildren<QLabel*>()) {
    if (label->text().isEmpty()) continue;
    const QStringList lines = label->text().split(QLatin1Char('\n'));
    int widest = 0;
    for (const QString& l : lines) widest = std::max(widest, fm.horizontalAdvance(l));
    SCOPED_TRACE(label->text().toStdString());
    EXPECT_LE(widest, label->width());
    EXPECT_LE(int(lines.size()) * fm.height(), label->height() + 1);
  }
  for (QPushButton* b : d.findChildren<QPushButton*>()) {
    SCOPED_TRACE(b->text().toStdString());
    EXPECT_LE(fm.horizontalAdvance(QString(b->text()).remove(QLatin1Char('&'))) + 8, b->width());
  }
  auto* check = Get<QCheckBox>(d, ctl::kLineOut);
  EXPECT_LE(check->sizeHint().width(), check->width());
  d.reject();
}

TEST_F(SettingsDialogTest, ApplyWritesTheDefaultRuleFileBesideTheProgram) {
  SettingsDialog d(&quiet, &quiet);
  d.show();
  auto* tab = Get<QLineEdit>(d, ctl::kTabStop);
  tab->selectAll();
  QTest::keyClicks(tab, QStringLiteral("7"));
  QTest::mouseClick(Get<QPushButton>(d, ctl::kApply), Qt::LeftButton);
  const std::string ini = ReadBytes(dir.File("norvelle.ini"));
  EXPECT_NE(ini.find("TabStop=7\r\n"), std::string::npos);
  EXPECT_TRUE(d.isVisible());  // Apply keeps the window open
  EXPECT_TRUE(quiet.asked.empty());
  QTest::keyClick(&d, Qt::Key_Escape);
  EXPECT_FALSE(d.isVisible());
}

TEST_F(SettingsDialogTest, EnterInALineFieldIsOk) {
  SettingsDialog d(&quiet, &quiet);
  d.show();
  auto* split = Get<QLineEdit>(d, ctl::kSplitKey);
  split->setFocus();
  split->selectAll();
  QTest::keyClicks(split, QStringLiteral("!"));
  QTest::keyClick(split, Qt::Key_Return);
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(d.result(), QDialog::Accepted);
  EXPECT_NE(ReadBytes(dir.File("norvelle.ini")).find("SplitKey=!\r\n"), std::string::npos);
}

TEST_F(SettingsDialogTest, EnterInTheHeaderStartsALine) {
  SettingsDialog d(&quiet, &quiet);
  d.show();
  auto* header = Get<QPlainTextEdit>(d, ctl::kHeader);
  header->setFocus();
  header->selectAll();
  QTest::keyClicks(header, QStringLiteral("a"));
  QTest::keyClick(header, Qt::Key_Return);
  QTest::keyClicks(header, QStringLiteral("b"));
  EXPECT_TRUE(d.isVisible());
  QTest::mouseClick(Get<QPushButton>(d, ctl::kOk), Qt::LeftButton);
  EXPECT_EQ(std::string(d.editor().store().GetValue("/HeaderStr")->view()), "a\nb");
  EXPECT_FALSE(d.isVisible());
}

TEST_F(SettingsDialogTest, WordsSortIgnoringLetterCase) {
  ASSERT_TRUE(WriteBytes(dir.File("norvelle.ini"),
                         "[AutoReplaceList]\r\nb=M:1\r\na=M:2\r\nC=M:3\r\nA=M:4\r\n[EndSection]\r\n"));
  SettingsDialog d(&quiet, &quiet);
  auto* list = Get<QListWidget>(d, ctl::kAutoList);
  QStringList words;
  for (int i = 0; i < list->count(); ++i) words << list->item(i)->text();
  EXPECT_EQ(words.join(QLatin1Char(' ')), QStringLiteral("A a b C"));
  // Renaming "A" to "c" puts it after "C" and keeps editing "c", not "C".
  list->setCurrentRow(0);
  auto* word = Get<QLineEdit>(d, ctl::kWord);
  word->selectAll();
  QTest::keyClicks(word, QStringLiteral("c"));
  EXPECT_EQ(list->currentItem()->text(), QStringLiteral("c"));
  EXPECT_EQ(list->currentRow(), 3);
  EXPECT_EQ(Get<QLineEdit>(d, ctl::kReplacement)->text(), QStringLiteral("4"));
  d.reject();
}

TEST_F(SettingsDialogTest, CloseBoxIsCancel) {
  SettingsDialog d(&quiet, &quiet);
  d.show();
  auto* tab = Get<QLineEdit>(d, ctl::kTabStop);
  tab->selectAll();
  QTest::keyClicks(tab, QStringLiteral("9"));
  d.close();
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(d.result(), QDialog::Rejected);
  EXPECT_FALSE(FileExists(dir.File("norvelle.ini")));
}

TEST_F(SettingsDialogTest, SaveQuestionHasJapaneseButtons) {
  SettingsDialog d(nullptr, &quiet);  // the toolkit's message boxes
  d.show();
  auto* tab = Get<QLineEdit>(d, ctl::kTabStop);
  tab->selectAll();
  QTest::keyClicks(tab, QStringLiteral("9"));
  QStringList buttons;
  QString text;
  OnNextModal([&](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr);
    text = box->text();
    QAbstractButton* cancel = nullptr;
    for (QAbstractButton* b : box->buttons()) {
      buttons << b->text();
      if (b->text() == QStringLiteral("キャンセル")) cancel = b;
    }
    ASSERT_NE(cancel, nullptr);
    cancel->click();
  });
  d.findChild<QAction*>(QStringLiteral("m32771"))->trigger();  // Open
  buttons.sort();  // by UTF-16 code units
  EXPECT_EQ(text, QStringLiteral("このルールは編集されています。編集を保存しますか"));
  EXPECT_EQ(buttons.join(QLatin1Char('|')), QStringLiteral("いいえ(&N)|はい(&Y)|キャンセル"));
  EXPECT_EQ(quiet.opens, 0);  // cancelled: no file dialog
  d.reject();
}

TEST_F(SettingsDialogTest, AboutBoxNamesTheProgramAndItsVersion) {
  SettingsDialog d(&quiet, &quiet);
  d.show();
  QString text;
  OnNextModal([&](QWidget* w) {
    auto* label = w->findChild<QLabel*>(QStringLiteral("aboutText"));
    ASSERT_NE(label, nullptr);
    text = label->text();
    qobject_cast<QDialog*>(w)->accept();
  });
  d.findChild<QAction*>(QStringLiteral("m32776"))->trigger();
  EXPECT_TRUE(text.startsWith(QStringLiteral("Norvelle ") + QStringLiteral(NORVELLE_VERSION))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("HTML")));
  d.reject();
}

// End to end: an auto-replace entry made in the window, applied, and used by
// a conversion that reads the default rule file beside the program.
TEST_F(SettingsDialogTest, RuleMadeInTheWindowConverts) {
  {
    SettingsDialog d(&quiet, &quiet);
    d.show();
    QTest::mouseClick(Get<QPushButton>(d, ctl::kAdd), Qt::LeftButton);
    Get<QLineEdit>(d, ctl::kWord)->insert(QStringLiteral("猫"));  // typed through an input method
    Get<QComboBox>(d, ctl::kKind)->setCurrentIndex(1);
    QTest::keyClicks(Get<QLineEdit>(d, ctl::kReplacement), QStringLiteral("<b>%1</b>"));
    auto* header = Get<QPlainTextEdit>(d, ctl::kHeader);
    header->selectAll();
    QTest::keyClicks(header, QStringLiteral("<html><body>"));
    QTest::keyClick(header, Qt::Key_Return);
    QTest::keyClicks(header, QStringLiteral("<!-- mine -->"));
    EXPECT_EQ(Get<QListWidget>(d, ctl::kAutoList)->item(0)->text(), QStringLiteral("猫"));
    QTest::mouseClick(Get<QPushButton>(d, ctl::kApply), Qt::LeftButton);
    d.reject();
  }
  std::string source;
  ASSERT_TRUE(Utf8ToCp932("吾輩は猫である\n", source));
  ASSERT_TRUE(WriteBytes(dir.File("doc.txt"), source));
  RecordingHost host;
  EXPECT_EQ(Convert(host, dir.File("doc.txt")), RunOutcome::kDone);
  const std::string html = Cp932ToUtf8Lossy(ReadBytes(dir.File("doc.htm")));
  // A search entry writes the whole element that contains its word.
  EXPECT_NE(html.find("<b>吾輩は猫である</b><br>"), std::string::npos) << html;
  EXPECT_EQ(html.rfind("<html><body>\r\n<!-- mine -->", 0), 0u) << html;
}

}  // namespace
}  // namespace norvelle::test
