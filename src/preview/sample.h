// What the settings window's preview converts: the document the user last
// previewed or converted, or else a built-in sample made from the rule so
// that every part of a rule shows (header and footer with their
// placeholders and markers, a listing in all eight colours, the replace
// slots, the auto-replace words, tabs, the split and the join key).
//
// The last document's path is kept in one small file of the user's state
// folder, ${XDG_STATE_HOME:-$HOME/.local/state}/norvelle/last-document:
// it is no setting, and a lost file only brings back the sample.
#pragma once

#include <optional>
#include <string>

#include "rules/rule_store.h"

namespace norvelle {

// The sample document (CP932) for a rule.
std::string SampleDocument(const RuleStore& rule);
// The sample's title (CP932).
std::string SampleTitle();

// The state file (native path); empty when there is no home folder.
std::string LastDocumentFile();
// Remembers a document (native path, made absolute); false when it cannot.
bool RememberDocument(const std::string& native_path);
// The remembered document (native path) while it still exists.
std::optional<std::string> LastDocument();

}  // namespace norvelle
