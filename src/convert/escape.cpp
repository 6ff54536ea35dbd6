#include "convert/escape.h"

#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "base/dbcs.h"

namespace norvelle {

using namespace std::string_view_literals;

namespace {

// 0: copy; 1: lead byte; 2..: special characters.
enum : std::uint8_t { kCopy, kLead, kBlank, kQuote, kAmp, kLt, kGt, kTab, kLf, kKey };

// One table per mode, so the run of bytes to copy ends at one lookup per
// byte; beside it the ASCII bytes that are not copied as they are, for the
// 16-byte scan.
struct EscapeTable {
  std::uint8_t cls[256];
  unsigned char specials[16];
  int n_specials;
  constexpr explicit EscapeTable(int mode) : cls(), specials(), n_specials(0), low(true) {
    for (int b = 0; b < 256; ++b) cls[b] = IsLeadByte(static_cast<unsigned char>(b)) ? kLead : kCopy;
    cls[static_cast<unsigned char>(' ')] = kBlank;
    cls[static_cast<unsigned char>('"')] = kQuote;
    cls[static_cast<unsigned char>('&')] = kAmp;
    cls[static_cast<unsigned char>('<')] = kLt;
    cls[static_cast<unsigned char>('>')] = kGt;
    if (mode >= 1) cls[static_cast<unsigned char>('\t')] = kTab;
    if (mode >= 2) cls[static_cast<unsigned char>('\n')] = kLf;
    FindSpecials();
  }
  constexpr void FindSpecials() {
    n_specials = 0;
    low = true;
    for (int b = 0; b < 0x80; ++b) {
      if (cls[b] == kCopy) continue;
      specials[n_specials++] = static_cast<unsigned char>(b);
      if (b >= 0x40) low = false;
    }
  }
  // Every ASCII byte to escape is below 0x40: one comparison then finds a
  // superset of them (digits and some punctuation go to the byte loop).
  bool low = true;
};
constexpr EscapeTable kEscape[3] = {EscapeTable(0), EscapeTable(1), EscapeTable(2)};

// The output goes through a buffer on the stack: one append to the string per
// few kilobytes instead of one per piece.
constexpr std::size_t kBuf = 8192;
constexpr std::size_t kPiece = 16;  // tab and separator texts up to this go through the buffer
// Room after `full`: the 16-byte scan may leave the write position up to 15
// bytes further, then one piece or entity follows.
constexpr std::size_t kSlack = 15 + kPiece;

// kKey bytes write sep.
int Escape(std::string& out, std::string_view text, std::string_view tab, const EscapeTable& t,
           std::string_view sep = {}) {
  const std::uint8_t* cls = t.cls;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* const e = p + text.size();
  char buf[kBuf];
  char* w = buf;
  char* const full = buf + kBuf - kSlack;
  auto flush = [&] {
    out.append(buf, std::size_t(w - buf));
    w = buf;
  };
#ifdef __SSE2__
  __m128i spec[16];
  const bool wide = text.size() >= 16;
  if (wide && !t.low)
    for (int i = 0; i < t.n_specials; ++i) spec[i] = _mm_set1_epi8(static_cast<char>(t.specials[i]));
#endif
  int lines = 0;
  while (p < e) {
    if (w >= full) flush();
#ifdef __SSE2__
    // Sixteen bytes at a time while they hold nothing to escape and no byte
    // with the high bit (lead bytes and their pairs go one by one).
    if (wide && e - p >= 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      unsigned mask;
      if (t.low) {
        // Signed: bytes from 0x80 count as below 0x40 too.
        mask = unsigned(_mm_movemask_epi8(_mm_cmplt_epi8(v, _mm_set1_epi8(0x40))));
      } else {
        __m128i hit = _mm_setzero_si128();
        for (int i = 0; i < t.n_specials; ++i) hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, spec[i]));
        mask = unsigned(_mm_movemask_epi8(_mm_or_si128(hit, v)));
      }
      _mm_storeu_si128(reinterpret_cast<__m128i*>(w), v);
      if (mask == 0) {
        p += 16;
        w += 16;
        continue;
      }
      const int safe = __builtin_ctz(mask);
      p += safe;
      w += safe;
    }
#endif
    unsigned char c = *p;
    if (cls[c] == kCopy) {
      *w++ = static_cast<char>(c);
      ++p;
      continue;
    }
    if (cls[c] == kLead) {
      // Whole double-byte characters, as long as they follow each other.
      while (p + 1 < e && p[1] != 0 && w < full) {
        w[0] = static_cast<char>(c);
        w[1] = static_cast<char>(p[1]);
        w += 2;
        p += 2;
        if (p >= e || cls[c = *p] != kLead) break;
      }
      if (p < e && cls[*p] == kLead && (p + 1 >= e || p[1] == 0)) {
        ++p;  // a lead byte at the end has no character: dropped
        if (p < e) *w++ = static_cast<char>(*p++);  // it was followed by NUL: keep the NUL
      }
      continue;
    }
    switch (cls[c]) {
      case kBlank: std::memcpy(w, "&nbsp;", 6); w += 6; break;
      case kQuote: std::memcpy(w, "&quot;", 6); w += 6; break;
      case kAmp: std::memcpy(w, "&amp;", 5); w += 5; break;
      case kLt: std::memcpy(w, "&lt;", 4); w += 4; break;
      case kGt: std::memcpy(w, "&gt;", 4); w += 4; break;
      case kTab:
      case kKey: {
        const std::string_view piece = cls[c] == kTab ? tab : sep;
        if (piece.size() <= kPiece) {
          std::memcpy(w, piece.data(), piece.size());
          w += piece.size();
        } else {
          flush();
          out.append(piece);
        }
        break;
      }
      default:
        std::memcpy(w, "<br>\n", 5);
        w += 5;
        ++lines;
        break;
    }
    ++p;
  }
  flush();
  return lines;
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
    t.cls[k] = kKey;
    t.FindSpecials();
    made_for = k;
  }
  Escape(out, text, tab_string, t, sep);
}

}  // namespace norvelle
