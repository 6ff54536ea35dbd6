#include "rules/rule_keys.h"

#include <cstdio>
#include <utility>

#include "base/format.h"
#include "rules/rule_file.h"

namespace norvelle {

namespace {
// Words may hold "/" and "=", which key paths and key lines cannot.
constexpr EscapeSet kKeyEscapes{"\\ntse", "\\\n\t/="};
}  // namespace

const RuleKeyInfo kRuleKeys[kRuleKeyCount] = {
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
    {RuleKey::kSrcColorNormal, "/SrcColorNormal", "000000"},
    {RuleKey::kSrcColorKeyword, "/SrcColorKeyword", "0000ff"},
    {RuleKey::kSrcColorString, "/SrcColorString", "0080bb"},
    {RuleKey::kSrcColorComment, "/SrcColorComment", "008000"},
    {RuleKey::kSrcColorLine, "/SrcColorLine", "6000ff"},
    {RuleKey::kSrcColorSymbol, "/SrcColorSymbol", "000000"},
    {RuleKey::kSrcColorChar, "/SrcColorChar", "0080bb"},
    {RuleKey::kSrcColorNum, "/SrcColorNum", "000000"},
    {RuleKey::kSplitKey, "/SplitKey", " "},
    {RuleKey::kJoinKey, "/JoinKey", " "},
    {RuleKey::kSrcLineOut, "/SrcLineOut", "ON"},
};

const RuleKeyInfo& RuleKeyOf(RuleKey key) { return kRuleKeys[int(key)]; }

CStr ReplaceKey(int n) {
  CStr key;
  Format(key, "%02d", n);
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
  out.tab_stop = ParseTabStop(RuleValue(store, RuleKey::kTabStop));
  out.colour_normal = RuleValue(store, RuleKey::kSrcColorNormal);
  out.colour_keyword = RuleValue(store, RuleKey::kSrcColorKeyword);
  out.colour_string = RuleValue(store, RuleKey::kSrcColorString);
  out.colour_comment = RuleValue(store, RuleKey::kSrcColorComment);
  out.colour_line = RuleValue(store, RuleKey::kSrcColorLine);
  out.colour_symbol = RuleValue(store, RuleKey::kSrcColorSymbol);
  out.colour_char = RuleValue(store, RuleKey::kSrcColorChar);
  out.colour_num = RuleValue(store, RuleKey::kSrcColorNum);
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
