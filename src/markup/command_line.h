// The command-line form of a source line: "|", command words separated by
// ",", "|", text. Two ways to read it that give the same result: the pattern
// (the definition, and the way for very long lines) and a hand-written scan
// that pass 1 uses for every other line, without copying anything.
//
// The reading follows the pattern exactly: words end at the first "," or "|"
// at a character start (a "|" that is the trail byte of a double-byte
// character is part of the word); a "," right before the closing bar ends the
// last word without starting an empty one ("|a,|t" has the one word "a");
// "||t" has no words; a line without the closing bar is no command line.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace norvelle {

// Hits: the words in order, then the text. Matched at the start only ("s").
inline constexpr const char* kCommandLinePattern = "|%+0{%+0j%e%[,%(%p|%)%]%}|%{%/0j%}";

// Lines up to this length are scanned; the pattern's step budget, which grows
// with the line, is far from reached on them.
inline constexpr std::size_t kMaxScannedCommandLine = 1 << 16;

// The scan: true when line is a command line; words and text are views into
// line. Only for lines up to kMaxScannedCommandLine bytes.
bool ScanCommandLine(std::string_view line, std::vector<std::string_view>& words,
                     std::string_view& text);

}  // namespace norvelle
