// How a browser reads the program's Shift_JIS output, for checks that no
// markup of the document's own reaches a page.
#pragma once

#include <string>
#include <string_view>

namespace norvelle::test {

// The WHATWG Shift_JIS decoder, reduced to the ASCII characters a browser
// sees. A lead byte (0x81-0x9F, 0xE0-0xFC) followed by a byte in 0x40-0x7E or
// 0x80-0xFC is one character (an unmapped pair gives back an ASCII byte of
// that range, none of < > " &); before any other byte it is an error and that
// byte is decoded on its own. Other non-ASCII characters come out as '?'.
inline std::string BrowserAscii(std::string_view bytes) {
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
      const auto t = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
      if ((t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFC)) ++i;
      out += '?';
    } else {
      out += c < 0x80 ? char(c) : '?';
    }
  }
  return out;
}

// Does decoded text start with one of the entities escaping writes?
inline bool StartsWithEntity(std::string_view s) {
  for (std::string_view e : {"&nbsp;", "&quot;", "&amp;", "&lt;", "&gt;"})
    if (s.starts_with(e)) return true;
  return false;
}

}  // namespace norvelle::test
