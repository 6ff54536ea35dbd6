// The backtracking matcher's state, shared by the entry forms (run.cpp) and
// the element matcher (match.cpp). Internal to the pattern engine.
//
// One MatchState serves one call: it lives on the caller's stack and holds
// the subject bounds, the case flag, the start position, the hit list, the
// budgets and the backtracking points of greedy repetitions. The first
// kLocalPoints points sit in the state itself; later ones go to a growable
// array, so a call allocates nothing for backtracking until a greedy run
// goes past that many characters.
#pragma once

#include <cstdint>
#include <vector>

#include "pattern/regex.h"

namespace norvelle {

inline constexpr int kLocalPoints = 1000;

struct MatchState {
  MatchState(const char* subject, int length, int start, bool fold_case, CStrHitList& hit_list)
      : text(subject),
        end(length),
        origin(start),
        icase(fold_case),
        hits(hit_list),
        attempt_budget(MatchAttemptBudget(std::uint64_t(length))),
        call_budget(MatchCallBudget(std::uint64_t(length))),
        hit_limit(kMaxMatchHits + kMatchHitsPerByte * std::uint64_t(length)),
        hit_byte_budget(kMaxHitBytes + kMatchHitBytesPerByte * std::uint64_t(length)) {}

  const char* text;  // the subject; positions are offsets into it
  int end;           // its length
  int origin;        // where the call started: "^" and "g" match here
  bool icase;
  CStrHitList& hits;

  std::uint64_t attempt_budget;  // steps of one attempt
  std::uint64_t call_budget;     // steps of all attempts of the call
  std::uint64_t call_steps = 0;
  std::uint64_t step_budget = 0;  // what this attempt may take
  std::uint64_t steps = 0;
  std::uint64_t hit_limit;        // live hits
  std::uint64_t hit_byte_budget;  // bytes copied into hits
  std::uint64_t hit_bytes = 0;
  int depth = 0;
  bool exhausted = false;  // a budget ran out: the attempt and the call end

  // Greedy backtracking points, last in first out across nested repetitions.
  int npoints = 0;
  Zkl_CStrRegexHitBufStruct local_points[kLocalPoints];
  std::vector<Zkl_CStrRegexHitBufStruct> more_points;

  // A budget ran out: every later step fails at once.
  void Exhaust() {
    exhausted = true;
    step_budget = 0;
  }
  void Push(int position, int hit_count) {
    const Zkl_CStrRegexHitBufStruct point{position, hit_count};
    if (npoints < kLocalPoints) {
      local_points[npoints++] = point;
      return;
    }
    const std::size_t i = std::size_t(npoints - kLocalPoints);
    if (i == more_points.size()) GrowPoints();
    more_points[i] = point;
    ++npoints;
  }
  Zkl_CStrRegexHitBufStruct Pop() {
    --npoints;
    return npoints < kLocalPoints ? local_points[npoints]
                                  : more_points[std::size_t(npoints - kLocalPoints)];
  }
  // Drops hits added after the list had n entries; their buffers stay.
  void TrimHits(std::uint32_t n) {
    if (hits.count() > n) hits.Resize(n);
  }

 private:
  void GrowPoints();
};

// A test before each attempt: the element every match of the tree must begin
// with, when one byte test can refuse it (a literal, a class, a range).
// Refused positions are exactly those where the attempt would fail.
class StartFilter {
 public:
  explicit StartFilter(const CStrRegexStruct& root);
  bool Refuses(const MatchState& st, int pos) const;

 private:
  const CStrRegexStruct* lead_ = nullptr;
};

// Matches root at pos with fresh budgets. Returns the end of the match, or -1
// (also when a budget ran out; st.exhausted then tells the caller to stop).
int MatchAt(MatchState& st, const CStrRegexStruct& root, int pos);

}  // namespace norvelle
