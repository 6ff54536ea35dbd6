#include "convert/escape.h"

#include <cstdint>
#include <cstring>

#include "base/dbcs.h"

namespace norvelle {

using namespace std::string_view_literals;

namespace {

// 0: copy; 1: lead byte; 2..: special characters.
enum : std::uint8_t { kCopy, kLead, kBlank, kQuote, kAmp, kLt, kGt, kTab, kLf, kKey };

// One table per mode, so the run of bytes to copy ends at one lookup per byte.
struct EscapeTable {
  std::uint8_t cls[256];
  constexpr explicit EscapeTable(int mode) : cls() {
    for (int b = 0; b < 256; ++b) cls[b] = IsLeadByte(static_cast<unsigned char>(b)) ? kLead : kCopy;
    cls[static_cast<unsigned char>(' ')] = kBlank;
    cls[static_cast<unsigned char>('"')] = kQuote;
    cls[static_cast<unsigned char>('&')] = kAmp;
    cls[static_cast<unsigned char>('<')] = kLt;
    cls[static_cast<unsigned char>('>')] = kGt;
    if (mode >= 1) cls[static_cast<unsigned char>('\t')] = kTab;
    if (mode >= 2) cls[static_cast<unsigned char>('\n')] = kLf;
  }
};
constexpr EscapeTable kEscape[3] = {EscapeTable(0), EscapeTable(1), EscapeTable(2)};

// cls: a table of kEscape; kKey bytes write sep.
int Escape(std::string& out, std::string_view text, std::string_view tab, const std::uint8_t* cls,
           std::string_view sep = {}) {
  const char* p = text.data();
  const char* e = p + text.size();
  int lines = 0;
  while (p < e) {
    // Copy a run of bytes that need nothing, whole double-byte characters too.
    const char* run = p;
    while (p < e) {
      const std::uint8_t k = cls[static_cast<unsigned char>(*p)];
      if (k == kCopy) {
        ++p;
      } else if (k == kLead && p + 1 < e && p[1] != 0) {
        p += 2;
      } else {
        break;
      }
    }
    if (p > run) out.append(run, std::size_t(p - run));
    if (p >= e) break;
    unsigned char c = static_cast<unsigned char>(*p);
    switch (cls[c]) {
      case kLead:  // a lead byte without its pair (those with one were copied)
        ++p;  // a lead byte at the end has no character: dropped
        if (p < e) out.push_back(*p++);  // it was followed by NUL: keep the NUL
        break;
      case kBlank: out.append("&nbsp;"sv); ++p; break;
      case kQuote: out.append("&quot;"sv); ++p; break;
      case kAmp: out.append("&amp;"sv); ++p; break;
      case kLt: out.append("&lt;"sv); ++p; break;
      case kGt: out.append("&gt;"sv); ++p; break;
      case kTab: out.append(tab); ++p; break;
      case kKey: out.append(sep); ++p; break;
      default:
        out.append("<br>\n"sv);
        ++lines;
        ++p;
        break;
    }
  }
  return lines;
}

}  // namespace

void AppendHtmlEscaped(std::string& out, std::string_view text) { Escape(out, text, {}, kEscape[0].cls); }

void AppendConverted(std::string& out, std::string_view text, std::string_view tab_string) {
  Escape(out, text, tab_string, kEscape[1].cls);
}

int AppendConvertedLines(std::string& out, std::string_view text, std::string_view tab_string) {
  return Escape(out, text, tab_string, kEscape[2].cls);
}

bool CanCutWhileConverting(char key) {
  const auto k = static_cast<unsigned char>(key);
  return k != 0 && !IsLeadByte(k);
}

void AppendConvertedCut(std::string& out, std::string_view text, std::string_view tab_string, char key,
                        std::string_view sep) {
  std::uint8_t cls[256];
  std::memcpy(cls, kEscape[1].cls, sizeof cls);
  cls[static_cast<unsigned char>(key)] = kKey;
  Escape(out, text, tab_string, cls, sep);
}

}  // namespace norvelle
