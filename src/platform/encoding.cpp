#include "platform/encoding.h"

#include <iconv.h>

#include <cerrno>

namespace norvelle {

namespace {

// One conversion through iconv; on an invalid sequence either fails or, when
// `lossy`, writes `replacement` and skips one byte.
bool Convert(const char* to, const char* from, std::string_view in, std::string& out, bool lossy,
             std::string_view replacement) {
  out.clear();
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  char* src = const_cast<char*>(in.data());
  std::size_t left = in.size();
  char buf[4096];
  bool ok = true;
  while (left > 0) {
    char* dst = buf;
    std::size_t room = sizeof buf;
    std::size_t r = iconv(cd, &src, &left, &dst, &room);
    out.append(buf, std::size_t(dst - buf));
    if (r == std::size_t(-1)) {
      if (errno == E2BIG) continue;
      if (!lossy) {
        ok = false;
        break;
      }
      out.append(replacement);
      ++src;
      --left;
    }
  }
  iconv_close(cd);
  return ok;
}

}  // namespace

bool Cp932ToUtf8(std::string_view in, std::string& out) {
  return Convert("UTF-8", "CP932", in, out, false, {});
}

bool Utf8ToCp932(std::string_view in, std::string& out) {
  return Convert("CP932", "UTF-8", in, out, false, {});
}

std::string Cp932ToUtf8Lossy(std::string_view in) {
  std::string out;
  Convert("UTF-8", "CP932", in, out, true, "\xEF\xBF\xBD");
  return out;
}

}  // namespace norvelle
