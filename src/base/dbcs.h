// Shift_JIS (code page 932) character stepping.
//
// Every scan over document, rule or pattern text steps through these helpers,
// so a trail byte that happens to equal '\\', '|', '=' or '%' is never taken
// for syntax. The lead-byte range is fixed to CP932 and does not follow the
// locale. A lead byte at the very end of the text (or before a NUL) stands
// alone as a single byte.
#pragma once

#include <cstddef>

namespace norvelle {

struct DbcsTable {
  bool lead[256];
  constexpr DbcsTable() : lead() {
    for (int b = 0x81; b <= 0x9F; ++b) lead[b] = true;
    for (int b = 0xE0; b <= 0xFC; ++b) lead[b] = true;
  }
};
inline constexpr DbcsTable kDbcs{};

inline constexpr bool IsLeadByte(unsigned char b) { return kDbcs.lead[b]; }

// Length in bytes of the character at p, given the end of the text.
inline constexpr std::size_t CharLen(const char* p, const char* end) {
  return (IsLeadByte(static_cast<unsigned char>(*p)) && p + 1 < end && p[1] != 0) ? 2 : 1;
}

// Position after the character at p (p < end).
inline constexpr const char* NextChar(const char* p, const char* end) {
  return p + CharLen(p, end);
}

// NUL-terminated form: a lead byte followed by the terminator is one byte.
inline constexpr const char* NextChar(const char* p) {
  return (IsLeadByte(static_cast<unsigned char>(*p)) && p[1] != 0) ? p + 2 : p + 1;
}

}  // namespace norvelle
