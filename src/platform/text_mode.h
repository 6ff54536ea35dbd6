// Text mode in memory: what reading and writing a text file does to its
// bytes, as the C library's text files did on the original system.
//
// Reading turns each CR LF into LF and ends the text at its first 0x1A;
// writing turns each LF into CR LF. No other byte changes (a lone CR stays).
// The byte work is text/scan.h's; the files themselves are read_file.h's and
// crlf_writer.h's.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace norvelle {

// Reading's text mode in place over d[0, n); returns the length left, and
// *cut tells whether a 0x1A ended the text.
std::size_t TextModeInPlace(char* d, std::size_t n, bool* cut);
void ToTextMode(std::string& text);

// Writing's text mode: lf_text with each LF as CR LF, appended to out.
void AppendCrlf(std::string& out, std::string_view lf_text);

}  // namespace norvelle
