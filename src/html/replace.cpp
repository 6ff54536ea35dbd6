#include "html/replace.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>

#include "text/dbcs.h"
#include "base/number.h"
#include "html/escape.h"
#include "rules/rule_keys.h"
#include "text/scan.h"
#include "text/split.h"

namespace norvelle {

namespace {

// True when word occurs in text starting at a character start; a start on
// the trail byte of a pair would match bytes of two different characters.
// The search words are looked for all at once: at each character start only
// the words beginning with that byte are compared, and only those earlier in
// the list than the best found so far.

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

std::uint64_t WordHash(std::string_view word) { return std::hash<std::string_view>{}(word); }

// Conversion as the screen sees it, byte by byte: what AppendConverted makes
// of each byte alone. A tab depends on the tab string and a lead byte before
// a byte that can be no trail byte is dropped: texts with them are not
// screened.
const SubjectMap& ConvertedSubject() {
  static const SubjectMap map = [] {
    SubjectMap m;
    m.strict_pairs = true;
    m.stop[static_cast<unsigned char>('\t')] = true;
    for (int b = 1; b < 256; ++b) {
      const char c = static_cast<char>(b);
      if (IsLeadByte(static_cast<unsigned char>(b)) || c == '\t') continue;
      std::string one;
      AppendConverted(one, std::string_view(&c, 1), "");
      if (one != std::string_view(&c, 1)) m.as[b] = one;
    }
    return m;
  }();
  return map;
}

}  // namespace

void AutoReplacer::Build(const std::vector<std::pair<CStr, CStr>>& entries) {
  Clear(entries.size());
  CStr unescaped;
  // The values of a large list lie scattered over the heap: asking for the
  // ones a few entries ahead lets their cache misses overlap.
  constexpr std::size_t kAhead = 16;
  const std::size_t mask = exact_slots_.size() - 1;
  for (std::size_t e = 0; e < entries.size(); ++e) {
    if (e + kAhead < entries.size()) {
      __builtin_prefetch(entries[e + kAhead].second.data());
      __builtin_prefetch(&exact_slots_[WordHash(entries[e + kAhead].first.view()) & mask]);
    }
    const auto& [key, value] = entries[e];
    // Most keys hold no escape: they are their own word, without a copy.
    std::string_view word = key.view();
    if (word.find('\\') != std::string_view::npos) {
      unescaped = UnescapeKey(word);
      word = unescaped.view();
    }
    AddEntry(word, value.view());
  }
  IndexSearchWords();
  screen_subject_ = kMaxSubjectLength;
  for (const PatternEntry& p : patterns_) screen_subject_ = std::min(screen_subject_, p.required.bounded_below());
}

void AutoReplacer::Clear(std::size_t entries) {
  memo_.Clear();
  replacements_.clear();
  replacement_text_.clear();
  cuts_.clear();
  exact_words_.clear();
  exact_text_.clear();
  exact_slots_.clear();
  exact_max_len_ = 0;
  search_.clear();
  for (std::vector<std::uint32_t>& bucket : search_by_byte_) bucket.clear();
  patterns_.clear();
  screen_ = Screen();
  screen_made_ = false;
  line_screen_ = ScreenWorth();
  word_screen_ = ScreenWorth(kWordScreenWait);
  changes_ = 0;
  // Sized once for the whole list: large lists are mostly exact words.
  std::size_t slots = 16;
  while (slots < 2 * entries) slots *= 2;
  exact_slots_.assign(slots, ExactSlot{0, 0});
  replacements_.reserve(entries);
}

void AutoReplacer::AddEntry(std::string_view word, std::string_view v) {
  if (v.size() < 2) {  // too short for a kind prefix: the whole value
    AddExact(word, v);
    return;
  }
  std::string_view body = v.substr(2);
  switch (v[0]) {
    case 'I':
      search_.push_back({CStr(word), AddReplacement(body)});
      break;
    case 'R': {
      PatternEntry& p = patterns_.emplace_back();
      p.root = RegexCompile(word);
      // The matcher's template turns "%%" into "%", so "%1" survives the
      // match and is filled with the element's text afterwards.
      p.tmpl.Assign(body.data(), body.size());
      p.tmpl.ReplaceAll("%1", "%%1");
      p.required = RequiredText(p.root);
      break;
    }
    default:
      AddExact(word, body);
      break;
  }
}

// Made when first asked: a short document never needs it.
void AutoReplacer::MakeScreen() {
  for (const ExactWord& w : exact_words_) screen_.AddWord(WordOf(w));
  for (const SearchEntry& w : search_) screen_.AddContained(w.word.view());
  for (const PatternEntry& p : patterns_) screen_.AddPattern(p.root);
  screen_.SetMap(ConvertedSubject());
  screen_made_ = true;
}

void AutoReplacer::IndexSearchWords() {
  first_empty_search_ = search_.size();
  for (std::size_t i = 0; i < search_.size(); ++i) {
    const CStr& w = search_[i].word;
    if (w.empty()) {
      if (first_empty_search_ == search_.size()) first_empty_search_ = i;
    } else {
      search_by_byte_[static_cast<unsigned char>(w.data()[0])].push_back(std::uint32_t(i));
    }
  }
}

const AutoReplacer::ExactWord* AutoReplacer::FindExact(std::string_view word) const {
  if (exact_words_.empty()) return nullptr;
  const std::size_t mask = exact_slots_.size() - 1;
  const std::uint64_t h = WordHash(word);
  const std::uint32_t tag = std::uint32_t(h >> 32);
  for (std::size_t i = h & mask; exact_slots_[i].word != 0; i = (i + 1) & mask) {
    if (exact_slots_[i].tag != tag) continue;
    const ExactWord& w = exact_words_[exact_slots_[i].word - 1];
    if (w.length == word.size() && WordOf(w) == word) return &w;
  }
  return nullptr;
}

void AutoReplacer::AddExact(std::string_view word, std::string_view replacement) {
  const std::size_t mask = exact_slots_.size() - 1;
  const std::uint64_t h = WordHash(word);
  const std::uint32_t tag = std::uint32_t(h >> 32);
  std::size_t i = h & mask;
  for (; exact_slots_[i].word != 0; i = (i + 1) & mask) {
    if (exact_slots_[i].tag != tag) continue;
    const ExactWord& w = exact_words_[exact_slots_[i].word - 1];
    if (w.length == word.size() && WordOf(w) == word) return;  // the first entry of a word wins
  }
  exact_words_.push_back({exact_text_.size(), std::uint32_t(word.size()), AddReplacement(replacement)});
  exact_text_.append(word);
  exact_slots_[i] = ExactSlot{std::uint32_t(exact_words_.size()), tag};
  if (word.size() > exact_max_len_) exact_max_len_ = word.size();
}

std::size_t AutoReplacer::FirstSearchWord(std::string_view text) const {
  std::size_t best = first_empty_search_;
  const char* p = text.data();
  const char* e = p + text.size();
  while (p < e && best > 0) {
    for (std::uint32_t i : search_by_byte_[static_cast<unsigned char>(*p)]) {
      if (i >= best) break;
      const CStr& w = search_[i].word;
      if (w.length() <= std::size_t(e - p) && std::memcmp(p, w.data(), w.length()) == 0) {
        best = i;
        break;
      }
    }
    p = NextChar(p, e);
  }
  return best;
}

// The "%1"s are found as AppendSubstituted finds them, at character starts.
std::uint32_t AutoReplacer::AddReplacement(std::string_view text) {
  Replacement r{replacement_text_.size(), std::uint32_t(text.size()), std::uint32_t(cuts_.size()), 0};
  replacement_text_.append(text);
  const char* b = text.data();
  const char* e = b + text.size();
  for (const char* p = b; p < e;) {
    if (*p == '%' && p + 1 < e && p[1] == '1') {
      cuts_.push_back(std::uint32_t(p - b));
      ++r.cut_count;
      p += 2;
    } else {
      p = NextChar(p, e);
    }
  }
  replacements_.push_back(r);
  return std::uint32_t(replacements_.size() - 1);
}

void AutoReplacer::WriteReplacement(std::string& out, const Replacement& r, std::string_view text,
                                    bool convert, std::string_view tab_string) {
  const std::string_view repl = std::string_view(replacement_text_).substr(r.offset, r.length);
  if (r.cut_count == 0) {  // the text is not written: nothing to convert
    out.append(repl);
    return;
  }
  if (convert) {
    converted_.clear();
    AppendConverted(converted_, text, tab_string);
    text = converted_;
  }
  std::size_t from = 0;
  for (std::uint32_t c = 0; c < r.cut_count; ++c) {
    const std::uint32_t cut = cuts_[r.first_cut + c];
    out.append(repl.substr(from, cut - from));
    out.append(text);
    from = cut + 2;
  }
  out.append(repl.substr(from));
}

// Asked only on texts the memo does not know: the first time of a word.
bool AutoReplacer::WordScreenRefuses(std::string_view text, bool convert) {
  if (!screen_made_) MakeScreen();
  const bool short_enough =
      text.size() * kMaxGrowth < screen_subject_ || screen_.SubjectLength(text, convert) < screen_subject_;
  return word_screen_.Saw(short_enough && screen_.Refuses(text, convert));
}

namespace {

// a then b, each in a few moves when short: a word's separator and HTML.
void AppendTwo(std::string& out, std::string_view a, std::string_view b) {
#ifdef __cpp_lib_string_resize_and_overwrite
  if (a.size() <= 64 && b.size() <= 64) {
    const std::size_t old = out.size();
    out.resize_and_overwrite(old + a.size() + b.size(), [&](char* p, std::size_t n) {
      CopyShort(p + old, a.data(), a.size());
      CopyShort(p + old + a.size(), b.data(), b.size());
      return n;
    });
    return;
  }
#endif
  out.append(a);
  out.append(b);
}

}  // namespace

bool AutoReplacer::WritePiece(std::string& out, std::string_view text, bool convert, std::string_view before) {
  if (text.size() <= WordMemo::kMaxText) {
    const WordMemo::Key key = WordMemo::KeyOf(text, convert);
    if (const WordMemo::Entry* e = memo_.Find(key)) {
      AppendTwo(out, before, memo_.Html(*e));
      changes_ += e->changed;
      cut_off_ = false;
      return false;
    }
    out.append(before);
    return WriteUnknown(out, text, convert, &key);
  }
  out.append(before);
  return WriteUnknown(out, text, convert, nullptr);
}

bool AutoReplacer::WriteUnknown(std::string& out, std::string_view text, bool convert, const WordMemo::Key* key) {
  const std::string_view tab_string = memo_tab_;
  cut_off_ = false;
  const std::size_t before = out.size();
  bool changed = false;
  // Most words meet no entry: the screen, when it is worth asking, says so in one pass.
  if (word_screen_.asking() && WordScreenRefuses(text, convert)) {
    if (convert) AppendConverted(out, text, tab_string); else out.append(text);
  } else {
    const bool asked = word_screen_.asking();
    changed = WriteUnremembered(out, text, convert, tab_string) || cut_off_;
    if (!asked) word_screen_.Saw(!changed);
  }
  changes_ += changed;
  // What a pattern's budget cut off is reported each time: not kept.
  if (key && !cut_off_) memo_.Put(*key, std::string_view(out).substr(before), changed);
  return cut_off_;
}

void AutoReplacer::WriteElementText(std::string& out, std::string_view text, bool convert,
                                    std::string_view tab_string) {
  KeepTab(tab_string);
  WritePiece(out, text, convert, {});
}

std::size_t AutoReplacer::WritePieces(std::string& out, std::string_view text, std::string_view key,
                                      std::string_view join, bool convert, std::string_view tab_string) {
  KeepTab(tab_string);
  std::size_t cut = 0;
  if (key.size() != 1) {
    std::string_view sep;  // none before the first piece
    SplitAtKey(text, key, [&](std::string_view piece) {
      cut += WritePiece(out, piece, convert, sep);
      sep = join;
    });
    return cut;
  }
  // A one-byte key, as SplitAtKey cuts at it (FindAtCharStart's scan, here
  // without a call per word).
  const char k = key[0];
  const char* p = text.data();
  const char* const e = p + text.size();
  std::string_view sep;
  for (;;) {
    const char* q = p;
    for (;;) {
      q += Scan::FindHighOr(q, e, k);  // bytes below 0x80 are characters of their own
      if (q == e || *q == k) break;
      q = NextChar(q, e);
    }
    cut += WritePiece(out, std::string_view(p, std::size_t(q - p)), convert, sep);
    if (q == e) return cut;
    sep = join;
    p = q + 1;
  }
}

bool AutoReplacer::WriteUnremembered(std::string& out, std::string_view text, bool convert,
                                     std::string_view tab_string) {
  // Exact and search words are compared with the text as the source has it.
  if (!exact_words_.empty() && text.size() <= exact_max_len_) {
    if (const ExactWord* w = FindExact(text)) {
      WriteReplacement(out, replacements_[w->replacement], text, convert, tab_string);
      return true;
    }
  }
  if (!search_.empty()) {
    std::size_t s = FirstSearchWord(text);
    if (s < search_.size()) {
      WriteReplacement(out, replacements_[search_[s].replacement], text, convert, tab_string);
      return true;
    }
  }
  if (patterns_.empty()) {
    if (convert) AppendConverted(out, text, tab_string); else out.append(text);
    return false;
  }
  // Patterns see the converted text; each one works on the previous result.
  std::string_view t = text;
  if (convert) {
    converted_.clear();
    AppendConverted(converted_, text, tab_string);
    t = converted_;
  }
  bool matched = false;
  // A pattern whose required text is missing has no match and would leave
  // the subject as it is; it is skipped where it also cannot have been cut
  // off by its budgets (which is reported). Longer subjects than the matcher
  // takes go to it, which refuses them as it always did. The subject is
  // copied for the matcher only once a pattern may match: most words meet none.
  const bool filter = t.size() <= kMaxSubjectLength;
  bool copied = false;
  ByteSet present;
  present.Add(t);
  for (const PatternEntry& p : patterns_) {
    const std::string_view now = copied ? subject_.view() : t;
    if (filter && !p.required.MayMatch(now, present) && p.required.Bounded(now.size())) continue;
    if (!copied) {
      subject_.Assign(t.data(), t.size());
      copied = true;
    }
    MatchOptions o;
    o.hits = &hits_;
    o.tmpl = p.tmpl.c_str();
    const MatchResult m = Match(subject_, p.root, o);
    if (m.matches > 0) {
      matched = true;
      present = ByteSet();
      present.Add(subject_.view());  // the subject has changed
    }
    cut_off_ = cut_off_ || m.cut_off;
  }
  if (matched) AppendSubstituted(out, subject_.view(), t); else out.append(t);
  return matched;
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
