// Pattern compilation: one walk over the pattern text that builds the element
// tree in place. Children are created inside their parent's array and filled
// there, never built aside and copied, so no deep copy happens while
// compiling; the nesting cap keeps every later recursive walk of the tree
// (matching, copying, destroying) shallow.
#include <climits>
#include <cstring>

#include "text/dbcs.h"
#include "pattern/regex.h"

namespace norvelle {
namespace {

// What the character after "%" (and its modifier and numbers) does.
enum class Escape : unsigned char {
  kUnknown,   // dropped with its "%"; the character is read again as text
  kOpen,      // "(", "{", "[": a group
  kClose,     // ")", "}", "]": closes whichever group is open
  kRange,     // "-": two bound characters follow
  kMark,      // "$", "P", "^", "e", "p": modifier and numbers are dropped
  kIndexed,   // "U", "V", "h", "t", "u", "v": first number is the index
  kOperator,  // every other operator
  kOperand,   // "z": takes the next items as its operand
};

struct EscapeTable {
  Escape kind[256];
  constexpr EscapeTable() : kind() {
    const char* ops = "?ABCDGHIJKLNSTUVWXYabcdghijklnstuvwxy";
    for (const char* p = ops; *p; ++p) kind[static_cast<unsigned char>(*p)] = Escape::kOperator;
    for (unsigned char c : {'(', '{', '['}) kind[c] = Escape::kOpen;
    for (unsigned char c : {')', '}', ']'}) kind[c] = Escape::kClose;
    for (unsigned char c : {'$', 'P', '^', 'e', 'p'}) kind[c] = Escape::kMark;
    for (unsigned char c : {'U', 'V', 'h', 't', 'u', 'v'}) kind[c] = Escape::kIndexed;
    kind[static_cast<unsigned char>('-')] = Escape::kRange;
    kind[static_cast<unsigned char>('z')] = Escape::kOperand;
  }
};
inline constexpr EscapeTable kEscapes{};

constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool IsModifier(char c) { return c == '+' || c == '*' || c == '!' || c == '/'; }

// Decimal digits at p, saturating at INT_MAX; -1 when there are none.
int ReadNumber(const char*& p, const char* end) {
  if (p >= end || !IsDigit(*p)) return -1;
  int n = 0;
  for (; p < end && IsDigit(*p); ++p) {
    const int d = *p - '0';
    n = n > (INT_MAX - d) / 10 ? INT_MAX : n * 10 + d;
  }
  return n;
}

// The "%" prefix of an escape: modifier and the three numbers.
struct Prefix {
  char modifier = ' ';
  int first = -1;
  int dot = -1;
  int comma = -1;
};

class Compiler {
 public:
  Compiler(const char* p, const char* end) : p_(p), end_(end) {}

  // Appends items to parent until the text ends, a closer is read, or (for a
  // "z" parent) one literal character has been taken.
  void Walk(CStrRegexStruct& parent, int depth);
  const char* cursor() const { return p_; }

 private:
  bool ReadEscape(CStrRegexStruct& parent, int depth);
  bool DropRest();
  void ReadRange(CStrRegexStruct& parent, const Prefix& pre);

  const char* p_;
  const char* end_;
  bool dropped_ = false;  // the nesting cap was hit: nothing more is compiled
};

// A fresh element at the end of parent's children. Elements past the count
// may hold an old value, so it is reset here.
CStrRegexStruct& NewChild(CStrRegexStruct& parent, int kind) {
  CStrRegexStruct& e = parent.children.Add();
  e = CStrRegexStruct{};
  e.kind = kind;
  return e;
}

CStrRegexStruct& NewChild(CStrRegexStruct& parent, int kind, const Prefix& pre) {
  CStrRegexStruct& e = NewChild(parent, kind);
  e.modifier = pre.modifier;
  e.count = pre.first;
  e.index = pre.dot;
  e.maximum = pre.comma;
  return e;
}

void FlushRun(CStrRegexStruct& parent, CStr_base<32>& run) {
  if (run.empty()) return;
  NewChild(parent, kRegexLiteral).literal = std::move(run);
  run.Clear();
}

void Compiler::Walk(CStrRegexStruct& parent, int depth) {
  const bool one_per_char = parent.kind == kRegexAlternation;
  const bool operand = parent.kind == kRegexOperator;
  CStr_base<32> run;
  while (p_ < end_ && !dropped_) {
    if (*p_ == '%' && !(p_ + 1 < end_ && p_[1] == '%')) {
      FlushRun(parent, run);
      if (!ReadEscape(parent, depth)) return;
      continue;
    }
    if (*p_ == '%') {  // "%%" is a literal "%"
      run.AppendChar('%');
      p_ += 2;
    } else {
      const std::size_t n = CharLen(p_, end_);
      run.Append(p_, n);
      p_ += n;
    }
    if (one_per_char || operand) {
      FlushRun(parent, run);
      if (operand) return;
    }
  }
  FlushRun(parent, run);
}

// Reads one escape at p_ ("%" ...). Returns false when it closed the group.
bool Compiler::ReadEscape(CStrRegexStruct& parent, int depth) {
  const char* q = p_ + 1;
  Prefix pre;
  if (q < end_ && IsModifier(*q)) pre.modifier = *q++;
  pre.first = ReadNumber(q, end_);
  if (q < end_ && *q == '.') pre.dot = ReadNumber(++q, end_);
  if (q < end_ && *q == ',') pre.comma = ReadNumber(++q, end_);
  if (q >= end_) {  // a "%" at the end is dropped with what followed it
    p_ = end_;
    return true;
  }
  const char op = *q;
  p_ = q + 1;
  switch (kEscapes.kind[static_cast<unsigned char>(op)]) {
    case Escape::kUnknown:
      p_ = q;
      return true;
    case Escape::kClose:
      return false;
    case Escape::kOpen: {
      if (depth >= kMaxPatternDepth) return DropRest();
      const int kind = op == '(' ? kRegexSequence : op == '{' ? kRegexCapture : kRegexAlternation;
      Walk(NewChild(parent, kind, pre), depth + 1);
      return !dropped_;
    }
    case Escape::kRange:
      ReadRange(parent, pre);
      return true;
    case Escape::kMark:
      NewChild(parent, kRegexOperator).op = op;
      return true;
    case Escape::kIndexed: {
      Prefix swapped = pre;
      swapped.first = pre.dot;
      swapped.dot = pre.first;
      NewChild(parent, kRegexOperator, swapped).op = op;
      return true;
    }
    case Escape::kOperator:
      NewChild(parent, kRegexOperator, pre).op = op;
      return true;
    case Escape::kOperand: {
      if (depth >= kMaxPatternDepth) return DropRest();
      CStrRegexStruct& z = NewChild(parent, kRegexOperator, pre);
      z.op = op;
      Walk(z, depth + 1);
      return !dropped_;
    }
  }
  return true;
}

// A group or "z" past the nesting cap: it and the rest of the pattern are
// not compiled, so every recursive walk of the tree stays within the cap.
bool Compiler::DropRest() {
  dropped_ = true;
  p_ = end_;
  return false;
}

// "%-xy": a double-byte bound is skipped whole and a blank stands for it.
void Compiler::ReadRange(CStrRegexStruct& parent, const Prefix& pre) {
  char bound[2];
  int got = 0;
  while (got < 2 && p_ < end_) {
    const std::size_t n = CharLen(p_, end_);
    bound[got++] = n == 2 ? ' ' : *p_;
    p_ += n;
  }
  if (got < 2) return;
  CStrRegexStruct& e = NewChild(parent, kRegexRange, pre);
  e.range_low = bound[0];
  e.range_high = bound[1];
}

}  // namespace

bool RegexCompile(const char*& pattern, CStrRegexStruct& root) {
  if (root.kind == kRegexEmpty) root.kind = kRegexSequence;
  Compiler c(pattern, pattern + std::strlen(pattern));
  c.Walk(root, 0);
  pattern = c.cursor();
  return true;
}

CStrRegexStruct RegexCompile(std::string_view pattern) {
  CStrRegexStruct root;
  root.kind = kRegexSequence;
  Compiler c(pattern.data(), pattern.data() + pattern.size());
  c.Walk(root, 0);
  return root;
}

}  // namespace norvelle
