#include "text/split.h"

#include "text/dbcs.h"
#include "text/scan.h"

namespace norvelle {

std::size_t FindAtCharStart(std::string_view text, std::string_view key) {
  if (key.empty()) return 0;
  const char* const b = text.data();
  const char* const e = b + text.size();
  const char k0 = key[0];
  for (const char* p = b; p < e; p = NextChar(p, e)) {
    // Bytes below 0x80 but the key's first are characters of their own that
    // start no match: most text goes by that way.
    p += Scan::FindHighOr(p, e, k0);
    if (p == e) break;
    if (*p == k0 && (key.size() == 1 || (std::size_t(e - p) >= key.size() && std::string_view(p, key.size()) == key)))
      return std::size_t(p - b);
  }
  return std::string_view::npos;
}

}  // namespace norvelle
