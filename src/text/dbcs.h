// Shift_JIS (code page 932) character stepping.
//
// Every scan over document, rule or pattern text steps through these helpers,
// so a trail byte that happens to equal '\\', '|', '=' or '%' is never taken
// for syntax. The lead-byte range is fixed to CP932 and does not follow the
// locale. A lead byte at the very end of the text (or before a NUL) stands
// alone as a single byte.
#pragma once

#include <cstddef>
#include <string_view>

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

// A byte that can follow a lead byte in a real character (0x40-0x7E,
// 0x80-0xFC). Escaping for HTML pairs a lead byte only with one of these: a
// browser reads a lead byte before any other byte as a broken character
// followed by that byte, which must then be escaped as itself.
inline constexpr bool IsTrailByte(unsigned char b) { return (b >= 0x40 && b != 0x7F && b <= 0xFC); }

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

// The one character search over Shift_JIS text: the position of the first (or
// last) character whose first byte satisfies pred, stepping over double-byte
// pairs so that a trail byte is never tested; npos when there is none.
template <class Pred>
constexpr std::size_t FindCharIf(std::string_view s, Pred pred) {
  const char* b = s.data();
  const char* e = b + s.size();
  for (const char* p = b; p < e; p = NextChar(p, e))
    if (pred(*p)) return std::size_t(p - b);
  return std::string_view::npos;
}

template <class Pred>
constexpr std::size_t FindLastCharIf(std::string_view s, Pred pred) {
  std::size_t last = std::string_view::npos;
  const char* b = s.data();
  const char* e = b + s.size();
  for (const char* p = b; p < e; p = NextChar(p, e))
    if (pred(*p)) last = std::size_t(p - b);
  return last;
}

constexpr std::size_t FindChar(std::string_view s, char c) {
  return FindCharIf(s, [c](char x) { return x == c; });
}

constexpr std::size_t FindLastChar(std::string_view s, char c) {
  return FindLastCharIf(s, [c](char x) { return x == c; });
}

}  // namespace norvelle
