// The SSE2 form of the byte kernels: the contracts are ScalarScan's (scan.h).
//
// Included by scan.h only. The kernels called once per word or per block
// (the escaping scan, FindHighOr) are inline here: a call per block would
// cost more than the block; the rest are in scan_sse2.cpp.
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace norvelle {

struct Sse2Scan {
  class EscapeBlocks {
   public:
    EscapeBlocks(const EscapeStops& stops, BlankPiece blank, bool wide) : stops_(stops), blank_(blank) {
      // Only texts of a block or more are scanned by blocks.
      if (wide && !stops_.below_40)
        for (int i = 0; i < stops_.count; ++i) spec_[i] = _mm_set1_epi8(static_cast<char>(stops_.ascii[i]));
      if (blank_.text.size() > 8) blank_.text = {};
      char word[8] = {};
      for (std::size_t i = 0; i < blank_.text.size(); ++i) word[i] = blank_.text[i];
      std::memcpy(&blank_word_, word, 8);
    }

    [[gnu::always_inline]] bool Block(const unsigned char*& p, const unsigned char* e, char*& w,
                                      bool roomy) const {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      unsigned mask;
      if (stops_.below_40) {
        // Signed: bytes from 0x80 count as below 0x40 too.
        mask = unsigned(_mm_movemask_epi8(_mm_cmplt_epi8(v, _mm_set1_epi8(0x40))));
      } else {
        __m128i hit = _mm_setzero_si128();
        for (int i = 0; i < stops_.count; ++i) hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, spec_[i]));
        mask = unsigned(_mm_movemask_epi8(_mm_or_si128(hit, v)));
      }
      _mm_storeu_si128(reinterpret_cast<__m128i*>(w), v);
      if (mask == 0) {
        p += 16;
        w += 16;
        return true;
      }
      if (!blank_.text.empty() && e - p >= 32 && roomy && BlankBlock(v, mask, p, w)) return true;
      const unsigned safe = unsigned(__builtin_ctz(mask));
      p += safe;
      w += safe;
      return false;
    }

   private:
    // mask: the block's stop bytes.
    [[gnu::always_inline]] bool BlankBlock(__m128i v, unsigned mask, const unsigned char*& p, char*& w) const {
      const unsigned at_blanks = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(' '))));
      unsigned others = unsigned(
          _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(v, _mm_set1_epi8(char(0xC0))), _mm_setzero_si128())));
      if (!stops_.below_40) others |= mask & ~unsigned(_mm_movemask_epi8(v));  // a key from 0x40 on
      const unsigned no_trail = unsigned(_mm_movemask_epi8(_mm_or_si128(
          _mm_cmpeq_epi8(v, _mm_set1_epi8(0x7F)), _mm_cmpeq_epi8(_mm_max_epu8(v, _mm_set1_epi8(char(0xFD))), v))));
      if ((others & ~at_blanks) != 0 || no_trail != 0) return false;
      const __m128i d1 = _mm_sub_epi8(v, _mm_set1_epi8(char(0x81)));  // 0x81..0x9F -> 0..0x1E
      const __m128i d2 = _mm_sub_epi8(v, _mm_set1_epi8(char(0xE0)));  // 0xE0..0xFC -> 0..0x1C
      const unsigned lead =
          unsigned(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(_mm_min_epu8(d1, _mm_set1_epi8(0x1E)), d1),
                                                  _mm_cmpeq_epi8(_mm_min_epu8(d2, _mm_set1_epi8(0x1C)), d2))));
      // Lead-range bytes right before position k, back to the first other byte.
      auto run_before = [lead](unsigned k) {
        const unsigned gaps = ~lead & ((1u << k) - 1);
        return gaps == 0 ? k : k - 1 - unsigned(31 - __builtin_clz(gaps));
      };
      const unsigned end = run_before(16) & 1 ? 15 : 16;
      unsigned from = 0;
      for (unsigned m = at_blanks & ((1u << end) - 1); m != 0; m &= m - 1) {
        const unsigned k = unsigned(__builtin_ctz(m));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(w), _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + from)));
        const unsigned lone = run_before(k) & 1;
        w += k - from - lone;
        if (lone && blank_.is_key) {
          std::memcpy(w, "&nbsp;\0", 8);
          w += 6;
        } else {
          std::memcpy(w, &blank_word_, 8);
          w += blank_.text.size();
        }
        from = k + 1;
      }
      _mm_storeu_si128(reinterpret_cast<__m128i*>(w), _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + from)));
      w += end - from;
      p += end;
      return true;
    }

    __m128i spec_[16];
    const EscapeStops& stops_;
    BlankPiece blank_;
    std::uint64_t blank_word_ = 0;  // the piece as one 8-byte store
  };

  [[gnu::always_inline]] static std::size_t FindHighOr(const char* p, const char* e, char byte) {
    const char* const b = p;
    const __m128i bytes = _mm_set1_epi8(byte);
    for (; e - p >= 16; p += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      const unsigned m = unsigned(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, bytes), v)));
      if (m != 0) return std::size_t(p - b) + unsigned(__builtin_ctz(m));
    }
    // The last bytes of a line (a word or two) eight at a time, then one by one.
    if (e - p >= 8) {
      const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
      const unsigned m = unsigned(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, bytes), v))) & 0xFF;
      if (m != 0) return std::size_t(p - b) + unsigned(__builtin_ctz(m));
      p += 8;
    }
    for (; p < e; ++p)
      if (*p == byte || static_cast<unsigned char>(*p) >= 0x80) break;
    return std::size_t(p - b);
  }

  static std::size_t CountLineFeeds(std::string_view text);
  static std::size_t TextModeInPlace(char* d, std::size_t n, bool* cut);
  static std::size_t CrlfInto(char* dst, const char* s, std::size_t n);
};

}  // namespace norvelle
