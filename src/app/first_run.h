// The first run of an installed program: its rule folder in the user's
// configuration folder is set up with a default rule file that holds every key
// at its default, and the example rules shipped in <prefix>/share/norvelle/qdx.
// Nothing happens for a program used from its build or unpacked folder, or
// when the configuration folder already holds anything.
#pragma once

#include <cstdio>

namespace norvelle {

// Returns true when it created the folder; says so once on `err`.
bool PrepareRuleFolder(std::FILE* err);

}  // namespace norvelle
