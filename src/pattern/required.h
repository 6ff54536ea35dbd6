// Required text of a pattern: the literals that every match must contain, as
// a cheap test that proves a pattern cannot match a subject, so a caller may
// skip running it (a long auto-replace list runs every pattern on every
// element).
//
// The test is one-sided: MayMatch may say true for a subject without a match,
// never false for one with a match. It holds for case-sensitive matching (no
// "i" flag) from the subject's start (start position 0), where "%^" holds only
// at the subject's first byte and "%$" only at its end. Literals are found as plain bytes, so a
// double-byte literal found across a character boundary only makes the test
// say true.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pattern/regex.h"

namespace norvelle {

// The byte values that occur in a text: a literal with a byte outside it
// cannot occur there, which costs four word tests instead of a search.
struct ByteSet {
  std::uint64_t bits[4] = {};
  void Add(std::string_view text) {
    for (char c : text) bits[static_cast<unsigned char>(c) >> 6] |= std::uint64_t(1) << (c & 63);
  }
  bool Covers(const ByteSet& o) const {
    return !((o.bits[0] & ~bits[0]) | (o.bits[1] & ~bits[1]) | (o.bits[2] & ~bits[2]) | (o.bits[3] & ~bits[3]));
  }
};

class RequiredText {
 public:
  RequiredText() = default;
  explicit RequiredText(const CStrRegexStruct& root);

  // True when no call of the matcher on a subject of this length can run
  // out of its step, depth or hit budgets (an upper bound from the pattern's
  // size and repetitions): only then does skipping a call that cannot match
  // change nothing at all, not even a report that a pattern was cut off.
  bool Bounded(std::size_t subject_length) const { return subject_length < bounded_below_; }
  std::size_t bounded_below() const { return bounded_below_; }

  // False only when no match of the pattern can exist in subject.
  bool MayMatch(std::string_view subject) const;
  // The same, given the bytes of subject (ByteSet::Add of it).
  bool MayMatch(std::string_view subject, const ByteSet& present) const;

  // Each clause: at least one of its literals occurs in every subject with a
  // match. No clauses: the test always says true.
  const std::vector<std::vector<std::string>>& clauses() const { return clauses_; }

 private:
  std::vector<std::vector<std::string>> clauses_;
  std::vector<std::vector<ByteSet>> clause_bytes_;  // the bytes of each literal
  ByteSet needed_;  // the bytes of every clause of one literal
  // For Bounded: elements in the tree, the larger number of each repetition,
  // and whether hits can pile up (a capture inside a repetition, "%t").
  std::size_t size_ = 0;
  std::vector<double> repeats_;
  bool hits_grow_ = false;
  std::size_t bounded_below_ = 0;  // Bounded holds for shorter subjects (the bound grows with the length)
  bool BoundHolds(std::size_t subject_length) const;
  // "%^" first: the class operator (first_class_) or literal (first_literal_)
  // after it must match at the first byte.
  char first_class_ = 0;
  std::string first_literal_;
  // A literal right before a final "%$": the subject ends with it.
  std::string suffix_;
};

}  // namespace norvelle
