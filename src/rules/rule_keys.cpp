#include "rules/rule_keys.h"

#include <cctype>
#include <cstdio>
#include <utility>

#include "base/format.h"
#include "rules/rule_file.h"

namespace norvelle {

namespace {
// Words may hold "/" and "=", which key paths and key lines cannot.
constexpr EscapeSet kKeyEscapes{"\\ntse", "\\\n\t/="};
}  // namespace

namespace {

constexpr std::array<RuleKeyInfo, kRuleKeyCount> MakeRuleKeys() {
  std::array<RuleKeyInfo, kRuleKeyCount> keys{{
      {RuleKey::kHeaderStr, "/HeaderStr",
       "<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n"
       "<html lang=\"ja\">\n"
       "<head>\n"
       "<META http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">\n"
       "<title_rep>\n"
       "</head>\n"
       "<body>"},
      {RuleKey::kEndStr, "/EndStr", "</body>\n</html>"},
      {RuleKey::kTabStop, "/TabStop", "3"},
  }};
  for (const ListingColourInfo& c : kListingColours)
    keys[std::size_t(ColourKey(c.colour))] = {ColourKey(c.colour), c.key, c.default_value};
  keys[std::size_t(RuleKey::kSplitKey)] = {RuleKey::kSplitKey, "/SplitKey", " "};
  keys[std::size_t(RuleKey::kJoinKey)] = {RuleKey::kJoinKey, "/JoinKey", " "};
  keys[std::size_t(RuleKey::kSrcLineOut)] = {RuleKey::kSrcLineOut, "/SrcLineOut", "ON"};
  return keys;
}

}  // namespace

constexpr std::array<RuleKeyInfo, kRuleKeyCount> kRuleKeys = MakeRuleKeys();

const RuleKeyInfo& RuleKeyOf(RuleKey key) { return kRuleKeys[int(key)]; }

// The HTML5 header: the language and the generated style block are filled
// at the end of the run, the charset follows the page's encoding.
const std::array<ProfileKeyInfo, kProfileKeyCount> kProfileKeys = {{
    {ProfileKey::kOutputProfile, "/OutputProfile", "html401"},
    {ProfileKey::kHtmlLang, "/HtmlLang", "ja"},
    {ProfileKey::kHtml5HeaderStr, "/Html5HeaderStr",
     "<!DOCTYPE html>\n"
     "<html lang=\"<lang_rep>\">\n"
     "<head>\n"
     "<meta charset=\"Shift_JIS\">\n"
     "<title_rep>\n"
     "<style_rep>\n"
     "</head>\n"
     "<body>"},
    {ProfileKey::kHtml5EndStr, "/Html5EndStr", nullptr},
}};

CStr ProfileValue(const RuleStore& store, ProfileKey key) {
  const ProfileKeyInfo& info = kProfileKeys[std::size_t(key)];
  if (!info.default_value) return store.GetValueOr(info.path, RuleValue(store, RuleKey::kEndStr).view());
  return store.GetValueOr(info.path, info.default_value);
}

namespace {

bool IsHtml5(const CStr& value) {
  constexpr std::string_view kName = "html5";
  if (value.length() != kName.size()) return false;
  for (std::size_t i = 0; i < kName.size(); ++i)
    if (char(std::tolower(static_cast<unsigned char>(value.view()[i]))) != kName[i]) return false;
  return true;
}

}  // namespace

CStr ReplaceKey(int n) {
  CStr key;
  // Every reader of a rule names all 100 keys: written by hand, not by Format.
  if (n >= 0 && n < 100) {
    key.AppendChar(char('0' + n / 10));
    key.AppendChar(char('0' + n % 10));
  } else {
    Format(key, "%02d", n);
  }
  return key;
}

int ParseTabStop(const CStr& value) {
  // sscanf itself, so blanks, signs and overflow read as they always have.
  int n;
  return std::sscanf(value.c_str(), "%d", &n) == 1 ? n : kDefaultTabStop;
}

CStr RuleValue(const RuleStore& store, RuleKey key) {
  const RuleKeyInfo& info = RuleKeyOf(key);
  return store.GetValueOr(info.path, info.default_value);
}

namespace {

void Read(RuleStore& store, RuleSettings& out, bool take_values) {
  out.header = RuleValue(store, RuleKey::kHeaderStr);
  out.footer = RuleValue(store, RuleKey::kEndStr);
  out.html5 = IsHtml5(ProfileValue(store, ProfileKey::kOutputProfile));
  out.lang = ProfileValue(store, ProfileKey::kHtmlLang);
  out.html5_header = ProfileValue(store, ProfileKey::kHtml5HeaderStr);
  out.html5_footer = ProfileValue(store, ProfileKey::kHtml5EndStr);
  out.tab_stop = ParseTabStop(RuleValue(store, RuleKey::kTabStop));
  for (const ListingColourInfo& c : kListingColours)
    out.colours[c.colour] = RuleValue(store, ColourKey(c.colour));
  out.split_key = RuleValue(store, RuleKey::kSplitKey);
  out.join_key = RuleValue(store, RuleKey::kJoinKey);
  out.src_line_out = store.GetFlag(RuleKeyOf(RuleKey::kSrcLineOut).path, true);

  // Every reader of a rule makes the 100 replace keys exist, so a saved rule
  // always lists them all.
  store.ChangeSection("/");
  store.CreateSection(kReplaceListSection);
  store.ChangeSection("/ReplaceList");
  for (int n = 0; n < kReplaceCount; ++n) out.replace[n] = store.ValueSlot(ReplaceKey(n).view());

  store.ChangeSection("/");
  store.CreateSection(kAutoReplaceListSection);
  store.ChangeSection("/AutoReplaceList");
  out.auto_replace.clear();
  out.auto_replace.reserve(store.current().Values().size());
  store.current().Values().ForEachMutable([&](std::string_view key, CStr& value) {
    if (take_values) out.auto_replace.emplace_back(CStr(key), std::move(value));
    else out.auto_replace.emplace_back(CStr(key), value);
  });
}

}  // namespace

void ReadSettings(RuleStore& store, RuleSettings& out) { Read(store, out, false); }
void ReadSettings(RuleStore&& store, RuleSettings& out) { Read(store, out, true); }

CStr UnescapeKey(std::string_view key) { return Unescape(key, kKeyEscapes); }

CStr EscapeKey(std::string_view word) {
  CStr out;
  AppendEscaped(word, kKeyEscapes, out);
  return out;
}

}  // namespace norvelle
