#include "app/first_run.h"

#include <string>

#include "platform/carry.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "rules/rule_keys.h"
#include "rules/rule_store.h"

namespace norvelle {

namespace {

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// The default rule file as the settings dialog would save it untouched, so
// that every key can be found and edited in the file itself.
bool WriteDefaultRules(const std::string& cp932_path) {
  RuleStore store;
  for (const RuleKeyInfo& k : kRuleKeys) store.ValueSlot(k.path) = k.default_value;
  RuleSettings unused;
  ReadSettings(store, unused);  // creates the replace table and the auto-replace list
  return store.Save(cp932_path);
}

}  // namespace

bool PrepareRuleFolder(std::FILE* err) {
  if (!RulesInConfigFolder()) return false;
  const std::string ini = DefaultRuleFile();
  std::string ini_u8, qdx_u8, program_u8;
  if (!NameToNative(ini, ini_u8) || !NameToNative(RulesFolder(), qdx_u8) ||
      !NameToNative(ProgramPath(), program_u8))
    return false;
  const std::string folder = FolderOf(ini_u8);
  if (!FolderIsEmpty(folder)) return false;
  if (!MakeFolders(RulesFolder()) || !WriteDefaultRules(ini)) {
    std::fprintf(err, "norvelle: cannot set up the rule folder %s\n", folder.c_str());
    return false;
  }
  const std::string examples = FolderOf(FolderOf(program_u8)) + "/share/norvelle/qdx";
  int copied = 0;
  for (const std::string& name : FilesIn(examples, ".qdx"))
    copied += CopyFileBytes(examples + "/" + name, qdx_u8 + "/" + name);
  std::fprintf(err, "norvelle: first run: created %s with the default rules (norvelle.ini)"
                    " and %d example rule file%s in qdx/\n",
               folder.c_str(), copied, copied == 1 ? "" : "s");
  return true;
}

}  // namespace norvelle
