// CP932 <-> UTF-8 conversion at the program's boundaries (file names, the
// terminal, dialogs). Everything inside the program is CP932 bytes.
// A text that cannot be converted yields false; callers treat that as a file
// that cannot be opened or show the text unconverted.
#pragma once

#include <string>
#include <string_view>

namespace norvelle {

bool Cp932ToUtf8(std::string_view in, std::string& out);
bool Utf8ToCp932(std::string_view in, std::string& out);

// Best effort for messages: invalid bytes become U+FFFD / '?'.
std::string Cp932ToUtf8Lossy(std::string_view in);

}  // namespace norvelle
