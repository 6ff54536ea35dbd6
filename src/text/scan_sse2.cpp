// The SSE2 kernels called once per buffer or text (the rest are inline in
// scan_sse2.h); contracts in scan.h.
#include "text/scan.h"

#ifdef __SSE2__

#include <cstring>

namespace norvelle {

std::size_t Sse2Scan::CountLineFeeds(std::string_view text) {
  const char* p = text.data();
  const char* e = p + text.size();
  std::size_t n = 0;
  // Each byte lane counts its matches (a match compares as -1) for up to 255
  // blocks; the lanes are then summed.
  const __m128i lf = _mm_set1_epi8('\n');
  while (e - p >= 16) {
    __m128i lanes = _mm_setzero_si128();
    for (int k = 0; k < 255 && e - p >= 16; ++k, p += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(v, lf));
    }
    const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
    n += std::size_t(_mm_cvtsi128_si64(sums)) + std::size_t(_mm_extract_epi16(sums, 4));
  }
  for (; p < e; ++p) n += *p == '\n';
  return n;
}

std::size_t Sse2Scan::TextModeInPlace(char* d, std::size_t n, bool* cut) {
  *cut = false;
  if (n == 0) return 0;  // d may be null then, which memchr does not take
  const void* eof = std::memchr(d, '\x1A', n);
  *cut = eof != nullptr;
  if (eof) n = std::size_t(static_cast<const char*>(eof) - d);
  const char* cr = static_cast<const char*>(std::memchr(d, '\r', n));
  if (!cr) return n;
  // From the first CR on, the text moves down over each CR that a LF follows.
  std::size_t w = std::size_t(cr - d);
  std::size_t r = w;
  const __m128i crs = _mm_set1_epi8('\r');
  while (r < n) {
    // Sixteen bytes without a CR move at once (every line is one CR LF apart:
    // a call per line would cost more than the bytes).
    while (n - r >= 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + r));
      const unsigned mask = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, crs)));
      if (mask != 0) {
        const unsigned k = unsigned(__builtin_ctz(mask));
        std::memmove(d + w, d + r, k);
        w += k;
        r += k;
        break;
      }
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + w), v);  // w <= r: never ahead of the reading
      w += 16;
      r += 16;
    }
    if (r == n) break;  // the blocks took the last byte: d[n] is none of ours
    if (n - r < 16 && d[r] != '\r') {
      const void* next = std::memchr(d + r, '\r', n - r);
      const std::size_t stop = next ? std::size_t(static_cast<const char*>(next) - d) : n;
      std::memmove(d + w, d + r, stop - r);
      w += stop - r;
      r = stop;
      if (r >= n) break;
    }
    // d[r] is a CR: it goes when a LF follows.
    if (r + 1 < n && d[r + 1] == '\n') ++r;
    else d[w++] = d[r++];
  }
  return w;
}

std::size_t Sse2Scan::CrlfInto(char* dst, const char* p, std::size_t n) {
  char* w = dst;
  const char* const e = p + n;
  // Sixteen bytes move at once up to the next LF (lines are short: a call
  // per line would cost more).
  const __m128i lfs = _mm_set1_epi8('\n');
  while (e - p >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(w), v);
    const unsigned mask = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lfs)));
    if (mask == 0) {
      p += 16;
      w += 16;
      continue;
    }
    const unsigned k = unsigned(__builtin_ctz(mask));
    w += k;
    *w++ = '\r';
    *w++ = '\n';
    p += k + 1;
  }
  for (; p < e; ++p) {
    if (*p == '\n') *w++ = '\r';
    *w++ = *p;
  }
  return std::size_t(w - dst);
}

}  // namespace norvelle

#endif  // __SSE2__
