// The pattern engine: the program's own "%"-escape regular expressions.
//
// A pattern text compiles into a tree of CStrRegexStruct elements (compile
// never fails: unknown operators, unclosed groups and stray closers are read
// leniently). A backtracking matcher runs the tree over Shift_JIS text, taking
// double-byte characters whole, collects capture hits (inner captures first),
// and can replace each match by an expanded template or hand it to a callback.
//
// Limits: group nesting deeper than kMaxPatternDepth is not compiled (the
// rest of the pattern is dropped), and one match attempt stops after
// kMaxMatchSteps element steps, counting as no match, so no pattern can
// exhaust the stack or hang the program.
// Trees are read-only while matching and all match state (case flag, start
// position, budgets) lives in the call, so one process may match many texts.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "base/array.h"
#include "base/str.h"

namespace norvelle {

inline constexpr int kMaxPatternDepth = 200;
inline constexpr std::uint64_t kMaxMatchSteps = 50'000'000;

// One pattern element. Kinds: 0 empty, 1 literal run, 2 sequence group,
// 3 capture group, 4 alternation group, 5 operator, 6 byte range.
struct CStrRegexStruct {
  int kind = 0;
  CStr_base<32> literal;                  // kind 1: the bytes of the run
  CArrayAuto<CStrRegexStruct> children;   // kinds 2-4: items; kind 5 "z": operand
  char op = ' ';                          // kind 5: operator character
  char modifier = ' ';                    // '+', '*', '!', '/' or ' ' (plain)
  char range_low = ' ';                   // kind 6 bounds
  char range_high = ' ';
  int count = -1;    // first number; dot number for the index operators
  int index = -1;    // dot number; first number for the index operators
  int maximum = -1;  // comma number
};

// Start and length in bytes of one match (or of its replacement).
struct CStrRegexMatchStruct {
  int start = 0;
  int length = 0;
};

using CStrHitList = CStrArray_base<64>;
using CStrHitLog = CArrayAuto<CStrArray_base<64>>;
using CStrPositionList = CArrayAuto<CStrRegexMatchStruct>;

// What a match callback is told. For the search form, tmpl and output are null.
struct RegexCallbackArgs {
  const char* match;  // address of the match in the subject
  int start;          // offset of the match
  int length;         // length of the match
  const char* tmpl;   // the replacement template, or null
  CStr* output;       // the output being built (in-place form), or null
  CStrHitList* hits;
};
// Result: >= 0 is the match length (template not applied); -1 rejects the
// match; -2 applies the template; below -2 keeps the match without template.
// In the search form any negative result rejects the match.
using RegexCallback = std::function<int(const RegexCallbackArgs&)>;

// Appends the items of `pattern` to root's children (root is kind 2).
bool RegexCompile(const char*& pattern, CStrRegexStruct& root);
// Convenience: a fresh kind-2 root compiled from the whole text.
CStrRegexStruct RegexCompile(std::string_view pattern);

// Form 1: match in place. Returns the number of matches (1 or 0 without "g").
int RegexMatch(CStr& subject, const CStrRegexStruct& root, const char* flags,
               CStrHitList* hits = nullptr, const char* tmpl = nullptr,
               CStrHitLog* hit_log = nullptr, int start = 0,
               CStrPositionList* positions = nullptr, const RegexCallback* callback = nullptr);

// Form 2: the same with a pattern text compiled for the call.
int RegexMatch(CStr& subject, const char* pattern, const char* flags,
               CStrHitList* hits = nullptr, const char* tmpl = nullptr,
               CStrHitLog* hit_log = nullptr, int start = 0,
               CStrPositionList* positions = nullptr, const RegexCallback* callback = nullptr);

// Form 3: search a plain text, positions 0 .. length-1. Returns the count.
int RegexSearch(std::string_view text, const CStrRegexStruct& root, const char* flags,
                CStrHitList* hits = nullptr, CStrHitLog* hit_log = nullptr,
                CStrPositionList* positions = nullptr, const RegexCallback* callback = nullptr);
int RegexSearch(std::string_view text, const char* pattern, const char* flags,
                CStrHitList* hits = nullptr, CStrHitLog* hit_log = nullptr,
                CStrPositionList* positions = nullptr, const RegexCallback* callback = nullptr);

// Expands a replacement template with the hits, appending to out.
void RegexExpandTemplate(const char* tmpl, const CStrHitList& hits, CStr& out);

}  // namespace norvelle
