// The open-tag stack: closing writes end tags innermost first and keeps the
// open-element state in step with the stack.
#include "html/tags.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "markup/element.h"

namespace norvelle {
namespace {

// Opens code through the real opening step, with an element that also keeps
// an open font or link (an element without them would close them first).
void Open(TagState& s, int code, int level = 0) {
  TarnStruct e;
  ArgPool args;
  auto carry = [&](int c, std::string_view arg) {
    e.Set(c);
    args.Set(e, c, arg);
  };
  if (s.Depth(kFont) || code == kFont) carry(kColor, "red");
  if (s.Depth(kAnchor) || code == kAnchor) carry(kLink, "x.htm");
  std::string level_text = std::to_string(level);
  std::string depth = std::to_string(s.Depth(code) + 1);
  if (code == kHeading) carry(code, level_text);
  else if (code == kBig || code == kSmall) carry(code, depth);
  else if (code == kSpan) carry(code, "class=k");
  else if (code != kFont && code != kAnchor) e.Set(code);
  std::string written;
  s.OpenFor(e, args, written);
}

// The state as one line, to compare whole.
std::string StateOf(const TagState& s) {
  std::string out;
  if (s.Depth(kCenter)) out += "center ";
  if (s.Depth(kBold)) out += "b ";
  if (s.Depth(kItalic)) out += "i ";
  if (s.Depth(kTeletype)) out += "tt ";
  if (s.Depth(kPre)) out += "pre ";
  if (s.Depth(kHeading)) out += "h" + std::to_string(s.Depth(kHeading)) + " ";
  if (s.Depth(kBig)) out += "big" + std::to_string(s.Depth(kBig)) + " ";
  if (s.Depth(kSmall)) out += "small" + std::to_string(s.Depth(kSmall)) + " ";
  if (s.Depth(kTable)) out += "table" + std::to_string(s.Depth(kTable)) + " ";
  if (s.Depth(kFont)) out += "font ";
  if (s.Depth(kAnchor)) out += "a ";
  if (s.Depth(kSpan)) out += "span ";
  if (s.empty()) out += "(empty)";
  return out;
}

enum class Op { kTop, kTo, kAll, kAboveTable };

struct Case {
  std::string name;
  std::vector<int> open;  // codes; a heading is opened at level 3
  Op op;
  int code;  // for kTo
  std::string written;
  std::string state;  // after the operation
};

TEST(TagState, CloseOperations) {
  const Case cases[] = {
      {"top of nothing", {}, Op::kTop, 0, "", "(empty)"},
      {"top", {kBold}, Op::kTop, 0, "</b>", "(empty)"},
      {"top only", {kBold, kItalic}, Op::kTop, 0, "</i>", "b "},
      {"big one level", {kBig, kBig}, Op::kTop, 0, "</big>", "big1 "},
      {"heading level", {kHeading}, Op::kTop, 0, "</h3>", "(empty)"},
      {"table", {kTable}, Op::kTop, 0, "</tr></table>", "(empty)"},
      {"to closes what is above", {kBold, kItalic, kTeletype}, Op::kTo, kBold,
       "</tt></i></b>", "(empty)"},
      {"to stops at the code", {kCenter, kBold, kItalic}, Op::kTo, kBold, "</i></b>", "center "},
      {"to innermost of two", {kTable, kBold, kTable, kItalic}, Op::kTo, kTable,
       "</i></tr></table>", "b table1 "},
      {"to a code not open closes all", {kBold, kPre}, Op::kTo, kItalic, "</pre></b>", "(empty)"},
      {"to on nothing", {}, Op::kTo, kBold, "", "(empty)"},
      {"all", {kCenter, kHeading, kBig, kBig, kSmall, kFont, kAnchor, kSpan, kPre},
       Op::kAll, 0, "</pre></span></a></font></small></big></big></h3></center>", "(empty)"},
      {"all with tables", {kTable, kBold, kTable}, Op::kAll, 0,
       "</tr></table></b></tr></table>", "(empty)"},
      {"above table", {kTable, kBold, kItalic}, Op::kAboveTable, 0, "</i></b>", "table1 "},
      {"above innermost table", {kTable, kTable, kTeletype}, Op::kAboveTable, 0, "</tt>",
       "table2 "},
      {"above table, nothing above", {kBold, kTable}, Op::kAboveTable, 0, "", "b table1 "},
      {"above table without a table", {kBold, kFont}, Op::kAboveTable, 0, "</font></b>",
       "(empty)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TagState s;
    for (int code : c.open) Open(s, code, 3);
    std::string out = "[";
    switch (c.op) {
      case Op::kTop: s.CloseTop(out); break;
      case Op::kTo: s.CloseTo(c.code, out); break;
      case Op::kAll: s.CloseAll(out); break;
      case Op::kAboveTable: s.CloseAboveTable(out); break;
    }
    EXPECT_EQ(out, "[" + c.written);
    EXPECT_EQ(StateOf(s), c.state);
  }
}

TEST(TagState, HeadingEndTagUsesItsLevel) {
  for (int level = 1; level <= 6; ++level) {
    SCOPED_TRACE(level);
    TagState s;
    Open(s, kHeading, level);
    std::string out;
    s.CloseAll(out);
    EXPECT_EQ(out, "</h" + std::to_string(level) + ">");
    EXPECT_EQ(s.Depth(kHeading), 0);
  }
}

TEST(TagState, ClearForgetsEverything) {
  TagState s;
  for (int code : {kTable, kCenter, kBold, kHeading, kBig, kFont, kAnchor, kSpan}) Open(s, code, 2);
  s.Clear();
  EXPECT_EQ(StateOf(s), "(empty)");
  std::string out;
  s.CloseAll(out);
  EXPECT_EQ(out, "");
}

TEST(TagState, ReopenedAfterCloseStaysConsistent) {
  // Closing bold closes italic opened after it; reopening italic pushes it again.
  TagState s;
  Open(s, kBold);
  Open(s, kItalic);
  std::string out;
  s.CloseTo(kBold, out);
  Open(s, kItalic);
  s.CloseAll(out);
  EXPECT_EQ(out, "</i></b></i>");
  EXPECT_EQ(StateOf(s), "(empty)");
}

}  // namespace
}  // namespace norvelle
