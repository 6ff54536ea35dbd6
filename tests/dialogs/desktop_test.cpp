// The windows on a current desktop: Qt's own texts in Japanese, file
// dialogs whose captions and columns read whole, the dark palette with
// swatches and the page in their true colours, and the manuals item.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFileDialog>
#include <QHeaderView>
#include <QLibraryInfo>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeView>
#include <functional>
#include <string>
#include <vector>

#include "dialogs/fake_boxes.h"
#include "dialogs/offscreen_app.h"
#include "platform/encoding.h"
#include "platform/paths.h"
#include "support/test_support.h"
#include "ui/qt/look.h"
#include "ui/qt/settings_dialog.h"

namespace norvelle::test {
namespace {

bool HaveJapaneseQm() {
  return QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_ja.qm"));
}

class DesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OffscreenApp();
    SetProgramPathForTesting(dir.File("bin/norvelle"));
  }
  void TearDown() override { SetProgramPathForTesting(""); }
  TempDir dir;
  FakeBoxes boxes{MessageBoxes::Answer::kOk};
};

TEST_F(DesktopTest, StandardButtonsSpeakJapanese) {
  if (!HaveJapaneseQm()) GTEST_SKIP() << "qtbase_ja.qm is not installed";
  ASSERT_TRUE(qt::InstallQtTranslations());
  EXPECT_TRUE(qt::InstallQtTranslations());  // a second call adds nothing
  QDialogButtonBox box(QDialogButtonBox::Cancel | QDialogButtonBox::Open);
  EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("キャンセル"));
  EXPECT_TRUE(box.button(QDialogButtonBox::Open)->text().startsWith(QStringLiteral("開く")));
}

// The toolkit's open dialog as the Open command shows it: the captions as
// the program writes them, and every column wide enough for its heading.
TEST_F(DesktopTest, OpenDialogKeepsCaptionsAndColumns) {
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(dir.File("bin/qdx"))));
  ASSERT_TRUE(WriteBytes(dir.File("bin/qdx/a rule with a long name.qdx"), "x"));
  SettingsDialog d(&boxes, nullptr);
  QStringList filters;
  std::vector<std::pair<int, int>> columns;  // width, what the heading needs
  QTimer::singleShot(0, [&] {
    auto* f = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(f, nullptr);
    auto* combo = f->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(combo, nullptr);
    for (int i = 0; i < combo->count(); ++i) filters << combo->itemText(i);
    QHeaderView* header = f->findChild<QTreeView*>(QStringLiteral("treeView"))->header();
    for (int c = 0; c < header->count(); ++c) columns.emplace_back(header->sectionSize(c), header->sectionSizeHint(c));
    f->reject();
  });
  d.findChild<QAction*>(QStringLiteral("m32771"))->trigger();
  EXPECT_EQ(filters.join(QLatin1Char('|')), QStringLiteral("Norvelle設定ファイル(*.qdx)|全てのファイル(*.*)"));
  ASSERT_EQ(columns.size(), 4u);
  for (const auto& [width, needs] : columns) EXPECT_GE(width, needs);
  d.reject();
}

TEST_F(DesktopTest, DarkPaletteKeepsSwatchesAndThePageTrue) {
  qt::ApplyScheme(ColourScheme::kDark);
  {
    SettingsDialog d(&boxes, &boxes);
    d.show();
    EXPECT_LT(d.palette().color(QPalette::Window).lightness(), 128);
    EXPECT_GT(d.palette().color(QPalette::WindowText).lightness(), 128);
    EXPECT_EQ(d.swatch(ctl::kColorKeyword)->palette().color(QPalette::Window), QColor(0, 0, 0xff));
    d.OpenPreview();
    ASSERT_NE(d.preview(), nullptr);
    EXPECT_EQ(d.preview()->page()->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_EQ(d.preview()->page()->palette().color(QPalette::Text), QColor(Qt::black));
    d.preview()->close();
    d.reject();
  }
  qt::ApplyScheme(ColourScheme::kLight);
  EXPECT_GT(QApplication::palette().color(QPalette::Window).lightness(), 128);
}

TEST_F(DesktopTest, HelpMenuOpensTheInstalledManuals) {
  SettingsDialog d(&boxes, &boxes);
  QList<QUrl> opened;
  d.SetUrlOpener([&](const QUrl& url) {
    opened << url;
    return true;
  });
  QMenu* help = d.menu()->actions()[1]->menu();
  ASSERT_EQ(help->actions().size(), 2);
  EXPECT_EQ(help->actions()[0]->objectName(), QStringLiteral("m32776"));  // About stays first
  QAction* manuals = help->actions()[1];
  manuals->trigger();  // not installed yet: said so, nothing opened
  EXPECT_TRUE(opened.isEmpty());
  ASSERT_EQ(boxes.asked.size(), 1u);
  EXPECT_NE(boxes.asked[0].find("share/doc/norvelle"), std::string::npos) << boxes.asked[0];
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(dir.File("share/doc/norvelle"))));
  manuals->trigger();
  ASSERT_EQ(opened.size(), 1);
  EXPECT_EQ(opened[0], QUrl::fromLocalFile(QString::fromStdString(dir.File("share/doc/norvelle"))));
  EXPECT_EQ(boxes.asked.size(), 1u);
  d.reject();
}

}  // namespace
}  // namespace norvelle::test
