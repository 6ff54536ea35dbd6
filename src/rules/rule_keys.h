// The keys of a rule, their defaults, and reading every conversion setting.
//
// One table serves the conversion and the settings dialog, so both apply the
// same defaults; the listing colours' keys come from their own table
// (listing_colours.h). Keys live at the root ("/HeaderStr"); the replace
// table is the section ReplaceList with the keys "00".."99", the
// auto-replace list the section AutoReplaceList with one escaped word per key.
//
// Not for: checking values. Colours are not validated, a tab stop that is no
// number reads as 3, and any SrcLineOut other than exactly "ON" is off.
#pragma once

#include <array>
#include <string_view>
#include <utility>
#include <vector>

#include "base/str.h"
#include "rules/listing_colours.h"
#include "rules/rule_store.h"

namespace norvelle {

enum class RuleKey {
  kHeaderStr,      // HTML before the body, with placeholders such as <title_rep>
  kEndStr,         // HTML after the body
  kTabStop,        // spaces per tab at the start of a run
  kSrcColorFirst,  // the eight listing colours, in ListingColour order: ColourKey
  kSplitKey = kSrcColorFirst + kListingColourCount,  // cuts a table line into cells
  kJoinKey,        // written between joined cells
  kSrcLineOut,     // "ON": source listings get line numbers
};
inline constexpr int kRuleKeyCount = int(RuleKey::kSrcLineOut) + 1;

// The key of a listing colour.
constexpr RuleKey ColourKey(ListingColour c) { return RuleKey(int(RuleKey::kSrcColorFirst) + int(c)); }

struct RuleKeyInfo {
  RuleKey key;
  const char* path;           // absolute key path, "/HeaderStr"
  const char* default_value;  // the value used when the key is absent
};

// Every key of the root, in RuleKey order (the order of a new rule file).
extern const std::array<RuleKeyInfo, kRuleKeyCount> kRuleKeys;
const RuleKeyInfo& RuleKeyOf(RuleKey key);

// The keys of the output profile. They are not in kRuleKeys, so a new rule
// file and the dialog's fields stay as they were; the dialog keeps them in a
// rule it saves, as it keeps every key it does not show.
enum class ProfileKey {
  kOutputProfile,  // "html5" (any letter case): the HTML5 page; anything else HTML 4.01
  kHtmlLang,       // the page's language in the HTML5 header ("<lang_rep>")
  kHtml5HeaderStr, // the HTML5 header; absent: a default one (HeaderStr is for HTML 4.01)
  kHtml5EndStr,    // the HTML5 footer; absent: EndStr
};
inline constexpr int kProfileKeyCount = int(ProfileKey::kHtml5EndStr) + 1;
struct ProfileKeyInfo {
  ProfileKey key;
  const char* path;
  const char* default_value;
};
extern const std::array<ProfileKeyInfo, kProfileKeyCount> kProfileKeys;
// The key's value, or its default (for kHtml5EndStr: EndStr's value).
CStr ProfileValue(const RuleStore& store, ProfileKey key);


inline constexpr int kDefaultTabStop = 3;
inline constexpr int kReplaceCount = 100;
inline constexpr const char* kReplaceListSection = "ReplaceList";
inline constexpr const char* kAutoReplaceListSection = "AutoReplaceList";

// The key of replace entry n: "%02d".
CStr ReplaceKey(int n);
// A TabStop value read as "%d" reads it; the default when no number starts it.
int ParseTabStop(const CStr& value);
// The key's value, or its default.
CStr RuleValue(const RuleStore& store, RuleKey key);

struct RuleSettings {
  CStr header, footer;  // HeaderStr, EndStr
  bool html5 = false;   // OutputProfile
  CStr lang;            // HtmlLang
  CStr html5_header, html5_footer;  // Html5HeaderStr, Html5EndStr (or EndStr)
  int tab_stop = kDefaultTabStop;
  ListingColours colours;  // the eight SrcColor keys
  CStr split_key, join_key;
  bool src_line_out = true;
  CStr replace[kReplaceCount];  // ReplaceList "00".."99"
  // AutoReplaceList in the store's map order: the key as stored (still
  // escaped) and its value.
  std::vector<std::pair<CStr, CStr>> auto_replace;
};

// Reads every setting with its default. Creates ReplaceList with its 100 keys
// (empty) and AutoReplaceList where missing, and leaves AutoReplaceList
// current, as every reader of a rule does.
void ReadSettings(RuleStore& store, RuleSettings& out);
// The same for a store that is dropped right after: the auto-replace values
// are moved out of it instead of copied (a large list would otherwise be
// held twice), so its AutoReplaceList is left with empty values.
void ReadSettings(RuleStore&& store, RuleSettings& out);

// The key escapes of auto-replace words: "\\" backslash, "\n" line feed,
// "\t" tab, "\s" "/", "\e" "="; double-byte characters are taken whole.
// Unescaping drops a backslash with an unknown character after it, and one
// at the very end.
CStr UnescapeKey(std::string_view key);
CStr EscapeKey(std::string_view word);

}  // namespace norvelle
