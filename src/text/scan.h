// Byte kernels: the scans over text that go many bytes at a time.
//
// Every kernel has two forms with one contract: ScalarScan, byte by byte
// (the reference, and the form of machines without SSE2), and Sse2Scan
// (scan_sse2.h), sixteen bytes at a time. `Scan` is the form of this build,
// chosen when compiling. These files are the only ones with vector
// instructions or word-at-a-time tricks; the logic that calls them sees none.
// The kernels know bytes, not Shift_JIS, with one exception: the escaping
// scan's blank blocks below pair lead bytes as the byte loop of escaping does.
#pragma once

#include <cstddef>
#include <string_view>

namespace norvelle {

// The bytes at which a plain run of the escaping scan ends: every byte from
// 0x80 (lead bytes go pair by pair) and the listed ASCII bytes. When every
// listed byte lies below 0x40, every byte below 0x40 ends it too: one
// comparison then finds that superset (digits and some punctuation go to the
// byte loop for nothing).
struct EscapeStops {
  unsigned char ascii[16] = {};
  int count = 0;
  bool below_40 = true;

  constexpr void Add(unsigned char b) {
    ascii[count++] = b;
    if (b >= 0x40) below_40 = false;
  }
  constexpr bool Stops(unsigned char b) const {
    if (b >= 0x80 || (below_40 && b < 0x40)) return true;
    for (int i = 0; i < count; ++i)
      if (ascii[i] == b) return true;
    return false;
  }
};

// What a blank becomes inside a block (at most 8 bytes; empty: blocks with
// blanks go to the byte loop). When the blank is the cut key, one right
// after a dropped lead byte is no cut and becomes "&nbsp;" instead.
struct BlankPiece {
  std::string_view text;
  bool is_key = false;
};

struct ScalarScan {
  // The escaping scan over one text, prepared once for it (stops must
  // outlive it; wide: the text has sixteen bytes or more).
  class EscapeBlocks {
   public:
    EscapeBlocks(const EscapeStops& stops, BlankPiece blank, bool wide);
    // One step over the sixteen bytes at p (a character start, p + 16 <= e;
    // w has room for 16 bytes); p and w advance over what it read and wrote.
    // A block without a stop byte is copied whole (true). A block whose only
    // bytes below 0x80 that stop or lie below 0x40 are blanks, and that holds
    // no byte that can be no trail byte (0x7F, 0xFD-0xFF), is written with
    // its blanks as the piece when `roomy` (room for 144 bytes at w) and
    // sixteen more bytes can be read after it (true): pairs copied, a lead
    // byte before a blank dropped when it ends a run of lead-range bytes of
    // odd length, and one that ends such a run last in the block left for
    // the next step. Otherwise the bytes before the first stop byte are
    // copied and p stops at that byte, the byte loop's (false). May write up
    // to 16 bytes past the new w.
    bool Block(const unsigned char*& p, const unsigned char* e, char*& w, bool roomy) const;

   private:
    bool BlankBlock(const unsigned char*& p, char*& w) const;
    const EscapeStops& stops_;
    BlankPiece blank_;
  };

  // Offset of the first byte of [p, e) that is 0x80 or above or equals
  // `byte`; e - p when there is none.
  static std::size_t FindHighOr(const char* p, const char* e, char byte);
  static std::size_t CountLineFeeds(std::string_view text);
  // Text mode in place over d[0, n): the first 0x1A ends the text (*cut then
  // true) and CR LF becomes LF. Returns the length left.
  static std::size_t TextModeInPlace(char* d, std::size_t n, bool* cut);
  // Each LF of s[0, n) as CR LF into dst, which has room for 2 * n + 16
  // bytes; returns the bytes written.
  static std::size_t CrlfInto(char* dst, const char* s, std::size_t n);
};

}  // namespace norvelle

#ifdef __SSE2__
#include "text/scan_sse2.h"
namespace norvelle {
using Scan = Sse2Scan;
}  // namespace norvelle
#else
namespace norvelle {
using Scan = ScalarScan;
}  // namespace norvelle
#endif
