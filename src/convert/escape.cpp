#include "convert/escape.h"

#include <cstdint>

#include "base/dbcs.h"

namespace norvelle {

namespace {

// 0: copy; 1: lead byte; 2..: special characters.
enum : std::uint8_t { kCopy, kLead, kBlank, kQuote, kAmp, kLt, kGt, kTab, kLf };

struct EscapeTable {
  std::uint8_t cls[256];
  constexpr EscapeTable() : cls() {
    for (int b = 0; b < 256; ++b) cls[b] = IsLeadByte(static_cast<unsigned char>(b)) ? kLead : kCopy;
    cls[static_cast<unsigned char>(' ')] = kBlank;
    cls[static_cast<unsigned char>('"')] = kQuote;
    cls[static_cast<unsigned char>('&')] = kAmp;
    cls[static_cast<unsigned char>('<')] = kLt;
    cls[static_cast<unsigned char>('>')] = kGt;
  }
};
constexpr EscapeTable kEscape{};

// mode: 0 escape only, 1 + tabs, 2 + tabs and line feeds.
int Escape(std::string& out, std::string_view text, std::string_view tab, int mode) {
  const char* p = text.data();
  const char* e = p + text.size();
  int lines = 0;
  out.reserve(out.size() + text.size() + text.size() / 4);
  while (p < e) {
    // Copy a run of bytes that need nothing.
    const char* run = p;
    while (p < e) {
      unsigned char c = static_cast<unsigned char>(*p);
      if (kEscape.cls[c] != kCopy) break;
      if (mode && (c == '\t' || (mode == 2 && c == '\n'))) break;
      ++p;
    }
    if (p > run) out.append(run, std::size_t(p - run));
    if (p >= e) break;
    unsigned char c = static_cast<unsigned char>(*p);
    switch (kEscape.cls[c]) {
      case kLead:
        if (p + 1 < e && p[1] != 0) {
          out.append(p, 2);
          p += 2;
        } else {
          ++p;  // a lead byte at the end has no character: dropped
          if (p < e) out.push_back(*p++);  // it was followed by NUL: keep the NUL
        }
        break;
      case kBlank: out.append("&nbsp;"); ++p; break;
      case kQuote: out.append("&quot;"); ++p; break;
      case kAmp: out.append("&amp;"); ++p; break;
      case kLt: out.append("&lt;"); ++p; break;
      case kGt: out.append("&gt;"); ++p; break;
      default:
        if (c == '\t') {
          out.append(tab);
        } else {
          out.append("<br>\n");
          ++lines;
        }
        ++p;
        break;
    }
  }
  return lines;
}

}  // namespace

void AppendHtmlEscaped(std::string& out, std::string_view text) { Escape(out, text, {}, 0); }

void AppendConverted(std::string& out, std::string_view text, std::string_view tab_string) {
  Escape(out, text, tab_string, 1);
}

int AppendConvertedLines(std::string& out, std::string_view text, std::string_view tab_string) {
  return Escape(out, text, tab_string, 2);
}

}  // namespace norvelle
