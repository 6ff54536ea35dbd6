// Elements: the unit of conversion, and the storage behind their texts.
//
// Every source line becomes one or more TarnStruct elements: a piece of text,
// a set of 64 command-code flags and the arguments given with some codes.
// Texts are views into the source buffer or into the run's TextArena, so a
// document of hundreds of megabytes is not copied element by element.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "base/stable_list.h"

namespace norvelle {

// Command codes (those a command word produces) and internal marks.
enum Code : int {
  kIni = 0,            // |ini|NAME: switch rule file
  kTitle = 1,          // |title|TEXT
  kExreps = 2,         // fill <exrepN> in the header
  kExrepe = 3,         // fill <exrepN> in the footer
  kConv = 4,           // text conversion on
  kNoconv = 5,         // text conversion off
  kAutobr = 6,         // automatic line breaks on
  kNoautobr = 7,       // automatic line breaks off
  kTable = 8,          // <table ...><tr><th>
  kEndtable = 9,       // </tr></table>
  kTabcnt = 10,        // tab width
  kComment = 11,       // "//": the element writes nothing
  kNext = 12,          // no line break before the next line
  kHr = 13,            // <hr ...>
  kImg = 14,           // <img src="...">
  kAlt = 15,           // alt text of img=
  kRawOpen = 16,       // "-x": <x> before the element
  kRawPlus = 17,       // "+x": <x> after the opening tags
  kRawClose = 18,      // "/x": </x>
  kRep = 19,           // write replace-table slot
  kSetrep = 20,        // set replace-table slot
  kInclude = 21,       // copy a file verbatim
  kIndent = 22,        // &nbsp; x n
  kBold = 23,          // <b>
  kItalic = 24,        // <i>
  kTeletype = 25,      // <tt>
  kPre = 26,           // <pre>
  kBig = 27,           // <big> x n
  kSmall = 28,         // <small> x n
  kFont = 29,          // <font ATTR>
  kColor = 30,         // color= of <font>
  kSize = 31,          // size= of <font>
  kAnchor = 32,        // <a ATTR>
  kLink = 33,          // href= of <a>
  kTarget = 34,        // target= of <a>
  kName = 35,          // name= of <a>
  kSpan = 36,          // <span ...>
  kPlain = 37,         // this element raw
  kLconv = 38,         // this element converted
  kPackedLine = 49,    // mark: a whole plain line, cut at its split key while writing
  kCppsrc = 50,        // start of a C++ listing
  kEndcppsrc = 51,     // end of a C++ listing
  kLineStart = 52,     // mark: first element of a source line
  kCommentOpen = 53,   // "/*"
  kCommentClose = 54,  // "*/"
  kSourceLine = 55,    // mark: a line inside a C++ listing
  kSetjoin = 56,       // accepted; yields a control element only
  kSrcLineOut = 57,    // listing line numbers on
  kNoSrcLineOut = 58,  // listing line numbers off
  kExtra = 59,         // mark: inserted for a repeated command
  kControl = 60,       // mark: writes nothing, takes no line break
  kBr = 61,            // <br>
  kCenter = 62,        // <center>
  kHeading = 63,       // <hN>
  // Codes of words that are never stored.
  kUnknown = -1,
  kStart = -2,         // conv + autobr
  kStop = -3,          // noconv + autobr
  kNobrStart = -4,     // conv + noautobr
  kNobrStop = -5,      // noconv + noautobr
  kPrev = -6,          // join this line to the previous one
  kIns = -7,           // next + prev
  kBase = -8,          // prefix commands for the following lines
};

// Codes 0..63 are stored, one flag bit each; negative codes never are.
inline constexpr int kCodeCount = 64;
inline constexpr bool IsStoredCode(int code) { return code >= 0 && code < kCodeCount; }

// The longest text an element holds: its length is 32 bits, which keeps the
// element at 24 bytes (pass 2 streams through millions of them). Longer lines
// are refused before any of them is stored (LineTooLong, convert/analyse.h).
inline constexpr std::size_t kMaxElementBytes = UINT32_MAX;

struct TarnStruct {
  const char* text = "";
  std::uint32_t len = 0;
  std::uint32_t args = 0;  // first argument in the run's ArgPool, 0 = none
  std::uint64_t codes = 0;

  std::string_view Text() const { return std::string_view(text, len); }
  void SetText(std::string_view t) {
    text = t.data();
    len = static_cast<std::uint32_t>(t.size());
  }
  bool Has(int code) const { return IsStoredCode(code) && (codes >> code & 1u); }
  void Set(int code) {
    if (IsStoredCode(code)) codes |= std::uint64_t(1) << code;
  }
};
static_assert(sizeof(TarnStruct) == 24, "a wider element costs pass 2 memory and time");

// The run's elements, in order. Items never move, so pass 2 may read those
// that pass 1 has handed over while pass 1 goes on (see ElementFeed).
using ElementList = StableList<TarnStruct>;

// The split keys that packed lines refer to by number.
using SplitKeys = StableList<std::string_view>;

// Arguments of all elements, as linked lists per element. Slots never move.
class ArgPool {
 public:
  ArgPool() { args_.push_back({}); }  // slot 0 means "none"
  // Stores or overwrites the argument of code on the element.
  void Set(TarnStruct& e, int code, std::string_view value);
  // The argument of code; empty when there is none.
  std::string_view Get(const TarnStruct& e, int code) const;

 private:
  struct Arg {
    int code = 0;
    std::uint32_t len = 0;
    const char* text = "";
    std::uint32_t next = 0;
  };
  StableList<Arg> args_;
};

// Stable storage for texts built during a run (captures, joined lines).
class TextArena {
 public:
  std::string_view Store(std::string_view s);

 private:
  static constexpr std::size_t kBlock = 1 << 16;
  std::vector<std::unique_ptr<char[]>> blocks_;
  char* cur_ = nullptr;
  std::size_t left_ = 0;
};

}  // namespace norvelle
