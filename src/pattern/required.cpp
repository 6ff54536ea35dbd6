#include "pattern/required.h"

#include <cstring>

#include "text/dbcs.h"
#include "pattern/classes.h"

namespace norvelle {
namespace {

using Elt = CStrRegexStruct;
using Clause = std::vector<std::string>;

// Alternatives are cut off past this many literals: a longer clause costs more
// to test than it saves.
constexpr std::size_t kMaxClause = 8;

bool IsOp(const Elt& e, char op) { return e.kind == kRegexOperator && e.op == op; }

bool IsClass(const Elt& e) {
  return e.kind == kRegexOperator && charclass::kClasses.op[static_cast<unsigned char>(e.op)].is_class;
}

// Matched exactly once, with no repetition that could take more or less.
bool Once(const Elt& e) { return e.modifier == ' ' && e.count < 0 && e.maximum < 0; }

// What one round of the matcher's class test says at the first byte.
bool ClassAtStart(char op, std::string_view s) {
  if (s.empty()) return false;
  const charclass::ClassOp& c = charclass::kClasses.op[static_cast<unsigned char>(op)];
  if (CharLen(s.data(), s.data() + s.size()) == 2) return c.dbcs;
  const bool in = (charclass::kBytes.bits[static_cast<unsigned char>(s[0])] & c.mask) != 0;
  return in != c.negated;
}

// Matched at least once whenever the group around it matches: not negated,
// and a minimum count of one or more (no number means one).
bool MustMatch(const Elt& e) { return e.modifier != '!' && e.count != 0; }

void Collect(const Elt& group, std::vector<Clause>& out);

// One literal of which must occur wherever e (taken as matching) matches;
// false when there is no such set.
bool Options(const Elt& e, Clause& out) {
  switch (e.kind) {
    case kRegexLiteral:
      if (e.literal.empty()) return false;
      out.emplace_back(e.literal.data(), e.literal.length());
      return true;
    case kRegexSequence:
    case kRegexCapture: {
      std::vector<Clause> inner;
      Collect(e, inner);
      if (inner.empty()) return false;
      out.insert(out.end(), inner.front().begin(), inner.front().end());
      return true;
    }
    case kRegexAlternation: {
      // The matcher skips "p" marks among alternatives; any other child is an
      // alternative, and one that needs no literal leaves nothing required.
      bool any = false;
      for (std::uint32_t i = 0; i < e.children.count(); ++i) {
        const Elt& c = e.children[i];
        if (IsOp(c, 'p')) continue;
        if (!MustMatch(c) || !Options(c, out)) return false;
        any = true;
      }
      return any;
    }
    default:
      return false;
  }
}

// The children of a sequence or capture are all matched in order, also those
// after a lazy or greedy child (it matches them as its rest); a "P" mark ends
// the sequence early at the end of the text, so nothing after it is required.
void Collect(const Elt& group, std::vector<Clause>& out) {
  for (std::uint32_t i = 0; i < group.children.count(); ++i) {
    const Elt& c = group.children[i];
    // A "P" mark can end the match here; a "z" takes the rest of its group
    // into its operand's rounds, which may end the match before it.
    if (IsOp(c, 'P') || IsOp(c, 'z')) return;
    if (!MustMatch(c)) continue;
    if (c.kind == kRegexSequence || c.kind == kRegexCapture) {
      Collect(c, out);
      continue;
    }
    Clause clause;
    if (Options(c, clause) && clause.size() <= kMaxClause) out.push_back(std::move(clause));
  }
}

// Counts what Bounded needs, down the whole tree.
void Measure(const Elt& e, bool repeated, std::size_t& size, std::vector<double>& repeats, bool& hits_grow) {
  ++size;
  const bool rep = e.modifier != ' ' || e.count >= 0 || e.maximum >= 0 || IsOp(e, 'z');
  if (rep) repeats.push_back(double(e.count > e.maximum ? e.count : e.maximum));
  // A capture repeated itself, or inside a repetition, adds a hit every round.
  if (IsOp(e, 't') || ((e.kind == kRegexCapture || IsOp(e, 'T')) && (repeated || rep))) hits_grow = true;
  for (std::uint32_t i = 0; i < e.children.count(); ++i)
    Measure(e.children[i], repeated || rep, size, repeats, hits_grow);
}

}  // namespace

RequiredText::RequiredText(const CStrRegexStruct& root) {
  Measure(root, false, size_, repeats_, hits_grow_);
  if (root.kind == kRegexSequence || root.kind == kRegexCapture) {
    Collect(root, clauses_);
    const std::uint32_t n = root.children.count();
    // Every round of a repetition with a minimum begins where the element
    // does, so the first round of the element after "%^" is at byte 0.
    if (n >= 2 && IsOp(root.children[0], '^')) {
      const Elt& next = root.children[1];
      if (MustMatch(next) && IsClass(next)) first_class_ = next.op;
      if (MustMatch(next) && next.kind == kRegexLiteral) first_literal_.assign(next.literal.data(), next.literal.length());
    }
    // A "P" mark or a "z" can end the sequence before its last items.
    bool early_end = false;
    for (std::uint32_t i = 0; i < n; ++i)
      early_end = early_end || IsOp(root.children[i], 'P') || IsOp(root.children[i], 'z');
    if (n >= 2 && !early_end && IsOp(root.children[n - 1], '$')) {
      const Elt& last = root.children[n - 2];
      if (last.kind == kRegexLiteral && Once(last)) suffix_.assign(last.literal.data(), last.literal.length());
    }
  } else {  // the root is matched once, whatever its own repetition says
    Clause clause;
    if (Options(root, clause) && clause.size() <= kMaxClause) clauses_.push_back(std::move(clause));
  }
  for (const Clause& clause : clauses_) {
    std::vector<ByteSet>& sets = clause_bytes_.emplace_back();
    for (const std::string& lit : clause) sets.emplace_back().Add(lit);
    if (clause.size() == 1) needed_.Add(clause[0]);
  }
  needed_.Add(first_literal_);
  needed_.Add(suffix_);
  // The largest length that passes, found by halving (the bound only grows).
  std::size_t lo = 0, hi = kMaxSubjectLength + 1;  // holds at lo (once checked), fails at hi
  if (!BoundHolds(0)) hi = 0;
  while (lo + 1 < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if (BoundHolds(mid)) lo = mid;
    else hi = mid;
  }
  bounded_below_ = hi;
}

bool RequiredText::BoundHolds(std::size_t subject_length) const {
  // Every element costs the matcher at most a few steps per visit; each
  // repetition visits what follows it at most once per round, and a round
  // count is bounded by the subject (a round that takes nothing ends a lazy
  // or greedy run) or by the repetition's own numbers. Depth stays within
  // the tree's size.
  if (hits_grow_ || size_ > 200) return false;
  const double n = double(subject_length);
  double attempt = 4.0 * double(size_);
  for (double r : repeats_) attempt *= (r > n ? r : n) + 2.0;
  const double call = attempt * (n + 1.0);
  return attempt < double(MatchAttemptBudget(subject_length)) &&
         call < double(MatchCallBudget(subject_length)) && call * (n + 1.0) < double(kMaxHitBytes);
}

bool RequiredText::MayMatch(std::string_view subject) const {
  ByteSet present;
  present.Add(subject);
  return MayMatch(subject, present);
}

bool RequiredText::MayMatch(std::string_view subject, const ByteSet& present) const {
  if (!present.Covers(needed_)) return false;
  if (first_class_ && !ClassAtStart(first_class_, subject)) return false;
  if (subject.substr(0, first_literal_.size()) != first_literal_) return false;
  if (subject.size() < suffix_.size() ||
      subject.compare(subject.size() - suffix_.size(), suffix_.size(), suffix_) != 0)
    return false;
  for (std::size_t c = 0; c < clauses_.size(); ++c) {
    bool found = false;
    for (std::size_t k = 0; k < clauses_[c].size() && !found; ++k)
      found = present.Covers(clause_bytes_[c][k]) && subject.find(clauses_[c][k]) != std::string_view::npos;
    if (!found) return false;
  }
  return true;
}

}  // namespace norvelle
