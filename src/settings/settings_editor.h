// SettingsEditor: the logic of the settings dialog, without any window.
//
// Holds the rule being edited in its own RuleStore, fills the controls from
// it (ShowRule) and gathers them back (SaveRule); edits the replace table and
// the auto-replace list in the store as the user types; runs the menu
// commands (New, Open, Save, Save as, Exit, About) and Apply/OK/Cancel; keeps
// the modified flag. The window binds its widgets through SettingsControls
// and reports the user's changes to the On* handlers.
//
// Beyond the plain description: a rule file that cannot be read leaves the
// rule as it was (with a message), and one read only up to a bad line is
// shown with a message and is not overwritten without asking.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "rules/rule_store.h"
#include "settings/settings_view.h"

namespace norvelle {

class SettingsEditor {
 public:
  SettingsEditor(SettingsControls& controls, MessageBoxes& boxes, FileDialogs& files);

  // Opening the dialog: loads the default rule file and shows it.
  void Start();

  // The user's doing: a field's text changed, a list's selection changed, a
  // button or menu command was chosen.
  void OnTextChanged(int id);
  void OnSelectionChanged(int id);
  void OnCommand(int id);

  void ShowRule();
  // Gathers the fields into the store and writes it to path.
  bool SaveRule(std::string_view path);
  void WriteDefaultRule();  // Apply
  void NewCommand();
  void OpenCommand();
  bool SaveCommand();
  bool SaveAsCommand();
  bool AskSaveIfModified();

  // The rule as the fields and editors show it, saved or not, into `out`
  // (the store itself stays as it is): what a preview converts with.
  void CurrentRule(RuleStore& out) const;

  bool modified() const { return modified_; }
  bool word_in_sync() const { return word_in_sync_; }
  const std::string& rule_file_path() const { return rule_file_path_; }
  RuleStore& store() { return store_; }

 private:
  // The fields into a store's root keys (the lists live in the store already).
  void GatherFields(RuleStore& into) const;
  // Sets a field and runs its change handler, as the user's typing would.
  void SetField(int id, std::string_view text);
  void SetCaptionFor(const std::string& path);
  void MarkPartial(const std::string& path);
  MessageBoxes::Answer Tell(const char* utf8, MessageBoxes::Buttons buttons);

  // The two list editors (list_editors.cpp).
  void FillReplaceTable();
  void ShowReplaceEntry();
  void ReplaceEntryChanged();
  void FillAutoList();
  void ShowAutoEntry();
  void WordChanged();
  void ReplacementChanged();
  void AddEntry();
  void DeleteEntry();
  int FindWord(std::string_view word) const;

  SettingsControls& controls_;
  MessageBoxes& boxes_;
  FileDialogs& files_;
  RuleStore store_;
  std::string rule_file_path_;
  bool modified_ = false;
  bool word_in_sync_ = true;
  // Files read only up to a failing line: saving over them asks first.
  std::vector<std::string> partial_paths_;
};

}  // namespace norvelle
