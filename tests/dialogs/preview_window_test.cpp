// The preview windows on the offscreen platform: a document's preview
// follows saves of the document and of an included file and keeps its
// source line; the settings window's preview follows the fields, unsaved,
// writing nothing, and shows a pattern's cut-off report.
#include "ui/qt/preview_window.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>

#include "dialogs/fake_boxes.h"
#include "dialogs/offscreen_app.h"
#include "platform/encoding.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "preview/sample.h"
#include "support/test_support.h"
#include "ui/qt/settings_dialog.h"

namespace norvelle::test {
namespace {

// Every file of a folder and its bytes.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const std::string& f : FilesIn(folder, "")) files[f] = ReadBytes(folder + "/" + f);
  return files;
}

class PreviewWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OffscreenApp();
    // The remembered geometry and document go to this test's folders.
    ::setenv("XDG_CONFIG_HOME", state.File("config").c_str(), 1);
    ::setenv("XDG_STATE_HOME", state.File("state").c_str(), 1);
    SetProgramPathForTesting(dir.File("norvelle"));
  }
  void TearDown() override {
    SetProgramPathForTesting("");
    for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();
  }
  std::unique_ptr<PreviewWindow> Document(const std::string& path) {
    PreviewWindow::Options o;
    o.title = QStringLiteral("doc");
    o.geometry_key = QStringLiteral("test");
    auto w = std::make_unique<PreviewWindow>(o, [path](bool) {
      PreviewRequest r;
      r.source = path;
      return ConvertToMemory(r);
    });
    w->WatchFiles();
    w->show();
    w->Reconvert();
    return w;
  }
  // The visual line at the view's top (the page's lines are one block with breaks).
  static QString Top(PreviewWindow& w) {
    QTextCursor c = w.page()->cursorForPosition(QPoint(8, 8));
    c.movePosition(QTextCursor::StartOfLine);
    c.movePosition(QTextCursor::EndOfLine, QTextCursor::KeepAnchor);
    return c.selectedText().replace(QChar(0xA0), QLatin1Char(' ')).remove(QChar(0x200B));  // blanks: &nbsp;
  }
  static bool Shows(PreviewWindow& w, const QString& text) {
    return QTest::qWaitFor([&] { return w.page()->toPlainText().contains(text); }, 5000);
  }
  TempDir dir, state;
};

TEST_F(PreviewWindowTest, FollowsSavesOfTheDocumentAndItsIncludedFile) {
  WriteBytes(dir.File("part.html"), "<b>part one</b>");
  WriteBytes(dir.File("doc.txt"), "first\n|include=part.html|\n");
  auto w = Document(dir.File("doc.txt"));
  ASSERT_TRUE(Shows(*w, QStringLiteral("part one")));
  QTest::qWait(50);
  WriteBytes(dir.File("doc.txt"), "second\n|include=part.html|\n");
  EXPECT_TRUE(Shows(*w, QStringLiteral("second")));
  WriteBytes(dir.File("part.html"), "<b>part two</b>");
  EXPECT_TRUE(Shows(*w, QStringLiteral("part two")));
  EXPECT_FALSE(FileExists(dir.File("doc.htm")));
  // A save of the same bytes converts nothing again.
  const int runs = w->runs();
  WriteBytes(dir.File("part.html"), "<b>part two</b>");
  QTest::qWait(400);
  EXPECT_EQ(w->runs(), runs);
  // A save that breaks the run keeps the last good page, with the report.
  WriteBytes(dir.File("doc.txt"), "");
  ASSERT_TRUE(QTest::qWaitFor([&] { return w->report()->count() > 0; }, 5000));
  EXPECT_TRUE(w->page()->toPlainText().contains(QStringLiteral("part two")));
  w->close();
}

// The line at the top of the view stays there when a line is added above it.
TEST_F(PreviewWindowTest, ScrollAnchorHoldsWhenALineIsAddedAbove) {
  std::string doc;
  for (int i = 1; i <= 400; ++i) doc += "line " + std::to_string(i) + "\n";
  WriteBytes(dir.File("doc.txt"), doc);
  auto w = Document(dir.File("doc.txt"));
  w->resize(400, 300);
  ASSERT_TRUE(Shows(*w, QStringLiteral("line 400")));
  w->ScrollToLine(200);
  auto top = [&] { return Top(*w); };
  const QString before = top();
  ASSERT_TRUE(before.contains(QStringLiteral("line 200"))) << before.toStdString();
  const int runs = w->runs();
  WriteBytes(dir.File("doc.txt"), "added\n" + doc);
  ASSERT_TRUE(QTest::qWaitFor([&] { return w->runs() > runs; }, 5000));
  EXPECT_TRUE(w->page()->toPlainText().remove(QChar(0x200B)).startsWith(QStringLiteral("added")));
  EXPECT_EQ(top(), before);
  w->close();
}

// A long page is loaded a window at a time; the view still goes anywhere
// in it and keeps its line across a save.
TEST_F(PreviewWindowTest, LongPageLoadsAWindowAroundTheView) {
  std::string doc;
  for (int i = 1; i <= 20000; ++i) doc += "line " + std::to_string(i) + "\n";
  WriteBytes(dir.File("doc.txt"), doc);
  auto w = Document(dir.File("doc.txt"));
  w->resize(400, 300);
  ASSERT_TRUE(Shows(*w, QStringLiteral("line 2\n")));
  EXPECT_TRUE(w->windowed());
  EXPECT_TRUE(w->place()->isVisible());
  EXPECT_FALSE(w->page()->toPlainText().contains(QStringLiteral("line 20000")));
  const auto at = [&](int line) { return Top(*w) == QStringLiteral("line %1").arg(line); };
  w->ScrollToLine(15000);
  EXPECT_TRUE(at(15000)) << Top(*w).toStdString();
  EXPECT_EQ(w->place()->value(), 15000);
  const int runs = w->runs();
  WriteBytes(dir.File("doc.txt"), "added\n" + doc);
  ASSERT_TRUE(QTest::qWaitFor([&] { return w->runs() > runs; }, 5000));
  EXPECT_TRUE(at(15000)) << Top(*w).toStdString();
  // Scrolling to the window's end moves the window on; the view stays put.
  QScrollBar* bar = w->page()->verticalScrollBar();
  bar->setValue(bar->maximum());
  const QString before = Top(*w);
  QTest::qWait(20);
  EXPECT_EQ(Top(*w), before);
  EXPECT_GT(bar->maximum() - bar->value(), w->page()->viewport()->height());
  w->place()->setValue(5000);
  EXPECT_TRUE(at(5000 - 1)) << Top(*w).toStdString();  // 5000 of the new text is "line 4999"
  QTest::keyClick(w->page(), Qt::Key_End, Qt::ControlModifier);
  EXPECT_TRUE(w->page()->toPlainText().contains(QStringLiteral("line 20000")));
  QTest::keyClick(w->page(), Qt::Key_Home, Qt::ControlModifier);
  EXPECT_TRUE(w->page()->toPlainText().remove(QChar(0x200B)).startsWith(QStringLiteral("added")));
  w->close();
}

class RulePreviewTest : public PreviewWindowTest {
 protected:
  static QString Html(PreviewWindow& w) { return w.page()->toHtml(); }
  // A field typed into as the user does.
  static void Type(SettingsDialog& d, int id, const QString& text) {
    if (auto* e = qobject_cast<QLineEdit*>(d.control(id))) {
      e->selectAll();
      QTest::keyClicks(e, text);
    } else if (auto* m = qobject_cast<QPlainTextEdit*>(d.control(id))) {
      m->moveCursor(QTextCursor::End);
      m->insertPlainText(text);  // typed through an input method: no key events
    }
  }
  FakeBoxes boxes;
};

TEST_F(RulePreviewTest, FooterEditShowsWithNoFileWritten) {
  WriteBytes(dir.File("doc.txt"), "the document\n");
  RememberDocument(dir.File("doc.txt"));
  const auto before = Snapshot(dir.path());
  SettingsDialog d(&boxes, &boxes);
  d.show();
  d.OpenPreview();
  ASSERT_NE(d.preview(), nullptr);
  EXPECT_TRUE(Shows(*d.preview(), QStringLiteral("the document")));
  Type(d, ctl::kFooter, QStringLiteral("<p>足もと</p>"));
  EXPECT_TRUE(Shows(*d.preview(), QStringLiteral("足もと")));
  EXPECT_EQ(Snapshot(dir.path()), before);
  d.reject();
}

// The built-in sample's listing takes the colour field's value at once.
TEST_F(RulePreviewTest, ColourEditRecoloursTheListing) {
  SettingsDialog d(&boxes, &boxes);
  d.show();
  d.OpenPreview();
  PreviewWindow& w = *d.preview();
  ASSERT_TRUE(Shows(w, QStringLiteral("return")));
  EXPECT_FALSE(Html(w).contains(QStringLiteral("#123456")));
  Type(d, ctl::kColorKeyword, QStringLiteral("123456"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return Html(w).contains(QStringLiteral("#123456")); }, 2000));
  // The keyword itself carries it.
  const int at = w.page()->toPlainText().indexOf(QStringLiteral("return"));
  QTextCursor c(w.page()->document());
  c.setPosition(at + 1);
  EXPECT_EQ(c.charFormat().foreground().color(), QColor(0x12, 0x34, 0x56));
  d.reject();
}

TEST_F(RulePreviewTest, BrokenPatternShowsItsCutOffReport) {
  SettingsDialog d(&boxes, &boxes);
  d.show();
  d.OpenPreview();
  PreviewWindow& w = *d.preview();
  ASSERT_TRUE(Shows(w, QStringLiteral("return")));
  QTest::mouseClick(qobject_cast<QWidget*>(d.control(ctl::kAdd)), Qt::LeftButton);
  qobject_cast<QComboBox*>(d.control(ctl::kKind))->setCurrentIndex(2);
  Type(d, ctl::kReplacement, QStringLiteral("y"));
  Type(d, ctl::kWord, QStringLiteral("%*j%*j%*j%*j%*j%*jx"));
  const QString cut = QStringLiteral("自動置換パターンの照合が打ち切られました");
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return !w.report()->findItems(cut, Qt::MatchContains).isEmpty(); }, 3000));
  d.reject();
}

}  // namespace
}  // namespace norvelle::test
