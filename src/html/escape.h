// HTML escaping of Shift_JIS text, with tab (and optionally line-feed)
// expansion in the same pass.
//
// A blank becomes "&nbsp;", '"' "&quot;", '&' "&amp;", '<' "&lt;", '>' "&gt;".
// A lead byte is copied with the trail byte after it, which is never
// examined; a lead byte that ends the text or is followed by a byte that can
// be no trail byte (below 0x40, 0x7F, above 0xFC) is dropped, and that byte
// is escaped as itself, as a browser's decoder reads it on its own. TAB and
// LF expansion step over double-byte characters the same way, so a pair is
// never split.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "text/dbcs.h"

namespace norvelle {

// What each byte becomes: copied, a lead byte, or one of the pieces.
enum EscapeClass : std::uint8_t { kEscCopy, kEscLead, kEscBlank, kEscQuote, kEscAmp, kEscLt, kEscGt,
                                  kEscTab, kEscLf, kEscKey };

// The classes of one mode: 0 escapes, 1 also expands TAB, 2 also LF.
struct EscapeClasses {
  std::uint8_t cls[256];
  constexpr explicit EscapeClasses(int mode) : cls() {
    for (int b = 0; b < 256; ++b) cls[b] = IsLeadByte(static_cast<unsigned char>(b)) ? kEscLead : kEscCopy;
    cls[static_cast<unsigned char>(' ')] = kEscBlank;
    cls[static_cast<unsigned char>('"')] = kEscQuote;
    cls[static_cast<unsigned char>('&')] = kEscAmp;
    cls[static_cast<unsigned char>('<')] = kEscLt;
    cls[static_cast<unsigned char>('>')] = kEscGt;
    if (mode >= 1) cls[static_cast<unsigned char>('\t')] = kEscTab;
    if (mode >= 2) cls[static_cast<unsigned char>('\n')] = kEscLf;
  }
};
inline constexpr EscapeClasses kLinesClasses(2);

// Appends text escaped.
void AppendHtmlEscaped(std::string& out, std::string_view text);
// Appends text escaped with every TAB replaced by tab_string.
void AppendConverted(std::string& out, std::string_view text, std::string_view tab_string);
// As AppendConverted, and every LF becomes "<br>\n"; returns the LFs replaced.
int AppendConvertedLines(std::string& out, std::string_view text, std::string_view tab_string);

// Whether AppendConvertedCut takes this key: neither NUL nor a lead byte, so
// that cutting at it and converting step over the same characters.
bool CanCutWhileConverting(char key);
// AppendConverted of each piece of text cut at key (at character starts),
// with sep written between the pieces, in one pass.
void AppendConvertedCut(std::string& out, std::string_view text, std::string_view tab_string, char key,
                        std::string_view sep);

// n <= 64 bytes with at most four overlapping moves, without a call: tags,
// numbers and tab texts are a few bytes each.
[[gnu::always_inline]] inline void CopyShort(char* w, const char* s, std::size_t n) {
  if (n > 32) {
    std::memcpy(w, s, 32);
    std::memcpy(w + n - 32, s + n - 32, 32);
  } else if (n >= 16) {
    std::memcpy(w, s, 16);
    std::memcpy(w + n - 16, s + n - 16, 16);
  } else if (n >= 8) {
    std::memcpy(w, s, 8);
    std::memcpy(w + n - 8, s + n - 8, 8);
  } else if (n >= 4) {
    std::memcpy(w, s, 4);
    std::memcpy(w + n - 4, s + n - 4, 4);
  } else {
    for (std::size_t i = 0; i < n; ++i) w[i] = s[i];
  }
}

// Writes the entity of an ASCII byte of class kEscBlank..kEscGt at w as one
// 8-byte store (up to 2 bytes past the entity are scratch: room for them
// must be there); returns the position after the entity.
[[gnu::always_inline]] inline char* PutEntity(char* w, std::uint8_t cls) {
  static constexpr char kText[5][8] = {"&nbsp;", "&quot;", "&amp;", "&lt;", "&gt;"};
  static constexpr std::uint8_t kLength[5] = {6, 6, 5, 4, 4};
  std::memcpy(w, kText[cls - kEscBlank], 8);
  return w + kLength[cls - kEscBlank];
}

// A write position in a caller's buffer that flushes into out.
struct EscapeCursor {
  char* buf;
  char* w;
  char* full;  // flush once w reaches this
  std::string* out;
  void Flush() {
    out->append(buf, std::size_t(w - buf));
    w = buf;
  }
};

// Raw pieces and converted texts interleaved, through a buffer of its own:
// for writers of many short pieces (listings), one append to out per few
// kilobytes. The bytes are those of the functions above; what is buffered
// reaches out at Flush or destruction.
class EscapeBuffer {
 public:
  // Room kept after the flush mark: one 16-byte store and one short piece.
  static constexpr std::size_t kSlack = 15 + 16;

  explicit EscapeBuffer(std::string& out) : c_{buf_, buf_, buf_ + kSize - kSlack, &out} {}
  ~EscapeBuffer() { Flush(); }
  EscapeBuffer(const EscapeBuffer&) = delete;
  EscapeBuffer& operator=(const EscapeBuffer&) = delete;

  [[gnu::always_inline]] void Raw(std::string_view s) {
    if (s.size() > kSlack) return RawLong(s);
    CopyShort(c_.w, s.data(), s.size());  // w < full: kSlack bytes are free
    c_.w += s.size();
    if (c_.w >= c_.full) Flush();
  }
  // As AppendConvertedLines. Short texts (most tokens of a listing) are
  // done here, without the setup of the 16-byte scan.
  int ConvertedLines(std::string_view text, std::string_view tab_string) {
    const std::size_t widest = std::max<std::size_t>(6, tab_string.size());
    if (text.size() * widest > kShortRoom) return ConvertedLinesLong(text, tab_string);
    if (std::size_t(c_.full + kSlack - c_.w) < text.size() * widest + 2) Flush();
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* const e = p + text.size();
    char* w = c_.w;
    int lines = 0;
    while (p < e) {
      const unsigned char ch = *p;
      const std::uint8_t k = kLinesClasses.cls[ch];
      ++p;
      if (k == kEscCopy) {
        *w++ = static_cast<char>(ch);
        continue;
      }
      switch (k) {
        case kEscLead:
          if (p < e && IsTrailByte(*p)) {
            w[0] = static_cast<char>(ch);
            w[1] = static_cast<char>(*p++);
            w += 2;
          }  // else: a lead byte with no trail byte is dropped; the next byte is its own
          break;
        case kEscBlank:
        case kEscQuote:
        case kEscAmp:
        case kEscLt:
        case kEscGt: w = PutEntity(w, k); break;
        case kEscTab:
          if (tab_string.size() <= 64) CopyShort(w, tab_string.data(), tab_string.size());
          else std::memcpy(w, tab_string.data(), tab_string.size());
          w += tab_string.size();
          break;
        default: std::memcpy(w, "<br>\n", 5); w += 5; ++lines; break;
      }
    }
    c_.w = w;
    if (c_.w >= c_.full) Flush();
    return lines;
  }
  void Flush() { c_.Flush(); }

 private:
  void RawLong(std::string_view s);
  int ConvertedLinesLong(std::string_view text, std::string_view tab_string);

  // Most output a short text may need: well below the buffer's size.
  static constexpr std::size_t kShortRoom = 2048;

  static constexpr std::size_t kSize = 16384;
  char buf_[kSize];
  EscapeCursor c_;
};

}  // namespace norvelle
