// printf-style formatting into the system's strings.
//
// The target is cleared, then the output is appended by the string's own
// growth rule. Numbers go through the C library with the conversion exactly as
// written; "%s" is handled here, byte-wise, and its precision never cuts a
// double-byte character in half. An unknown conversion character drops the
// "%" and what was read after it, and is then read again as text ("%5q" -> "q").
// Not for: wide strings or positional arguments.
#pragma once

#include <cstdarg>

#include "base/str.h"

namespace norvelle {

void Format(CStr_base<64>& out, const char* fmt, ...);
void Format(CStr_base<1024>& out, const char* fmt, ...);
void VFormat(CStr_base<64>& out, const char* fmt, va_list ap);
void VFormat(CStr_base<1024>& out, const char* fmt, va_list ap);

}  // namespace norvelle
