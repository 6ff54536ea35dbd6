#include "settings/settings_editor.h"

#include <algorithm>
#include <ctime>

#include "base/format.h"
#include "platform/encoding.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "rules/rule_keys.h"
#include "settings/settings_messages.h"
#include "settings/text_forms.h"

namespace norvelle {

namespace {

std::string Sjis(const char* utf8) {
  std::string out;
  Utf8ToCp932(utf8, out);  // our own texts always convert
  return out;
}

// The single-line fields gathered unchanged into the root keys, in the
// template's order (which decides the order of a new rule file's keys).
struct FieldKey {
  int id;
  RuleKey key;
};
constexpr FieldKey Colour(ListingColour c) { return {ListingColourOf(c).control, ColourKey(c)}; }
constexpr FieldKey kPlainFields[] = {
    Colour(ListingColour::kNormal),  Colour(ListingColour::kKeyword), Colour(ListingColour::kString),
    Colour(ListingColour::kComment), Colour(ListingColour::kLine),    {ctl::kTabStop, RuleKey::kTabStop},
    {ctl::kSplitKey, RuleKey::kSplitKey}, {ctl::kJoinKey, RuleKey::kJoinKey},
    Colour(ListingColour::kSymbol),  Colour(ListingColour::kChar),    Colour(ListingColour::kNumber),
};

bool IsColourField(int id) {
  for (const ListingColourInfo& c : kListingColours)
    if (c.control == id) return true;
  return false;
}

}  // namespace

SettingsEditor::SettingsEditor(SettingsControls& controls, MessageBoxes& boxes, FileDialogs& files)
    : controls_(controls), boxes_(boxes), files_(files) {}

MessageBoxes::Answer SettingsEditor::Tell(const char* utf8, MessageBoxes::Buttons buttons) {
  return boxes_.Ask(Sjis(utf8), buttons);
}

void SettingsEditor::Start() {
  const std::string path = DefaultRuleFile();
  bool complete = path.empty() ? store_.Load(true) : store_.Load(path, true);
  SetCaptionFor(rule_file_path_);
  ShowRule();
  modified_ = false;
  // A missing default rule file is the normal first start; one that exists
  // but fails would be overwritten by the next Apply or OK.
  std::time_t t;
  if (!complete && !path.empty() && FileModTime(path, t)) {
    MarkPartial(path);
    Tell(msg::kReadPartly, MessageBoxes::Buttons::kOk);
  }
}

void SettingsEditor::SetField(int id, std::string_view text) {
  controls_.SetText(id, text);
  OnTextChanged(id);
}

void SettingsEditor::OnTextChanged(int id) {
  switch (id) {
    case ctl::kHeader:
    case ctl::kFooter:
    case ctl::kTabStop:
    case ctl::kSplitKey:
    case ctl::kJoinKey:
      modified_ = true;
      break;
    case ctl::kReplaceEntry:
      ReplaceEntryChanged();
      break;
    case ctl::kWord:
      WordChanged();
      break;
    case ctl::kReplacement:
      ReplacementChanged();
      break;
    default:
      if (IsColourField(id)) {
        modified_ = true;
        controls_.SetSwatch(id, SwatchColour(controls_.Text(id)));
      }
      break;
  }
}

void SettingsEditor::OnSelectionChanged(int id) {
  switch (id) {
    case ctl::kReplaceList:
      ShowReplaceEntry();
      break;
    case ctl::kAutoList:
      ShowAutoEntry();
      break;
    case ctl::kKind:
      ReplacementChanged();
      break;
    default:
      break;
  }
}

void SettingsEditor::OnCommand(int id) {
  switch (id) {
    case ctl::kOk:
      WriteDefaultRule();
      controls_.Close(true);  // also when the save failed: the message has been shown
      break;
    case ctl::kCancel:
    case ctl::kCmdExit:
      controls_.Close(false);
      break;
    case ctl::kApply:
      WriteDefaultRule();
      break;
    case ctl::kAdd:
      AddEntry();
      break;
    case ctl::kDelete:
      DeleteEntry();
      break;
    case ctl::kCmdNew:
      NewCommand();
      break;
    case ctl::kCmdOpen:
      OpenCommand();
      break;
    case ctl::kCmdSave:
      SaveCommand();
      break;
    case ctl::kCmdSaveAs:
      SaveAsCommand();
      break;
    case ctl::kCmdAbout:
      controls_.ShowAbout();
      break;
    default:  // the check box: toggling it is no edit that needs saving
      break;
  }
}

void SettingsEditor::ShowRule() {
  SetField(ctl::kHeader, LfToCrLf(RuleValue(store_, RuleKey::kHeaderStr).view()).view());
  SetField(ctl::kFooter, LfToCrLf(RuleValue(store_, RuleKey::kEndStr).view()).view());
  for (const FieldKey& f : kPlainFields) {
    if (f.key == RuleKey::kTabStop) {
      CStr n;
      Format(n, "%d", ParseTabStop(RuleValue(store_, RuleKey::kTabStop)));
      SetField(f.id, n.view());
    } else {
      SetField(f.id, RuleValue(store_, f.key).view());
    }
  }
  controls_.SetCheck(ctl::kLineOut, store_.GetFlag("/SrcLineOut", true));
  store_.ChangeSection("/");
  FillReplaceTable();
  FillAutoList();
}

void SettingsEditor::GatherFields(RuleStore& into) const {
  into.ValueSlot("/HeaderStr") = CrLfToLf(controls_.Text(ctl::kHeader));
  into.ValueSlot("/EndStr") = CrLfToLf(controls_.Text(ctl::kFooter));
  for (const FieldKey& f : kPlainFields)
    into.ValueSlot(RuleKeyOf(f.key).path) = CStr(controls_.Text(f.id));
  into.SetFlag("/SrcLineOut", controls_.Check(ctl::kLineOut));
}

void SettingsEditor::CurrentRule(RuleStore& out) const {
  out.CopyFrom(store_);
  GatherFields(out);
  out.ChangeSection("/");
}

bool SettingsEditor::SaveRule(std::string_view path) {
  GatherFields(store_);

  auto partial = std::find(partial_paths_.begin(), partial_paths_.end(), path);
  if (partial != partial_paths_.end() &&
      Tell(msg::kOverwritePartial, MessageBoxes::Buttons::kYesNo) != MessageBoxes::Answer::kYes)
    return false;
  if (!store_.Save(path)) {
    Tell(msg::kSaveFailed, MessageBoxes::Buttons::kOk);
    return false;
  }
  if (partial != partial_paths_.end()) partial_paths_.erase(partial);
  modified_ = false;
  return true;
}

void SettingsEditor::WriteDefaultRule() {
  const std::string path = DefaultRuleFile();
  if (path.empty()) return;  // no program path: nowhere to write
  // Installed, the default rule file lives in a configuration folder that
  // the first Apply may have to make.
  MakeFolders(path.substr(0, path.rfind('/')));
  SaveRule(path);
}

void SettingsEditor::SetCaptionFor(const std::string& path) {
  if (path.empty()) {
    controls_.SetCaption(Sjis(msg::kCaption));
    return;
  }
  CStr caption;
  Format(caption, Sjis(msg::kCaptionNamed).c_str(), FileTitle(path).c_str());
  controls_.SetCaption(caption.view());
}

void SettingsEditor::MarkPartial(const std::string& path) {
  if (std::find(partial_paths_.begin(), partial_paths_.end(), path) == partial_paths_.end())
    partial_paths_.push_back(path);
}

void SettingsEditor::NewCommand() {
  store_.Clear();
  ShowRule();
  rule_file_path_.clear();
  SetCaptionFor(rule_file_path_);
  modified_ = false;
}

void SettingsEditor::OpenCommand() {
  if (!AskSaveIfModified()) return;
  MakeFolders(RulesFolder());  // so that the dialog can start there
  std::optional<std::string> path = files_.OpenFile(Sjis(msg::kOpenFilter), RulesFolder());
  if (!path) return;
  // A file that cannot be read at all would leave an empty rule under its
  // name, and the next Save would write the defaults over it: keep the rule
  // that is open instead.
  std::string probe;
  if (!ReadTextFile(*path, probe)) {
    Tell(msg::kCannotRead, MessageBoxes::Buttons::kOk);
    return;
  }
  const bool complete = store_.Load(*path, true);
  rule_file_path_ = *path;
  SetCaptionFor(rule_file_path_);
  ShowRule();
  modified_ = false;
  if (!complete) {
    MarkPartial(rule_file_path_);
    Tell(msg::kReadPartly, MessageBoxes::Buttons::kOk);
  }
}

bool SettingsEditor::SaveCommand() {
  if (!rule_file_path_.empty()) return SaveRule(rule_file_path_);
  return SaveAsCommand();
}

bool SettingsEditor::SaveAsCommand() {
  MakeFolders(RulesFolder());
  std::optional<std::string> path =
      files_.SaveFile(Sjis(msg::kSaveFilter), RulesFolder(), FileTitle(rule_file_path_));
  if (!path) return false;
  rule_file_path_ = *path;
  SetCaptionFor(rule_file_path_);
  return SaveRule(rule_file_path_);
}

bool SettingsEditor::AskSaveIfModified() {
  if (!modified_) return true;
  switch (Tell(msg::kAskSave, MessageBoxes::Buttons::kYesNoCancel)) {
    case MessageBoxes::Answer::kYes:
      return SaveCommand();
    case MessageBoxes::Answer::kNo:
      return true;
    default:
      return false;
  }
}

}  // namespace norvelle
