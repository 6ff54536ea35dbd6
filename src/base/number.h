// The one reader of decimal numbers in document and rule text.
//
// Callers differ only in what "no number here" means (1 for a repeat count,
// 0 for an element number, the old value for a tab width), so that is a
// parameter. A value stops growing once it reaches kNumberCap (so it stays
// below ten times the cap) instead of overflowing; every caller clamps far
// below it.
#pragma once

#include <cstddef>
#include <string_view>

namespace norvelle {

// Above every limit a caller applies (at most a million repeats, element
// numbers within one line), and small enough that v * 10 + 9 fits a long.
inline constexpr long kNumberCap = 1000000000L;

enum class NumberSyntax {
  kDigits,  // digits only, at pos
  kScanf,   // as "%d" reads: blanks, a sign, then digits
};

inline constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads a number at pos and moves pos past it; `none` (and pos unmoved) when
// no digit is there.
inline long ReadNumber(std::string_view s, std::size_t& pos, long none,
                       NumberSyntax syntax = NumberSyntax::kDigits) {
  std::size_t p = pos;
  bool neg = false;
  if (syntax == NumberSyntax::kScanf) {
    while (p < s.size() && (s[p] == ' ' || (s[p] >= '\t' && s[p] <= '\r'))) ++p;
    if (p < s.size() && (s[p] == '+' || s[p] == '-')) neg = s[p++] == '-';
  }
  if (p >= s.size() || !IsDigit(s[p])) return none;
  long v = 0;
  for (; p < s.size() && IsDigit(s[p]); ++p)
    if (v < kNumberCap) v = v * 10 + (s[p] - '0');
  pos = p;
  return neg ? -v : v;
}

// The whole-text form: the number at the start of s.
inline long ReadNumber(std::string_view s, long none, NumberSyntax syntax = NumberSyntax::kDigits) {
  std::size_t pos = 0;
  return ReadNumber(s, pos, none, syntax);
}

inline constexpr long Clamp(long v, long lo, long hi) { return v < lo ? lo : (v > hi ? hi : v); }

}  // namespace norvelle
