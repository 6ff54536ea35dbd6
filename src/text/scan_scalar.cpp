// The byte kernels one byte at a time: the reference that the SSE2 forms are
// tested against, so each says its contract as plainly as it can.
#include <cstring>

#include "text/dbcs.h"
#include "text/scan.h"

namespace norvelle {

ScalarScan::EscapeBlocks::EscapeBlocks(const EscapeStops& stops, BlankPiece blank, bool /*wide*/)
    : stops_(stops), blank_(blank) {
  if (blank_.text.size() > 8) blank_.text = {};
}

bool ScalarScan::EscapeBlocks::Block(const unsigned char*& p, const unsigned char* e, char*& w,
                                     bool roomy) const {
  unsigned safe = 0;
  while (safe < 16 && !stops_.Stops(p[safe])) ++safe;
  std::memcpy(w, p, safe);
  if (safe < 16 && !blank_.text.empty() && e - p >= 32 && roomy && BlankBlock(p, w)) return true;
  p += safe;
  w += safe;
  return safe == 16;
}

bool ScalarScan::EscapeBlocks::BlankBlock(const unsigned char*& p, char*& w) const {
  for (int i = 0; i < 16; ++i) {
    const unsigned char b = p[i];
    if (b == ' ') continue;
    if (b < 0x40 || (b < 0x80 && stops_.Stops(b)) || b == 0x7F || b >= 0xFD) return false;
  }
  // Lead-range bytes in a row before each byte: a run starts at a character
  // start, so an odd one before a blank ends in a lead byte without a trail.
  unsigned run = 0;
  for (int i = 0; i < 16; ++i) run = IsLeadByte(p[i]) ? run + 1 : 0;
  const unsigned end = run % 2 == 1 ? 15 : 16;
  run = 0;
  for (unsigned i = 0; i < end; ++i) {
    if (p[i] != ' ') {
      *w++ = static_cast<char>(p[i]);
      run = IsLeadByte(p[i]) ? run + 1 : 0;
      continue;
    }
    const bool lone = run % 2 == 1;
    if (lone) --w;  // the lead byte written just before
    const std::string_view piece = lone && blank_.is_key ? std::string_view("&nbsp;") : blank_.text;
    std::memcpy(w, piece.data(), piece.size());
    w += piece.size();
    run = 0;
  }
  p += end;
  return true;
}

std::size_t ScalarScan::FindHighOr(const char* p, const char* e, char byte) {
  const char* q = p;
  while (q < e && *q != byte && static_cast<unsigned char>(*q) < 0x80) ++q;
  return std::size_t(q - p);
}

std::size_t ScalarScan::CountLineFeeds(std::string_view text) {
  std::size_t n = 0;
  for (char c : text) n += c == '\n';
  return n;
}

std::size_t ScalarScan::TextModeInPlace(char* d, std::size_t n, bool* cut) {
  *cut = false;
  if (n == 0) return 0;  // d may be null then, which memchr does not take
  const void* eof = std::memchr(d, '\x1A', n);
  *cut = eof != nullptr;
  if (eof) n = std::size_t(static_cast<const char*>(eof) - d);
  std::size_t w = 0;
  for (std::size_t r = 0; r < n; ++r)
    if (!(d[r] == '\r' && r + 1 < n && d[r + 1] == '\n')) d[w++] = d[r];
  return w;
}

std::size_t ScalarScan::CrlfInto(char* dst, const char* s, std::size_t n) {
  char* w = dst;
  for (const char* e = s + n; s < e; ++s) {
    if (*s == '\n') *w++ = '\r';
    *w++ = *s;
  }
  return std::size_t(w - dst);
}

}  // namespace norvelle
