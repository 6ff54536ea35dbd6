// The formatting tags of pass 2: one table row per tag, the open-element
// state and its open-tag stack.
//
// Formatting commands are states, not start/end pairs: an element that
// carries b is bold, the first one without b ends the bold text. The stack
// records the HTML elements written and not yet closed, innermost last;
// closing one entry closes everything opened after it, and the opening step
// reopens what the next element still carries. So every start tag written
// has its end tag, properly nested. TagState alone opens and closes; both
// read the same row, so a new tag is one row in kTags. A row holds the tag's
// two renderings, HTML 4.01 and HTML5: the profile picks what is written,
// never what opens or closes. HTML5 adds one rule of its own: a block closes
// the inline formatting around it and reopens it inside (Place5).
// Not here: commands that write without opening anything (br, img=, +x).
#pragma once

#include <string>
#include <vector>

#include "html/html5_attrs.h"
#include "html/profile.h"
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
  kNone,       // start text only
  kRaw,        // the argument right after the start text: "<span " ARG
  kSpaced,     // one blank and the argument, when it is not empty: "<hr" [" " ARG]
  kRewritten,  // HTML5: the argument, or the attributes built, rewritten (html5_attrs.h)
};

// Where a tag may stand, for the HTML5 profile's nesting: a block never
// opens inside inline formatting there; the formatting is closed before it
// and reopened inside it (|b,h2| gives <h2><b>...</b></h2>).
enum class TagFlow {
  kInline,    // phrasing content: b, i, span, a
  kBlock,     // flow content: div, table, hr
  kPhrasing,  // a block that holds phrasing content only: h1-h6, pre
};

// One attribute of a kAttributes tag; name null: the code's argument is raw
// attribute text.
struct TagAttr {
  int code;
  const char* name;
};

// How one profile writes a tag.
struct TagRender {
  const char* start;  // start text before the argument
  TagArg arg;
  const char* tail;   // after the argument
  const char* end;    // end tag; a kLevel tag appends its level and ">"
};

struct TagInfo {
  int code;                // the command code that opens the tag
  TagKind kind;
  TagRender render[2];     // by Profile: HTML 4.01, HTML5
  TagFlow flow;
  int close_rank;          // position in the closing step; -1 never closed there
  int close_code;          // kNesting: the command that closes it
  const TagAttr* attrs;    // kAttributes: the attribute parts in writing order
  AttrHost host;           // HTML5: what its attribute text may hold
};

inline constexpr TagAttr kFontAttrs[] = {{kFont, nullptr}, {kColor, "color"}, {kSize, "size"}, {-1, nullptr}};
inline constexpr TagAttr kLinkAttrs[] = {
    {kAnchor, nullptr}, {kLink, "href"}, {kTarget, "target"}, {kName, "name"}, {-1, nullptr}};

// One row per tag, in the order the opening step writes them; close_rank
// gives the order of the closing step. The HTML5 rendering of a table ends
// in "<th" so that the cells' style can follow.
namespace tag_rows {
using enum TagArg;
using enum TagFlow;
// clang-format off
inline constexpr TagInfo kTags[] = {
  // code       kind                  HTML 4.01: start  arg      tail          end                HTML5: start                     arg         tail         end               flow       rank close      attrs       host
    {kHeading,  TagKind::kLevel,     {{"<h",       kRaw,    ">",          "</h"},           {"<h",                     kRaw,       ">",         "</h"}},          kPhrasing, 10,  0,         nullptr,    AttrHost::kSpan},
    {kPre,      TagKind::kFlag,      {{"<pre>",    kNone,   "",           "</pre>"},        {"<pre>",                  kNone,      "",          "</pre>"}},       kPhrasing, 8,   0,         nullptr,    AttrHost::kSpan},
    {kHr,       TagKind::kVoid,      {{"<hr",      kSpaced, ">",          ""},              {"<hr",                    kRewritten, ">",         ""}},             kBlock,    -1,  0,         nullptr,    AttrHost::kHr},
    {kBold,     TagKind::kFlag,      {{"<b>",      kNone,   "",           "</b>"},          {"<b>",                    kNone,      "",          "</b>"}},         kInline,   5,   0,         nullptr,    AttrHost::kSpan},
    {kItalic,   TagKind::kFlag,      {{"<i>",      kNone,   "",           "</i>"},          {"<i>",                    kNone,      "",          "</i>"}},         kInline,   6,   0,         nullptr,    AttrHost::kSpan},
    {kTeletype, TagKind::kFlag,      {{"<tt>",     kNone,   "",           "</tt>"},         {"<code>",                 kNone,      "",          "</code>"}},      kInline,   7,   0,         nullptr,    AttrHost::kSpan},
    {kBig,      TagKind::kCount,     {{"<big>",    kNone,   "",           "</big>"},        {"<span class=\"nv-big\">", kNone,     "",          "</span>"}},      kInline,   0,   0,         nullptr,    AttrHost::kSpan},
    {kSmall,    TagKind::kCount,     {{"<small>",  kNone,   "",           "</small>"},      {"<small>",                kNone,      "",          "</small>"}},     kInline,   1,   0,         nullptr,    AttrHost::kSpan},
    {kFont,     TagKind::kAttributes,{{"<font",    kNone,   ">",          "</font>"},       {"<span",                  kRewritten, ">",         "</span>"}},      kInline,   2,   0,         kFontAttrs, AttrHost::kFont},
    {kAnchor,   TagKind::kAttributes,{{"<a",       kNone,   ">",          "</a>"},          {"<a",                     kRewritten, ">",         "</a>"}},         kInline,   3,   0,         kLinkAttrs, AttrHost::kLink},
    {kSpan,     TagKind::kFlag,      {{"<span ",   kRaw,    ">",          "</span>"},       {"<span",                  kRewritten, ">",         "</span>"}},      kInline,   11,  0,         nullptr,    AttrHost::kSpan},
    {kCenter,   TagKind::kFlag,      {{"<center>", kNone,   "",           "</center>"},     {"<div class=\"nv-center\">", kNone,   "",          "</div>"}},       kBlock,    9,   0,         nullptr,    AttrHost::kSpan},
    {kTable,    TagKind::kNesting,   {{"<table",   kSpaced, "><tr><th>",  "</tr></table>"}, {"<table",                 kRewritten, "><tr><th",  "</tr></table>"}}, kBlock,    4,   kEndtable, nullptr,    AttrHost::kTable},
};
// clang-format on
}  // namespace tag_rows
using tag_rows::kTags;
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
  // The rendering written; the logic of opening and closing is the same.
  void set_profile(Profile p) { profile_ = p; }
  Profile profile() const { return profile_; }
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
  // HTML5: the style attribute of the innermost table's cells, or empty.
  std::string_view cell_style() const;

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

  // HTML5: what each stack entry wrote, so that it can be closed and
  // reopened around a block, and a table's cell style.
  struct Written {
    int code = 0;
    std::string start;
    const char* end = nullptr;  // null: the row's end
    std::string cells;
    // Where its start text ended in the output, and for which OpenFor: an
    // entry with nothing written in it yet is taken back, not closed.
    std::size_t written_to = 0;
    unsigned serial = 0;
  };
  void Start5(const TagInfo& t, std::string_view arg, std::string& out);
  void Place5(const TagInfo& t, Written w, std::string& out);
  bool InPhrasingBlock() const;
  const char* EndOf(const TagInfo& t, std::size_t entry) const;

  Profile profile_ = kHtml401;
  unsigned serial_ = 0;  // counts OpenFor calls
  Open open_[kTagCount];
  std::vector<TarnStackStruct> stack_;
  std::vector<Written> written_;  // HTML5 only: one per stack entry
  std::vector<Written> reopen_;   // reused by Place5
  std::string scratch_;  // attributes of the element at hand, reused
};

}  // namespace norvelle
