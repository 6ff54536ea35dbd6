// Replacement while writing pass 2: the auto-replace list applied to element
// text, and the argument rules of the replace-table commands setrep and rep.
//
// The auto-replace sets are built from the AutoReplaceList entries of a rule:
// an exact map, a search list and a pattern list. An element whose text is an
// exact word, contains a search word, or matches patterns is written as the
// replacement, with "%1" standing for the element's text as it would have been
// written. Replacement texts are HTML and are never escaped.
//
// Not for: the header/footer markers or loading the replace table from the
// rule store (the run owns those); escaping itself (convert/escape.h).
// Limits: WriteElementText runs once per element of very large documents, so
// the exact and search steps allocate nothing for an element that does not
// match, and the pattern step reuses its buffers from call to call.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/str.h"
#include "pattern/regex.h"
#include "pattern/required.h"
#include "pattern/screen.h"

namespace norvelle {

// Slots of the replace table: 0..99 from ReplaceList (the ones setrep may
// change), 100..104 the dates and the first title.
inline constexpr int kReplaceSlots = 105;

// Whether a screen is worth asking: not for the first 256 texts (a short
// document does not pay for making it); when fewer than a quarter of 64
// answers spared the work, not for the next 1024 (a list of common words
// meets most texts), then again. Not asking is always right, only slower.
class ScreenWorth {
 public:
  bool Ask() {
    if (rest_ == 0) return true;
    --rest_;
    return false;
  }
  bool Saw(bool spared) {
    saved_ += spared;
    if (++tries_ == 64) {
      if (saved_ < 16) rest_ = 1024;
      tries_ = saved_ = 0;
    }
    return spared;
  }

 private:
  int tries_ = 0, saved_ = 0, rest_ = 256;
};

class AutoReplacer {
 public:
  // Replaces all sets by those of `entries`, taken in the rule store's map
  // order: (key as stored in the rule file, still escaped; value with its
  // two-byte kind prefix "M:", "I:" or "R:").
  void Build(const std::vector<std::pair<CStr, CStr>>& entries);

  // No entries at all: the caller may write converted text directly.
  bool empty() const { return exact_words_.empty() && search_.empty() && patterns_.empty(); }

  // Appends the element's text: the exact word's replacement, else the first
  // search word's, else the text run through every pattern. `convert` says
  // whether conversion applies to this element; tab_string is what a TAB
  // becomes when it does.
  void WriteElementText(std::string& out, std::string_view text, bool convert,
                        std::string_view tab_string);
  // True only when WriteElementText would write every piece of text cut at
  // key (a single byte that conversion cuts at, see CanCutWhileConverting)
  // converted and unchanged, and report nothing.
  bool LeavesEach(std::string_view text, char key) {
    if (!AskScreen(line_screen_)) return false;
    return line_screen_.Saw(screen_.RefusesEach(text, key, screen_subject_, true));
  }
  // Did a pattern of the last WriteElementText break the matcher's budget?
  // That pattern then counted as not matching.
  bool cut_off() const { return cut_off_; }

 private:
  // A replacement cut at its "%1"s once, when the list is built: its text
  // lies in replacement_text_, the offsets of its "%1"s (from the text's
  // start) in cuts_. Large lists are mostly exact words, so a replacement
  // is a few numbers rather than a string and a vector of its own.
  struct Replacement {
    std::size_t offset;
    std::uint32_t length;
    std::uint32_t first_cut;
    std::uint32_t cut_count;
  };
  // An exact word: its bytes in exact_text_ and its replacement.
  struct ExactWord {
    std::size_t offset;
    std::uint32_t length;
    std::uint32_t replacement;
  };
  struct SearchEntry {
    CStr word;
    std::uint32_t replacement;  // in replacements_
  };
  struct PatternEntry {
    CStrRegexStruct root;
    CStr tmpl;  // the replacement with "%1" doubled to "%%1"
    RequiredText required;  // skips the pattern where it cannot match
  };

  // The index of the first search word in list order that the text contains
  // (at a character start), or search_.size(): one scan for all words.
  std::size_t FirstSearchWord(std::string_view text) const;

  std::uint32_t AddReplacement(std::string_view text);
  // Build's steps: empty for a list of this many entries; one entry (its
  // word unescaped); the search words by their first byte.
  void Clear(std::size_t entries);
  void AddEntry(std::string_view word, std::string_view value);
  void IndexSearchWords();
  // The exact word's entry, or null. Adding keeps the first entry of a word.
  const ExactWord* FindExact(std::string_view word) const;
  void AddExact(std::string_view word, std::string_view replacement);
  std::string_view WordOf(const ExactWord& w) const {
    return std::string_view(exact_text_).substr(w.offset, w.length);
  }
  // Appends a replacement with "%1" standing for the text, converted when asked.
  void WriteReplacement(std::string& out, const Replacement& r, std::string_view text, bool convert,
                        std::string_view tab_string);

  std::vector<Replacement> replacements_;
  std::string replacement_text_;
  std::vector<std::uint32_t> cuts_;
  // The exact words, found through an open-addressing table sized once at
  // least twice the number of entries. A slot holds a word's index + 1 (0:
  // free) and the high half of its hash, so probing past other words does
  // not read them. Its order is never seen, so it need not be the rule
  // store's map.
  struct ExactSlot {
    std::uint32_t word;
    std::uint32_t tag;
  };
  std::vector<ExactWord> exact_words_;
  std::string exact_text_;
  std::vector<ExactSlot> exact_slots_;
  std::size_t exact_max_len_ = 0;  // longer texts cannot be exact words
  std::vector<SearchEntry> search_;
  // Indexes of the search words by their first byte, ascending; the first
  // empty word (contained in every text), or search_.size().
  std::vector<std::uint32_t> search_by_byte_[256];
  std::size_t first_empty_search_ = 0;
  std::vector<PatternEntry> patterns_;
  // Every entry at once: a text it refuses meets no exact word, no search
  // word and no pattern match. Refused texts whose subject is shorter than
  // screen_subject_ bytes cannot break a pattern's budget either.
  Screen screen_;
  std::size_t screen_subject_ = 0;
  ScreenWorth line_screen_, word_screen_;
  bool screen_made_ = false;
  void MakeScreen();
  bool AskScreen(ScreenWorth& w) {
    if (!w.Ask()) return false;
    if (!screen_made_) MakeScreen();
    return true;
  }

  // Reused from element to element so the steady state allocates nothing.
  std::string converted_;
  CStr subject_;
  CStrHitList hits_;
  bool cut_off_ = false;

  // Words repeat: the HTML of a short text is kept, found by the text,
  // whether it is converted and the tab string, which are all it depends on
  // while the list stays (Build forgets it).
  void WriteUnremembered(std::string& out, std::string_view text, bool convert, std::string_view tab_string);
  struct Memo {
    std::string text, tab, html;
    bool convert = false;
    bool used = false;
  };
  static constexpr std::size_t kMemoSlots = 4096;
  static constexpr std::size_t kMemoText = 32;
  std::vector<Memo> memo_;
};

// setrep: argument "N=TEXT". Sets slots[N] to TEXT and returns true when
// 0 <= N < 100 and the argument holds a "="; otherwise changes nothing.
// N is read as "%d" reads it from the start; 0 when no number is there.
bool ApplySetRep(std::string_view arg, CStr (&slots)[kReplaceSlots]);

// rep: argument "N". The slot to write, or null when N is outside 0..104.
const CStr* RepSlot(std::string_view arg, const CStr (&slots)[kReplaceSlots]);

}  // namespace norvelle
