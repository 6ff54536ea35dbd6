// The first run of an installed program: its rule folder in the user's
// configuration folder is set up with a default rule file that holds every key
// at its default, and the example rules shipped in <prefix>/share/norvelle/qdx.
// Nothing happens for a program used from its build or unpacked folder, or
// once the default rule file exists: it is written last, after every example
// is whole, so a set-up broken off (a full disk, a folder that cannot be
// written) leaves none and is done again at the next start. Each file is
// written whole or not at all (platform/whole_file.h); an example found cut
// short is replaced, any other file already in qdx/ is kept.
#pragma once

#include <cstdio>
#include <string>

#include "platform/whole_file.h"

namespace norvelle {

// Where the set-up writes, as native (UTF-8) paths.
struct RuleFolderPlan {
  std::string folder;    // the configuration folder, as the notes name it
  std::string ini;       // the default rule file
  std::string qdx;       // the rules folder
  std::string examples;  // the example rule files to copy
  WriteStep write;       // the write step (empty: the system's)
};

// Sets up plan's folder unless its default rule file exists. True when the
// set-up was completed now; says so once on `err`, or why it failed.
bool SetUpRuleFolder(const RuleFolderPlan& plan, std::FILE* err);

// The plan of the running program, for an installed one.
bool PrepareRuleFolder(std::FILE* err);

}  // namespace norvelle
