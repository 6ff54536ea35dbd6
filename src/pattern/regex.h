// The pattern engine: the program's own "%"-escape regular expressions.
//
// A pattern text compiles into a tree of CStrRegexStruct elements (compile
// never fails: unknown operators, unclosed groups and stray closers are read
// leniently). A backtracking matcher runs the tree over Shift_JIS text, taking
// double-byte characters whole, collects capture hits (inner captures first),
// and can replace each match by an expanded template or hand it to a callback.
//
// Not for: general POSIX or Perl syntax; there is no alternation by "|" and
// no backtracking into an element that has already succeeded, except through
// the "rest" that lazy ("+") and greedy ("*") repetitions try. A lazy or
// possessive repetition stops at a round that consumes nothing (it would
// otherwise try the same rest forever).
//
// Limits, each guarding the stack or the clock:
// - Groups (and "z" operands) nested deeper than kMaxPatternDepth are not
//   compiled and the rest of the pattern is dropped, so building, copying and
//   destroying a tree recurse at most that deep.
// - One attempt may nest at most kMaxMatchDepth repetitions (group levels plus
//   chains of lazy/greedy elements that each match the rest of their group).
// - One attempt may take kMaxMatchSteps element steps plus
//   kMatchStepsPerByte per byte of the subject (MatchAttemptBudget: the
//   rule-file and command-line patterns take at most 7 steps a byte; nested lazy/greedy runs over a
//   failing tail would be polynomial or worse), and all attempts of one call
//   together kMaxMatchSteps plus kMatchWordStepsPerByte for each of the
//   first kMatchWordBytes bytes and kMatchCallStepsPerByte for each byte
//   after them (MatchCallBudget: a quadratic attempt tried at each of n
//   positions would otherwise cost n budgets; short subjects, the words of
//   the auto-replace list, may still take a few thousand steps a byte).
//   A step costs about 10 ns in a Release build, so one call on a word of 20
//   bytes ends within about 2.1M steps (~0.02 s), on 4 KB within about 19M.
// - One attempt may hold kMaxMatchHits hits plus kMatchHitsPerByte per
//   subject byte, and one call may copy kMaxHitBytes bytes plus
//   kMatchHitBytesPerByte per subject byte into hits ("%Nt" with a huge N,
//   lazy rounds that take nothing but add a hit: without these, memory grows
//   with the step budget, or without bound). Ordinary patterns add a few hits
//   per character.
// With these a call on a short word ends within a few hundredths of a
// second and a few MB. An attempt that breaks a budget counts as no match
// and ends the call: later positions are not tried; form 1 can tell its
// caller that this happened.
// Trees are read-only while matching and all match state (case flag, start
// position, budgets, backtracking points) lives in the call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "base/array.h"
#include "base/str.h"

namespace norvelle {

inline constexpr int kMaxPatternDepth = 200;             // nested groups and "z" operands
inline constexpr int kMaxMatchDepth = 1000;              // nested repetitions in one attempt
inline constexpr std::uint64_t kMaxMatchSteps = 2'000'000;  // steps per attempt and per call, base
inline constexpr std::uint64_t kMatchStepsPerByte = 8;      // attempt: ... plus this per subject byte
inline constexpr std::uint64_t kMatchWordStepsPerByte = 4096;  // call: ... plus this per byte
inline constexpr std::uint64_t kMatchWordBytes = 4096;         //   of the first this many bytes,
inline constexpr std::uint64_t kMatchCallStepsPerByte = 256;   //   and this per byte after them
inline constexpr std::uint64_t kMaxMatchHits = 65'536;     // live hits per attempt, base
inline constexpr std::uint64_t kMatchHitsPerByte = 2;      // ... plus this per subject byte
inline constexpr std::uint64_t kMaxHitBytes = 8u << 20;    // bytes copied into hits, base
inline constexpr std::uint64_t kMatchHitBytesPerByte = 4;  // ... plus this per subject byte
// The step budgets of one attempt and of one call on a subject of n bytes.
constexpr std::uint64_t MatchAttemptBudget(std::uint64_t n) { return kMaxMatchSteps + kMatchStepsPerByte * n; }
constexpr std::uint64_t MatchCallBudget(std::uint64_t n) {
  const std::uint64_t word = n < kMatchWordBytes ? n : kMatchWordBytes;
  return kMaxMatchSteps + kMatchWordStepsPerByte * word + kMatchCallStepsPerByte * (n - word);
}
// Positions are 32-bit: a longer subject throws (see the entry forms).
inline constexpr std::size_t kMaxSubjectLength = std::size_t(INT32_MAX) - 2;

// Element kinds; the numbers are fixed, trees built by hand use them too.
inline constexpr int kRegexEmpty = 0;        // matches the empty string
inline constexpr int kRegexLiteral = 1;      // a run of bytes, "ab"
inline constexpr int kRegexSequence = 2;     // "%( ... %)", and every root
inline constexpr int kRegexCapture = 3;      // "%{ ... %}": appends a hit
inline constexpr int kRegexAlternation = 4;  // "%[ ... %]": first child that matches
inline constexpr int kRegexOperator = 5;     // "%d", "%v", "%z" ...
inline constexpr int kRegexRange = 6;        // "%-az": one byte in a signed range

// One pattern element.
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

// One saved backtracking point of a greedy repetition: the text position
// relative to where the repetition started, and the hit count there. Left
// without initialisers so that a call's local block of points costs nothing.
struct Zkl_CStrRegexHitBufStruct {
  int position;
  int hits;
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

// Appends the items of `pattern` to root's children and leaves the cursor
// after the text it read (after a stray closer, or at the end). A root of
// kind 0 becomes a sequence (kind 2). Always returns true.
bool RegexCompile(const char*& pattern, CStrRegexStruct& root);
// Convenience: a fresh kind-2 root compiled from the whole text.
CStrRegexStruct RegexCompile(std::string_view pattern);

// Flags: "i" case-insensitive (ASCII letters), "g" every match, "s" only at
// the start position. A null flags text is empty.
//
// Form 1: match in place. Returns the number of matches (1 or 0 without "g").
// With a template the subject is replaced by the built output. The hit list
// (a temporary one when none is given) is cleared first; its release flag is
// off during the call, so hits dropped while backtracking keep their buffers
// for the next hit, and is restored however the call ends. Without "g" it
// keeps the hits of the match found. A start offset outside 0..length throws
// the signed integer 0, as strings do; with a template the bytes before it
// are kept. A subject longer than kMaxSubjectLength throws its length as an
// unsigned integer. *cut_off (when given) tells whether an attempt broke a
// budget: the call then ended there, as if nothing matched from that point.
int RegexMatch(CStr& subject, const CStrRegexStruct& root, const char* flags,
               CStrHitList* hits = nullptr, const char* tmpl = nullptr,
               CStrHitLog* hit_log = nullptr, int start = 0,
               CStrPositionList* positions = nullptr, const RegexCallback* callback = nullptr,
               bool* cut_off = nullptr);

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

// Form 1 for the program's own callers: the optional parts by name, and
// what came of the call in one value.
struct MatchOptions {
  const char* flags = "";
  const char* tmpl = nullptr;  // replaces each match in the subject
  int start = 0;
  CStrHitList* hits = nullptr;
  CStrHitLog* hit_log = nullptr;
  CStrPositionList* positions = nullptr;
  const RegexCallback* callback = nullptr;
};
struct MatchResult {
  int matches = 0;
  bool cut_off = false;  // a budget ended the call early
};
inline MatchResult Match(CStr& subject, const CStrRegexStruct& root, const MatchOptions& o) {
  MatchResult r;
  r.matches = RegexMatch(subject, root, o.flags, o.hits, o.tmpl, o.hit_log, o.start, o.positions, o.callback,
                         &r.cut_off);
  return r;
}

}  // namespace norvelle
