#include "pattern/screen.h"

#include <algorithm>

#include "text/dbcs.h"
#include "pattern/classes.h"

namespace norvelle {

using Elt = CStrRegexStruct;

// Builds the part of the automaton that holds (at least) where one pattern
// matches, from `in` to `out`, element by element as the matcher walks
// them (match.cpp); each function names the matcher's function it follows.
class ScreenBuilder {
 public:
  explicit ScreenBuilder(Screen& s) : s_(s), first_(s.nodes_.size()) {}
  bool failed() const { return failed_; }
  void Elem(const Elt& e, int in, int out);

 private:
  // Repetitions are laid out copy by copy; past this many copies a count
  // becomes "this many, then any number".
  static constexpr int kMaxCopies = 16;
  static constexpr int kMaxDepth = 2 * kMaxPatternDepth + 8;

  int Node() {
    if (s_.nodes_.size() - first_ >= kMaxScreenNodes) failed_ = true;
    return failed_ ? 0 : s_.NewNode(true);
  }
  void Link(int from, int to, int set) {
    if (!failed_) s_.nodes_[std::size_t(from)].out.push_back({to, set});
  }
  void Bytes(int from, int to, const Screen::ByteSet256& b) { Link(from, to, s_.SetOf(b)); }
  void AnyRun(int in, int out);
  void Single(bool (*admits)(unsigned char, const void*), const void* arg, int in, int out);
  void Class(char op, int in, int out);
  void Range(const Elt& e, int in, int out);
  void Literal(std::string_view lit, int in, int out);
  void Operator(const Elt& e, int in, int out);
  void Rep(const Elt& e, int in, int out);
  void Seq(const Elt& group, std::uint32_t from, int in, int out);
  void Alt(const Elt& e, int in, int out);

  Screen& s_;
  std::size_t first_;
  int depth_ = 0;
  bool failed_ = false;
};

namespace {

bool IsOp(const Elt& e, char op) { return e.kind == kRegexOperator && e.op == op; }
int MinCount(const Elt& e) { return e.count < 0 ? 1 : e.count; }

// As the matcher's TakesRest.
bool TakesRest(const Elt& e) {
  if (e.modifier == '+' || e.modifier == '*') return true;
  if (!IsOp(e, 'z') || e.children.empty()) return false;
  const char m = e.children[0].modifier;
  return m == '+' || m == '*';
}

// A "z" whose operand (or the operand's operand) matches the rest of the
// group inside its own rounds: what it takes up to the group's end is
// shaped by more than concatenation, so it is read as any bytes.
bool OperandTakesRest(const Elt& e) {
  if (!IsOp(e, 'z') || e.children.empty()) return false;
  const Elt& c = e.children[0];
  return c.modifier == '+' || c.modifier == '*' || OperandTakesRest(c);
}

Screen::ByteSet256 AllBytes() { return Screen::ByteSet256(256, true); }

// The bytes of the lead-byte range that admits() takes as single bytes.
Screen::ByteSet256 LeadBytes(bool (*admits)(unsigned char, const void*), const void* arg) {
  Screen::ByteSet256 b(256, false);
  for (int c = 0; c < 256; ++c)
    if (IsLeadByte(static_cast<unsigned char>(c))) b[std::size_t(c)] = admits(static_cast<unsigned char>(c), arg);
  return b;
}

// Every lead byte is followed by one more (texts where not are never
// refused), so a class steps over a pair exactly when the byte is a lead.
Screen::ByteSet256 SingleBytes(bool (*admits)(unsigned char, const void*), const void* arg) {
  Screen::ByteSet256 b(256, false);
  for (int c = 0; c < 256; ++c)
    if (!IsLeadByte(static_cast<unsigned char>(c))) b[std::size_t(c)] = admits(static_cast<unsigned char>(c), arg);
  return b;
}

}  // namespace

void ScreenBuilder::AnyRun(int in, int out) {
  const int x = Node();
  Link(in, x, Screen::kFree);
  Bytes(x, x, AllBytes());
  Link(x, out, Screen::kFree);
}

// One byte that admits() takes. A lead byte is a byte of its own only as
// the subject's last byte (a NUL after it never reaches the screen).
void ScreenBuilder::Single(bool (*admits)(unsigned char, const void*), const void* arg, int in, int out) {
  Bytes(in, out, SingleBytes(admits, arg));
  const Screen::ByteSet256 lead = LeadBytes(admits, arg);
  if (std::find(lead.begin(), lead.end(), true) == lead.end()) return;
  const int last = Node();
  Bytes(in, last, lead);
  Link(last, out, Screen::kAtEnd);
}

void ScreenBuilder::Class(char op, int in, int out) {
  const charclass::ClassOp& c = charclass::kClasses.op[static_cast<unsigned char>(op)];
  Single(
      [](unsigned char b, const void* p) {
        const auto& k = *static_cast<const charclass::ClassOp*>(p);
        return ((charclass::kBytes.bits[b] & k.mask) != 0) != k.negated;
      },
      &c, in, out);
  if (!c.dbcs) return;
  Screen::ByteSet256 lead(256, false);
  for (int b = 0; b < 256; ++b) lead[std::size_t(b)] = IsLeadByte(static_cast<unsigned char>(b));
  const int mid = Node();
  Bytes(in, mid, lead);
  Bytes(mid, out, AllBytes());
}

void ScreenBuilder::Range(const Elt& e, int in, int out) {
  Single(
      [](unsigned char b, const void* p) {
        const Elt& r = *static_cast<const Elt*>(p);
        const signed char v = static_cast<signed char>(b);
        return static_cast<signed char>(r.range_low) <= v && v <= static_cast<signed char>(r.range_high);
      },
      &e, in, out);
}

// Literals compare bytes, whatever character they fall in.
void ScreenBuilder::Literal(std::string_view lit, int in, int out) {
  if (lit.empty()) return Link(in, out, Screen::kFree);
  int cur = in;
  for (std::size_t i = 0; i < lit.size(); ++i) {
    const int next = i + 1 == lit.size() ? out : Node();
    Screen::ByteSet256 one(256, false);
    one[static_cast<unsigned char>(lit[i])] = true;
    Bytes(cur, next, one);
    cur = next;
  }
}

// MatchOperator: marks and hit operators take nothing; a back-reference
// takes the bytes of some hit, or none; "U" and "u" never match.
void ScreenBuilder::Operator(const Elt& e, int in, int out) {
  if (charclass::kClasses.op[static_cast<unsigned char>(e.op)].is_class) return Class(e.op, in, out);
  switch (e.op) {
    case '^':
      return Link(in, out, Screen::kAtStart);
    case '$':
      return Link(in, out, Screen::kAtEnd);
    case 'g': case 'G': case 'e': case 'p': case 'P': case 'T': case 'H': case 'h': case 't':
      return Link(in, out, Screen::kFree);
    case 'v': case 'V':
      return AnyRun(in, out);
    case 'z':
      if (!e.children.empty()) Rep(e.children[0], in, out);
      return;
    default:
      return;
  }
}

void ScreenBuilder::Elem(const Elt& e, int in, int out) {
  if (failed_ || ++depth_ > kMaxDepth) {
    failed_ = true;
    return;
  }
  switch (e.kind) {
    case kRegexEmpty:
      Link(in, out, Screen::kFree);
      break;
    case kRegexLiteral:
      Literal(e.literal.view(), in, out);
      break;
    case kRegexSequence:
    case kRegexCapture:
      Seq(e, 0, in, out);
      break;
    case kRegexAlternation:
      Alt(e, in, out);
      break;
    case kRegexOperator:
      Operator(e, in, out);
      break;
    case kRegexRange:
      Range(e, in, out);
      break;
    default:  // the matcher fails on any other kind
      break;
  }
  --depth_;
}

// Rep: a negation takes nothing or fails; the others take their element a
// number of times, whichever way they choose it.
void ScreenBuilder::Rep(const Elt& e, int in, int out) {
  if (e.modifier == '!') return Link(in, out, Screen::kFree);
  if (e.modifier == ' ' && e.count < 0 && e.maximum < 0) return Elem(e, in, out);
  int n = MinCount(e);
  const int k = e.maximum;
  bool unbounded = e.modifier != ' ' && k < 0;
  int optional = k > n ? k - n : 0;
  if (n > kMaxCopies) n = kMaxCopies, unbounded = true;
  if (optional > kMaxCopies) optional = 0, unbounded = true;
  int cur = in;
  for (int i = 0; i < n && !failed_; ++i) {
    const int next = Node();
    Elem(e, cur, next);
    cur = next;
  }
  if (unbounded) {
    const int loop = Node();
    Link(cur, loop, Screen::kFree);
    Elem(e, loop, loop);
    cur = loop;
  }
  for (int i = 0; i < optional && !failed_; ++i) {
    const int next = Node();
    Link(cur, out, Screen::kFree);
    Elem(e, cur, next);
    cur = next;
  }
  Link(cur, out, Screen::kFree);
}

// Seq: the children in order. A match-end mark ends the group's match there
// (what follows is only looked at); a lazy or greedy child's rest is the
// same concatenation.
void ScreenBuilder::Seq(const Elt& group, std::uint32_t from, int in, int out) {
  int cur = in;
  for (std::uint32_t i = from; i < group.children.count() && !failed_; ++i) {
    const Elt& c = group.children[i];
    if (IsOp(c, 'p') || IsOp(c, 'P')) {
      Link(cur, out, Screen::kFree);
      continue;
    }
    if (IsOp(c, 'e')) continue;
    if (OperandTakesRest(c)) return AnyRun(cur, out);
    const int next = Node();
    Rep(c, cur, next);
    cur = next;
  }
  Link(cur, out, Screen::kFree);
}

// Alternation: each alternative, a lazy or greedy one followed by the
// alternatives after it as a sequence (its rest).
void ScreenBuilder::Alt(const Elt& e, int in, int out) {
  for (std::uint32_t i = 0; i < e.children.count() && !failed_; ++i) {
    const Elt& c = e.children[i];
    if (IsOp(c, 'p')) continue;
    if (IsOp(c, 'P')) {
      Link(in, out, Screen::kAtEnd);
      continue;
    }
    if (OperandTakesRest(c)) {
      AnyRun(in, out);
    } else if (TakesRest(c)) {
      const int mid = Node();
      Rep(c, in, mid);
      Seq(e, i + 1, mid, out);
    } else {
      Rep(c, in, out);
    }
  }
}

Screen::Screen() {
  accept_ = NewNode(false);
  std::fill(std::begin(single_), std::end(single_), -1);
}

int Screen::NewNode(bool mapped) {
  nodes_.push_back({{}, mapped});
  return int(nodes_.size() - 1);
}

int Screen::SetOf(const ByteSet256& bytes) {
  std::string key(256, '0');
  for (std::size_t b = 0; b < 256; ++b) key[b] = bytes[b] ? '1' : '0';
  auto [it, added] = set_ids_.try_emplace(key, int(sets_.size()));
  if (added) sets_.push_back(bytes);
  return it->second;
}

// Words make one set per byte: each is keyed once.
int Screen::SetOfByte(char c) {
  int& id = single_[static_cast<unsigned char>(c)];
  if (id < 0) {
    ByteSet256 one(256, false);
    one[static_cast<unsigned char>(c)] = true;
    id = SetOf(one);
  }
  return id;
}

// The matcher matches the root once, whatever its own repetition says. A
// pattern too large to lay out holds everywhere.
void Screen::AddPattern(const CStrRegexStruct& root) {
  const std::size_t saved = nodes_.size();
  const int in = NewNode(true);
  ScreenBuilder b(*this);
  b.Elem(root, in, accept_);
  if (b.failed()) {
    nodes_.resize(saved);
    const int all = NewNode(true);
    nodes_[std::size_t(all)].out.push_back({accept_, kFree});
    starts_.push_back(all);
    return;
  }
  starts_.push_back(in);
}

void Screen::AddWord(std::string_view word) {
  const int in = NewNode(false);
  int cur = NewNode(false);
  nodes_[std::size_t(in)].out.push_back({cur, kAtStart});
  for (char c : word) {
    const int next = NewNode(false);
    nodes_[std::size_t(cur)].out.push_back({next, SetOfByte(c)});
    cur = next;
  }
  nodes_[std::size_t(cur)].out.push_back({accept_, kAtEnd});
  anchored_.push_back(in);
}

void Screen::AddContained(std::string_view word) {
  const int in = NewNode(false);
  int cur = in;
  for (char c : word) {
    const int next = NewNode(false);
    nodes_[std::size_t(cur)].out.push_back({next, SetOfByte(c)});
    cur = next;
  }
  nodes_[std::size_t(cur)].out.push_back({accept_, kFree});
  starts_.push_back(in);
}

void Screen::SetMap(const SubjectMap& map) {
  map_ = map;
  prepared_ = false;
}

// Bytes that every set, the map, the pair rules and the cut key treat alike
// share a column of the transition tables.
void Screen::Prepare(int cut_key) {
  std::unordered_map<std::string, int> ids;
  for (int b = 0; b < 256; ++b) {
    const auto u = static_cast<unsigned char>(b);
    std::string sig;
    for (const ByteSet256& s : sets_) sig += s[u] ? '1' : '0';
    sig += IsLeadByte(u) ? 'L' : '-';
    sig += IsTrailByte(u) ? 'T' : '-';
    sig += map_.stop[u] ? 'S' : '-';
    sig += b == 0 ? 'Z' : '-';
    sig += b == cut_key ? 'K' : '-';
    sig += map_.as[u];
    sig += '\x01' + std::to_string(map_.as[u].empty() ? -1 : b);
    class_of_[u] = static_cast<unsigned char>(ids.try_emplace(sig, int(ids.size())).first->second);
  }
  classes_ = int(ids.size());
  cut_key_ = cut_key;
  for (int b = 0; b < 256; ++b) growth_[b] = std::uint8_t(map_.as[b].empty() ? 1 : map_.as[b].size());
  for (Dfa& d : dfa_) Reset(d);
  dfa_[1].mapped = dfa_[2].mapped = true;
  dfa_[2].cut = cut_key;
  seen_.assign(nodes_.size(), 0);
  prepared_ = true;
}

void Screen::Reset(Dfa& d) {
  d.next.assign(std::size_t(classes_), 0);  // state 0 accepts, whatever follows
  d.flags.assign(1, kEnd);
  d.nodes.assign(1, {});
  d.ids.clear();
  d.start = -1;
}

// Follows the edges that take no byte. A free edge between the two kinds
// of node never exists, so mapped_only restricts to the mapped ones.
void Screen::Closure(std::vector<int>& nodes, bool at_start, bool at_end, bool mapped_only) const {
  if (++epoch_ == 0) {
    std::fill(seen_.begin(), seen_.end(), 0);
    epoch_ = 1;
  }
  std::vector<int> stack;
  stack.swap(nodes);
  for (int n : stack) seen_[std::size_t(n)] = epoch_;
  while (!stack.empty()) {
    const int n = stack.back();
    stack.pop_back();
    nodes.push_back(n);
    for (const Edge& e : nodes_[std::size_t(n)].out) {
      const bool pass = e.set == kFree || (e.set == kAtStart && at_start) || (e.set == kAtEnd && at_end);
      if (!pass || seen_[std::size_t(e.to)] == epoch_) continue;
      if (mapped_only && !nodes_[std::size_t(e.to)].mapped && e.to != accept_) continue;
      seen_[std::size_t(e.to)] = epoch_;
      stack.push_back(e.to);
    }
  }
}

void Screen::Move(const std::vector<int>& from, unsigned char b, bool mapped, std::vector<int>& to) const {
  for (int n : from) {
    if (nodes_[std::size_t(n)].mapped != mapped) continue;
    for (const Edge& e : nodes_[std::size_t(n)].out)
      if (e.set >= 0 && sets_[std::size_t(e.set)][b]) to.push_back(e.to);
  }
  std::sort(to.begin(), to.end());
  to.erase(std::unique(to.begin(), to.end()), to.end());
}

void Screen::AddStarts(std::vector<int>& nodes, bool mapped_only) const {
  for (int s : starts_)
    if (!mapped_only || nodes_[std::size_t(s)].mapped) nodes.push_back(s);
  std::sort(nodes.begin(), nodes.end());
  nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
}

// The mapped nodes after the bytes that b becomes; each byte of an entity
// is a character of its own, where the patterns are tried again.
std::vector<int> Screen::MapStep(std::vector<int> nodes, unsigned char b) const {
  const std::string& as = map_.as[b];
  for (std::size_t i = 0; i + 1 < as.size(); ++i) {
    std::vector<int> next;
    Move(nodes, static_cast<unsigned char>(as[i]), true, next);
    AddStarts(next, true);
    Closure(next, false, false, true);
    if (std::find(next.begin(), next.end(), accept_) != next.end()) return {accept_};
    nodes.swap(next);
  }
  std::vector<int> last;
  Move(nodes, static_cast<unsigned char>(as.back()), true, last);
  return last;
}

std::int32_t Screen::Intern(Dfa& d, std::vector<int>& nodes, bool mid, bool initial) {
  std::sort(nodes.begin(), nodes.end());
  if (std::binary_search(nodes.begin(), nodes.end(), accept_)) return 0;
  std::string key(reinterpret_cast<const char*>(nodes.data()), nodes.size() * sizeof(int));
  key += mid ? 'm' : '-';
  key += initial ? 'i' : '-';
  if (auto it = d.ids.find(key); it != d.ids.end()) return it->second;
  if (d.nodes.size() >= kMaxScreenStates) return -1;
  const auto row = std::int32_t(d.nodes.size()) * std::int32_t(classes_);
  d.ids.emplace(std::move(key), row);
  // Where the subject ends here: the end-guarded edges, and a last try of
  // every entry at the end.
  std::vector<int> end = nodes;
  if (!mid) AddStarts(end, false);
  if (initial) end.insert(end.end(), anchored_.begin(), anchored_.end());
  Closure(end, initial, true, false);
  const bool holds = std::find(end.begin(), end.end(), accept_) != end.end();
  d.flags.push_back(std::uint8_t((mid ? kMid : 0) | (holds ? kEnd : 0)));
  d.nodes.push_back(std::move(nodes));
  d.next.resize(d.next.size() + std::size_t(classes_), -1);
  return row;
}

std::int32_t Screen::Start(Dfa& d) {
  if (d.start < 0) {
    std::vector<int> nodes = anchored_;
    AddStarts(nodes, false);
    Closure(nodes, true, false, false);
    d.start = Intern(d, nodes, false, true);
    if (d.start < 0) d.start = 0;
  }
  return d.start;
}

// The row after byte b from row s; built the first time. 0 also where the
// text cannot be refused (a NUL, a stop of the map, a broken pair) and when
// the automaton is full (it then starts again with the next text). With a
// cut key, the key at a character start ends one piece and starts the next.
std::int32_t Screen::Next(Dfa& d, std::int32_t s, unsigned char b) {
  const std::uint8_t f = d.flags[std::size_t(s / classes_)];
  const bool mid = f & kMid;
  std::int32_t t = 0;
  const bool broken = d.mapped && ((mid && map_.strict_pairs && !IsTrailByte(b)) || (!mid && map_.stop[b]));
  if (d.cut == b && !mid) {
    t = (f & kEnd) ? 0 : Start(d);
  } else if (b != 0 && !broken) {
    const std::vector<int>& from = d.nodes[std::size_t(s / classes_)];
    std::vector<int> to;
    Move(from, b, false, to);
    std::vector<int> m;
    if (!d.mapped || mid || map_.as[b].empty()) Move(from, b, true, m);
    else m = MapStep(from, b);
    to.insert(to.end(), m.begin(), m.end());
    const bool now_mid = !mid && IsLeadByte(b);
    if (!now_mid) AddStarts(to, false);
    Closure(to, false, false, false);
    t = Intern(d, to, now_mid, false);
    if (t < 0) {
      Reset(d);
      return 0;
    }
  }
  d.next[std::size_t(s) + class_of_[b]] = t;
  return t;
}

// The row after text from row s, or 0.
std::int32_t Screen::Run(Dfa& d, std::int32_t s, std::string_view text) {
  const std::int32_t* next = d.next.data();
  for (char c : text) {
    const auto b = static_cast<unsigned char>(c);
    std::int32_t t = next[std::size_t(s) + class_of_[b]];
    if (t <= 0) {
      if (t == 0) return 0;
      t = Next(d, s, b);
      if (t == 0) return 0;
      next = d.next.data();  // the table may have grown
    }
    s = t;
  }
  return s;
}

// A lead byte that ends the subject stands alone there: the state after it
// (kMid) cannot tell.
bool Screen::Ends(const Dfa& d, std::int32_t s) const {
  return s != 0 && !(d.flags[std::size_t(s / classes_)] & (kEnd | kMid));
}

bool Screen::Refuses(std::string_view text, bool mapped) {
  if (empty()) return true;
  if (!prepared_) Prepare(cut_key_);
  Dfa& d = dfa_[mapped ? 1 : 0];
  return Ends(d, Run(d, Start(d), text));
}

// One pass: the cut key ends a piece in the table (cut_), its subject's
// length is counted beside it.
bool Screen::RefusesEach(std::string_view text, char key, std::size_t max_subject, bool mapped) {
  if (empty()) return true;
  const int k = static_cast<unsigned char>(key);
  if (!mapped) return RefusesPieces(text, key, max_subject, mapped);
  if (!prepared_ || cut_key_ != k) Prepare(k);
  Dfa& d = dfa_[2];
  const std::int32_t start = Start(d);
  if (text.size() * kMaxGrowth < max_subject) return Ends(d, Run(d, start, text));
  std::int32_t s = start;
  std::size_t length = 0;
  const std::int32_t* next = d.next.data();
  for (char c : text) {
    const auto b = static_cast<unsigned char>(c);
    std::int32_t t = next[std::size_t(s) + class_of_[b]];
    if (t <= 0) {
      if (t == 0) return false;
      t = Next(d, s, b);
      if (t == 0) return false;
      next = d.next.data();
    }
    length = t == start ? 0 : length + growth_[b];  // the start follows only a cut
    if (length >= max_subject) return false;
    s = t;
  }
  return length < max_subject && Ends(d, s);  // the last piece, also an empty one
}

std::size_t Screen::SubjectLength(std::string_view text, bool mapped) const {
  if (!mapped) return text.size();
  std::size_t n = 0;
  for (char c : text) n += map_.as[static_cast<unsigned char>(c)].empty() ? 1 : map_.as[static_cast<unsigned char>(c)].size();
  return n;
}

// Piece by piece, for texts that may hold a long piece.
bool Screen::RefusesPieces(std::string_view text, char key, std::size_t max_subject, bool mapped) {
  std::size_t begin = 0;
  for (std::size_t i = 0;; ++i) {
    if (i < text.size() && text[i] != key) continue;
    const std::string_view piece = text.substr(begin, i - begin);
    // A key inside a pair is no cut; the piece before it then ends in a
    // lead byte at a character start, which Refuses never refuses.
    if (SubjectLength(piece, mapped) >= max_subject || !Refuses(piece, mapped)) return false;
    if (i >= text.size()) return true;
    begin = i + 1;
  }
}

}  // namespace norvelle
