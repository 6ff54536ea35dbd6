// The rule file's text form: reading it into a RuleStore and writing it out.
//
// A rule file is INI-like Shift_JIS text with nested sections: "key=value"
// lines, "[name]" lines that open a child section, and lines holding
// "[EndSection]" that close one. Values are stored escaped ("\\", "\n", "\t");
// keys are stored as they are. The writer indents nested content with tabs
// and lists keys and sections in the store's map order, so a written file
// reads back into the same store (keys lose leading blanks, nothing else);
// a key of blanks only is written as a line starting with "=", which reading
// ignores, or left out when its value holds "=" or "[" and would misread.
//
// Not for: file access (RuleStore::Load and Save do that) or the key escapes
// of auto-replace words (rule_keys.h).
#pragma once

#include <cstdint>
#include <string_view>

#include "text/dbcs.h"
#include "base/str.h"

namespace norvelle {

class RuleStore;

// Reads lines into the store from its current section on. On success the
// root is current; a section name with "/" or ".", or an end line at the
// root, stops reading and returns false, keeping what was read before and
// leaving the current section where reading stopped.
bool ReadRuleText(RuleStore& store, std::string_view text);

// The two kinds of line the reader takes, matched as the pattern engine's
// "%/0w%{%+j%e=%}%{%+0j%P\n%}" and "%/0w[%{%+j%e]%}" with the flag "s" match
// a line without its LF. A key line: blanks, then the key, the shortest run
// of one or more characters before a "=", and the value, all after that "=".
bool SplitKeyLine(std::string_view line, std::string_view& key, std::string_view& value);
// A section line: blanks, "[", then the name, the shortest run of one or more
// characters before a "]"; anything may follow.
bool SectionLineName(std::string_view line, std::string_view& name);

// The whole store in file form with LF line ends (text mode adds the CRs).
void WriteRuleText(const RuleStore& store, CStr_base<1024>& out);

// A set of backslash escapes: letters[i] after a backslash stands for the
// byte bytes[i]. Double-byte characters are always taken whole, so a trail
// byte 0x5C is never escaped nor read as an escape.
struct EscapeSet {
  std::string_view letters;
  std::string_view bytes;
};
inline constexpr EscapeSet kValueEscapes{"\\nt", "\\\n\t"};

// Drops a backslash with an unknown character after it, and one at the end.
CStr Unescape(std::string_view text, EscapeSet set);

template <std::uint32_t N>
void AppendEscaped(std::string_view text, EscapeSet set, CStr_base<N>& out) {
  const char* p = text.data();
  const char* e = p + text.size();
  while (p < e) {
    const char* q = NextChar(p, e);
    // Stepping by characters, a trail byte is never looked at on its own.
    std::size_t i = set.bytes.find(*p);
    if (i != std::string_view::npos) {
      out.AppendChar('\\');
      out.AppendChar(set.letters[i]);
    } else {
      out.Append(p, std::size_t(q - p));
    }
    p = q;
  }
}

}  // namespace norvelle
