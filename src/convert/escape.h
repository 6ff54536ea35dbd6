// HTML escaping of Shift_JIS text, with tab (and optionally line-feed)
// expansion in the same pass.
//
// A blank becomes "&nbsp;", '"' "&quot;", '&' "&amp;", '<' "&lt;", '>' "&gt;".
// A lead byte is copied with the byte after it, which is never examined; a
// lead byte that ends the text is dropped. TAB and LF expansion step over
// double-byte characters the same way, so a pair is never split.
#pragma once

#include <string>
#include <string_view>

namespace norvelle {

// Appends text escaped.
void AppendHtmlEscaped(std::string& out, std::string_view text);
// Appends text escaped with every TAB replaced by tab_string.
void AppendConverted(std::string& out, std::string_view text, std::string_view tab_string);
// As AppendConverted, and every LF becomes "<br>\n"; returns the LFs replaced.
int AppendConvertedLines(std::string& out, std::string_view text, std::string_view tab_string);

// Whether AppendConvertedCut takes this key: neither NUL nor a lead byte, so
// that cutting at it and converting step over the same characters.
bool CanCutWhileConverting(char key);
// AppendConverted of each piece of text cut at key (at character starts),
// with sep written between the pieces, in one pass.
void AppendConvertedCut(std::string& out, std::string_view text, std::string_view tab_string, char key,
                        std::string_view sep);

}  // namespace norvelle
