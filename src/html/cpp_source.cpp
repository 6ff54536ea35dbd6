#include "html/cpp_source.h"

#include <charconv>
#include <cstddef>
#include <cstdint>

#include "text/dbcs.h"
#include "html/escape.h"
#include "html/html5_attrs.h"

namespace norvelle {

using namespace std::string_view_literals;

namespace {

// Byte classes of the scanner, as bits: one byte may be in several sets.
enum : std::uint8_t {
  kWordStart = 1,  // a-z A-Z _ #: opens a word
  kWordBody = 2,   // a-z A-Z 0-9 _ #
  kDigit = 4,      // 0-9: opens a number
  kNumBody = 8,    // 0-9 a-z A-Z .
  kBlankByte = 16,  // blank, TAB, LF: what a whitespace token is made of
  kMayStart = 32,   // ' " / and the word and number starts: may open a token
  kLeadByte = 64    // a pair's first byte
};

struct ByteTable {
  std::uint8_t cls[256];
  constexpr ByteTable() : cls() {
    for (int c = 'a'; c <= 'z'; ++c) cls[c] = kWordStart | kWordBody | kNumBody;
    for (int c = 'A'; c <= 'Z'; ++c) cls[c] = kWordStart | kWordBody | kNumBody;
    for (int c = '0'; c <= '9'; ++c) cls[c] = kWordBody | kDigit | kNumBody;
    cls[static_cast<unsigned char>('_')] = kWordStart | kWordBody;
    cls[static_cast<unsigned char>('#')] = kWordStart | kWordBody;
    cls[static_cast<unsigned char>('.')] = kNumBody;
    cls[static_cast<unsigned char>(' ')] = kBlankByte;
    cls[static_cast<unsigned char>('\t')] = kBlankByte;
    cls[static_cast<unsigned char>('\n')] = kBlankByte;
    for (int c = 0; c < 256; ++c) {
      if (cls[c] & (kWordStart | kDigit)) cls[c] |= kMayStart;
      if (IsLeadByte(static_cast<unsigned char>(c))) cls[c] |= kLeadByte;
    }
    for (char c : {'\'', '"', '/'}) cls[static_cast<unsigned char>(c)] |= kMayStart;
  }
};
constexpr ByteTable kBytes{};

inline bool Is(char c, std::uint8_t set) { return kBytes.cls[static_cast<unsigned char>(c)] & set; }

// The state whose token starts at p, or kStateOther for an ordinary byte.
CppState StartedBy(const char* p, const char* e) {
  switch (*p) {
    case '\'': return kStateChar;
    case '"': return kStateString;
    case '/':
      if (p + 1 < e && p[1] == '/') return kStateLineComment;
      if (p + 1 < e && p[1] == '*') return kStateBlockComment;
      return kStateOther;
    default:
      if (Is(*p, kWordStart)) return kStateWord;
      if (Is(*p, kDigit)) return kStateNumber;
      return kStateOther;
  }
}

// Each scanner below returns the bytes it consumed from p and sets *next when
// it leaves its state; running into the end leaves *next untouched.

std::size_t ScanOther(const char* p, const char* e, CppState* next) {
  const char* q = p;
  while (q < e) {
    const std::uint8_t c = kBytes.cls[static_cast<unsigned char>(*q)];
    if (c & kMayStart) {
      const CppState s = StartedBy(q, e);
      if (s != kStateOther) {
        *next = s;
        break;
      }
    }
    // A pair's trail byte never starts a token.
    q += (c & kLeadByte) && q + 1 < e && q[1] != 0 ? 2 : 1;
  }
  return std::size_t(q - p);
}

// Words and numbers: a run of bytes of one set, with no pair handling (a lead
// byte is in neither set, so it ends the run).
std::size_t ScanRun(const char* p, const char* e, std::uint8_t set, CppState* next) {
  const char* q = p;
  while (q < e && Is(*q, set)) ++q;
  if (q < e) *next = kStateOther;
  return std::size_t(q - p);
}

// A character or string literal from its opening quote. A backslash takes
// the next non-zero byte even when it is a lead byte, whose trail then stands alone.
std::size_t ScanQuoted(const char* p, const char* e, char quote, CppState* next) {
  const char* q = p + 1;
  while (q < e) {
    if (*q == '\\' && q + 1 < e && q[1] != 0) {
      q += 2;
    } else if (*q == quote) {
      *next = kStateOther;
      return std::size_t(q + 1 - p);
    } else {
      q = NextChar(q, e);  // a trail byte 0x5C is not a backslash
    }
  }
  return std::size_t(e - p);
}

std::size_t ScanLineComment(const char* p, const char* e, CppState* next) {
  std::size_t lf = FindChar(std::string_view(p, std::size_t(e - p)), '\n');
  if (lf == std::string_view::npos) return std::size_t(e - p);
  *next = kStateOther;
  return lf + 1;
}

// "*/" is searched from the comment's own "/", so "/*/" already closes.
std::size_t ScanBlockComment(const char* p, const char* e, CppState* next) {
  for (const char* q = p; q < e; q = NextChar(q, e)) {
    if (*q == '*' && q + 1 < e && q[1] == '/') {
      *next = kStateOther;
      return std::size_t(q + 2 - p);
    }
  }
  return std::size_t(e - p);
}

bool IsWhitespace(std::string_view text) {
  for (char c : text)
    if (!Is(c, kBlankByte)) return false;
  return true;
}

}  // namespace

int ColourClassOf(const TarnCPPSymbol& sym, const CppKeywordSet& keywords) {
  switch (sym.kind) {
    case kStateWord: return keywords.Contains(sym.text.view()) ? kClassKeyword : kClassSymbol;
    case kStateChar: return kClassChar;
    case kStateString: return kClassString;
    case kStateLineComment:
    case kStateBlockComment: return kClassComment;
    case kStateNumber: return kClassNumber;
    default:  // only here can a token be all blanks: every other state starts at its own byte
      return IsWhitespace(sym.text.view()) ? kClassWhitespace : kClassNormal;
  }
}

namespace {

constexpr const char* kKeywords[] = {
    // keywords
    "asm", "auto", "bad_cast", "bad_typeid", "bool", "break", "case", "catch", "char", "class",
    "const", "const_cast", "continue", "default", "delete", "do", "double", "dynamic_cast", "else",
    "enum", "except", "explicit", "extern", "false", "finally", "float", "for", "friend", "goto",
    "if", "inline", "int", "long", "mutable", "namespace", "new", "operator", "private",
    "protected", "public", "register", "reinterpret_cast", "return", "short", "signed", "sizeof",
    "static", "static_cast", "struct", "switch", "template", "this", "throw", "true", "try",
    "type_info", "typedef", "typeid", "typename", "union", "unsigned", "using", "virtual", "void",
    "volatile", "while",
    // directives
    "#define", "#error", "#import", "#undef", "#elif", "#if", "#include", "#else", "#ifdef",
    "#line", "#endif", "#ifndef", "#pragma"};
static_assert(sizeof kKeywords / sizeof kKeywords[0] == 79);

// The literals of a listing in each profile. A colour is opened up to its
// value (ColourValue), which is closed by "\">".
struct ListingMarkup {
  std::string_view head_numbered;  // up to the line-number colour
  std::string_view numbers_end;
  std::string_view head_code;      // up to the first token's colour
  std::string_view head_plain;
  std::string_view change;         // closes one colour and opens the next
  std::string_view tail;
};
constexpr ListingMarkup kMarkup[2] = {
    {"<table><tr><td><tt><b><font color=\"#", "</font></b></tt>", "<td><tt><b><nobr><font color=\"#",
     "<table><tr><td><tt><b><nobr><font color=\"#", "</font><font color=\"#",
     "&nbsp;</font></nobr></b></tt></tr></table>"},
    {"<table class=\"nv-src\"><tr><td><code><b><span ", "</span></b></code>",
     "<td><code><b><span class=\"nv-nobr\"><span ",
     "<table class=\"nv-src\"><tr><td><code><b><span class=\"nv-nobr\"><span ", "</span><span ",
     "&nbsp;</span></span></b></code></tr></table>"},
};
constexpr std::string_view kEmptyColour = "000000\">";
constexpr std::string_view kBreak = "<br>";

// A colour's value: the colour itself after "#"; in HTML5 the class of the
// style block, or a style of its own when the rules switched colours since.
void ColourValue(const SourceBlockInput& in, EscapeBuffer& out, ListingColour c) {
  if (in.profile == kHtml401) {
    out.Raw((*in.colours)[c].view());
  } else if (in.colour_classes) {
    out.Raw("class=\""sv);
    out.Raw(ListingClass(c));
  } else {
    out.Raw("style=\"color:"sv);
    out.Raw(CssColour((*in.colours)[c].view()));
  }
}

// "<  9>", "< 10>", "<100>": numbers padded to three places with &nbsp;.
void AppendLineNumbers(EscapeBuffer& out, std::size_t count) {
  for (std::size_t n = 1; n <= count; ++n) {
    if (n > 1) out.Raw(kBreak);  // none after the last number
    out.Raw(n < 10 ? "&lt;&nbsp;&nbsp;"sv : n < 100 ? "&lt;&nbsp;"sv : "&lt;"sv);
    char digits[24];
    auto res = std::to_chars(digits, digits + sizeof digits, n);
    out.Raw(std::string_view(digits, std::size_t(res.ptr - digits)));
    out.Raw("&gt;"sv);
  }
}

void AppendHead(const SourceBlockInput& in, EscapeBuffer& out) {
  const ListingMarkup& m = kMarkup[in.profile];
  if (in.line_numbers) {
    out.Raw(m.head_numbered);
    ColourValue(in, out, ListingColour::kLine);
    out.Raw("\">"sv);
    AppendLineNumbers(out, in.line_count);
    out.Raw(m.numbers_end);
    out.Raw(m.head_code);
  } else {
    out.Raw(m.head_plain);
  }
}

// Writes one block: its head, then the classified tokens, through an escape
// buffer.
class ListingWriter {
 public:
  ListingWriter(const SourceBlockInput& in, std::string& body, const SourceProgress& progress)
      : in_(in), out_(body), progress_(progress) {
    AppendHead(in_, out_);
    // Classes of equal colour share one number: one comparison per token.
    for (int c = 0; c < kShades; ++c) {
      shade_[c] = c;
      for (int d = 0; d < c; ++d)
        if (in_.colours->ForClass(kClassNormal + c) == in_.colours->ForClass(kClassNormal + d)) {
          shade_[c] = d;
          break;
        }
    }
  }

  // Returns false when the progress callback cancelled.
  bool Write(const TarnCPPSymbol& sym) {
    if (!wrote_any_) {
      wrote_any_ = true;
      current_ = sym.kind == kClassWhitespace ? kClassNormal : sym.kind;
      ColourValue(in_, out_, ColourOfClass(current_));
      out_.Raw("\">"sv);
    } else if (sym.kind != kClassWhitespace && sym.kind != current_ &&
               Shade(sym.kind) != Shade(current_)) {
      // Classes of equal colour share one font tag; the current class stays.
      out_.Raw(kMarkup[in_.profile].change);
      ColourValue(in_, out_, ColourOfClass(sym.kind));
      out_.Raw("\">"sv);
      current_ = sym.kind;
    }
    // Each token on its own: a lead byte that ends one is dropped. Words
    // and numbers are letters, digits, '_', '#' and '.' only: nothing to
    // escape.
    if (sym.kind == kClassSymbol || sym.kind == kClassKeyword || sym.kind == kClassNumber)
      out_.Raw(sym.text.view());
    else
      lines_ += out_.ConvertedLines(sym.text.view(), in_.tab_string);
    if (++counted_ == kProgressTokens) {
      // The progress position counts the line feeds written so far; the
      // callback may spill the body, so it gets everything written.
      out_.Flush();
      if (progress_ && progress_(in_.progress_base + lines_)) return false;
      counted_ = 0;
    }
    return true;
  }

  bool wrote_any() const { return wrote_any_; }
  void Finish() { out_.Flush(); }

 private:
  // Classes 101..108; any other value has the normal colour (ForClass).
  static constexpr int kShades = 8;
  int Shade(int cls) const {
    const int c = cls - kClassNormal;
    return c >= 0 && c < kShades ? shade_[c] : shade_[0];
  }

  const SourceBlockInput& in_;
  EscapeBuffer out_;
  const SourceProgress& progress_;
  int shade_[kShades];
  int current_ = kClassNormal;
  int lines_ = 0;    // line feeds replaced so far in this block
  int counted_ = 0;  // tokens since the last progress report
  bool wrote_any_ = false;
};

}  // namespace

CppKeywordSet::CppKeywordSet() {
  for (const char* k : kKeywords) {
    std::size_t h = Hash(k);
    while (!slots_[h].empty()) h = (h + 1) % kSlots;
    slots_[h] = k;
  }
}

bool CppKeywordSet::Contains(std::string_view word) const {
  if (word.size() < kShortest || word.size() > kLongest) return false;
  for (std::size_t h = Hash(word); !slots_[h].empty(); h = (h + 1) % kSlots)
    if (slots_[h] == word) return true;
  return false;
}

void CppScanner::Read(TarnCPPSymbol& sym) {
  sym.kind = state_;
  std::size_t n = 0;
  if (p_ < end_) {
    switch (state_) {
      case kStateOther: n = ScanOther(p_, end_, &state_); break;
      case kStateWord: n = ScanRun(p_, end_, kWordBody, &state_); break;
      case kStateChar: n = ScanQuoted(p_, end_, '\'', &state_); break;
      case kStateString: n = ScanQuoted(p_, end_, '"', &state_); break;
      case kStateLineComment: n = ScanLineComment(p_, end_, &state_); break;
      case kStateBlockComment: n = ScanBlockComment(p_, end_, &state_); break;
      case kStateNumber: n = ScanRun(p_, end_, kNumBody, &state_); break;
    }
  }
  sym.text.Assign(p_, n);
  p_ += n;
}

bool WriteSourceBlock(const SourceBlockInput& in, const CppKeywordSet& keywords, std::string& body,
                      const SourceProgress& progress) {
  CppScanner scanner(in.text);
  bool wrote_any = false;
  {
    ListingWriter writer(in, body, progress);
    TarnCPPSymbol sym;
    while (!scanner.AtEnd()) {
      scanner.Read(sym);
      if (sym.text.empty()) continue;
      sym.kind = ColourClassOf(sym, keywords);
      if (!writer.Write(sym)) return false;
    }
    writer.Finish();
    wrote_any = writer.wrote_any();
  }
  if (!wrote_any) {  // completes the open font tag
    if (in.profile == kHtml401) {
      body.append(kEmptyColour);
    } else {
      EscapeBuffer out(body);
      ColourValue(in, out, ListingColour::kNormal);
      out.Raw("\">"sv);
      out.Flush();
    }
  }
  body.append(kMarkup[in.profile].tail);
  return true;
}

}  // namespace norvelle
