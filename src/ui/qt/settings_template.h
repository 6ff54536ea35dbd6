// The settings window's dialog template: every control in template order,
// which is also the tab order, with its kind, id, caption and rectangle in
// dialog units. The window builds itself from this table
// (SettingsDialog::BuildControls); the colour fields and their labels take
// their ids, captions and rows from the colour table.
//
// Not for: behaviour. What a control does when it changes is the settings
// logic's (settings/settings_editor.h); this is only what it is and where.
#pragma once

#include "rules/listing_colours.h"
#include "settings/settings_view.h"

namespace norvelle {

enum class ControlKind {
  kDefaultButton,  // push button that Enter presses; pressing it is a command
  kButton,         // push button; pressing it is a command
  kLabel,          // static text, top-left aligned; no id
  kWarning,        // static text with an id, hidden at start
  kGroup,          // group box that frames other controls; no id
  kMultiEdit,      // multi-line edit: Enter starts a line, Tab moves on
  kEdit,           // single-line edit
  kNumberEdit,     // single-line edit, right-aligned
  kList,           // list box, lines in the order added
  kSortedList,     // list box that sorts its lines, vertical scroll bar always shown
  kCheck,          // check box that a click toggles
  kDropDown,       // drop-down list without typing; its items are the caption's lines
};

// Whether Tab stops at a control of the kind.
constexpr bool TakesFocus(ControlKind kind) {
  return kind != ControlKind::kLabel && kind != ControlKind::kWarning && kind != ControlKind::kGroup;
}

struct TemplateItem {
  ControlKind kind;
  int id;               // control id (settings/settings_view.h); 0 for none
  const char* caption;  // UTF-8, "&" before the accelerator; null for none
  int x, y, w, h;       // dialog units
};

// The colour rows stand 10 units apart from the group's first row down.
constexpr int ColourRowTop(ListingColour c) { return 285 + 10 * ListingColourOf(c).row; }

// At their template height of 12 the colour fields would overlap, so they
// take 10, one unit lower to stay centred on their labels.
constexpr TemplateItem ColourField(ListingColour c) {
  return {ControlKind::kEdit, ListingColourOf(c).control, nullptr, 300, ColourRowTop(c) + 1, 35, 10};
}
constexpr TemplateItem ColourLabel(ListingColour c, int w, int h) {
  return {ControlKind::kLabel, 0, ListingColourOf(c).label, 261, ColourRowTop(c) + 3, w, h};
}

// The swatch beside a colour field, with one unit of gap above and below so
// that neighbouring colours stay apart.
inline constexpr int kSwatchX = 337, kSwatchW = 9, kSwatchH = 8, kSwatchBelowRow = 2;

// The client area, below the menu bar.
inline constexpr int kSettingsWidth = 359, kSettingsHeight = 375;

inline constexpr TemplateItem kSettingsTemplate[] = {
    {ControlKind::kDefaultButton, ctl::kOk, "OK", 80, 350, 50, 15},
    {ControlKind::kButton, ctl::kCancel, "ｷｬﾝｾﾙ", 138, 350, 50, 15},
    {ControlKind::kLabel, 0, "HTML先頭タグ", 5, 5, 110, 8},
    {ControlKind::kMultiEdit, ctl::kHeader, nullptr, 5, 15, 175, 60},
    {ControlKind::kLabel, 0, "HTML終了タグ", 185, 5, 110, 8},
    {ControlKind::kMultiEdit, ctl::kFooter, nullptr, 185, 15, 170, 60},
    {ControlKind::kButton, ctl::kApply, "適用(&A)", 198, 350, 50, 15},
    {ControlKind::kLabel, 0, "置換テーブル", 5, 80, 60, 8},
    {ControlKind::kList, ctl::kReplaceList, nullptr, 5, 91, 350, 59},
    {ControlKind::kEdit, ctl::kReplaceEntry, nullptr, 5, 150, 350, 15},
    // Widened from 55 units, to the colour group, so that the caption is not cut.
    {ControlKind::kLabel, 0, "tab->space初期値", 195, 280, 60, 8},
    {ControlKind::kNumberEdit, ctl::kTabStop, nullptr, 195, 290, 55, 15},
    {ControlKind::kLabel, 0, "自動置換リスト", 5, 170, 60, 8},
    {ControlKind::kSortedList, ctl::kAutoList, nullptr, 5, 181, 350, 59},
    {ControlKind::kEdit, ctl::kWord, nullptr, 35, 240, 320, 15},
    {ControlKind::kEdit, ctl::kReplacement, nullptr, 35, 255, 320, 15},
    {ControlKind::kLabel, 0, "ワード\n\n置換後\n(%1は\nワード)\n\n比較方法", 4, 243, 30, 58},
    {ControlKind::kGroup, 0, "ソース色分け", 256, 275, 99, 95},
    ColourLabel(ListingColour::kNormal, 38, 9),
    ColourField(ListingColour::kNormal),
    ColourField(ListingColour::kKeyword),
    ColourField(ListingColour::kString),
    ColourField(ListingColour::kComment),
    ColourField(ListingColour::kLine),
    ColourLabel(ListingColour::kKeyword, 37, 8),
    ColourLabel(ListingColour::kString, 37, 9),
    ColourLabel(ListingColour::kComment, 38, 8),
    ColourLabel(ListingColour::kLine, 38, 8),
    {ControlKind::kButton, ctl::kAdd, "追加", 74, 166, 34, 14},
    {ControlKind::kButton, ctl::kDelete, "削除", 110, 166, 34, 14},
    {ControlKind::kWarning, ctl::kWarning, "現在のワード名は他に存在するため、保存されていません", 158, 168, 191, 8},
    {ControlKind::kLabel, 0, "分割キー", 135, 280, 28, 8},
    {ControlKind::kEdit, ctl::kSplitKey, nullptr, 135, 290, 55, 15},
    {ControlKind::kLabel, 0, "接合キー", 135, 310, 28, 8},
    {ControlKind::kEdit, ctl::kJoinKey, nullptr, 135, 320, 55, 15},
    ColourField(ListingColour::kSymbol),
    ColourLabel(ListingColour::kSymbol, 38, 8),
    ColourField(ListingColour::kChar),
    ColourLabel(ListingColour::kChar, 38, 8),
    ColourField(ListingColour::kNumber),
    ColourLabel(ListingColour::kNumber, 38, 8),
    // Widened from 56 units, to the colour group, so that the caption is not cut.
    {ControlKind::kCheck, ctl::kLineOut, "ソース行数出力", 195, 320, 60, 10},
    // Closed height; the list that drops down sizes itself.
    {ControlKind::kDropDown, ctl::kKind, "完全一致(M)\n検索(I)\n独自形式正規表現(R)", 35, 288, 89, 14},
};

// What a screen reader calls each control. A label standing beside its
// control names it (QLabel::setBuddy); none of the labels carries an "&", so
// no accelerator is added. The one label of the word, replacement and kind
// fields is the word field's; the three are named one by one below.
struct LabelFor {
  const char* label;  // the label's caption, as in the template
  int id;             // the control it names
};
constexpr LabelFor ColourLabelFor(ListingColour c) { return {ListingColourOf(c).label, ListingColourOf(c).control}; }

inline constexpr LabelFor kLabelsFor[] = {
    {"HTML先頭タグ", ctl::kHeader},
    {"HTML終了タグ", ctl::kFooter},
    {"置換テーブル", ctl::kReplaceList},
    {"tab->space初期値", ctl::kTabStop},
    {"自動置換リスト", ctl::kAutoList},
    {"ワード\n\n置換後\n(%1は\nワード)\n\n比較方法", ctl::kWord},
    {"分割キー", ctl::kSplitKey},
    {"接合キー", ctl::kJoinKey},
    ColourLabelFor(ListingColour::kNormal),
    ColourLabelFor(ListingColour::kSymbol),
    ColourLabelFor(ListingColour::kKeyword),
    ColourLabelFor(ListingColour::kNumber),
    ColourLabelFor(ListingColour::kChar),
    ColourLabelFor(ListingColour::kString),
    ColourLabelFor(ListingColour::kComment),
    ColourLabelFor(ListingColour::kLine),
};

// Names of the controls that no label of their own names (UTF-8).
struct AccessibleText {
  int id;
  const char* name;
  const char* description;  // null for none
};

inline constexpr AccessibleText kAccessibleTexts[] = {
    {ctl::kReplaceEntry, "置換テーブルの項目", "選んだ行の置換後の文字列"},
    {ctl::kWord, "ワード", nullptr},
    {ctl::kReplacement, "置換後", "%1はワード"},
    {ctl::kKind, "比較方法", nullptr},
    {ctl::kWarning, nullptr, "警告"},
};

}  // namespace norvelle
