#include "base/format.h"

#include <cstdio>
#include <cstring>

namespace norvelle {

namespace {

bool IsConversion(char c) { return c && std::strchr("cdiouxXeEfgGnps", c) != nullptr; }

// Reads digits or "*" at p; returns the value (or -1 when none) and advances.
int ReadNumber(const char*& p, va_list& ap, bool& star) {
  star = false;
  if (*p == '*') {
    ++p;
    star = true;
    return va_arg(ap, int);
  }
  if (*p < '0' || *p > '9') return -1;
  int v = 0;
  while (*p >= '0' && *p <= '9') v = v * 10 + (*p++ - '0');
  return v;
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
    // Rebuild the conversion as written, with "*" replaced by its value.
    char spec[64];
    std::size_t sl = 0;
    auto put = [&](char c) {
      if (sl < sizeof spec - 1) spec[sl++] = c;
    };
    auto put_num = [&](int v) {
      char tmp[16];
      int n = std::snprintf(tmp, sizeof tmp, "%d", v);
      for (int i = 0; i < n; ++i) put(tmp[i]);
    };
    put('%');
    const char* s = p + 1;
    bool minus = false, zero = false;
    while (*s && std::strchr("-+0 #", *s)) {
      if (*s == '-') minus = true;
      if (*s == '0') zero = true;
      put(*s++);
    }
    bool star = false;
    int width = ReadNumber(s, ap, star);
    if (width >= 0 || star) {
      if (star && width < 0) {  // a negative "*" width means "-" and its magnitude
        minus = true;
        put('-');
        width = -width;
      }
      put_num(width);
    }
    int precision = -1;
    if (*s == '.') {
      ++s;
      put('.');
      precision = ReadNumber(s, ap, star);
      if (precision >= 0) put_num(precision);
      else if (!star) precision = 0;  // "." alone means precision 0
    }
    char length = 0;
    if (*s == 'h' || *s == 'l') {
      length = *s;
      put(*s++);
    }
    char conv = *s;
    if (!IsConversion(conv)) {
      // Drop "%" and everything read; the character is read again as text.
      p = s;
      if (!*p) break;
      continue;
    }
    ++s;
    put(conv);
    spec[sl] = 0;
    switch (conv) {
      case 's': {
        const char* str = va_arg(ap, const char*);
        std::size_t len = std::strlen(str);
        if (width > 0 && std::size_t(width) > len) {
          std::size_t fill = std::size_t(width) - len;
          if (!minus)
            for (std::size_t i = 0; i < fill; ++i) out.AppendChar(zero ? '0' : ' ');
          out.Append(str, len);
          if (minus)
            for (std::size_t i = 0; i < fill; ++i) out.AppendChar(' ');
        } else if (precision >= 0 && std::size_t(precision) < len) {
          const char* e = str;
          const char* lim = str + precision;
          while (*e) {
            const char* nx = NextChar(e);
            if (nx > lim) break;
            e = nx;
          }
          out.Append(str, std::size_t(e - str));
        } else {
          out.Append(str, len);
        }
        break;
      }
      case 'n': {
        int* target = va_arg(ap, int*);
        *target = int(out.length());
        break;
      }
      case 'e': case 'E': case 'f': case 'g': case 'G': {
        double d = va_arg(ap, double);
        if (length == 'l' || length == 'h') {  // C has no "hf"; format the value plainly sized
          spec[sl - 2] = conv;
          spec[sl - 1] = 0;
        }
        int n = std::snprintf(nullptr, 0, spec, d);
        if (n > 0) {
          std::size_t at = out.length();
          out.Reserve(at + std::size_t(n) + 2);
          char* buf = new char[std::size_t(n) + 1];
          std::snprintf(buf, std::size_t(n) + 1, spec, d);
          out.Append(buf, std::size_t(n));
          delete[] buf;
        }
        break;
      }
      default: {  // c d i o u x X p: one 32-bit argument
        int v = va_arg(ap, int);
        char buf[512];
        int n;
        if (conv == 'p') {
          n = std::snprintf(buf, sizeof buf, "%0*x", width > 0 ? width : 8, unsigned(v));
        } else if (length == 'l') {
          spec[sl - 2] = conv;  // our longs are 32-bit: format as int
          spec[sl - 1] = 0;
          n = std::snprintf(buf, sizeof buf, spec, v);
        } else {
          n = std::snprintf(buf, sizeof buf, spec, v);
        }
        if (n > 0) {
          if (std::size_t(n) < sizeof buf) {
            out.Append(buf, std::size_t(n));
          } else {
            char* big = new char[std::size_t(n) + 1];
            if (conv == 'p') std::snprintf(big, std::size_t(n) + 1, "%0*x", width > 0 ? width : 8, unsigned(v));
            else std::snprintf(big, std::size_t(n) + 1, spec, v);
            out.Append(big, std::size_t(n));
            delete[] big;
          }
        }
        break;
      }
    }
    p = s;
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
