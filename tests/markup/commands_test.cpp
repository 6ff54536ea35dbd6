// The command table: lookup by prefix in table order, classes, arguments.
#include "markup/commands.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "markup/element.h"

namespace norvelle {
namespace {

struct LookupCase {
  std::string word;
  int code;
};

TEST(Commands, LookupByPrefixInTableOrder) {
  const LookupCase cases[] = {
      {"ini", kIni}, {"ini=x", kIni}, {"in", kItalic},
      {"title", kTitle}, {"titles", kTitle},
      {"base", kBase}, {"based", kBase},
      {"exreps=1", kExreps}, {"exrepe", kExrepe}, {"exrep", kUnknown},
      {"conv", kConv}, {"converted", kConv}, {"noconv", kNoconv}, {"no", kUnknown},
      {"autobr", kAutobr}, {"noautobr", kNoautobr},
      {"table=", kTable}, {"table=border=1", kTable}, {"table", kUnknown},
      {"endtable", kEndtable}, {"tabcnt=4", kTabcnt}, {"tabcnt", kUnknown},
      {"next", kNext}, {"center", kCenter},
      // "hr" comes before "h": every other word beginning with h is a heading.
      {"hr", kHr}, {"hr=width=50%", kHr}, {"hrx", kHr},
      {"h1", kHeading}, {"h", kHeading}, {"hello", kHeading},
      {"img=a.png", kImg}, {"imgx", kItalic}, {"img", kItalic},
      {"alt=y", kAlt}, {"alt", kUnknown}, {"a=x", kAnchor}, {"a", kUnknown},
      {"rep12", kRep}, {"replace", kRep}, {"setrep3", kSetrep},
      {"setsplit", kUnknown}, {"setjoin", kSetjoin},
      {"include=x", kInclude}, {"indent=3", kIndent}, {"ins", kIns}, {"inst", kIns},
      {"big2", kBig}, {"bigger", kBig}, {"bold", kBold}, {"b", kBold},
      {"br", kBr}, {"brx", kBr},
      {"small", kSmall}, {"font=face=Arial", kFont}, {"font", kUnknown},
      {"color=#ff0000", kColor}, {"size=3", kSize}, {"link=x.htm", kLink},
      {"target=_top", kTarget}, {"name=n", kName}, {"span=class=x", kSpan},
      {"plain", kPlain}, {"lconv", kLconv},
      {"cppsrc", kCppsrc}, {"endcppsrc", kEndcppsrc},
      // "prev" before "pre".
      {"prev", kPrev}, {"preview", kPrev}, {"pre", kPre}, {"prefix", kPre},
      {"start", kStart}, {"stop", kStop}, {"nobrstart", kNobrStart}, {"nobrstop", kNobrStop},
      {"srclineout", kSrcLineOut}, {"nosrclineout", kNoSrcLineOut},
      {"i", kItalic}, {"italic", kItalic}, {"tt", kTeletype}, {"t", kUnknown},
      // The comment words before the raw tags that share their first byte.
      {"//", kComment}, {"//x", kComment}, {"/*", kCommentOpen}, {"*/", kCommentClose},
      {"/p", kRawClose}, {"/", kRawClose}, {"-div", kRawOpen}, {"+br", kRawPlus}, {"*", kUnknown},
      {"", kUnknown}, {"B", kUnknown}, {" b", kUnknown}, {"\x82\xA0", kUnknown},
  };
  for (const LookupCase& c : cases) {
    SCOPED_TRACE(c.word);
    EXPECT_EQ(CommandCode(c.word), c.code);
    const CommandInfo* info = LookupCommand(c.word);
    if (c.code == kUnknown) {
      EXPECT_EQ(info, nullptr);
    } else {
      ASSERT_NE(info, nullptr);
      EXPECT_EQ(info->code, c.code);
      EXPECT_EQ(c.word.substr(0, info->word.size()), info->word);
    }
  }
}

TEST(Commands, ClassOfEveryCode) {
  const std::set<int> alone = {0, 1, 2, 3, 53, 54, 56};
  const std::set<int> block = {8, 9, 50, 51, -8};
  const std::set<int> attribute = {11, 23, 24, 25, 26, 27, 28, 29, 30, 31,
                                   32, 33, 34, 35, 36, 37, 38, 62, 63};
  const std::set<int> line_action = {4,  5,  6,  7,  10, 12, 13, 14, 15, 16, 17, 18, 19, 20,
                                     21, 22, 57, 58, 59, 61, -7, -6, -5, -4, -3, -2};
  for (int code = -12; code <= 70; ++code) {
    SCOPED_TRACE(code);
    CommandClass want = CommandClass::kUnknown;
    if (alone.count(code)) want = CommandClass::kAlone;
    if (block.count(code)) want = CommandClass::kBlock;
    if (attribute.count(code)) want = CommandClass::kAttribute;
    if (line_action.count(code)) want = CommandClass::kLineAction;
    EXPECT_EQ(ClassOf(code), want);
  }
  EXPECT_EQ(ClassOf(1000), CommandClass::kUnknown);
  EXPECT_EQ(ClassOf(-1000), CommandClass::kUnknown);
}

TEST(Commands, TableEntriesAgreeWithTheirClass) {
  // Every word in the table is found as itself, with its own class.
  const char* words[] = {"ini", "title", "base", "exreps", "exrepe", "conv", "noconv",
                         "autobr", "noautobr", "table=", "endtable", "tabcnt=", "next",
                         "center", "hr", "img=", "alt=", "rep", "setrep", "include=",
                         "indent=", "big", "small", "font=", "color=", "size=", "a=",
                         "link=", "target=", "name=", "span=", "plain", "lconv", "cppsrc",
                         "endcppsrc", "prev", "pre", "start", "stop", "nobrstart",
                         "nobrstop", "setjoin", "srclineout", "nosrclineout", "br", "ins",
                         "//", "/*", "*/", "b", "i", "tt", "-", "+", "/", "h"};
  std::set<int> codes;
  for (const char* w : words) {
    SCOPED_TRACE(w);
    const CommandInfo* info = LookupCommand(w);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->word, w);
    EXPECT_EQ(info->cls, ClassOf(info->code));
    codes.insert(info->code);
  }
  EXPECT_EQ(codes.size(), 56u);
}

struct ArgCase {
  std::string word;
  std::string arg;
};

TEST(Commands, ArgumentRules) {
  const ArgCase cases[] = {
      // Rest after "=" or the first digit, whichever comes first.
      {"big2", "2"}, {"big", ""}, {"big=3", "3"}, {"big=", ""}, {"bigx5", "5"},
      {"hr=width=50%", "width=50%"}, {"hr", ""}, {"hr3", "3"}, {"hr=", ""},
      {"exreps=1", "1"}, {"exreps1", "1"}, {"exrepe=9", "9"},
      {"rep12", "12"}, {"rep=12", "12"}, {"setrep5=abc", "5=abc"}, {"setrep=5", "5"},
      {"small3", "3"},
      // Rest after "=".
      {"color=#ff0000", "#ff0000"}, {"font=face=Arial", "face=Arial"},
      {"table=border=1", "border=1"}, {"table=", ""}, {"img=a.png", "a.png"},
      {"alt=Pic", "Pic"}, {"tabcnt=8", "8"}, {"indent=", ""}, {"include=x=y.txt", "x=y.txt"},
      {"color=\"red\"", "\"red\""}, {"a=name=x", "name=x"}, {"span=class=k", "class=k"},
      // Rest after the first character.
      {"-div", "div"}, {"-", ""}, {"/p", "p"}, {"+br", "br"}, {"-\x82\xA0x", "\x82\xA0x"},
      // The heading digit.
      {"h3", "3"}, {"h6x", "6"}, {"h", ""},
      // No argument.
      {"b", ""}, {"bold", ""}, {"center", ""}, {"next", ""}, {"prev", ""}, {"br2", ""},
      {"title", ""}, {"ini", ""}, {"endtable", ""}, {"cppsrc", ""},
  };
  for (const ArgCase& c : cases) {
    SCOPED_TRACE(c.word);
    int code = CommandCode(c.word);
    ASSERT_NE(code, kUnknown);
    EXPECT_EQ(CommandArgument(c.word, code), c.arg);
  }
}

}  // namespace
}  // namespace norvelle
