#include "platform/text_mode.h"

#include "text/scan.h"

namespace norvelle {

std::size_t TextModeInPlace(char* d, std::size_t n, bool* cut) { return Scan::TextModeInPlace(d, n, cut); }

void ToTextMode(std::string& text) {
  bool cut = false;
  text.resize(TextModeInPlace(text.data(), text.size(), &cut));
}

void AppendCrlf(std::string& out, std::string_view lf_text) {
  const std::size_t old = out.size();
  const std::size_t room = old + 2 * lf_text.size() + 16;  // the kernel's room
#ifdef __cpp_lib_string_resize_and_overwrite
  out.resize_and_overwrite(room, [&](char* d, std::size_t) {
    return old + Scan::CrlfInto(d + old, lf_text.data(), lf_text.size());
  });
#else
  out.resize(room);
  out.resize(old + Scan::CrlfInto(out.data() + old, lf_text.data(), lf_text.size()));
#endif
}

}  // namespace norvelle
