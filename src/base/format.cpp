#include "base/format.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>

namespace norvelle {

namespace {

bool IsConversion(char c) { return c && std::strchr("cdiouxXeEfgGnps", c) != nullptr; }

// A conversion as read from the format.
struct Conversion {
  bool minus = false, plus = false, zero = false, space = false, hash = false;
  bool has_width = false;
  int width = 0;        // as given; a negative "*" value is kept as it came
  int precision = -1;   // -1: none (also a negative "*" value, as in C)
  char length = 0;      // 0, 'h' or 'l'
  char conv = 0;
};

// Decimal digits, saturating so that an absurd width cannot overflow.
int ReadDigits(const char*& p) {
  long long v = 0;
  while (*p >= '0' && *p <= '9') {
    v = v * 10 + (*p++ - '0');
    if (v > INT_MAX) v = INT_MAX;
  }
  return int(v);
}

// Reads flags, width, precision and length at p (just after the "%"), in
// that order, taking "*" values from the arguments; stops at the conversion
// character without consuming it.
void ReadConversion(const char*& p, va_list& ap, Conversion& c) {
  for (;; ++p) {
    switch (*p) {
      case '-': c.minus = true; continue;
      case '+': c.plus = true; continue;
      case '0': c.zero = true; continue;
      case ' ': c.space = true; continue;
      case '#': c.hash = true; continue;
    }
    break;
  }
  if (*p == '*') {
    ++p;
    c.has_width = true;
    c.width = va_arg(ap, int);
  } else if (*p >= '0' && *p <= '9') {
    c.has_width = true;
    c.width = ReadDigits(p);
  }
  if (*p == '.') {
    ++p;
    if (*p == '*') {
      ++p;
      int v = va_arg(ap, int);
      c.precision = v < 0 ? -1 : v;
    } else {
      c.precision = ReadDigits(p);  // "." alone means 0
    }
  }
  if (*p == 'h' || *p == 'l') c.length = *p++;
  c.conv = *p;
}

// The C library form of a numeric conversion: flags deduplicated, "*"
// replaced by its value. "l" is dropped because our arguments are 32-bit
// (and C has no "hf"); "h" stays on integers, where it narrows the value.
void BuildCFormat(const Conversion& c, char (&out)[48]) {
  char* o = out;
  *o++ = '%';
  if (c.minus) *o++ = '-';
  if (c.plus) *o++ = '+';
  if (c.zero) *o++ = '0';
  if (c.space) *o++ = ' ';
  if (c.hash) *o++ = '#';
  if (c.has_width) o += std::snprintf(o, 12, "%d", c.width);
  if (c.precision >= 0) o += std::snprintf(o, 13, ".%d", c.precision);
  if (c.length == 'h' && !std::strchr("eEfgG", c.conv)) *o++ = 'h';
  *o++ = c.conv;
  *o = 0;
}

// Runs snprintf into a stack buffer, or a heap one for outputs that do not
// fit (a "%f" of 1e300, a huge width), and appends the text up to its first
// NUL, as a C string would be appended ("%c" of 0 adds nothing).
template <std::uint32_t N, class Arg>
void AppendC(CStr_base<N>& out, const char* cfmt, Arg v) {
  char small[512];
  int n = std::snprintf(small, sizeof small, cfmt, v);
  if (n <= 0) return;
  if (std::size_t(n) < sizeof small) {
    out.Append(small, std::strlen(small));
    return;
  }
  std::unique_ptr<char[]> big(new char[std::size_t(n) + 1]);
  std::snprintf(big.get(), std::size_t(n) + 1, cfmt, v);
  out.Append(big.get(), std::strlen(big.get()));
}

// "%s" by hand: the width pads, the precision cuts only between characters.
template <std::uint32_t N>
void AppendString(CStr_base<N>& out, const Conversion& c, const char* str) {
  std::size_t len = std::strlen(str);
  if (c.width > 0 && std::size_t(c.width) > len) {
    std::size_t fill = std::size_t(c.width) - len;
    if (!c.minus)
      for (std::size_t i = 0; i < fill; ++i) out.AppendChar(c.zero ? '0' : ' ');
    out.Append(str, len);
    if (c.minus)
      for (std::size_t i = 0; i < fill; ++i) out.AppendChar(' ');
  } else if (c.precision >= 0 && std::size_t(c.precision) < len) {
    const char* e = str;
    const char* lim = str + c.precision;
    for (const char* nx; *e && (nx = NextChar(e)) <= lim;) e = nx;
    out.Append(str, std::size_t(e - str));
  } else {
    out.Append(str, len);
  }
}

template <std::uint32_t N>
void FormatImpl(CStr_base<N>& out, const char* fmt, va_list ap_in) {
  va_list ap;
  va_copy(ap, ap_in);
  out.Clear();
  const char* p = fmt;
  while (*p) {
    if (*p != '%') {
      const char* q = NextChar(p);
      out.Append(p, std::size_t(q - p));
      p = q;
      continue;
    }
    if (p[1] == '%') {
      out.AppendChar('%');
      p += 2;
      continue;
    }
    const char* s = p + 1;
    Conversion c;
    ReadConversion(s, ap, c);
    p = s;
    // Not a conversion: what was read is dropped and the character is read
    // again as text (a trailing "%" writes nothing).
    if (!IsConversion(c.conv)) continue;
    ++p;
    char cfmt[48];
    switch (c.conv) {
      case 's':
        AppendString(out, c, va_arg(ap, const char*));
        break;
      case 'n':
        *va_arg(ap, int*) = int(out.length());
        break;
      case 'e': case 'E': case 'f': case 'g': case 'G':
        BuildCFormat(c, cfmt);
        AppendC(out, cfmt, va_arg(ap, double));
        break;
      case 'p': {
        // A 32-bit pointer as the Windows C library prints it: eight upper-case
        // hex digits, within the width and flags given.
        Conversion pc = c;
        pc.conv = 'X';
        pc.precision = 8;
        pc.length = 0;
        BuildCFormat(pc, cfmt);
        AppendC(out, cfmt, va_arg(ap, unsigned));
        break;
      }
      default:  // c d i o u x X: one 32-bit argument
        BuildCFormat(c, cfmt);
        AppendC(out, cfmt, va_arg(ap, int));
        break;
    }
  }
  va_end(ap);
}

}  // namespace

void VFormat(CStr_base<64>& out, const char* fmt, va_list ap) { FormatImpl(out, fmt, ap); }
void VFormat(CStr_base<1024>& out, const char* fmt, va_list ap) { FormatImpl(out, fmt, ap); }

void Format(CStr_base<64>& out, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  FormatImpl(out, fmt, ap);
  va_end(ap);
}

void Format(CStr_base<1024>& out, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  FormatImpl(out, fmt, ap);
  va_end(ap);
}

}  // namespace norvelle
