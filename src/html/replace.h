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

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/str.h"
#include "pattern/regex.h"
#include "pattern/required.h"
#include "pattern/screen.h"
#include "html/word_memo.h"

namespace norvelle {

// Slots of the replace table: 0..99 from ReplaceList (the ones setrep may
// change), 100..104 the dates and the first title.
inline constexpr int kReplaceSlots = 105;

// Whether a screen is worth asking, decided by windows of 64 texts. While it
// is not asked, the texts that went out unchanged are what it could have
// spared: a window with a quarter of them starts asking. While it is asked,
// a window where fewer than a quarter of its answers spared the work stops
// it, and the next window waits 1024 texts, twice as long each time after
// (a list of common words meets most texts). So a screen that cannot help
// is not even made. Not asking is always right, only slower.
class ScreenWorth {
 public:
  // The first `wait` texts are not counted.
  explicit ScreenWorth(std::size_t wait = 0) : wait_(wait) {}
  bool asking() const { return asking_; }
  // One text: the screen refused it (when asking), or it went out unchanged.
  bool Saw(bool spared) {
    if (wait_ > 0) {
      --wait_;
      return spared;
    }
    saved_ += spared;
    if (++tries_ == 64) {
      const bool worth = saved_ >= 16;
      if (asking_ && !worth) wait_ = std::size_t(1024) << (backoff_ < 10 ? backoff_++ : backoff_);
      asking_ = worth;
      tries_ = saved_ = 0;
    }
    return spared;
  }

 private:
  int tries_ = 0, saved_ = 0, backoff_ = 0;
  std::size_t wait_ = 0;
  bool asking_ = false;
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
  // Each piece of text cut at key as WriteElementText writes it, with join
  // between two pieces. Returns how many pieces a pattern's budget cut off
  // (each is reported as one WriteElementText would be).
  std::size_t WritePieces(std::string& out, std::string_view text, std::string_view key, std::string_view join,
                          bool convert, std::string_view tab_string);
  // True only when WriteElementText would write every piece of text cut at
  // key (a single byte that conversion cuts at, see CanCutWhileConverting)
  // converted and unchanged, and report nothing.
  bool LeavesEach(std::string_view text, char key) {
    if (!line_screen_.asking()) return false;
    if (!screen_made_) MakeScreen();
    return line_screen_.Saw(screen_.RefusesEach(text, key, screen_subject_, true));
  }
  // The caller wrote a line LeavesEach did not leave to it piece by piece:
  // whether every piece went out unchanged (changes() did not move).
  void WroteLine(bool unchanged) {
    if (!line_screen_.asking()) line_screen_.Saw(unchanged);
  }
  // How many texts WriteElementText wrote other than converted and unchanged.
  std::size_t changes() const { return changes_; }
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
  // The word screen sees only the texts the memo does not know: one that
  // sees few of them never pays for its automaton.
  ScreenWorth line_screen_, word_screen_{kWordScreenWait};
  static constexpr std::size_t kWordScreenWait = 4096;
  bool screen_made_ = false;
  void MakeScreen();
  bool WordScreenRefuses(std::string_view text, bool convert);
  std::size_t changes_ = 0;

  // Reused from element to element so the steady state allocates nothing.
  std::string converted_;
  CStr subject_;
  CStrHitList hits_;
  bool cut_off_ = false;

  // `before`, then one text, through the memo first; sets cut_off_ and
  // returns it. The tab string is the one KeepTab kept.
  bool WritePiece(std::string& out, std::string_view text, bool convert, std::string_view before);
  // A text the memo does not know; kept under *key when key is given.
  bool WriteUnknown(std::string& out, std::string_view text, bool convert, const WordMemo::Key* key);
  // Returns whether the text was written other than converted and unchanged.
  bool WriteUnremembered(std::string& out, std::string_view text, bool convert, std::string_view tab_string);
  // Words repeat: the HTML of short texts is kept while the list (Build
  // forgets it) and the tab string (kept beside it) stay.
  void KeepTab(std::string_view tab_string) {
    if (memo_tab_.size() == tab_string.size() &&
        std::memcmp(memo_tab_.data(), tab_string.data(), tab_string.size()) == 0)
      return;
    memo_.Clear();
    memo_tab_.assign(tab_string);
  }
  WordMemo memo_;
  std::string memo_tab_;
};

// setrep: argument "N=TEXT". Sets slots[N] to TEXT and returns true when
// 0 <= N < 100 and the argument holds a "="; otherwise changes nothing.
// N is read as "%d" reads it from the start; 0 when no number is there.
bool ApplySetRep(std::string_view arg, CStr (&slots)[kReplaceSlots]);

// rep: argument "N". The slot to write, or null when N is outside 0..104.
const CStr* RepSlot(std::string_view arg, const CStr (&slots)[kReplaceSlots]);

}  // namespace norvelle
