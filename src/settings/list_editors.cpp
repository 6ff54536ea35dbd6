// The replace-table and auto-replace-list editors of SettingsEditor. Every
// change goes into the store at once; nothing is gathered at save time.

#include "base/format.h"
#include "rules/rule_keys.h"
#include "settings/settings_editor.h"
#include "settings/settings_messages.h"
#include "settings/text_forms.h"

namespace norvelle {

namespace {

constexpr const char* kReplacePath = "/ReplaceList";
constexpr const char* kAutoPath = "/AutoReplaceList";
constexpr const char* kKindPrefixes[3] = {"M:", "I:", "R:"};
constexpr const char kFullWidthColon[] = "\x81\x46";  // "："

CStr ReplaceLine(int n, std::string_view text) {
  CStr line = ReplaceKey(n);
  line.Append(kFullWidthColon);
  line.Append(text);
  return line;
}

}  // namespace

void SettingsEditor::FillReplaceTable() {
  store_.CreateSection(kReplaceListSection);
  store_.ChangeSection(kReplacePath);
  controls_.ListClear(ctl::kReplaceList);
  for (int n = 0; n < kReplaceCount; ++n) {
    const CStr& value = store_.ValueSlot(ReplaceKey(n).view());
    controls_.ListAdd(ctl::kReplaceList, ReplaceLine(n, DisplayForm(value.view()).view()).view());
  }
  controls_.ListSelect(ctl::kReplaceList, 0);
  ShowReplaceEntry();
}

void SettingsEditor::ShowReplaceEntry() {
  const int sel = controls_.ListSelection(ctl::kReplaceList);
  if (sel < 0 || sel >= kReplaceCount) return;
  store_.ChangeSection(kReplacePath);
  const CStr shown = DisplayForm(store_.ValueSlot(ReplaceKey(sel).view()).view());
  SetField(ctl::kReplaceEntry, shown.view());
}

void SettingsEditor::ReplaceEntryChanged() {
  const int sel = controls_.ListSelection(ctl::kReplaceList);
  if (sel < 0 || sel >= kReplaceCount) return;
  const std::string text = controls_.Text(ctl::kReplaceEntry);
  const CStr line = ReplaceLine(sel, text);
  // Showing an entry changes the field to what the line already says; the
  // line is then left alone (the list may be in the middle of a click).
  if (controls_.ListText(ctl::kReplaceList, sel) != line.view()) {
    controls_.ListRemove(ctl::kReplaceList, sel);
    controls_.ListInsert(ctl::kReplaceList, sel, line.view());
    controls_.ListSelect(ctl::kReplaceList, sel);
  }
  store_.ChangeSection(kReplacePath);
  store_.ValueSlot(ReplaceKey(sel).view()) = ValueFromField(text);
}

void SettingsEditor::FillAutoList() {
  store_.ChangeSection("/");
  store_.CreateSection(kAutoReplaceListSection);
  store_.ChangeSection(kAutoPath);
  controls_.ListClear(ctl::kAutoList);
  RuleStore::ForEachKey(store_.current(), [&](std::string_view key, const RuleStore::Value&) {
    controls_.ListAdd(ctl::kAutoList, UnescapeKey(key).view());
  });
  if (controls_.ListCount(ctl::kAutoList) == 0) return;
  controls_.ListSelect(ctl::kAutoList, 0);
  ShowAutoEntry();
}

void SettingsEditor::ShowAutoEntry() {
  const int sel = controls_.ListSelection(ctl::kAutoList);
  if (sel < 0) return;
  const std::string word = controls_.ListText(ctl::kAutoList, sel);
  SetField(ctl::kWord, word);
  store_.ChangeSection(kAutoPath);
  // A copy: showing the replacement below stores it back into this slot.
  const CStr value = store_.ValueSlot(EscapeKey(word).view());
  if (value.length() < 2) {
    controls_.ListSelect(ctl::kKind, 0);
    SetField(ctl::kReplacement, "");
  } else {
    controls_.ListSelect(ctl::kKind, value.At(0) == 'I' ? 1 : value.At(0) == 'R' ? 2 : 0);
    SetField(ctl::kReplacement, DisplayForm(value.view().substr(2)).view());
  }
  word_in_sync_ = true;
  controls_.Show(ctl::kWarning, false);
  controls_.Focus(ctl::kReplacement);
}

// The list's own search ignores letter case; of the lines it finds, the one
// whose text is exactly the word is meant, else "Abc" would be edited when
// "abc" was typed.
int SettingsEditor::FindWord(std::string_view word) const {
  const int first = controls_.ListFindExact(ctl::kAutoList, word);
  if (first < 0) return first;
  const int count = controls_.ListCount(ctl::kAutoList);
  for (int i = first; i < count; ++i)
    if (controls_.ListText(ctl::kAutoList, i) == word) return i;
  return first;
}

void SettingsEditor::WordChanged() {
  const int sel = controls_.ListSelection(ctl::kAutoList);
  if (sel < 0) return;
  const std::string old_word = controls_.ListText(ctl::kAutoList, sel);
  const std::string new_word = controls_.Text(ctl::kWord);
  if (old_word == new_word) return;
  store_.ChangeSection(kAutoPath);
  const CStr old_key = EscapeKey(old_word);
  const CStr new_key = EscapeKey(new_word);
  if (store_.current().Values().Find(new_key.view())) {
    word_in_sync_ = false;
    controls_.Show(ctl::kWarning, true);
    return;
  }
  controls_.ListRemove(ctl::kAutoList, sel);
  controls_.ListAdd(ctl::kAutoList, new_word);
  controls_.ListSelect(ctl::kAutoList, new_word.empty() ? 0 : FindWord(new_word));
  const CStr value = store_.ValueSlot(old_key.view());
  store_.ValueSlot(new_key.view()) = value;
  store_.RemoveValue(old_key.view());
  word_in_sync_ = true;
  controls_.Show(ctl::kWarning, false);
}

void SettingsEditor::ReplacementChanged() {
  if (!word_in_sync_) return;
  const int sel = controls_.ListSelection(ctl::kAutoList);
  if (sel < 0) return;
  const std::string word = controls_.ListText(ctl::kAutoList, sel);
  const int kind = controls_.ListSelection(ctl::kKind);
  CStr value = kKindPrefixes[kind >= 0 && kind < 3 ? kind : 0];
  value.Append(ValueFromField(controls_.Text(ctl::kReplacement)));
  store_.ChangeSection(kAutoPath);
  store_.ValueSlot(EscapeKey(word).view()) = value;
}

void SettingsEditor::AddEntry() {
  store_.ChangeSection(kAutoPath);
  if (store_.current().Values().Find(std::string_view())) {
    Tell(msg::kDuplicateEmpty, MessageBoxes::Buttons::kOk);
    controls_.ListSelect(ctl::kAutoList, 0);
  } else {
    store_.ValueSlot("") = "";
    controls_.ListSelect(ctl::kAutoList, controls_.ListAdd(ctl::kAutoList, ""));
  }
  ShowAutoEntry();
}

void SettingsEditor::DeleteEntry() {
  int sel = controls_.ListSelection(ctl::kAutoList);
  if (sel < 0) return;
  const std::string word = controls_.ListText(ctl::kAutoList, sel);
  controls_.ListRemove(ctl::kAutoList, sel);
  store_.ChangeSection(kAutoPath);
  store_.RemoveValue(EscapeKey(word).view());
  const int count = controls_.ListCount(ctl::kAutoList);
  if (count == 0) return;
  if (sel >= count) sel = count - 1;
  controls_.ListSelect(ctl::kAutoList, sel);
  ShowAutoEntry();
}

}  // namespace norvelle
