// Finding a key in Shift_JIS text and cutting the text at it.
//
// A match starts only at a character start, never at a trail byte, so a key
// such as "\\" or "|" is not found inside a double-byte character. Not for
// patterns: the pattern engine has its own search.
#pragma once

#include <cstddef>
#include <string_view>

namespace norvelle {

// The offset of the first occurrence of key in text at a character start, or
// npos; SplitAtKey cuts there first. An empty key is found at 0.
std::size_t FindAtCharStart(std::string_view text, std::string_view key);

// Cuts text at every occurrence of key, never at a trail byte. An empty key
// gives the whole text; n matches give n + 1 pieces, possibly empty.
template <class F>
void SplitAtKey(std::string_view text, std::string_view key, F&& piece) {
  if (key.empty()) {
    piece(text);
    return;
  }
  for (;;) {
    const std::size_t at = FindAtCharStart(text, key);
    if (at == std::string_view::npos) break;
    piece(text.substr(0, at));
    text.remove_prefix(at + key.size());
  }
  piece(text);
}

}  // namespace norvelle
