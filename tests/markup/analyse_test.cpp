// Pass 1: command lines cut into elements, commands attached, error lines.
//
// Elements are written as "TEXT|codes": the codes in ascending numeric
// order, an argument after "=", and the marks as L (line start), S (listing
// line), X (extra element) and C (control element).
#include "markup/analyse.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "markup/element.h"
#include "report/host.h"
#include "platform/encoding.h"
#include "support/recording_host.h"

namespace norvelle {
namespace {

using test::RecordingHost;

const char* CodeName(int code) {
  switch (code) {
    case kIni: return "ini";
    case kTitle: return "title";
    case kExreps: return "exreps";
    case kExrepe: return "exrepe";
    case kConv: return "conv";
    case kNoconv: return "noconv";
    case kAutobr: return "autobr";
    case kNoautobr: return "noautobr";
    case kTable: return "table";
    case kEndtable: return "endtable";
    case kTabcnt: return "tabcnt";
    case kComment: return "//";
    case kNext: return "next";
    case kHr: return "hr";
    case kImg: return "img";
    case kAlt: return "alt";
    case kRawOpen: return "-";
    case kRawPlus: return "+";
    case kRawClose: return "/";
    case kRep: return "rep";
    case kSetrep: return "setrep";
    case kInclude: return "include";
    case kIndent: return "indent";
    case kBold: return "b";
    case kItalic: return "i";
    case kTeletype: return "tt";
    case kPre: return "pre";
    case kBig: return "big";
    case kSmall: return "small";
    case kFont: return "font";
    case kColor: return "color";
    case kSize: return "size";
    case kAnchor: return "a";
    case kLink: return "link";
    case kTarget: return "target";
    case kName: return "name";
    case kSpan: return "span";
    case kPlain: return "plain";
    case kLconv: return "lconv";
    case kCppsrc: return "cppsrc";
    case kEndcppsrc: return "endcppsrc";
    case kLineStart: return "L";
    case kCommentOpen: return "/*";
    case kCommentClose: return "*/";
    case kSourceLine: return "S";
    case kSetjoin: return "setjoin";
    case kSrcLineOut: return "srclineout";
    case kNoSrcLineOut: return "nosrclineout";
    case kExtra: return "X";
    case kControl: return "C";
    case kBr: return "br";
    case kCenter: return "center";
    case kHeading: return "h";
    default: return "?";
  }
}

std::string Describe(const TarnStruct& e, const ArgPool& args) {
  std::string s(e.Text());
  s += '|';
  bool first = true;
  for (int code = 0; code < 64; ++code) {
    if (!e.Has(code)) continue;
    if (!first) s += ' ';
    first = false;
    s += CodeName(code);
    std::string_view arg = args.Get(e, code);
    if (!arg.empty()) {
      s += '=';
      s += arg;
    }
  }
  return s;
}

// One pass-1 run over the given lines, numbered as the run numbers them.
struct Analysis {
  std::vector<std::string> all;  // placeholder and sentinel included
  std::vector<std::string> body;  // without them
  std::vector<std::string> errors;
  std::string split_key;
};

Analysis Analyse(const std::vector<std::string>& lines, std::string split = " ",
                 std::size_t long_line = 0, std::size_t window = 0) {
  ElementList elements;
  ArgPool args;
  TextArena arena;
  RecordingHost host;
  Analysis out;
  {
    LineAnalyser analyser(elements, args, arena, host, std::move(split));
    if (long_line > 0) analyser.SetLongLineLimits(long_line, window);
    host.line_number = 0;
    for (const std::string& line : lines) {
      ++host.line_number;
      analyser.Analyse(line);
    }
    analyser.Finish();
    out.split_key = analyser.split_key();
  }
  for (std::size_t i = 0; i < elements.size(); ++i) out.all.push_back(Describe(elements[i], args));
  if (out.all.size() >= 2) out.body.assign(out.all.begin() + 1, out.all.end() - 1);
  out.errors = host.errors;
  return out;
}

struct Case {
  std::string name;
  std::vector<std::string> lines;
  std::vector<std::string> elements;
  std::vector<std::string> errors;
};

void RunCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Analysis a = Analyse(c.lines);
    EXPECT_EQ(a.body, c.elements);
    EXPECT_EQ(a.errors, c.errors);
  }
}

const std::string kUnknown1 = "[1]：'frob'認識できない命令です。";
const std::string kBadNumber1 = "[1]：指定した要素番号が無効です";

TEST(LineAnalyser, PlaceholderAndSentinel) {
  Analysis a = Analyse({"x"});
  EXPECT_EQ(a.all, (std::vector<std::string>{"|next", "x|L", "|//"}));
  a = Analyse({});
  EXPECT_EQ(a.all, (std::vector<std::string>{"|next", "|//"}));
  // prev on the first line leaves the placeholder as it is.
  a = Analyse({"|prev|a"});
  EXPECT_EQ(a.all, (std::vector<std::string>{"|next", "a|L", "|//"}));
}

TEST(LineAnalyser, PlainLines) {
  RunCases({
      {"split at blanks", {"a b"}, {"a|L", "b|"}, {}},
      {"consecutive keys", {"a  b"}, {"a|L", "|", "b|"}, {}},
      {"empty line", {""}, {"|L"}, {}},
      {"blank before bar", {" |b|x"}, {"|L", "|b|x|"}, {}},
      {"no closing bar", {"|b x"}, {"|b|L", "x|"}, {}},
      {"two bars", {"||b c"}, {"b|L", "c|"}, {}},
      {"two bars only", {"||"}, {"|L"}, {}},
      {"double-byte text", {"\x82\xA0 \x95\x5C"}, {"\x82\xA0|L", "\x95\x5C|"}, {}},
  });
  Analysis a = Analyse({"a,b c"}, ",");
  EXPECT_EQ(a.body, (std::vector<std::string>{"a|L", "b c|"}));
}

TEST(LineAnalyser, CommandsGoToElements) {
  RunCases({
      {"attribute to every element", {"|b|Hello world"}, {"Hello|b L", "world|b"}, {}},
      {"line action to the first", {"|tabcnt=4|a b"}, {"a|tabcnt=4 L", "b|"}, {}},
      {"raw tags", {"|-div,/p|x y"}, {"x|-=div /=p L", "y|"}, {}},
      {"arguments", {"|big2,color=red|a b"}, {"a|big=2 color=red L", "b|big=2 color=red"}, {}},
      {"hr argument", {"|hr=width=50%|x"}, {"x|hr=width=50% L"}, {}},
      {"heading adds next", {"|h2|x y"}, {"x|next L h=2", "y|next h=2"}, {}},
      {"start", {"|start|x"}, {"x|conv autobr L"}, {}},
      {"stop", {"|stop|x"}, {"x|noconv autobr L"}, {}},
      {"nobrstart", {"|nobrstart|x"}, {"x|conv noautobr L"}, {}},
      {"nobrstop", {"|nobrstop|x"}, {"x|noconv noautobr L"}, {}},
      {"empty text", {"|b|"}, {"|b L"}, {}},
      {"repeated attribute overwrites", {"|color=red,color=blue,b,b|x"}, {"x|b color=blue L"}, {}},
  });
}

TEST(LineAnalyser, ElementNumbers) {
  RunCases({
      {"one number", {"|1b|one two three"}, {"one|L", "two|b", "three|"}, {}},
      {"range and single", {"|0-1i,2b|a b c"}, {"a|i L", "b|i", "c|b"}, {}},
      {"dot list", {"|0.2b|a b c"}, {"a|b L", "b|", "c|b"}, {}},
      {"range then single", {"|1-3.5b|a b c d e f"},
       {"a|L", "b|b", "c|b", "d|b", "e|", "f|b"}, {}},
      {"line action by number", {"|1tabcnt=4|a b"}, {"a|L", "b|tabcnt=4"}, {}},
      {"too large", {"|5b|a b"}, {"a|L", "b|"}, {kBadNumber1}},
      {"range stops at the end", {"|1-3b|a b"}, {"a|L", "b|b"}, {kBadNumber1}},
      {"huge range", {"|0-2000000000b|a"}, {"a|b L"}, {kBadNumber1}},
      {"huge number", {"|99999999999999999999b|a"}, {"a|L"}, {kBadNumber1}},
      {"inverted range", {"|2-1b|a b c"}, {"a|L", "b|", "c|"}, {}},
      {"number then alone command", {"|0title|x"}, {"x|L"},
       {"[1]：'title'命令は単独使用しなければいけません"}},
      {"bad number before alone check", {"|5title|x"}, {"x|L"}, {kBadNumber1}},
      {"number with heading", {"|1h3|a b"}, {"a|L", "b|next h=3"}, {}},
  });
}

TEST(LineAnalyser, Errors) {
  RunCases({
      {"unknown once per element", {"|frob|a b c"}, {"a|L", "b|", "c|"},
       {kUnknown1, kUnknown1, kUnknown1}},
      {"unknown with others", {"|b,frob|x"}, {"x|b L"}, {kUnknown1}},
      {"empty word", {"|b,,i|x"}, {"x|b i L"}, {"[1]：''認識できない命令です。"}},
      {"empty first word", {"|,b|x"}, {"x|b L"}, {"[1]：''認識できない命令です。"}},
      // The word list ends where the closing bar follows a comma.
      {"comma before the bar", {"|b,|x"}, {"x|b L"}, {}},
      {"heading digit 7", {"|h7|x"}, {"x|L"},
       {"[1]：'h7'認識できない命令です。(hX命令は半角数字1-6を使用してください)"}},
      {"heading digit on every element", {"|h0|a b"}, {"a|L", "b|"},
       {"[1]：'h0'認識できない命令です。(hX命令は半角数字1-6を使用してください)",
        "[1]：'h0'認識できない命令です。(hX命令は半角数字1-6を使用してください)"}},
      {"heading word", {"|hello|x"}, {"x|L"},
       {"[1]：'hello'認識できない命令です。(hX命令は半角数字1-6を使用してください)"}},
      {"alone not first", {"|b,title|x"}, {"x|b L"},
       {"[1]：'title'命令は単独使用しなければいけません"}},
      {"block not first", {"|b,table=1|x"}, {"x|b L"},
       {"[1]：'table=1'命令は単独使用しなければいけません"}},
      {"table without =", {"|table|x"}, {"x|L"}, {"[1]：'table'認識できない命令です。"}},
      {"setsplit with another word", {"|setsplit,b|x"}, {"x|b L"},
       {"[1]：'setsplit'認識できない命令です。"}},
  });
  // Messages quote the number of the line they come from.
  Analysis a = Analyse({"ok", "|frob|x", "|zap|y z", "", "|9i|w"});
  EXPECT_EQ(a.errors, (std::vector<std::string>{"[2]：'frob'認識できない命令です。",
                                                 "[3]：'zap'認識できない命令です。",
                                                 "[3]：'zap'認識できない命令です。",
                                                 "[5]：指定した要素番号が無効です"}));
}

TEST(LineAnalyser, AloneCommandsMakeControlElements) {
  RunCases({
      {"title keeps its blanks", {"|title|My Page"}, {"My Page|title L C"}, {}},
      {"later words ignored", {"|title,b|x y"}, {"x y|title L C"}, {}},
      {"ini", {"|ini|rules"}, {"rules|ini L C"}, {}},
      {"exreps argument", {"|exreps=3|text"}, {"text|exreps=3 L C"}, {}},
      {"exrepe argument", {"|exrepe7|t"}, {"t|exrepe=7 L C"}, {}},
      {"comment block", {"|/*|", "x", "|*/|"}, {"|L /* C", "x|L", "|L */ C"}, {}},
      {"setjoin", {"|setjoin|;"}, {";|L setjoin C"}, {}},
  });
}

TEST(LineAnalyser, RepeatedLineActionsGoToExtraElements) {
  RunCases({
      {"two breaks", {"|br,br|x"}, {"|L br", "x|X br"}, {}},
      {"three breaks, two elements", {"|br,br,br|x y"}, {"|L br", "|X br", "x|X br", "y|"}, {}},
      {"by element number", {"|1br,1br|x y"}, {"x|L", "|br", "y|X br"}, {}},
      {"first extra lacking the code", {"|br,hr,br,hr=2|x"}, {"|hr L br", "x|hr=2 X br"}, {}},
      {"codes fill the extras in turn", {"|br,hr=1,br,br,hr=2,hr=3,hr=4|x"},
       {"|hr=1 L br", "|hr=2 X br", "|hr=3 X br", "x|hr=4 X"}, {}},
      {"extras before the next line", {"|br,br|x", "y"}, {"|L br", "x|X br", "y|L"}, {}},
      {"attributes are not repeated", {"|b,b|x"}, {"x|b L"}, {}},
      {"extras per element", {"|0br,0br,1br,1br|x y"}, {"|L br", "x|X br", "|br", "y|X br"},
       {}},
  });
}

TEST(LineAnalyser, LineJoining) {
  RunCases({
      {"prev", {"a", "|prev|b"}, {"a|next L", "b|L"}, {}},
      {"ins", {"a", "|ins|b"}, {"a|next L", "b|next L"}, {}},
      {"next", {"|next|a", "b"}, {"a|next L", "b|L"}, {}},
      {"prev within the line", {"a b", "|1prev|c d"}, {"a|L", "b|", "c|next L", "d|"}, {}},
      {"prev marks a control line", {"a", "|title|t", "|prev|b"},
       {"a|L", "t|title next L C", "b|L"}, {}},
      {"prev steps over extras", {"a", "|br,br|x", "|prev|y"},
       {"a|L", "|next L br", "x|X br", "y|L"}, {}},
  });
}

TEST(LineAnalyser, BasePrefix) {
  RunCases({
      {"base until reset", {"|base|b", "x y", "|i|z", "|base|", "w"},
       {"|L C", "x|b L", "y|b", "z|b i L", "|L C", "w|L"}, {}},
      {"several commands", {"|base|b,1i", "x y"}, {"|L C", "x|b L", "y|b i"}, {}},
      {"alone lines untouched", {"|base|b", "|title|t"}, {"|L C", "t|title L C"}, {}},
      {"base errors on every line", {"|base|frob", "x", "y"}, {"|L C", "x|L", "y|L"},
       {"[2]：'frob'認識できない命令です。", "[3]：'frob'認識できない命令です。"}},
  });
}

TEST(LineAnalyser, SplitKeyCommands) {
  RunCases({
      {"setsplit", {"|setsplit|,", "x,y"}, {"|L C", "x|L", "y|"}, {}},
      {"setsplit empty", {"|setsplit|", "x y"}, {"|L C", "x y|L"}, {}},
      {"setsplit two bytes", {"|setsplit|\x82\xA0", "a\x82\xA0" "b"}, {"|L C", "a|L", "b|"}, {}},
  });
  EXPECT_EQ(Analyse({"|setsplit|::"}).split_key, "::");
}

TEST(LineAnalyser, Tables) {
  RunCases({
      {"table rows", {"|table=border=1|Name\tAge", "Ann\t30", "|endtable|", "a b"},
       {"Name|table=border=1 L", "Age|", "Ann|L", "30|", "|endtable next L C", "a|L", "b|"}, {}},
      {"blanks inside cells", {"|table=|a b\tc", "|endtable|"},
       {"a b|table L", "c|", "|endtable next L C"}, {}},
      {"empty table line", {"|table=|"}, {"|table L"}, {}},
      {"endtable without table", {"|endtable|", "a b"}, {"|L C", "a|L", "b|"}, {}},
      {"nested tables", {"|table=|a\tb", "|table=|c\td", "e\tf", "|endtable|", "g\th",
                         "|endtable|", "i j"},
       {"a|table L", "b|", "c|table L", "d|", "e|L", "f|", "|endtable next L C", "g|L", "h|",
        "|endtable next L C", "i|L", "j|"}, {}},
      {"setsplit ends with the table",
       {"|setsplit|;", "|table=|a\tb", "|setsplit|,", "c,d", "|endtable|", "e;f g"},
       {"|L C", "a|table L", "b|", "|L C", "c|L", "d|", "|endtable next L C", "e|L", "f g|"},
       {}},
      {"later words of a table line", {"|table=,b|x\ty"}, {"x|table L", "y|"}, {}},
  });
  Analysis a = Analyse({"|table=|a", "|table=|b"}, ",");
  EXPECT_EQ(a.split_key, "\t");
  a = Analyse({"|table=|a", "|endtable|", "|endtable|"}, ",");
  EXPECT_EQ(a.split_key, ",");
}

TEST(LineAnalyser, SourceBlocks) {
  RunCases({
      {"lines marked, not split",
       {"|cppsrc|", "int a = 1;", "|b|x y", "", "|endcppsrc|", "z w"},
       {"|L C", "int a = 1;|L S", "x y|L S C", "|L S", "|L C", "z|L", "w|"}, {}},
      {"alone command inside", {"|cppsrc|", "|title|t", "|endcppsrc|"},
       {"|L C", "t|L S C", "|L C"}, {}},
      {"unknown command inside reports nothing", {"|cppsrc|", "|frob|x", "|endcppsrc|"},
       {"|L C", "x|L S C", "|L C"}, {}},
      {"setsplit inside still works", {"|cppsrc|", "|setsplit|,", "|endcppsrc|", "a,b"},
       {"|L C", "|L C", "|L C", "a|L", "b|"}, {}},
      {"endtable inside still works",
       {"|table=|a", "|cppsrc|", "|endtable|", "|endcppsrc|", "b c"},
       {"a|table L", "|L C", "|endtable next L C", "|L C", "b|L", "c|"}, {}},
      {"base does not reach listing lines", {"|base|b", "|cppsrc|", "x y", "|endcppsrc|"},
       {"|L C", "|L C", "x y|L S", "|L C"}, {}},
  });
}

TEST(LongLines, MatchedOnTheirHeadWithTheTextToTheEnd) {
  // Lines too long for the pattern engine (2 GiB) are matched on a head; here
  // the limits are small. Whatever the head holds, the result must be the
  // same as for a full match, as long as the command part fits in the head.
  const std::string kana = "\x82\xA0";
  const struct {
    const char* name;
    std::string line;
  } cases[] = {
      {"plain text", std::string(100, 'x')},
      {"commands", "|b,i|" + std::string(100, 'x')},
      {"a double-byte character across the cut", "|b|" + [&] {
         std::string k;
         for (int i = 0; i < 60; ++i) k += kana;
         return k;
       }()},
      {"trail byte '|' across the cut", "|b|" + std::string(12, 'y') + "\x81|" + std::string(60, 'z')},
      {"split key in the text", "|center|a b c " + std::string(80, 'w')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Analysis full = Analyse({c.line, "next"});
    const Analysis cut = Analyse({c.line, "next"}, " ", 64, 16);
    EXPECT_EQ(cut.all, full.all);
    EXPECT_EQ(cut.errors, full.errors);
  }
  // A command part longer than the head makes the line text.
  const std::string word(40, 'b');
  const Analysis cut = Analyse({"|" + word + "|" + std::string(60, 'x')}, " ", 64, 16);
  EXPECT_TRUE(cut.errors.empty());
  ASSERT_EQ(cut.body.size(), 1u);
  EXPECT_EQ(cut.body[0].substr(0, 42), "|" + word + "|");
}

// What pass 1 calls settled (and may hand to pass 2 on another thread) never
// changes afterwards: each element before settled() after a line is the same
// at the end, arguments included.
TEST(LineAnalyser, SettledElementsNeverChange) {
  const std::vector<std::string> docs[] = {
      {"a b", "|prev|c", "|2prev|d e", "|ins|f", "|b,next|g h", "i"},
      {"|b.b.b,i.i|x y", "|1prev,2prev|p q", "|base|i", "m n", "|base|", "o"},
      {"|table=border=1|a\tb", "c\td", "|endtable|", "|prev|t"},
      {"|cppsrc|", "int a;", "|b|x", "|endcppsrc|", "|prev|after"},
      {"|setsplit|,", "a,b", "|prev|c,d", "|setsplit| ", "e f"},
  };
  for (const auto& doc : docs) {
    SCOPED_TRACE(doc[0]);
    ElementList elements;
    ArgPool args;
    TextArena arena;
    RecordingHost host;
    LineAnalyser analyser(elements, args, arena, host, " ");
    analyser.set_pack_plain_lines(true);
    std::vector<std::string> seen;
    for (const std::string& line : doc) {
      analyser.Analyse(line);
      ASSERT_LE(analyser.settled(), elements.size());
      for (std::size_t i = 0; i < analyser.settled(); ++i) {
        const std::string now = Describe(elements[i], args);
        if (i < seen.size()) EXPECT_EQ(now, seen[i]) << "element " << i;
        else seen.push_back(now);
      }
    }
    analyser.Finish();
    EXPECT_GT(seen.size(), 1u);
    for (std::size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(Describe(elements[i], args), seen[i]) << i;
  }
}

}  // namespace
}  // namespace norvelle
