#include "pattern/required.h"

namespace norvelle {
namespace {

using Elt = CStrRegexStruct;
using Clause = std::vector<std::string>;

// Alternatives are cut off past this many literals: a longer clause costs more
// to test than it saves.
constexpr std::size_t kMaxClause = 8;

bool IsOp(const Elt& e, char op) { return e.kind == kRegexOperator && e.op == op; }

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
    if (IsOp(c, 'P')) return;
    if (!MustMatch(c)) continue;
    if (c.kind == kRegexSequence || c.kind == kRegexCapture) {
      Collect(c, out);
      continue;
    }
    Clause clause;
    if (Options(c, clause) && clause.size() <= kMaxClause) out.push_back(std::move(clause));
  }
}

}  // namespace

RequiredText::RequiredText(const CStrRegexStruct& root) {
  if (root.kind == kRegexSequence || root.kind == kRegexCapture) {
    Collect(root, clauses_);
  } else {  // the root is matched once, whatever its own repetition says
    Clause clause;
    if (Options(root, clause) && clause.size() <= kMaxClause) clauses_.push_back(std::move(clause));
  }
}

bool RequiredText::MayMatch(std::string_view subject) const {
  for (const Clause& clause : clauses_) {
    bool found = false;
    for (const std::string& lit : clause) {
      if (subject.find(lit) != std::string_view::npos) {
        found = true;
        break;
      }
    }
    if (!found) return false;
  }
  return true;
}

}  // namespace norvelle
