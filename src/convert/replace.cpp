#include "convert/replace.h"

#include <cstdint>
#include <cstring>

#include "base/dbcs.h"
#include "base/number.h"
#include "convert/escape.h"
#include "rules/rule_keys.h"

namespace norvelle {

namespace {

// True when word occurs in text starting at a character start; a start on
// the trail byte of a pair would match bytes of two different characters.
bool ContainsWord(std::string_view text, std::string_view word) {
  if (word.empty()) return true;
  if (word.size() > text.size()) return false;
  const char* p = text.data();
  const char* e = p + text.size();
  const char* last = e - word.size();
  const char first = word[0];
  while (p <= last) {
    if (*p == first && std::memcmp(p, word.data(), word.size()) == 0) return true;
    p = NextChar(p, e);
  }
  return false;
}

// Appends repl with every "%1" (at a character start) replaced by text.
void AppendSubstituted(std::string& out, std::string_view repl, std::string_view text) {
  const char* p = repl.data();
  const char* e = p + repl.size();
  const char* run = p;
  while (p < e) {
    if (*p == '%' && p + 1 < e && p[1] == '1') {
      out.append(run, std::size_t(p - run));
      out.append(text);
      p += 2;
      run = p;
    } else {
      p = NextChar(p, e);
    }
  }
  out.append(run, std::size_t(p - run));
}

// A slot number as "%d" reads it, 0 when there is none; huge values saturate
// far above the last slot instead of wrapping into one.
long SlotNumber(std::string_view s) { return ReadNumber(s, 0, NumberSyntax::kScanf); }

}  // namespace

void AutoReplacer::Build(const std::vector<std::pair<CStr, CStr>>& entries) {
  exact_.Clear();
  exact_max_len_ = 0;
  search_.clear();
  patterns_.clear();
  auto add_exact = [this](const CStr& word, std::string_view replacement) {
    if (exact_.Find(word.view())) return;  // the first entry of a word wins
    exact_.InsertNew(word.view()).Assign(replacement.data(), replacement.size());
    if (word.length() > exact_max_len_) exact_max_len_ = word.length();
  };
  for (const auto& [key, value] : entries) {
    CStr word = UnescapeKey(key.view());
    std::string_view v = value.view();
    if (v.size() < 2) {  // too short for a kind prefix: the whole value
      add_exact(word, v);
      continue;
    }
    std::string_view body = v.substr(2);
    switch (v[0]) {
      case 'I':
        search_.push_back({std::move(word), CStr(body)});
        break;
      case 'R': {
        PatternEntry& p = patterns_.emplace_back();
        p.root = RegexCompile(word.view());
        // The matcher's template turns "%%" into "%", so "%1" survives the
        // match and is filled with the element's text afterwards.
        p.tmpl.Assign(body.data(), body.size());
        p.tmpl.ReplaceAll("%1", "%%1");
        break;
      }
      default:
        add_exact(word, body);
        break;
    }
  }
}

void AutoReplacer::WriteReplacement(std::string& out, std::string_view replacement,
                                    std::string_view text, bool convert,
                                    std::string_view tab_string) {
  if (convert) {
    converted_.clear();
    AppendConverted(converted_, text, tab_string);
    text = converted_;
  }
  AppendSubstituted(out, replacement, text);
}

void AutoReplacer::WriteElementText(std::string& out, std::string_view text, bool convert,
                                    std::string_view tab_string) {
  cut_off_ = false;
  // Exact and search words are compared with the text as the source has it.
  if (exact_.size() != 0 && text.size() <= exact_max_len_) {
    if (const CStr* r = exact_.Find(text)) {
      WriteReplacement(out, r->view(), text, convert, tab_string);
      return;
    }
  }
  for (const SearchEntry& s : search_) {
    if (ContainsWord(text, s.word.view())) {
      WriteReplacement(out, s.replacement.view(), text, convert, tab_string);
      return;
    }
  }
  if (patterns_.empty()) {
    if (convert) AppendConverted(out, text, tab_string); else out.append(text);
    return;
  }
  // Patterns see the converted text; each one works on the previous result.
  std::string_view t = text;
  if (convert) {
    converted_.clear();
    AppendConverted(converted_, text, tab_string);
    t = converted_;
  }
  subject_.Assign(t.data(), t.size());
  bool matched = false;
  for (const PatternEntry& p : patterns_) {
    bool cut = false;
    if (RegexMatch(subject_, p.root, "", &hits_, p.tmpl.c_str(), nullptr, 0, nullptr, nullptr, &cut) > 0)
      matched = true;
    cut_off_ = cut_off_ || cut;
  }
  if (matched) AppendSubstituted(out, subject_.view(), t); else out.append(t);
}

bool ApplySetRep(std::string_view arg, CStr (&slots)[kReplaceSlots]) {
  long n = SlotNumber(arg);
  std::size_t eq = FindChar(arg, '=');
  if (n < 0 || n >= kReplaceCount || eq == std::string_view::npos) return false;
  slots[n].Assign(arg.data() + eq + 1, arg.size() - eq - 1);
  return true;
}

const CStr* RepSlot(std::string_view arg, const CStr (&slots)[kReplaceSlots]) {
  long n = SlotNumber(arg);
  if (n < 0 || n >= kReplaceSlots) return nullptr;
  return &slots[n];
}

}  // namespace norvelle
