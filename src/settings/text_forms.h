// The text forms of the settings dialog: how stored values look in its
// fields and come back, the colour of a swatch, file titles and file-dialog
// filters. Pure functions over CP932 text; double-byte characters are always
// stepped over whole, so a trail byte 0x5C is never read as a backslash.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/str.h"
#include "settings/settings_view.h"

namespace norvelle {

// Stored value -> one-line field text: "\\", "\n", "\t" for backslash, line
// feed and tab.
CStr DisplayForm(std::string_view value);
// Field text -> stored value; an unknown escape and a lone final backslash
// are dropped.
CStr ValueFromField(std::string_view text);

// Line feeds of a stored header or footer <-> the CR LF of a multi-line field.
CStr LfToCrLf(std::string_view text);
CStr CrLfToLf(std::string_view text);

// The colour of a swatch: up to three groups of at most two hexadecimal
// digits from the start of the text, red, green, blue; missing ones are 0.
Rgb SwatchColour(std::string_view text);

// The file name without folder ("\" or "/") and without everything from its
// last "."; empty for an empty path.
std::string FileTitle(std::string_view path);

// A filter in "caption|pattern|...||" form as (caption, patterns) pairs, with
// the patterns in the toolkit's form ("*.*" matches every name, so "*").
std::vector<std::pair<std::string, std::string>> ParseFileFilter(std::string_view filter);

}  // namespace norvelle
