// The formatting tags of pass 2: one table row per tag, the open-element
// state and its open-tag stack.
//
// Formatting commands are states, not start/end pairs: an element that
// carries b is bold, the first one without b ends the bold text. The stack
// records the HTML elements written and not yet closed, innermost last;
// closing one entry closes everything opened after it, and the opening step
// reopens what the next element still carries. So every start tag written
// has its end tag, properly nested. TagState alone opens and closes; both
// read the same row, so a new tag is one row in kTags.
// Not here: commands that write without opening anything (br, img=, +x).
#pragma once

#include <string>
#include <vector>

#include "markup/element.h"

namespace norvelle {

enum class TagKind {
  kFlag,        // open or not: <b> ... </b>; opened once while carried
  kLevel,       // open at one level, closed when the level changes: <h2>
  kCount,       // opened n times for the number n: <big><big>
  kAttributes,  // carries attributes built from several codes; reopened when they change: <font>
  kNesting,     // opened by every element that carries it, closed by its own end command: <table>
  kVoid,        // a start tag without an end tag: <hr>
};

enum class TagArg {
  kNone,    // start text only
  kRaw,     // the argument right after the start text: "<span " ARG
  kSpaced,  // one blank and the argument, when it is not empty: "<hr" [" " ARG]
};

// One attribute of a kAttributes tag; name null: the code's argument is raw
// attribute text.
struct TagAttr {
  int code;
  const char* name;
};

struct TagInfo {
  int code;                // the command code that opens the tag
  TagKind kind;
  const char* start;       // start text before the argument
  TagArg arg;
  const char* start_tail;  // after the argument
  const char* end;         // end tag; a kLevel tag appends its level and ">"
  bool block;              // a block element (not inline text formatting)
  int close_rank;          // position in the closing step; -1 never closed there
  int close_code;          // kNesting: the command that closes it
  const TagAttr* attrs;    // kAttributes: the attribute parts in writing order
};

inline constexpr TagAttr kFontAttrs[] = {{kFont, nullptr}, {kColor, "color"}, {kSize, "size"}, {-1, nullptr}};
inline constexpr TagAttr kLinkAttrs[] = {
    {kAnchor, nullptr}, {kLink, "href"}, {kTarget, "target"}, {kName, "name"}, {-1, nullptr}};

// One row per tag, in the order the opening step writes them; close_rank
// gives the order of the closing step.
// clang-format off
inline constexpr TagInfo kTags[] = {
  // code       kind                 start       arg            tail          end              block  rank close     attrs
    {kHeading,  TagKind::kLevel,     "<h",       TagArg::kRaw,    ">",          "</h",           true,  10,  0,         nullptr},
    {kPre,      TagKind::kFlag,      "<pre>",    TagArg::kNone,   "",           "</pre>",        true,  8,   0,         nullptr},
    {kHr,       TagKind::kVoid,      "<hr",      TagArg::kSpaced, ">",          "",              true,  -1,  0,         nullptr},
    {kBold,     TagKind::kFlag,      "<b>",      TagArg::kNone,   "",           "</b>",          false, 5,   0,         nullptr},
    {kItalic,   TagKind::kFlag,      "<i>",      TagArg::kNone,   "",           "</i>",          false, 6,   0,         nullptr},
    {kTeletype, TagKind::kFlag,      "<tt>",     TagArg::kNone,   "",           "</tt>",         false, 7,   0,         nullptr},
    {kBig,      TagKind::kCount,     "<big>",    TagArg::kNone,   "",           "</big>",        false, 0,   0,         nullptr},
    {kSmall,    TagKind::kCount,     "<small>",  TagArg::kNone,   "",           "</small>",      false, 1,   0,         nullptr},
    {kFont,     TagKind::kAttributes,"<font",    TagArg::kNone,   ">",          "</font>",       false, 2,   0,         kFontAttrs},
    {kAnchor,   TagKind::kAttributes,"<a",       TagArg::kNone,   ">",          "</a>",          false, 3,   0,         kLinkAttrs},
    {kSpan,     TagKind::kFlag,      "<span ",   TagArg::kRaw,    ">",          "</span>",       false, 11,  0,         nullptr},
    {kCenter,   TagKind::kFlag,      "<center>", TagArg::kNone,   "",           "</center>",     true,  9,   0,         nullptr},
    {kTable,    TagKind::kNesting,   "<table",   TagArg::kSpaced, "><tr><th>",  "</tr></table>", true,  4,   kEndtable, nullptr},
};
// clang-format on
inline constexpr int kTagCount = int(sizeof kTags / sizeof kTags[0]);

// The row of a code, or null.
const TagInfo* TagOf(int code);

// One open HTML element. (The original design also kept a text per entry;
// nothing ever read it.)
struct TarnStackStruct {
  int code = 0;  // the code of a kTags row
};

class TagState {
 public:
  void Clear();
  // The closing step: ends what e no longer carries (in close_rank order).
  void CloseFor(const TarnStruct& e, const ArgPool& args, std::string& out);
  // The opening step's tags: writes the start tags e carries that are not open.
  void OpenFor(const TarnStruct& e, const ArgPool& args, std::string& out);
  // Removes the innermost entry and writes its end tag.
  void CloseTop(std::string& out);
  // Closes entries until one with this code has been closed.
  void CloseTo(int code, std::string& out);
  void CloseAll(std::string& out);
  // Closes the entries opened after the innermost table (the table stays).
  void CloseAboveTable(std::string& out);
  bool empty() const { return stack_.empty(); }

  // How far a tag is open: 0 closed, 1 open flag, the level of a heading,
  // the depth of big, small or table; 1 for open attributes.
  int Depth(int code) const;
  // True while a font or link is open (an element without codes may close it).
  bool AttributesOpen() const;

 private:
  struct Open {
    int depth = 0;
    std::string attrs;  // kAttributes: the attribute text written
  };
  void Close(const TagInfo& t, const TarnStruct& e, const ArgPool& args, std::string& out);
  void Start(const TagInfo& t, const TarnStruct& e, const ArgPool& args, std::string& out);
  void BuildAttrs(const TagInfo& t, const TarnStruct& e, const ArgPool& args);
  void Push(const TagInfo& t) { stack_.push_back({t.code}); }
  Open& state(const TagInfo& t) { return open_[&t - kTags]; }

  Open open_[kTagCount];
  std::vector<TarnStackStruct> stack_;
  std::string scratch_;  // attributes of the element at hand, reused
};

}  // namespace norvelle
