// The windows as a screen reader sees them, through the toolkit's
// accessibility interfaces (the ones the AT-SPI bridge reads): every control
// that takes the focus has a name, every label names a control or says what
// it shows, swatches tell their colour, and naming added no accelerator.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "dialogs/fake_boxes.h"
#include "dialogs/offscreen_app.h"
#include "platform/paths.h"
#include "rules/listing_colours.h"
#include "support/test_support.h"
#include "ui/qt/progress_dialog.h"
#include "ui/qt/settings_dialog.h"

namespace norvelle::test {
namespace {

std::string Describe(QWidget* w) {
  return (w->metaObject()->className() + (" " + w->objectName()) + " '" + w->property("text").toString() + "'")
      .toStdString();
}

// Faults of every widget in the window's tree; the lines of a list are
// named by their own text and are not widgets.
std::vector<std::string> Faults(QWidget* window) {
  std::vector<std::string> faults;
  std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* iface) {
    for (int i = 0; i < iface->childCount(); ++i) {
      QAccessibleInterface* child = iface->child(i);
      auto* w = child ? qobject_cast<QWidget*>(child->object()) : nullptr;
      if (!w || w->window() != window) continue;  // a drop-down's popup is a window of its own
      if (child->state().focusable && child->text(QAccessible::Name).trimmed().isEmpty())
        faults.push_back("no name: " + Describe(w));
      auto* label = qobject_cast<QLabel*>(w);
      if (label && !label->text().isEmpty() && !label->buddy() && child->text(QAccessible::Description).isEmpty())
        faults.push_back("label names nothing: " + Describe(w));
      walk(child);
    }
  };
  walk(QAccessible::queryAccessibleInterface(window));
  return faults;
}

// Captions with an accelerator: buttons, and labels that give theirs to a control.
std::set<QString> Accelerators(QWidget* window) {
  std::set<QString> out;
  for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
    if (b->text().contains(QLatin1Char('&'))) out.insert(b->text());
  for (QLabel* l : window->findChildren<QLabel*>())
    if (l->buddy() && l->text().contains(QLatin1Char('&'))) out.insert(l->text());
  return out;
}

class AccessibilityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OffscreenApp();
    SetProgramPathForTesting(dir.File("norvelle"));
    ProgressHost::ResetStartedForTesting();
  }
  void TearDown() override {
    SetProgramPathForTesting("");
    ProgressHost::ResetStartedForTesting();
  }
  TempDir dir;
  FakeBoxes boxes;
};

TEST_F(AccessibilityTest, SettingsWindowNamesEveryControl) {
  SettingsDialog d(&boxes, &boxes);
  d.show();
  EXPECT_EQ(Faults(&d), std::vector<std::string>{});
  EXPECT_EQ(Accelerators(&d), std::set<QString>{QStringLiteral("適用(&A)")});
  // What a reader says for the fields whose labels stand beside them, and
  // for the three that share one label.
  const std::pair<int, const char*> names[] = {
      {ctl::kHeader, "HTML先頭タグ"}, {ctl::kTabStop, "tab->space初期値"}, {ctl::kAutoList, "自動置換リスト"},
      {ctl::kColorKeyword, "キーワード"}, {ctl::kWord, "ワード"},          {ctl::kReplacement, "置換後"},
      {ctl::kKind, "比較方法"},           {ctl::kReplaceEntry, "置換テーブルの項目"},
  };
  for (const auto& [id, name] : names) {
    SCOPED_TRACE(name);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(d.control(id))->text(QAccessible::Name), QString::fromUtf8(name));
  }
  d.reject();
}

TEST_F(AccessibilityTest, SwatchesTellTheirColour) {
  SettingsDialog d(&boxes, &boxes);
  d.show();
  for (const ListingColourInfo& c : kListingColours) {
    SCOPED_TRACE(c.label);
    QAccessibleInterface* s = QAccessible::queryAccessibleInterface(d.swatch(c.control));
    EXPECT_EQ(s->text(QAccessible::Name), QString::fromUtf8(c.label) + QStringLiteral("の色"));
    EXPECT_EQ(s->text(QAccessible::Description),
              QLatin1Char('#') + qobject_cast<QLineEdit*>(d.control(c.control))->text().toLower());
  }
  auto* keyword = qobject_cast<QLineEdit*>(d.control(ctl::kColorKeyword));
  keyword->selectAll();
  QTest::keyClicks(keyword, QStringLiteral("12 34"));  // red 0x12 only
  EXPECT_EQ(QAccessible::queryAccessibleInterface(d.swatch(ctl::kColorKeyword))->text(QAccessible::Description),
            QStringLiteral("#120000"));
  d.reject();
}

TEST_F(AccessibilityTest, ProgressWindowNamesEveryControl) {
  ProgressDialog d("", [](ConversionHost&, std::string_view) { return RunOutcome::kDoneErrors; });
  d.show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return d.host().outcome().has_value(); }, 60000));
  EXPECT_EQ(Faults(&d), std::vector<std::string>{});
  EXPECT_EQ(Accelerators(&d), std::set<QString>{});
  EXPECT_EQ(QAccessible::queryAccessibleInterface(d.report())->text(QAccessible::Name), QStringLiteral("エラーレポート"));
  EXPECT_EQ(QAccessible::queryAccessibleInterface(d.bar())->text(QAccessible::Name), QStringLiteral("進行状況"));
  d.button()->click();
}

}  // namespace
}  // namespace norvelle::test
