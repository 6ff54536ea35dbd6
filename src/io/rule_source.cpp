#include "io/rule_source.h"

#include <utility>

#include "io/source_path.h"
#include "platform/paths.h"

namespace norvelle {

RuleSource::RuleSource(DocumentIO& io, std::string rules_folder, std::string document_folder,
                       std::string default_file)
    : io_(io),
      rules_folder_(std::move(rules_folder)),
      beside_document_(document_folder.empty() ? std::string() : document_folder + "/qdx"),
      default_file_(std::move(default_file)) {}

bool RuleSource::LoadFile(const std::string& path, RuleStore& store) const {
  store.Clear();
  std::string text;
  return io_.Read(FileRole::kRules, path, text) && store.Parse(text, false);
}

bool RuleSource::LoadDefault(RuleStore& store) const {
  store.Clear();
  if (!default_file_.empty()) return LoadFile(default_file_, store);
  // A program path too short to hold a name has no rule file beside it.
  if (ProgramPath().size() < 6) return false;
  const std::string path = DefaultRuleFile();
  return !path.empty() && LoadFile(path, store);
}

bool RuleSource::LoadNamed(std::string_view document_name, RuleStore& store, std::string& tried) const {
  const std::string name = "/" + DocumentPath(document_name) + ".qdx";
  tried = rules_folder_ + name;
  if (LoadFile(tried, store)) return true;
  return !beside_document_.empty() && LoadFile(beside_document_ + name, store);
}

}  // namespace norvelle
