// Where a run's rule files come from: the default rule file, and a rule
// named by the document (`ini` NAME), looked for in the rules folder and
// then in the qdx folder beside the document. Files are read through the
// run's DocumentIO, so each one tried is recorded.
#pragma once

#include <string>
#include <string_view>

#include "io/document_io.h"
#include "rules/rule_store.h"

namespace norvelle {

class RuleSource {
 public:
  // rules_folder and document_folder: CP932; either may be empty.
  // default_file: the default rule file instead of the program's (CP932).
  RuleSource(DocumentIO& io, std::string rules_folder, std::string document_folder,
             std::string default_file = {});

  // The default rule file into a cleared store; false (store empty, every
  // setting its default) when there is none.
  bool LoadDefault(RuleStore& store) const;
  // NAME.qdx into a cleared store. False when neither place has it; `tried`
  // is then the first path looked at (for the report).
  bool LoadNamed(std::string_view name, RuleStore& store, std::string& tried) const;

 private:
  bool LoadFile(const std::string& path, RuleStore& store) const;

  DocumentIO& io_;
  std::string rules_folder_, beside_document_, default_file_;
};

}  // namespace norvelle
