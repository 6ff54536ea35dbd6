// Whole conversions of generated inputs: long mixed documents, huge lines,
// long runs of lead bytes, deep nesting and huge element-number ranges.
// None may crash or hang, and every output must be well-formed: each start
// tag closed in proper nesting, line ends written as CR LF.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "report/host.h"
#include "convert/run.h"
#include "support/recording_host.h"
#include "platform/encoding.h"
#include "platform/paths.h"
#include "support/test_support.h"

namespace norvelle {
namespace {

struct Result {
  RunOutcome outcome = RunOutcome::kFailed;
  std::string body;  // CR LF turned back into LF
  bool crlf = true;  // every LF was written as CR LF, and no other CR appeared
  int errors = 0;    // error-report lines, the count line included
  std::vector<std::string> first_errors;
  std::string last_error;
};

// Converts a CP932 source with a rule file whose header and footer are empty,
// so that the output is the body alone.
Result ConvertSource(const std::string& source) {
  test::TempDir tmp;
  SetProgramPathForTesting(tmp.path() + "/norvelle");
  EXPECT_TRUE(test::WriteBytes(tmp.File("norvelle.ini"), "HeaderStr=\r\nEndStr=\r\n"));
  EXPECT_TRUE(test::WriteBytes(tmp.File("doc.txt"), source));
  test::RecordingHost host(5);  // converting every line would cost more than the run
  Result r;
  r.outcome = Convert(host, tmp.File("doc.txt"));
  SetProgramPathForTesting("");
  const std::string out = test::ReadBytes(tmp.File("doc.htm"));
  r.body.reserve(out.size());
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (out[i] == '\r') {
      if (i + 1 < out.size() && out[i + 1] == '\n') continue;
      r.crlf = false;
    } else if (out[i] == '\n' && (i == 0 || out[i - 1] != '\r')) {
      r.crlf = false;
    }
    r.body += out[i];
  }
  r.errors = host.count;
  r.first_errors = host.errors;
  r.last_error = host.last_error();
  return r;
}

// Checks that tags nest properly. Void elements are not pushed; a table cell
// (td, th: end tags optional in HTML 4.01) may only start directly inside its
// row, which also proves that whatever the previous cell opened was closed.
// Returns an empty string when the body is well-formed, else the first fault.
std::string NestingFault(const std::string& body) {
  std::vector<std::string> stack;
  std::size_t starts = 0;
  for (std::size_t p = 0; p < body.size(); ++p) {
    if (body[p] == '>') return "stray '>' at " + std::to_string(p);
    if (body[p] != '<') continue;
    std::size_t close = body.find('>', p);
    if (close == std::string::npos) return "unclosed '<' at " + std::to_string(p);
    std::size_t q = p + 1;
    bool end = q < close && body[q] == '/';
    if (end) ++q;
    std::size_t name_start = q;
    while (q < close && ((body[q] >= 'a' && body[q] <= 'z') || (body[q] >= '0' && body[q] <= '9'))) ++q;
    std::string name = body.substr(name_start, q - name_start);
    if (name.empty() || (q < close && body[q] != ' ') || (end && q != close))
      return "malformed tag " + body.substr(p, close + 1 - p) + " at " + std::to_string(p);
    p = close;
    if (name == "br" || name == "hr" || name == "img") {
      if (end) return "end tag of a void element at " + std::to_string(p);
      continue;
    }
    if (name == "td" || name == "th") {
      if (end) return "end tag of a cell at " + std::to_string(p);
      if (stack.empty() || stack.back() != "tr")
        return "<" + name + "> outside a row at " + std::to_string(p) + " (open: " +
               (stack.empty() ? std::string("nothing") : stack.back()) + ")";
      continue;
    }
    if (!end) {
      stack.push_back(name);
      ++starts;
      continue;
    }
    if (stack.empty()) return "</" + name + "> with nothing open at " + std::to_string(p);
    if (stack.back() != name)
      return "</" + name + "> closes <" + stack.back() + "> at " + std::to_string(p);
    stack.pop_back();
  }
  if (!stack.empty()) return "<" + stack.back() + "> never closed";
  return "";
}

TEST(NestingCheck, FindsFaults) {
  // The checker itself must see the faults it is meant to catch.
  struct Case {
    std::string body;
    bool ok;
  };
  const Case cases[] = {
      {"<b>x<i>y</i></b><br>\n<hr width=50%><img src=\"a.png\">", true},
      {"<table><tr><th>a<th>b</tr><tr><td><b>c</b><td>d</tr></table>", true},
      {"<b><i>x</b></i>", false},
      {"<b>x", false},
      {"x</b>", false},
      {"<table><tr><td><b>c<td>d</b></tr></table>", false},
      {"a<b", false},
      {"a>b", false},
      {"<br/>", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    EXPECT_EQ(NestingFault(c.body).empty(), c.ok) << NestingFault(c.body);
  }
}

// Deterministic generator of a marked-up CP932 document.
class DocumentGenerator {
 public:
  explicit DocumentGenerator(std::uint32_t seed) : rng_(seed) {}

  std::string Document(int lines) {
    std::string doc;
    int base_left = 0;
    for (int n = 0; n < lines; ++n) {
      if (base_left > 0 && --base_left == 0) doc += "|base|\n";
      switch (Pick(20)) {
        case 0: case 1: case 2: case 3: case 4:
          doc += Text(1 + Pick(6)) + "\n";
          break;
        case 5: case 6: case 7: case 8: case 9: case 10:
          doc += CommandLine() + "\n";
          break;
        case 11:
          doc += "|br,br|" + Text(2) + "\n";
          break;
        case 12:
          doc += Table(0);
          break;
        case 13:
          doc += Listing();
          break;
        case 14:
          doc += Pick(2) ? "|setsplit|,\n" + Text(2) + "," + Text(2) + "\n|setsplit| \n"
                         : "|setsplit|\n" + Text(3) + "\n|setsplit| \n";
          break;
        case 15:
          if (base_left == 0) {
            doc += "|base|" + Command() + "\n";
            base_left = 1 + Pick(5);
          }
          break;
        case 16:
          doc += "|/*|\n" + CommandLine() + "\n|*/|\n";
          break;
        case 17:
          doc += Pick(2) ? "|title|" + Text(2) + "\n" : "|title|\n";
          break;
        case 18:
          doc += "\n";
          break;
        default:
          doc += Pick(2) ? "|endtable|\n" : "|endcppsrc|\n";  // stray block ends
          break;
      }
    }
    return doc;
  }

 private:
  int Pick(int n) { return int(rng_() % std::uint32_t(n)); }

  std::string Word() {
    static const char* const kWords[] = {
        "alpha", "beta", "x<y", "a&b", "\"q\"", "\x82\xA0\x82\xA2", "\x95\x5C\x8E\xA6",
        "\x83\x7C\x83\x5C", "tab\there", "42", "(c)", "\xB1\xB2"};
    return kWords[Pick(int(sizeof kWords / sizeof kWords[0]))];
  }

  std::string Text(int words) {
    std::string t;
    for (int i = 0; i < words; ++i) {
      if (i) t += ' ';
      t += Word();
    }
    return t;
  }

  std::string Command() {
    // Everything that writes tags of its own, but not raw text or raw tags
    // (noconv, plain, "-x", "+x", "/x"), which would let '<' through.
    static const char* const kCommands[] = {
        "b", "i", "tt", "big", "big2", "big3", "small", "small2", "color=red",
        "color=#00ff00", "color=\"blue\"", "size=3", "font=face=Arial", "link=x.htm",
        "a=name=top", "target=_top", "name=n1", "span=class=k", "h1", "h2", "h3", "h4", "h5",
        "h6", "h7", "center", "pre", "br", "next", "prev", "ins", "hr", "hr=width=50%", "1b",
        "0-1i", "0.2tt", "1big2", "2color=blue", "1span=id=s", "0-9h2", "conv", "lconv", "start",
        "nobrstart", "autobr", "noautobr", "img=a.png", "alt=Pic", "tabcnt=4", "indent=2", "5b",
        "//", "1//", "frob", "srclineout", "nosrclineout"};
    return kCommands[Pick(int(sizeof kCommands / sizeof kCommands[0]))];
  }

  std::string CommandLine() {
    std::string line = "|";
    int n = 1 + Pick(3);
    for (int i = 0; i < n; ++i) {
      if (i) line += ',';
      line += Command();
    }
    return line + "|" + Text(Pick(5));
  }

  std::string Row() {
    std::string row = Pick(3) == 0 ? "|" + Command() + "|" : "";
    int cells = 1 + Pick(3);
    for (int i = 0; i < cells; ++i) {
      if (i) row += '\t';
      row += Text(Pick(3));
    }
    return row + "\n";
  }

  std::string Table(int depth) {
    std::string t = (Pick(2) ? "|table=border=1|" : "|table=|") + Text(1) + "\t" + Text(1) + "\n";
    int rows = Pick(5);
    for (int i = 0; i < rows; ++i) {
      if (depth < 3 && Pick(6) == 0) t += Table(depth + 1);
      else t += Row();
    }
    if (Pick(10) != 0) t += "|endtable|\n";  // sometimes left open
    return t;
  }

  std::string Listing() {
    static const char* const kCode[] = {
        "int main() { return a < b && c > d; }",
        "// comment \x82\xA0\x82\xA2",
        "/* block",
        "   still comment */ x = 0x1F;",
        "char c = '\\''; const char* s = \"<tag> & \\\"q\\\"\";",
        "#include <stdio.h>",
        "\tif (x) y = 3.5e10;",
        "|b|not a command here",
        "",
    };
    std::string l = Pick(3) == 0 ? "|srclineout|\n|cppsrc|\n" : "|cppsrc|\n";
    int lines = Pick(6);
    for (int i = 0; i < lines; ++i) l += std::string(kCode[Pick(int(sizeof kCode / sizeof kCode[0]))]) + "\n";
    return l + "|endcppsrc|\n";
  }

  std::mt19937 rng_;
};

void ExpectWellFormed(const Result& r) {
  EXPECT_TRUE(r.outcome == RunOutcome::kDone || r.outcome == RunOutcome::kDoneErrors);
  EXPECT_TRUE(r.crlf);
  EXPECT_EQ(NestingFault(r.body), "");
}

// The start tags of a body, by name.
std::set<std::string> StartTags(const std::string& body) {
  std::set<std::string> names;
  for (std::size_t p = body.find('<'); p != std::string::npos; p = body.find('<', p + 1)) {
    std::size_t q = p + 1;
    while (q < body.size() && body[q] >= 'a' && body[q] <= 'z') ++q;
    while (q < body.size() && body[q] >= '1' && body[q] <= '6') ++q;
    if (q > p + 1) names.insert(body.substr(p + 1, q - p - 1));
  }
  return names;
}

TEST(Pathological, LongMixedDocumentsNestProperly) {
  std::set<std::string> seen;
  for (std::uint32_t seed : {1u, 2u, 3u, 4u, 5u}) {
    SCOPED_TRACE(seed);
    DocumentGenerator gen(seed);
    Result r = ConvertSource(gen.Document(4000));
    ExpectWellFormed(r);
    EXPECT_GT(r.body.size(), 20000u);
    std::set<std::string> tags = StartTags(r.body);
    seen.insert(tags.begin(), tags.end());
  }
  // The documents really exercise every kind of element.
  const std::set<std::string> all = {"a",  "b",     "big",   "br",   "center", "font", "h1",
                                     "h2", "h3",    "h4",    "h5",   "h6",     "hr",   "i",
                                     "img", "nobr", "pre",   "small", "span",  "table", "td",
                                     "th", "tr",    "tt"};
  EXPECT_EQ(seen, all);
}

TEST(Pathological, ManyBoldLines) {
  std::string source;
  for (int i = 0; i < 100000; ++i) source += "|b|x\n";
  Result r = ConvertSource(source);
  ExpectWellFormed(r);
  EXPECT_EQ(r.outcome, RunOutcome::kDone);
  // Bold runs across the lines; the final empty line ends it before its break.
  std::string want = "<b>x";
  for (int i = 1; i < 100000; ++i) want += "<br>\nx";
  want += "</b><br>\n";
  EXPECT_EQ(r.body, want);
}

TEST(Pathological, FiveMegabyteLineWithoutBlanks) {
  std::string source, want;
  for (int i = 0; i < 5 * 1024 * 1024 / 4; ++i) {
    source += "ab<&";
    want += "ab&lt;&amp;";
  }
  Result r = ConvertSource(source);
  ExpectWellFormed(r);
  EXPECT_EQ(r.outcome, RunOutcome::kDone);
  EXPECT_EQ(r.body, want);
}

TEST(Pathological, TwoHundredThousandEmptyCommandWords) {
  const std::string source = "|" + std::string(200000, ',') + "|x";
  Result r = ConvertSource(source);
  ExpectWellFormed(r);
  // Each comma ends one empty word (the lazy word list stops as soon as the
  // closing bar follows): 200000 unknown words on the line's one element.
  EXPECT_EQ(r.body, "x");
  EXPECT_EQ(r.errors, 200001);
  ASSERT_FALSE(r.first_errors.empty());
  EXPECT_EQ(r.first_errors[0], "[1]：''認識できない命令です。");
  EXPECT_EQ(r.last_error, "200000 個のエラーが発生しました");
}

TEST(Pathological, LongRunsOfLeadBytes) {
  const std::string even(100000, '\x81');
  struct Case {
    std::string name;
    std::string source;
    std::string body;
    int errors;
  };
  const Case cases[] = {
      {"pairs copied", even, even, 0},
      {"last lead byte dropped", even + "\x81", even, 0},
      {"bold pairs", "|b|" + even, "<b>" + even + "</b>", 0},
      {"blanks between pairs", even + " " + even, even + "&nbsp;" + even, 0},
      // An odd run swallows the closing bar: no command line.
      {"bar taken as trail byte", "|" + even + "\x81|x", "|" + even + "\x81|x", 0},
      // An even run leaves it: one unknown command word.
      {"lead bytes as a command word", "|" + even + "|x", "x", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Result r = ConvertSource(c.source);
    ExpectWellFormed(r);
    EXPECT_EQ(r.body, c.body);
    EXPECT_EQ(r.errors, c.errors);
  }
}

TEST(Pathological, HugeElementNumberRanges) {
  struct Case {
    std::string source;
    std::string body;
    int errors;
  };
  const Case cases[] = {
      {"|0-2000000000b|a", "<b>a</b>", 2},
      {"|0-2000000000b|a b c", "<b>a&nbsp;b&nbsp;c</b>", 2},
      {"|2000000000-2000000005i|a", "a", 2},
      {"|99999999999999999999-0b|a", "a", 0},
      {"|0-99999999999999999999b,1-2147483648i|a b", "<b>a&nbsp;<i>b</i></b>", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    Result r = ConvertSource(c.source);
    ExpectWellFormed(r);
    EXPECT_EQ(r.body, c.body);
    EXPECT_EQ(r.errors, c.errors);
  }
}

// Many repeated commands on one line: extra elements, element-number ranges
// and line joins that each step back over the line must not cost the square
// of the line's length.
TEST(Pathological, ManyRepeatedCommandsOnOneLine) {
  const int kWords = 300000;
  const int kElements = 200000;
  std::string brs = "|br";
  for (int i = 1; i < kWords; ++i) brs += ",br";
  std::string cells = "a";
  for (int i = 1; i < kElements; ++i) cells += " a";
  const std::string last = std::to_string(kElements - 1);
  std::string prevs = "|prev";
  for (int i = 1; i < kWords; ++i) prevs += ",prev";

  struct Case {
    std::string name;
    std::string source;
    std::string body;
  };
  std::vector<Case> cases;
  {
    // Every br after the first goes to an extra element; the text follows the last.
    std::string body;
    for (int i = 0; i < kWords; ++i) body += "<br>";
    cases.push_back({"repeated breaks", brs + "|x", body + "x"});
  }
  {
    // Two breaks before every element of a long line.
    std::string body = "<br><br>a";
    for (int i = 1; i < kElements; ++i) body += "&nbsp;<br><br>a";
    cases.push_back({"a break range twice", "|0-" + last + "br,0-" + last + "br|" + cells, body});
  }
  {
    // prev on every element: all join this line to the one before.
    std::string body = "x";
    for (int i = 0; i < kElements; ++i) body += i ? "&nbsp;a" : "a";
    cases.push_back({"prev on every element", "x\n|0-" + last + "prev|" + cells, body});
  }
  {
    // Many prev words after a long line.
    std::string body;
    for (int i = 0; i < kElements; ++i) body += i ? "&nbsp;a" : "a";
    cases.push_back({"prev words after a long line", cells + "\n" + prevs + "|x", body + "x"});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Result r = ConvertSource(c.source);
    ExpectWellFormed(r);
    EXPECT_EQ(r.outcome, RunOutcome::kDone);
    EXPECT_EQ(r.body, c.body);
  }
}

TEST(Pathological, DeepNesting) {
  const std::vector<std::string> sources = {
      [] {  // tables opened inside tables, never closed
        std::string s;
        for (int i = 0; i < 20000; ++i) s += "|table=|x\ty\n";
        return s;
      }(),
      [] {  // every line opens and closes a different mix
        std::string s;
        for (int i = 0; i < 20000; ++i) s += (i % 2 ? "|b,big3,center|x\n" : "|i,small2,h2|y\n");
        return s;
      }(),
      "|big2000000000|x\n|small2000000000|y",
  };
  for (const std::string& s : sources) {
    SCOPED_TRACE(s.substr(0, 40));
    Result r = ConvertSource(s);
    ExpectWellFormed(r);
  }
}

}  // namespace
}  // namespace norvelle
