// HTML escaping of Shift_JIS text, with tab (and optionally line-feed)
// expansion in the same pass.
//
// A blank becomes "&nbsp;", '"' "&quot;", '&' "&amp;", '<' "&lt;", '>' "&gt;".
// A lead byte is copied with the byte after it, which is never examined; a
// lead byte that ends the text is dropped. TAB and LF expansion step over
// double-byte characters the same way, so a pair is never split.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace norvelle {

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

  void Raw(std::string_view s) {
    if (s.size() > kSlack) return RawLong(s);
    std::memcpy(c_.w, s.data(), s.size());  // w < full: kSlack bytes are free
    c_.w += s.size();
    if (c_.w >= c_.full) Flush();
  }
  // As AppendConvertedLines.
  int ConvertedLines(std::string_view text, std::string_view tab_string);
  void Flush() { c_.Flush(); }

 private:
  void RawLong(std::string_view s);

  static constexpr std::size_t kSize = 16384;
  char buf_[kSize];
  EscapeCursor c_;
};

}  // namespace norvelle
