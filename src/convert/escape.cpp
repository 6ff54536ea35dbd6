#include "convert/escape.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "base/dbcs.h"

namespace norvelle {

using namespace std::string_view_literals;

namespace {

// The classes of a mode, and beside them the ASCII bytes that are not
// copied as they are, for the 16-byte scan.
struct EscapeTable {
  std::uint8_t cls[256];
  unsigned char specials[16];
  int n_specials;
  std::uint8_t key_natural = kEscCopy;  // what the kEscKey byte is when it is no cut
  constexpr explicit EscapeTable(int mode) : cls(), specials(), n_specials(0), low(true) {
    const EscapeClasses classes(mode);
    for (int b = 0; b < 256; ++b) cls[b] = classes.cls[b];
    FindSpecials();
  }
  constexpr void FindSpecials() {
    n_specials = 0;
    low = true;
    for (int b = 0; b < 0x80; ++b) {
      if (cls[b] == kEscCopy) continue;
      specials[n_specials++] = static_cast<unsigned char>(b);
      if (b >= 0x40) low = false;
    }
  }
  // Every ASCII byte to escape is below 0x40: one comparison then finds a
  // superset of them (digits and some punctuation go to the byte loop).
  bool low = true;
};
constexpr EscapeTable kEscape[3] = {EscapeTable(0), EscapeTable(1), EscapeTable(2)};

// Room after `full`: the 16-byte scan may leave the write position up to 15
// bytes further, then one piece or entity follows.
constexpr std::size_t kSlack = EscapeBuffer::kSlack;

// Escapes text into c's buffer; kEscKey bytes write sep. The write position is
// kept in a local: stores through char* could otherwise alias it. kSized:
// the buffer has room for the worst case (every byte its longest piece, then
// kSlack), so it is never flushed and c.out is not used.
template <bool kSized>
int EscapeInto(EscapeCursor& c, std::string_view text, std::string_view tab, const EscapeTable& t,
               std::string_view sep = {}) {
  const std::uint8_t* cls = t.cls;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* const e = p + text.size();
  char* w = c.w;
  char* const full = c.full;
  auto flush = [&] {
    c.w = w;
    c.Flush();
    w = c.w;
  };
#ifdef __SSE2__
  __m128i spec[16];
  const bool wide = text.size() >= 16;
  if (wide && !t.low)
    for (int i = 0; i < t.n_specials; ++i) spec[i] = _mm_set1_epi8(static_cast<char>(t.specials[i]));
  // Blanks, the most common byte to escape, are expanded inside a block of
  // sixteen when they are its only bytes below 0x40: what a blank becomes,
  // in one 8-byte word.
  const std::uint8_t blank_class = cls[std::uint8_t(' ')];
  const std::string_view blank = blank_class == kEscBlank ? "&nbsp;"sv : blank_class == kEscKey ? sep : std::string_view();
  const bool blanks_in_blocks = !blank.empty() && blank.size() <= 8;
  std::uint64_t blank_word = 0;
  if (blanks_in_blocks) {
    char word[8] = {};
    for (std::size_t i = 0; i < blank.size(); ++i) word[i] = blank[i];
    std::memcpy(&blank_word, word, 8);
  }
  const __m128i blanks = _mm_set1_epi8(' ');
#endif
  int lines = 0;
  while (p < e) {
    if (!kSized && w >= full) flush();
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
      // A block whose only bytes below 0x40 are blanks, with sixteen more
      // bytes readable after it, is done here: its pairs are copied as they
      // are, and each blank becomes its piece. A run of lead-range bytes
      // starts at a character start (the byte before it is none of them, or
      // the block starts there), so one of odd length before a blank ends in
      // a lead byte without a trail byte, which is dropped. A cut key from
      // 0x40 on sends the block to the byte loop too.
      if (blanks_in_blocks && e - p >= 32 && (kSized || full - w >= 16 * 8 + 16)) {
        const unsigned at_blanks = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, blanks)));
        unsigned others =
            unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(v, _mm_set1_epi8(char(0xC0))), _mm_setzero_si128())));
        if (!t.low) others |= mask & ~unsigned(_mm_movemask_epi8(v));
        // Bytes that are no trail byte (0x7F, 0xFD-0xFF) go to the byte loop.
        const unsigned no_trail = unsigned(_mm_movemask_epi8(_mm_or_si128(
            _mm_cmpeq_epi8(v, _mm_set1_epi8(0x7F)), _mm_cmpeq_epi8(_mm_max_epu8(v, _mm_set1_epi8(char(0xFD))), v))));
        if ((others & ~at_blanks) == 0 && no_trail == 0) {
          const __m128i d1 = _mm_sub_epi8(v, _mm_set1_epi8(char(0x81)));  // 0x81..0x9F -> 0..0x1E
          const __m128i d2 = _mm_sub_epi8(v, _mm_set1_epi8(char(0xE0)));  // 0xE0..0xFC -> 0..0x1C
          const unsigned lead = unsigned(_mm_movemask_epi8(
              _mm_or_si128(_mm_cmpeq_epi8(_mm_min_epu8(d1, _mm_set1_epi8(0x1E)), d1),
                           _mm_cmpeq_epi8(_mm_min_epu8(d2, _mm_set1_epi8(0x1C)), d2))));
          // Lead-range bytes right before position k, back to the first other byte.
          auto run_before = [lead](unsigned k) {
            const unsigned gaps = ~lead & ((1u << k) - 1);
            return gaps == 0 ? k : k - 1 - unsigned(31 - __builtin_clz(gaps));
          };
          // A lead byte last in the block waits for the next round with its pair.
          const unsigned end = run_before(16) & 1 ? 15 : 16;
          unsigned from = 0;
          for (unsigned m = at_blanks & ((1u << end) - 1); m != 0; m &= m - 1) {
            const unsigned k = unsigned(__builtin_ctz(m));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(w), _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + from)));
            const unsigned lone = run_before(k) & 1;
            w += k - from - lone;
            if (lone && blank_class == kEscKey) {  // after a dropped lead byte a key is no cut
              std::memcpy(w, "&nbsp;\0", 8);
              w += 6;
            } else {
              std::memcpy(w, &blank_word, 8);
              w += blank.size();
            }
            from = k + 1;
          }
          _mm_storeu_si128(reinterpret_cast<__m128i*>(w), _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + from)));
          w += end - from;
          p += end;
          continue;
        }
      }
      const int safe = __builtin_ctz(mask);
      p += safe;
      w += safe;
    }
#endif
    unsigned char ch = *p;
    std::uint8_t k = cls[ch];
    if (k == kEscLead) {
      // Whole double-byte characters, as long as they follow each other.
      while (p + 1 < e && IsTrailByte(p[1]) && w < full) {
        w[0] = static_cast<char>(ch);
        w[1] = static_cast<char>(p[1]);
        w += 2;
        p += 2;
        if (p >= e || cls[ch = *p] != kEscLead) break;
      }
      if (p >= e || cls[*p] != kEscLead || (p + 1 < e && IsTrailByte(p[1]))) continue;
      // A lead byte without a trail byte (at the end, or before NUL, a blank,
      // '<', ...) is dropped; the byte after it is a character of its own and
      // escaped as such. A key byte there was not cut at either.
      if (++p == e) continue;
      ch = *p;
      k = cls[ch] == kEscKey ? t.key_natural : cls[ch];
    }
    if (k == kEscCopy) {
      *w++ = static_cast<char>(ch);
      ++p;
      continue;
    }
    switch (k) {
      case kEscBlank:
      case kEscQuote:
      case kEscAmp:
      case kEscLt:
      case kEscGt: w = PutEntity(w, k); break;
      case kEscTab:
      case kEscKey: {
        const std::string_view piece = k == kEscTab ? tab : sep;
        // Into the buffer when it fits before the buffer's end (always for
        // a piece up to 16 bytes); the next round flushes past `full`.
        if (kSized || piece.size() <= std::size_t(full + kSlack - w)) {
          if (piece.size() <= 64) CopyShort(w, piece.data(), piece.size());
          else std::memcpy(w, piece.data(), piece.size());
          w += piece.size();
        } else {
          flush();
          c.out->append(piece);
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
    t.FindSpecials();
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
