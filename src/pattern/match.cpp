// The element matcher: one attempt of a compiled tree at one text position.
//
// Elem matches one element once; Rep adds its repetition; Seq matches the
// children of a group from a given index on. Lazy ("+") and greedy ("*")
// repetitions also match "the rest" (the following children of their group),
// which is how this matcher backtracks: nothing else ever gives back what it
// took. Positions are byte offsets into the subject; every function returns
// the end position it reached, or -1 for failure. Recursion follows the
// pattern's nesting and its chains of lazy/greedy elements, never the length
// of the text: repetitions loop.
#include <cstring>
#include <new>

#include "text/dbcs.h"
#include "pattern/classes.h"
#include "pattern/matcher.h"

namespace norvelle {
namespace {

using namespace charclass;

using Elt = CStrRegexStruct;

bool IsOp(const Elt& e, char op) { return e.kind == kRegexOperator && e.op == op; }
int MinCount(const Elt& e) { return e.count < 0 ? 1 : e.count; }
std::uint32_t IndexOf(const Elt& e) { return e.index < 0 ? 0u : std::uint32_t(e.index); }

// True when e, on success, has already matched the rest of its group.
bool TakesRest(const Elt& e) {
  if (e.modifier == '+' || e.modifier == '*') return true;
  if (!IsOp(e, 'z') || e.children.empty()) return false;
  const char m = e.children[0].modifier;
  return m == '+' || m == '*';
}

// Charges one step; false once the budget is gone.
bool Step(MatchState& st) {
  if (++st.steps <= st.step_budget) return true;
  st.Exhaust();
  return false;
}

// Charges `added` new hits and `bytes` copied into hits; false once a hit
// budget is gone (the attempt then ends like one out of steps).
bool ChargeHits(MatchState& st, std::uint64_t added, std::uint64_t bytes) {
  st.hit_bytes += bytes;
  if (std::uint64_t(st.hits.count()) + added <= st.hit_limit && st.hit_bytes <= st.hit_byte_budget)
    return true;
  st.Exhaust();
  return false;
}

class DepthGuard {
 public:
  explicit DepthGuard(MatchState& st) : st_(st) {
    if (++st_.depth > kMaxMatchDepth) st_.Exhaust();
  }
  ~DepthGuard() { --st_.depth; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;

 private:
  MatchState& st_;
};

int Elem(MatchState& st, const Elt& e, const Elt& group, std::uint32_t next, int pos, int* cap);
int Rep(MatchState& st, const Elt& e, const Elt& group, std::uint32_t next, int pos, int* cap);

// Bytes s[0..n) at pos. With "i", single bytes compare upper-cased; a
// double-byte character of s must equal the text exactly.
int MatchBytes(const MatchState& st, int pos, const char* s, std::size_t n) {
  if (n > std::size_t(st.end - pos)) return -1;
  const unsigned char* t = reinterpret_cast<const unsigned char*>(st.text + pos);
  if (!st.icase) {
    if (n == 1) return t[0] == static_cast<unsigned char>(s[0]) ? pos + 1 : -1;
    return std::memcmp(t, s, n) == 0 ? pos + int(n) : -1;
  }
  const unsigned char* u = reinterpret_cast<const unsigned char*>(s);
  for (std::size_t i = 0; i < n;) {
    if (CharLen(s + i, s + n) == 2) {
      if (t[i] != u[i] || t[i + 1] != u[i + 1]) return -1;
      i += 2;
    } else {
      if (kBytes.upper[t[i]] != kBytes.upper[u[i]]) return -1;
      ++i;
    }
  }
  return pos + int(n);
}

int MatchClass(const MatchState& st, int pos, const ClassOp& c) {
  if (pos >= st.end) return -1;
  const char* p = st.text + pos;
  if (CharLen(p, st.text + st.end) == 2) return c.dbcs ? pos + 2 : -1;
  const bool in = (kBytes.bits[static_cast<unsigned char>(*p)] & c.mask) != 0;
  return in != c.negated ? pos + 1 : -1;
}

// One byte compared as signed; a double-byte character is never split.
int MatchRange(const MatchState& st, const Elt& e, int pos) {
  if (pos >= st.end) return -1;
  const char* p = st.text + pos;
  if (CharLen(p, st.text + st.end) == 2) return -1;
  const signed char b = static_cast<signed char>(*p);
  const bool in = static_cast<signed char>(e.range_low) <= b && b <= static_cast<signed char>(e.range_high);
  return in ? pos + 1 : -1;
}

// "v" (oldest first) and "V" (newest first); a missing hit matches empty.
int MatchBackReference(const MatchState& st, const Elt& e, int pos) {
  const std::uint32_t n = st.hits.count();
  const std::uint32_t i = IndexOf(e);
  if (i >= n) return pos;
  const CStr& hit = st.hits[e.op == 'v' ? i : n - 1 - i];
  return MatchBytes(st, pos, hit.data(), hit.length());
}

// "t": the last hit's text into slot i, appending empty hits until it exists.
// False when that breaks a hit budget (a huge i).
bool CopyLastHit(MatchState& st, std::uint32_t i) {
  CStrHitList& hits = st.hits;
  const CStr* last = hits.empty() ? nullptr : &hits[hits.count() - 1];
  const std::uint64_t added = i < hits.count() ? 0 : std::uint64_t(i) + 1 - hits.count();
  if (!ChargeHits(st, added, last ? last->length() : 0)) return false;
  while (hits.count() <= i) hits.Add().Clear();
  CStr& slot = hits[i];
  if (!last) {
    slot.Clear();
  } else if (&slot != last) {
    slot.Assign(*last);  // elements never move, so `last` is still valid
  }
  return true;
}

int MatchOperator(MatchState& st, const Elt& e, const Elt& group, std::uint32_t next, int pos,
                  int* cap) {
  const ClassOp& c = kClasses.op[static_cast<unsigned char>(e.op)];
  if (c.is_class) return MatchClass(st, pos, c);
  switch (e.op) {
    case '^':
      return pos == st.origin ? pos : -1;
    case '$':
      return pos == st.end ? pos : -1;
    case 'g':
      return pos == st.origin || (pos > 0 && st.text[pos - 1] == '\n') ? pos : -1;
    case 'G':
      return pos < st.end && st.text[pos] == '\n' ? pos : -1;
    case 'e':
    case 'p':
    case 'P':  // marks act only inside a sequence; elsewhere they match empty
      return pos;
    case 'v':
    case 'V':
      return MatchBackReference(st, e, pos);
    case 'T':
      if (!ChargeHits(st, 1, 0)) return -1;
      st.hits.Add().Clear();
      return pos;
    case 'H':
      st.hits.RemoveLast();
      return pos;
    case 'h':
      st.TrimHits(IndexOf(e));
      return pos;
    case 't':
      return CopyLastHit(st, IndexOf(e)) ? pos : -1;
    case 'z':  // the operand repeats on its own, with the z's rest as its rest
      if (e.children.empty()) return -1;
      return Rep(st, e.children[0], group, next, pos, cap);
    default:  // "U", "u": no external matchers are registered
      return -1;
  }
}

// Literals, classes and ranges that match just once are tried in place,
// without the repetition and dispatch layers: most items of a pattern are
// such, and the lazy runs of the command-line pattern try them per byte.
// Returns -2 for any other element.
int TryQuick(MatchState& st, const Elt& e, int pos) {
  if (e.modifier != ' ' || e.count >= 0 || e.maximum >= 0) return -2;
  switch (e.kind) {
    case kRegexLiteral:
      return Step(st) ? MatchBytes(st, pos, e.literal.data(), e.literal.length()) : -1;
    case kRegexRange:
      return Step(st) ? MatchRange(st, e, pos) : -1;
    case kRegexOperator: {
      const ClassOp& c = kClasses.op[static_cast<unsigned char>(e.op)];
      if (!c.is_class) return -2;
      return Step(st) ? MatchClass(st, pos, c) : -1;
    }
    default:
      return -2;
  }
}

// Children group[from..] in order from pos. Returns the match-end mark if one
// was set, else the end reached. *cap receives a capture-end mark.
int Seq(MatchState& st, const Elt& group, std::uint32_t from, int pos, int* cap) {
  if (!Step(st)) return -1;
  const std::uint32_t hits0 = st.hits.count();
  const std::uint32_t n = group.children.count();
  int mark = -1;
  int cur = pos;
  for (std::uint32_t i = from; i < n; ++i) {
    const Elt& c = group.children[i];
    if (c.kind == kRegexOperator) {
      if (c.op == 'p') {
        mark = cur;
        continue;
      }
      if (c.op == 'P') {
        if (cur == st.end) return cur;  // the end of the text ends the sequence
        mark = cur;
        continue;
      }
      if (c.op == 'e') {
        *cap = cur;
        continue;
      }
    }
    int rest_cap = -1;
    int r = TryQuick(st, c, cur);
    if (r == -2) r = Rep(st, c, group, i + 1, cur, &rest_cap);
    if (r < 0) {
      st.TrimHits(hits0);
      return -1;
    }
    cur = r;
    if (TakesRest(c)) {  // c has matched the rest of the group as well
      if (rest_cap >= 0) *cap = rest_cap;
      break;
    }
  }
  return mark >= 0 ? mark : cur;
}

int Capture(MatchState& st, const Elt& e, int pos) {
  int cap = -1;
  const int r = Seq(st, e, 0, pos, &cap);
  if (r < 0) return -1;
  const int stop = cap >= 0 ? cap : r;
  if (!ChargeHits(st, 1, std::uint64_t(stop - pos))) return -1;
  st.hits.Add().Assign(st.text + pos, std::size_t(stop - pos));
  return r;
}

// The first alternative that matches wins, and is not reconsidered.
int Alternation(MatchState& st, const Elt& e, int pos) {
  const std::uint32_t n = e.children.count();
  for (std::uint32_t i = 0; i < n && !st.exhausted; ++i) {
    const Elt& c = e.children[i];
    if (IsOp(c, 'p')) continue;
    if (IsOp(c, 'P')) {
      if (pos == st.end) return pos;
      continue;
    }
    int cap = -1;
    int r = TryQuick(st, c, pos);
    if (r == -2) r = Rep(st, c, e, i + 1, pos, &cap);
    if (r >= 0) return r;
  }
  return -1;
}

int Elem(MatchState& st, const Elt& e, const Elt& group, std::uint32_t next, int pos, int* cap) {
  if (!Step(st)) return -1;
  switch (e.kind) {
    case kRegexEmpty:
      return pos;
    case kRegexLiteral:
      return MatchBytes(st, pos, e.literal.data(), e.literal.length());
    case kRegexSequence: {
      int own_cap = -1;
      return Seq(st, e, 0, pos, &own_cap);
    }
    case kRegexCapture:
      return Capture(st, e, pos);
    case kRegexAlternation:
      return Alternation(st, e, pos);
    case kRegexOperator:
      return MatchOperator(st, e, group, next, pos, cap);
    case kRegexRange:
      return MatchRange(st, e, pos);
    default:
      return -1;
  }
}

// One round of a repetition. A class operator steps without the general
// dispatch: the long loops of "%/0j", "%+0j" and "%*j" run through here.
class Round {
 public:
  Round(MatchState& st, const Elt& e, const Elt& group, std::uint32_t next, int* cap)
      : st_(st), e_(e), group_(group), next_(next), cap_(cap) {
    const ClassOp& c = kClasses.op[static_cast<unsigned char>(e.op)];
    if (e.kind == kRegexOperator && c.is_class) cls_ = &c;
  }
  int operator()(int pos) const {
    if (cls_) return Step(st_) ? MatchClass(st_, pos, *cls_) : -1;
    return Elem(st_, e_, group_, next_, pos, cap_);
  }

 private:
  MatchState& st_;
  const Elt& e_;
  const Elt& group_;
  std::uint32_t next_;
  int* cap_;
  const ClassOp* cls_ = nullptr;
};

// Plain, "/" (possessive) and "!" (negative): never give back.
int RepPlain(MatchState& st, const Elt& e, const Elt& group, std::uint32_t next, int pos, int* cap) {
  const Round round(st, e, group, next, cap);
  const std::uint32_t hits0 = st.hits.count();
  const char mod = e.modifier;
  const int n = MinCount(e);
  int cur = pos;
  for (int i = 0; i < n; ++i) {
    const int r = round(cur);
    if (r < 0) {
      st.TrimHits(hits0);
      return mod == '!' ? pos : -1;
    }
    cur = r;
  }
  if (mod == '!') {  // every try matched: the negation fails
    st.TrimHits(hits0);
    return -1;
  }
  const int k = e.maximum;
  if (k < 0 && mod != '/') return cur;
  for (int count = n; k < 0 || count < k; ++count) {
    const int r = round(cur);
    if (r < 0) break;
    const bool moved = r != cur;
    cur = r;
    if (mod == '/' && !moved && k < 0) break;  // unbounded: would go on forever in place
  }
  return cur;
}

// "+": the fewest rounds after which the rest matches.
int RepLazy(MatchState& st, const Elt& e, const Elt& group, std::uint32_t next, int pos, int* cap) {
  const Round round(st, e, group, next, cap);
  const std::uint32_t hits0 = st.hits.count();
  const int n = MinCount(e);
  const int k = e.maximum;
  int cur = pos;
  for (int i = 0; i < n; ++i) {
    cur = round(cur);
    if (cur < 0) {
      st.TrimHits(hits0);
      return -1;
    }
  }
  for (int count = n;; ++count) {
    const std::uint32_t before = st.hits.count();
    int rest_cap = -1;
    const int r = Seq(st, group, next, cur, &rest_cap);
    if (r >= 0) {
      if (rest_cap >= 0) *cap = rest_cap;
      return r;
    }
    st.TrimHits(before);
    if ((k >= 0 && count >= k) || st.exhausted) break;
    const std::uint32_t hits_before_round = st.hits.count();
    const int more = round(cur);
    // A round that consumes nothing and adds no hit would try the same rest
    // again forever; one that adds a hit changes what the rest can match.
    if (more < 0 || (more == cur && st.hits.count() == hits_before_round)) break;
    cur = more;
  }
  st.TrimHits(hits0);
  return -1;
}

// "*": as many rounds as match, then give back one at a time until the rest
// matches. Points live on the state's stack, shared with nested greedy runs.
int RepGreedy(MatchState& st, const Elt& e, const Elt& group, std::uint32_t next, int pos, int* cap) {
  const Round round(st, e, group, next, cap);
  const std::uint32_t hits0 = st.hits.count();
  const int n = MinCount(e);
  const int k = e.maximum;
  int cur = pos;
  int count = 0;
  bool moved = true;
  while (count < n) {
    const int r = round(cur);
    if (r < 0) {
      st.TrimHits(hits0);
      return -1;
    }
    ++count;
    moved = r != cur;
    cur = r;
    if (!moved) break;
  }
  // The first point is the one after the minimum: that is never given back.
  const int base = st.npoints;
  st.Push(cur - pos, int(st.hits.count()));
  while (moved && (k < 0 || count < k)) {
    const int r = round(cur);
    if (r < 0) break;
    ++count;
    moved = r != cur;
    cur = r;
    st.Push(cur - pos, int(st.hits.count()));
  }
  while (st.npoints > base && !st.exhausted) {
    const Zkl_CStrRegexHitBufStruct point = st.Pop();
    st.TrimHits(std::uint32_t(point.hits));
    int rest_cap = -1;
    const int r = Seq(st, group, next, pos + point.position, &rest_cap);
    if (r >= 0) {
      st.npoints = base;
      if (rest_cap >= 0) *cap = rest_cap;
      return r;
    }
  }
  st.npoints = base;
  st.TrimHits(hits0);
  return -1;
}

// e (child `next - 1` of group) with its repetition. For "+" and "*" the
// result includes the rest, group[next..], and *cap its capture end.
int Rep(MatchState& st, const Elt& e, const Elt& group, std::uint32_t next, int pos, int* cap) {
  DepthGuard guard(st);
  if (st.exhausted) return -1;
  if (e.modifier == ' ' && e.count < 0 && e.maximum < 0) {
    return Elem(st, e, group, next, pos, cap);  // most items match just once
  }
  switch (e.modifier) {
    case '+':
      return RepLazy(st, e, group, next, pos, cap);
    case '*':
      return RepGreedy(st, e, group, next, pos, cap);
    default:
      return RepPlain(st, e, group, next, pos, cap);
  }
}

}  // namespace

// Follows first children down from the root while each must match at least
// once; stops at an element that one byte test can refuse.
StartFilter::StartFilter(const CStrRegexStruct& root) {
  const Elt* e = &root;
  while (e->kind == kRegexSequence || e->kind == kRegexCapture) {
    if (e->children.empty()) return;
    const Elt& first = e->children[0];
    if (first.modifier == '!' || first.count == 0) return;  // it may take nothing
    e = &first;
  }
  const bool is_class = e->kind == kRegexOperator && kClasses.op[static_cast<unsigned char>(e->op)].is_class;
  if ((e->kind == kRegexLiteral && !e->literal.empty()) || e->kind == kRegexRange || is_class) lead_ = e;
}

bool StartFilter::Refuses(const MatchState& st, int pos) const {
  if (!lead_) return false;
  switch (lead_->kind) {
    case kRegexLiteral: {
      const char* lit = lead_->literal.data();
      return MatchBytes(st, pos, lit, CharLen(lit, lit + lead_->literal.length())) < 0;
    }
    case kRegexRange:
      return MatchRange(st, *lead_, pos) < 0;
    default:
      return MatchClass(st, pos, kClasses.op[static_cast<unsigned char>(lead_->op)]) < 0;
  }
}

// The array only grows; a call reuses what earlier attempts made.
void MatchState::GrowPoints() {
  const std::size_t n = more_points.size();
  try {
    more_points.resize(n < 4096 ? 4096 : n * 2);
  } catch (const std::bad_alloc&) {
    throw static_cast<Zkl_CStrRegexHitBufStruct*>(nullptr);  // the containers' failure value
  }
}

int MatchAt(MatchState& st, const CStrRegexStruct& root, int pos) {
  const std::uint64_t left = st.call_budget > st.call_steps ? st.call_budget - st.call_steps : 0;
  st.step_budget = left < st.attempt_budget ? left : st.attempt_budget;
  st.steps = 0;
  st.depth = 0;
  st.npoints = 0;
  int cap = -1;
  const int r = Elem(st, root, root, root.children.count(), pos, &cap);
  st.call_steps += st.steps;
  return st.exhausted ? -1 : r;
}

}  // namespace norvelle
