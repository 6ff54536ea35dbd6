// Coloured C++ listings: the scanner, the colour classes and the HTML table
// written for one run of source-block lines.
//
// A block is scanned in chunks of at most 1001 tokens so the token list stays
// small for long listings; the output equals that of one chunk. Every 100
// tokens the progress callback is called (it may pump the host and report
// cancellation). Not for: other languages, or text outside source blocks.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/map.h"
#include "base/str.h"

namespace norvelle {

// One scanned token; kind is the scanner state, then the colour class.
struct TarnCPPSymbol {
  std::int32_t kind = 0;
  CStr text;
};

enum CppState : int {
  kStateOther = 0,         // operators, punctuation, any other byte
  kStateWord = 1,          // a-z A-Z 0-9 _ #
  kStateChar = 2,          // '...'
  kStateString = 3,        // "..."
  kStateLineComment = 4,   // // ... up to and including the line feed
  kStateBlockComment = 5,  // /* ... */
  kStateNumber = 6,        // 0-9 a-z A-Z .
};

enum CppClass : int {
  kClassWhitespace = 100,  // blanks, tabs, line feeds: keeps the current colour
  kClassNormal = 101,      // /SrcColorNormal
  kClassKeyword = 102,     // /SrcColorKeyword
  kClassString = 103,      // /SrcColorString
  kClassComment = 104,     // /SrcColorComment
  kClassSymbol = 105,      // /SrcColorSymbol
  kClassChar = 106,        // /SrcColorChar
  kClassNumber = 107,      // /SrcColorNum
};

// The eight colour strings of a rule, RRGGBB, written verbatim after "#".
struct SourceColours {
  CStr normal = "000000";
  CStr keyword = "0000ff";
  CStr string = "0080bb";
  CStr comment = "008000";
  CStr line = "6000ff";
  CStr symbol = "000000";
  CStr chr = "0080bb";
  CStr number = "000000";
  // Colour of classes 101..107; whitespace has none.
  const CStr& ForClass(int cls) const;
};

// The 66 keywords and 13 directives, exact and case-sensitive.
class CppKeywordSet {
 public:
  CppKeywordSet();
  bool Contains(std::string_view word) const;

 private:
  CStrMap<char> set_;
};

// Called every 100 tokens with the progress position; returns true to cancel.
using SourceProgress = std::function<bool(int position)>;

struct SourceBlockInput {
  const std::vector<std::string_view>* lines;  // the N element texts of the block
  bool line_numbers = true;                    // the line-number column
  const SourceColours* colours;
  std::string_view tab_string;                 // what one TAB becomes
  int progress_base = 0;                       // pass-2 base + current line number
};

// Writes the whole table for one block to body. Returns false when the
// progress callback asked to cancel (the body is then incomplete).
bool WriteSourceBlock(const SourceBlockInput& in, const CppKeywordSet& keywords,
                      std::string& body, const SourceProgress& progress);

}  // namespace norvelle
