// A linear-time screen in front of the backtracking matcher: one automaton
// for a whole list of patterns and plain words that tells, in one pass over
// a text, that none of them can hold there, so that the matcher need not run.
//
// The patterns become an automaton over bytes whose language holds every
// text in which the matcher could find a match (from start position 0,
// without the "i" flag): alternatives that win first become plain unions,
// repetitions that never give back become plain ones, negations and hit
// operators match the empty string, back-references any bytes. A text the
// automaton refuses therefore has no match; one it accepts may have none.
// Words are exact: a text equal to a word, or holding it at a character
// start. The deterministic automaton is built lazily, state by state, as
// texts need it, and dropped and rebuilt when it grows past kMaxScreenStates.
//
// Not for: telling whether the matcher could run out of its budgets on a
// text (RequiredText::Bounded does that); case-insensitive matching; start
// positions other than 0. Texts with a NUL byte, or that end in a lead byte
// at a character start, are never refused (the matcher's character steps
// there depend on more than one byte of context).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "pattern/regex.h"

namespace norvelle {

inline constexpr std::size_t kMaxScreenStates = 4096;  // per automaton, then it starts again
inline constexpr std::size_t kMaxScreenNodes = 4096;   // per pattern, else it holds everywhere
inline constexpr std::size_t kMaxGrowth = 8;           // a map makes at most this many bytes of one

// How the caller's text becomes the subject the patterns see (the words are
// compared with the text itself). Bytes of a double-byte pair are never
// changed.
struct SubjectMap {
  std::string as[256];        // non-empty: what the byte becomes, at most kMaxGrowth bytes
  bool stop[256] = {};        // outside a pair this byte makes the text unrefusable
  bool strict_pairs = false;  // so does a lead byte before a byte that is no trail byte
};

class Screen {
 public:
  using ByteSet256 = std::vector<bool>;  // one flag per byte value

  Screen();
  // The entries; all of them before the first Refuses. A pattern is
  // matched against the mapped subject, words against the text itself.
  void AddPattern(const CStrRegexStruct& root);
  void AddWord(std::string_view word);       // the text equals word
  void AddContained(std::string_view word);  // the text holds word at a character start
  // The map for Refuses(..., true); without one the subject is the text.
  void SetMap(const SubjectMap& map);

  bool empty() const { return starts_.empty() && anchored_.empty(); }
  // True only when no entry can hold for text.
  bool Refuses(std::string_view text, bool mapped);
  // True only when Refuses holds for every piece of text cut at key (at
  // character starts; key is neither NUL nor a lead byte) and no piece's
  // subject has max_subject bytes or more.
  bool RefusesEach(std::string_view text, char key, std::size_t max_subject, bool mapped);
  // The length of text's subject (what the map makes of it, when mapped).
  std::size_t SubjectLength(std::string_view text, bool mapped) const;

 private:
  // The automaton over bytes: edges consume one byte of a set, or none
  // (guarded ones only at the subject's start or end).
  enum Guard : int { kFree = -1, kAtStart = -2, kAtEnd = -3 };
  struct Edge {
    int to;
    int set;  // a byte set (index into sets_), or a Guard
  };
  struct Node {
    std::vector<Edge> out;
    bool mapped;  // steps over the mapped subject
  };
  friend class ScreenBuilder;

  // The lazily built deterministic automaton of one subject kind. A state
  // is known by its row in `next` (its number times the classes); row 0
  // accepts: the entries may hold, whatever follows.
  struct Dfa {
    std::vector<std::int32_t> next;    // row + class: the next row; -1 not built yet
    std::vector<std::uint8_t> flags;   // per state: kMid, kEnd
    std::vector<std::vector<int>> nodes;
    std::unordered_map<std::string, std::int32_t> ids;
    std::int32_t start = -1;
    bool mapped = false;  // the patterns see the mapped subject
    int cut = -1;         // the key that cuts the text into pieces, or -1
  };
  static constexpr std::uint8_t kMid = 1;  // after a lead byte at a character start
  static constexpr std::uint8_t kEnd = 2;  // an entry holds if the subject ends here

  int NewNode(bool mapped);
  int SetOf(const ByteSet256& bytes);
  int SetOfByte(char c);
  void Prepare(int cut_key);
  void Reset(Dfa& d);
  std::int32_t Start(Dfa& d);
  std::int32_t Next(Dfa& d, std::int32_t s, unsigned char b);
  std::int32_t Run(Dfa& d, std::int32_t s, std::string_view text);
  bool Ends(const Dfa& d, std::int32_t s) const;
  bool RefusesPieces(std::string_view text, char key, std::size_t max_subject, bool mapped);
  std::int32_t Intern(Dfa& d, std::vector<int>& nodes, bool mid, bool initial);
  void Closure(std::vector<int>& nodes, bool at_start, bool at_end, bool mapped_only) const;
  void Move(const std::vector<int>& from, unsigned char b, bool mapped, std::vector<int>& to) const;
  void AddStarts(std::vector<int>& nodes, bool mapped_only) const;
  std::vector<int> MapStep(std::vector<int> nodes, unsigned char b) const;

  std::vector<Node> nodes_;
  std::vector<ByteSet256> sets_;
  std::unordered_map<std::string, int> set_ids_;
  int single_[256];  // the set of just that byte, or -1 (none yet)
  std::vector<int> starts_;    // tried at every character start
  std::vector<int> anchored_;  // tried at the subject's start only (the exact words)
  int accept_;
  SubjectMap map_;
  bool prepared_ = false;
  unsigned char class_of_[256] = {};
  std::uint8_t growth_[256] = {};  // the length of what the map makes of each byte
  int classes_ = 0;
  int cut_key_ = -1;
  Dfa dfa_[3];  // the text itself, the mapped subject, the mapped subject cut at cut_key_
  mutable std::vector<std::uint32_t> seen_;  // closure marks
  mutable std::uint32_t epoch_ = 0;
};

}  // namespace norvelle
