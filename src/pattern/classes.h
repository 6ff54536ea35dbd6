// Character tables of the matcher: the class bits of every byte, the
// upper-casing used by the "i" flag, and what each class operator admits.
// Only single bytes are classified here; whether a double-byte character
// matches is a property of the operator (ClassOp::dbcs).
#pragma once

#include <cstdint>

namespace norvelle::charclass {

// Single-byte character classes.
enum : std::uint16_t {
  kDigit = 1 << 0,       // 0-9
  kLower = 1 << 1,       // a-z
  kUpper = 1 << 2,       // A-Z
  kHexLower = 1 << 3,    // a-f
  kHexUpper = 1 << 4,    // A-F
  kUnderscore = 1 << 5,  // _
  kPunct = 1 << 6,       // 0x21-0x2F, 0x3A-0x40, 0x5B-0x60, 0x7B-0x7E
  kBlank = 1 << 7,       // tab, blank
  kWhite = 1 << 8,       // tab, blank, \n, \r
  kPrint = 1 << 9,       // 0x21-0x7E
  kControl = 1 << 10,    // 0x01-0x1F, 0x7F
  kNewline = 1 << 11,    // \n
};
constexpr std::uint16_t kLetter = kLower | kUpper;
constexpr std::uint16_t kAlnum = kLetter | kDigit;

struct ByteTable {
  std::uint16_t bits[256];
  unsigned char upper[256];  // ASCII letters only; the "i" flag compares these
  constexpr ByteTable() : bits(), upper() {
    for (int c = 0; c < 256; ++c) {
      std::uint16_t b = 0;
      if (c >= '0' && c <= '9') b |= kDigit;
      if (c >= 'a' && c <= 'z') b |= kLower;
      if (c >= 'A' && c <= 'Z') b |= kUpper;
      if (c >= 'a' && c <= 'f') b |= kHexLower;
      if (c >= 'A' && c <= 'F') b |= kHexUpper;
      if (c == '_') b |= kUnderscore;
      if ((c >= 0x21 && c <= 0x2F) || (c >= 0x3A && c <= 0x40) || (c >= 0x5B && c <= 0x60) ||
          (c >= 0x7B && c <= 0x7E))
        b |= kPunct;
      if (c == '\t' || c == ' ') b |= kBlank | kWhite;
      if (c == '\n' || c == '\r') b |= kWhite;
      if (c >= 0x21 && c <= 0x7E) b |= kPrint;
      if ((c >= 0x01 && c <= 0x1F) || c == 0x7F) b |= kControl;
      if (c == '\n') b |= kNewline;
      bits[c] = b;
      upper[c] = static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
  }
};
inline constexpr ByteTable kBytes{};

// A class operator: a single byte matches when its class bits meet `mask`
// (or, `negated`, when they do not); a double-byte character matches only
// when `dbcs` is set.
struct ClassOp {
  std::uint16_t mask = 0;
  bool negated = false;
  bool dbcs = false;
  bool is_class = false;
};

struct ClassTable {
  ClassOp op[256];
  constexpr void Set(char c, std::uint16_t mask, bool negated, bool dbcs) {
    op[static_cast<unsigned char>(c)] = ClassOp{mask, negated, dbcs, true};
  }
  constexpr ClassTable() : op() {
    Set('j', 0, true, true);         // any character
    Set('C', kNewline, true, true);  // any but \n
    Set('?', 0, true, false);        // any single byte
    Set('J', 0, false, true);        // double-byte only
    Set('K', kPrint, false, true);   // printable
    Set('k', kPrint, false, false);
    Set('c', kControl, false, false);
    Set('d', kDigit, false, false);
    Set('D', kDigit, true, true);
    Set('a', kLower, false, false);
    Set('A', kUpper, false, false);
    Set('l', kLetter, false, false);
    Set('b', kLetter, true, true);
    Set('L', kAlnum, false, false);
    Set('B', kAlnum, true, true);
    Set('s', kAlnum | kUnderscore, false, false);
    Set('S', kAlnum | kUnderscore, true, true);
    Set('n', kDigit | kHexLower | kHexUpper, false, false);
    Set('N', kDigit | kHexLower | kHexUpper, true, true);
    Set('x', kDigit | kHexLower, false, false);
    Set('X', kDigit | kHexUpper, false, false);
    Set('y', kPunct, false, false);
    Set('Y', kPunct, true, true);
    Set('w', kBlank, false, false);
    Set('i', kBlank, true, true);
    Set('W', kWhite, false, false);
    Set('I', kWhite, true, true);
  }
};
inline constexpr ClassTable kClasses{};

}  // namespace norvelle::charclass
