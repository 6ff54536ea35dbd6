#include "html/escape.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "text/dbcs.h"
#include "text/scan.h"

namespace norvelle {

using namespace std::string_view_literals;

namespace {

// The classes of a mode, and beside them the ASCII bytes that are not
// copied as they are, for the block scan.
struct EscapeTable {
  std::uint8_t cls[256];
  EscapeStops stops;
  std::uint8_t key_natural = kEscCopy;  // what the kEscKey byte is when it is no cut
  constexpr explicit EscapeTable(int mode) : cls() {
    const EscapeClasses classes(mode);
    for (int b = 0; b < 256; ++b) cls[b] = classes.cls[b];
    FindStops();
  }
  constexpr void FindStops() {
    stops = EscapeStops();
    for (int b = 0; b < 0x80; ++b)
      if (cls[b] != kEscCopy) stops.Add(static_cast<unsigned char>(b));
  }
  // What a blank becomes in the block scan: "&nbsp;", or sep when it is the
  // cut key.
  BlankPiece Blank(std::string_view sep) const {
    const std::uint8_t k = cls[std::uint8_t(' ')];
    return {k == kEscBlank ? "&nbsp;"sv : k == kEscKey ? sep : std::string_view(), k == kEscKey};
  }
};
constexpr EscapeTable kEscape[3] = {EscapeTable(0), EscapeTable(1), EscapeTable(2)};

// Room after `full`: the block scan may leave the write position up to 15
// bytes further, then one piece or entity follows.
constexpr std::size_t kSlack = EscapeBuffer::kSlack;
// Room a block with blanks needs: sixteen pieces of up to 8 bytes and one store.
constexpr std::ptrdiff_t kBlankRoom = 16 * 8 + 16;

// Where the escaping writes, and the buffer's flush.
struct EscapeOut {
  EscapeCursor& c;
  char* const full;
  [[gnu::always_inline]] void Flush(char*& w) const {
    c.w = w;
    c.Flush();
    w = c.w;
  }
};

// A run of double-byte characters at p (a lead byte), copied while it lasts.
// True when it ends in a lead byte without a trail byte: that byte is
// dropped, p is left at the byte after it and k gets that byte's class as a
// character of its own (a key byte there is no cut). False when the loop
// goes on at p.
[[gnu::always_inline]] inline bool CopyPairs(const unsigned char*& p, const unsigned char* e, char*& w,
                                             const char* full, const EscapeTable& t, std::uint8_t& k) {
  unsigned char ch = *p;
  while (p + 1 < e && IsTrailByte(p[1]) && w < full) {
    w[0] = static_cast<char>(ch);
    w[1] = static_cast<char>(p[1]);
    w += 2;
    p += 2;
    if (p >= e || t.cls[ch = *p] != kEscLead) break;
  }
  if (p >= e || t.cls[*p] != kEscLead || (p + 1 < e && IsTrailByte(p[1]))) return false;
  if (++p == e) return false;
  k = t.cls[*p] == kEscKey ? t.key_natural : t.cls[*p];
  return true;
}

// A TAB's or a key's piece: into the buffer when it fits before the buffer's
// end (always for a piece up to 16 bytes; the next round flushes past
// `full`), else straight to the output.
template <bool kSized>
[[gnu::always_inline]] inline void PutPiece(std::string_view piece, char*& w, const EscapeOut& out) {
  if (kSized || piece.size() <= std::size_t(out.full + kSlack - w)) {
    if (piece.size() <= 64) CopyShort(w, piece.data(), piece.size());
    else std::memcpy(w, piece.data(), piece.size());
    w += piece.size();
  } else {
    out.Flush(w);
    out.c.out->append(piece);
  }
}

// What a byte of class k (neither copied nor a lead byte) becomes; true for a LF.
template <bool kSized>
[[gnu::always_inline]] inline bool PutSpecial(std::uint8_t k, char*& w, const EscapeOut& out,
                                              std::string_view tab, std::string_view sep) {
  switch (k) {
    case kEscBlank:
    case kEscQuote:
    case kEscAmp:
    case kEscLt:
    case kEscGt: w = PutEntity(w, k); return false;
    case kEscTab: PutPiece<kSized>(tab, w, out); return false;
    case kEscKey: PutPiece<kSized>(sep, w, out); return false;
    default:
      std::memcpy(w, "<br>\n", 5);
      w += 5;
      return true;
  }
}

// Escapes text into c's buffer; kEscKey bytes write sep. Blocks of sixteen
// bytes go through the block scan while they need little; the byte loop
// takes the rest. The positions are kept in locals (the helpers are always
// inlined): stores through char* could otherwise alias them. kSized: the
// buffer has room for the worst case (every byte its longest piece, then
// kSlack), so it is never flushed and c.out is not used.
template <bool kSized>
int EscapeInto(EscapeCursor& c, std::string_view text, std::string_view tab, const EscapeTable& t,
               std::string_view sep = {}) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* const e = p + text.size();
  char* w = c.w;
  const EscapeOut out{c, c.full};
  const Scan::EscapeBlocks blocks(t.stops, t.Blank(sep), text.size() >= 16);
  int lines = 0;
  while (p < e) {
    if (!kSized && w >= out.full) out.Flush(w);
    if (e - p >= 16 && blocks.Block(p, e, w, kSized || out.full - w >= kBlankRoom)) continue;
    std::uint8_t k = t.cls[*p];
    if (k == kEscLead && !CopyPairs(p, e, w, out.full, t, k)) continue;
    if (k == kEscCopy) {
      *w++ = static_cast<char>(*p++);
      continue;
    }
    lines += PutSpecial<kSized>(k, w, out, tab, sep);
    ++p;
  }
  c.w = w;
  return lines;
}

// Texts up to this size are written straight into the string's spare room
// (a line or a word: most calls); longer ones go through a buffer on the
// stack, one append per few kilobytes, so that the room asked for stays small.
constexpr std::size_t kDirect = 4096;
constexpr std::size_t kBuf = 8192;

int EscapeLong(std::string& out, std::string_view text, std::string_view tab, const EscapeTable& t,
               std::string_view sep) {
  char buf[kBuf];
  EscapeCursor c{buf, buf, buf + kBuf - kSlack, &out};
  const int lines = EscapeInto<false>(c, text, tab, t, sep);
  c.Flush();
  return lines;
}

int Escape(std::string& out, std::string_view text, std::string_view tab, const EscapeTable& t,
           std::string_view sep = {}) {
#ifdef __cpp_lib_string_resize_and_overwrite
  if (text.size() <= kDirect) {
    const std::size_t widest = std::max({std::size_t(6), tab.size(), sep.size()});
    const std::size_t old = out.size();
    int lines = 0;
    out.resize_and_overwrite(old + text.size() * widest + kSlack, [&](char* p, std::size_t n) {
      EscapeCursor c{p + old, p + old, p + n, nullptr};
      lines = EscapeInto<true>(c, text, tab, t, sep);
      return std::size_t(c.w - p);
    });
    return lines;
  }
#endif
  return EscapeLong(out, text, tab, t, sep);
}

}  // namespace

void AppendHtmlEscaped(std::string& out, std::string_view text) { Escape(out, text, {}, kEscape[0]); }

void AppendConverted(std::string& out, std::string_view text, std::string_view tab_string) {
  Escape(out, text, tab_string, kEscape[1]);
}

int AppendConvertedLines(std::string& out, std::string_view text, std::string_view tab_string) {
  return Escape(out, text, tab_string, kEscape[2]);
}

bool CanCutWhileConverting(char key) {
  const auto k = static_cast<unsigned char>(key);
  return k != 0 && !IsLeadByte(k);
}

void AppendConvertedCut(std::string& out, std::string_view text, std::string_view tab_string, char key,
                        std::string_view sep) {
  // Called once per line with the same key: the table is made when the key changes.
  thread_local EscapeTable t = kEscape[1];
  thread_local int made_for = -1;
  const auto k = static_cast<unsigned char>(key);
  if (made_for != k) {
    t = kEscape[1];
    t.key_natural = t.cls[k];
    t.cls[k] = kEscKey;
    t.FindStops();
    made_for = k;
  }
  Escape(out, text, tab_string, t, sep);
}

void EscapeBuffer::RawLong(std::string_view s) {
  c_.Flush();
  c_.out->append(s);
}

int EscapeBuffer::ConvertedLinesLong(std::string_view text, std::string_view tab_string) {
  const int lines = EscapeInto<false>(c_, text, tab_string, kEscape[2]);
  if (c_.w >= c_.full) c_.Flush();
  return lines;
}

}  // namespace norvelle
