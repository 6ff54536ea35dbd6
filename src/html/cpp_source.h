// Coloured C++ listings: the scanner, the colour classes and the HTML table
// written for one run of source-block lines.
//
// A block is scanned, classified and written one token at a time, so nothing
// grows with the block but its joined text. Every 100 tokens the progress
// callback is called (it may pump the host and report cancellation).
//
// Not for: other languages, or text outside source blocks. The caller closes
// open bold/teletype/font tags before the table and suppresses the line break
// and advances the line number after it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/str.h"
#include "html/profile.h"
#include "rules/listing_colours.h"

namespace norvelle {

// One scanned token; kind is the scanner state, then the colour class.
// A token's text: a view into the block's joined text, which outlives the
// tokens of the block (copying each token's bytes cost more than writing them).
class TokenText {
 public:
  void Assign(const char* p, std::size_t n) { text_ = std::string_view(p, n); }
  std::string_view view() const { return text_; }
  bool empty() const { return text_.empty(); }

 private:
  std::string_view text_;
};

struct TarnCPPSymbol {
  std::int32_t kind = 0;
  TokenText text;
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

// The classes that have a colour take it from the colour table.
enum CppClass : int {
  kClassWhitespace = 100,                                        // blanks, tabs, line feeds: no colour
  kClassNormal = ListingColourOf(ListingColour::kNormal).cls,    // anything else
  kClassKeyword = ListingColourOf(ListingColour::kKeyword).cls,  // a word in the keyword set
  kClassString = ListingColourOf(ListingColour::kString).cls,    // a string literal
  kClassComment = ListingColourOf(ListingColour::kComment).cls,  // a line or block comment
  kClassSymbol = ListingColourOf(ListingColour::kSymbol).cls,    // any other word
  kClassChar = ListingColourOf(ListingColour::kChar).cls,        // a character literal
  kClassNumber = ListingColourOf(ListingColour::kNumber).cls,    // a number
};
static_assert(kClassNormal == kFirstColourClass && kClassWhitespace == kFirstColourClass - 1);

// The eight colour strings of a rule, RRGGBB, written verbatim after "#".
// ForClass gives the colour of classes 101..107; whitespace has no colour of
// its own, and it and any other value give the normal colour, as a block's
// first token does.
using SourceColours = ListingColours;

// The 66 keywords and 13 directives, exact and case-sensitive: an open
// table asked once per word of a listing.
class CppKeywordSet {
 public:
  CppKeywordSet();
  bool Contains(std::string_view word) const;

 private:
  static constexpr std::size_t kSlots = 256;
  static constexpr std::size_t kShortest = 2, kLongest = 16;  // "do", "reinterpret_cast"
  static std::size_t Hash(std::string_view w) {
    return (w.size() * 7 + static_cast<unsigned char>(w[0]) * 31 + static_cast<unsigned char>(w[1]) * 3 +
            static_cast<unsigned char>(w.back()) * 13) % kSlots;
  }
  std::string_view slots_[kSlots];
};
// Written tokens between two progress reports.
inline constexpr int kProgressTokens = 100;

// Reads the tokens of one block's joined text. The state carries from token
// to token (and so from chunk to chunk); it starts as kStateOther.
class CppScanner {
 public:
  explicit CppScanner(std::string_view text) : p_(text.data()), end_(text.data() + text.size()) {}
  bool AtEnd() const { return p_ >= end_; }
  CppState state() const { return state_; }
  // Reads one token in the current state; its text may be empty (state 0
  // standing right before the start of another token).
  void Read(TarnCPPSymbol& sym);

 private:
  const char* p_;
  const char* end_;
  CppState state_ = kStateOther;
};

// The colour class of a non-empty token read in state sym.kind.
int ColourClassOf(const TarnCPPSymbol& sym, const CppKeywordSet& keywords);

// Called every 100 tokens with the progress position; returns true to cancel.
// An empty callback is never called.
using SourceProgress = std::function<bool(int position)>;

struct SourceBlockInput {
  std::string_view text;                       // the block's N lines, each but the last followed by LF
  std::size_t line_count = 1;                  // N >= 1
  bool line_numbers = true;                    // the line-number column
  const SourceColours* colours;
  std::string_view tab_string;                 // what one TAB becomes
  int progress_base = 0;                       // pass-2 base + current line number
  Profile profile = kHtml401;                  // HTML5: spans with classes for font and nobr
  bool colour_classes = false;                 // HTML5: the style block's classes hold these colours
};

// Writes the whole table for one block to body. Returns false when the
// progress callback asked to cancel (the body is then incomplete).
bool WriteSourceBlock(const SourceBlockInput& in, const CppKeywordSet& keywords,
                      std::string& body, const SourceProgress& progress);

}  // namespace norvelle
