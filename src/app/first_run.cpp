#include "app/first_run.h"

#include <cstring>
#include <string>
#include <vector>

#include "base/str.h"
#include "platform/carry.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/probe.h"
#include "platform/whole_file.h"
#include "rules/rule_file.h"
#include "rules/rule_keys.h"
#include "rules/rule_store.h"

namespace norvelle {

namespace {

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// The default rule file as the settings dialog would save it untouched, so
// that every key can be found and edited in the file itself: its bytes on
// disk, in text mode.
std::string DefaultRuleBytes() {
  RuleStore store;
  for (const RuleKeyInfo& k : kRuleKeys) store.ValueSlot(k.path) = k.default_value;
  RuleSettings unused;
  ReadSettings(store, unused);  // creates the replace table and the auto-replace list
  CStr_base<1024> text;
  WriteRuleText(store, text);
  return WithCrLf(text.view());
}

// One example into qdx/. A file there already is kept unless it is a strict
// start of the example (empty included): what a copy cut short by a full
// disk left; anything else is whole or the user's own.
bool PlaceExample(const std::string& from, const std::string& to, const WriteStep& write, int& err) {
  std::string bytes, there;
  if (!ReadWholeFile(from, bytes, err)) return false;
  int unused;
  if (ReadWholeFile(to, there, unused) && !(there.size() < bytes.size() && bytes.starts_with(there)))
    return true;
  return PutWholeFile(to, bytes, err, write);
}

}  // namespace

bool SetUpRuleFolder(const RuleFolderPlan& plan, std::FILE* err) {
  // The default rule file is written last: its presence marks a set-up done.
  if (PathExists(plan.ini)) return false;
  int why = 0;
  std::string failed;  // the file that could not be made whole, if any
  if (!MakeFolderPath(plan.qdx, why)) {
    std::fprintf(err, "norvelle: cannot set up the rule folder %s: %s\n", plan.folder.c_str(),
                 std::strerror(why));
    return false;
  }
  const std::vector<std::string> names = FilesIn(plan.examples, ".qdx");
  for (const std::string& name : names) {
    if (!PlaceExample(plan.examples + "/" + name, plan.qdx + "/" + name, plan.write, why)) {
      failed = "qdx/" + name;
      break;
    }
  }
  if (failed.empty() && !PutWholeFile(plan.ini, DefaultRuleBytes(), why, plan.write))
    failed = plan.ini.substr(plan.ini.rfind('/') + 1);
  if (!failed.empty()) {
    std::fprintf(err, "norvelle: cannot set up the rule folder %s: %s: %s\n", plan.folder.c_str(),
                 failed.c_str(), std::strerror(why));
    return false;
  }
  std::fprintf(err, "norvelle: first run: created %s with the default rules (norvelle.ini)"
                    " and %zu example rule file%s in qdx/\n",
               plan.folder.c_str(), names.size(), names.size() == 1 ? "" : "s");
  return true;
}

bool PrepareRuleFolder(std::FILE* err) {
  if (!RulesInConfigFolder()) return false;
  RuleFolderPlan plan;
  std::string program;
  if (!NameToNative(DefaultRuleFile(), plan.ini) || !NameToNative(RulesFolder(), plan.qdx) ||
      !NameToNative(ProgramPath(), program))
    return false;
  plan.folder = FolderOf(plan.ini);
  plan.examples = FolderOf(FolderOf(program)) + "/share/norvelle/qdx";
  return SetUpRuleFolder(plan, err);
}

}  // namespace norvelle
