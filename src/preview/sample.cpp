#include "preview/sample.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

#include "platform/encoding.h"
#include "platform/probe.h"
#include "rules/rule_keys.h"

namespace norvelle {

namespace {

std::string Sjis(std::string_view utf8) {
  std::string out;
  Utf8ToCp932(utf8, out);  // our own texts always convert
  return out;
}

// The listing: each of the eight colours has a token of its own (the line
// numbers are the listing's line colour).
constexpr const char* kListing =
    "|cppsrc|\n"
    "// 注釈: ソース色分けの見本\n"
    "int main(int argc, char** argv) {\n"
    "  const char c = 'x';\n"
    "  const char* s = \"文字列\";\n"
    "  return argc > 42 ? c : s[0];  /* 定数 */\n"
    "}\n"
    "|endcppsrc|\n";

// The digits of the "<exrepN>" markers a frame holds.
void MarkerDigits(std::string_view frame, std::set<char>& digits) {
  for (std::size_t at = frame.find("<exrep"); at != std::string_view::npos; at = frame.find("<exrep", at + 1))
    if (at + 7 < frame.size() && frame[at + 6] >= '0' && frame[at + 6] <= '9' && frame[at + 7] == '>')
      digits.insert(frame[at + 6]);
}

void Markers(const RuleStore& rule, std::string& doc) {
  std::set<char> head, foot;
  MarkerDigits(RuleValue(rule, RuleKey::kHeaderStr).view(), head);
  MarkerDigits(RuleValue(rule, RuleKey::kEndStr).view(), foot);
  for (const char d : head) doc += "|exreps" + std::string(1, d) + "|" + Sjis("先頭の差し込み") + d + "\n";
  for (const char d : foot) doc += "|exrepe" + std::string(1, d) + "|" + Sjis("終わりの差し込み") + d + "\n";
}

void ReplaceSlots(const RuleStore& rule, std::string& doc) {
  const RuleStore::Section* list = rule.FindSection("/ReplaceList");
  if (!list) return;
  doc += Sjis("|h3|置換テーブル\n");
  for (int n = 0; n < kReplaceCount; ++n) {
    const RuleStore::Value* v = rule.GetValue("/ReplaceList/" + std::string(ReplaceKey(n).view()));
    if (!v || v->empty()) continue;
    const std::string num = (n < 10 ? "0" : "") + std::to_string(n);
    doc += "|rep" + num + "|" + num + Sjis("：") + "\n";
  }
}

void AutoWords(const RuleStore& rule, std::string& doc, std::string_view key) {
  const RuleStore::Section* list = rule.FindSection("/AutoReplaceList");
  if (!list || list->Values().size() == 0) return;
  doc += Sjis("|h3|自動置換リスト\n");
  // Each word alone on its line, so that an exact word is an element.
  RuleStore::ForEachKey(*list, [&](std::string_view k, const RuleStore::Value&) {
    const CStr word = UnescapeKey(k);
    if (!word.empty() && word.view().find('\n') == std::string_view::npos) doc.append(word.view()) += "\n";
  });
  doc += Sjis("自動置換を試す長めの一文です。");
  doc.append(key).append("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\n");
}

}  // namespace

std::string SampleTitle() { return Sjis("ルールの見本"); }

std::string SampleDocument(const RuleStore& rule) {
  const std::string key(RuleValue(rule, RuleKey::kSplitKey).view());
  std::string doc = "|title|" + SampleTitle() + "\n";
  Markers(rule, doc);
  doc += Sjis("|h2|ルールの見本\n"
              "HTML先頭タグと終了タグは、このページの前と後ろにあります。\n"
              "|h3|ソース色分け\n");
  doc += Sjis(kListing);
  doc += Sjis("|h3|タブと分割キー・接合キー\n");
  doc += Sjis("|pre|タブ:\t一\t二三\t四五六\n");
  // Split at the rule's key: the middle element bold, joined by the join key.
  doc += Sjis("|1b|一つ目") + key + Sjis("二つ目") + key + Sjis("三つ目") + "\n";
  ReplaceSlots(rule, doc);
  AutoWords(rule, doc, key);
  return doc;
}

std::string LastDocumentFile() {
  std::string state;
  if (const char* x = std::getenv("XDG_STATE_HOME"); x && *x == '/') state = x;
  else if (const char* h = std::getenv("HOME"); h && *h) state = std::string(h) + "/.local/state";
  else return {};
  return state + "/norvelle/last-document";
}

bool RememberDocument(const std::string& native_path) {
  const std::string file = LastDocumentFile();
  if (file.empty() || native_path.empty()) return false;
  std::string path = native_path;
  if (path[0] != '/') path = CurrentFolder() + "/" + path;
  const std::string folder = file.substr(0, file.rfind('/'));
  for (std::size_t at = folder.find('/', 1); at != std::string::npos; at = folder.find('/', at + 1))
    ::mkdir(folder.substr(0, at).c_str(), 0700);
  ::mkdir(folder.c_str(), 0700);
  // Written beside and renamed, so a reader never sees half a name.
  const std::string temp = file + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << path << '\n';
    if (!out.flush()) return false;
  }
  return std::rename(temp.c_str(), file.c_str()) == 0;
}

std::optional<std::string> LastDocument() {
  const std::string file = LastDocumentFile();
  if (file.empty()) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  std::string path;
  if (!std::getline(in, path) || path.empty() || !IsRegularFile(path)) return std::nullopt;
  return path;
}

}  // namespace norvelle
