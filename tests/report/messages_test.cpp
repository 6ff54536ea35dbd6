// Report lines told apart by their message, whatever their line number, and
// made from a message, a number and a word.
#include "report/messages.h"

#include "report/diagnostics.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/encoding.h"

namespace norvelle {
namespace {

TEST(Messages, IsReportOfTakesAnyLineNumber) {
  const std::string tail = Message(Msg::kLineTooLong).substr(4);  // after "[%d]"
  const struct Case {
    std::string line;
    Msg m;
    bool is;
  } cases[] = {
      {"[1]" + tail, Msg::kLineTooLong, true},
      {"[4294967]" + tail, Msg::kLineTooLong, true},
      {"[]" + tail, Msg::kLineTooLong, false},
      {"[1x]" + tail, Msg::kLineTooLong, false},
      {"[1]" + tail + "!", Msg::kLineTooLong, false},
      {"1" + tail, Msg::kLineTooLong, false},
      {"[1]" + tail, Msg::kBadElementNumber, false},
      {Message(Msg::kOutOfMemory), Msg::kOutOfMemory, false},  // no line number in it
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(IsReportOf(c.line, c.m), c.is);
  }
}

// Every text as its own conversion would give it: nothing of a neighbour's.
TEST(Messages, EachTextIsItsOwnConversion) {
  for (int i = 0; i <= int(Msg::kFooterTooLong); ++i) {
    const Msg m = static_cast<Msg>(i);
    SCOPED_TRACE(MessageUtf8(m));
    std::string cp;
    ASSERT_TRUE(Utf8ToCp932(MessageUtf8(m), cp));
    EXPECT_EQ(Message(m), cp);
  }
}

class Lines : public Diagnostics {
 public:
  void AddError(std::string_view line) override { lines.emplace_back(line); }
  int ErrorCount() const override { return int(lines.size()); }
  std::vector<std::string> lines;
};

TEST(Messages, ReportFillsNumberAndWord) {
  const std::string long_word(3000, 'a');  // longer than the line's own room
  const struct Case {
    Msg m;
    int number;
    std::string word, utf8;
  } cases[] = {
      {Msg::kCannotOpenInclude, 12, "inc/a.txt", "[12]：ファイル\"inc/a.txt\"を開けません"},
      {Msg::kPatternCutOff, 3, "", "[3]：自動置換パターンの照合が打ち切られました"},
      {Msg::kErrorCount, 2, "", "2 個のエラーが発生しました"},
      {Msg::kUnknownCommand, 1, long_word, "[1]：'" + long_word + "'認識できない命令です。"},
  };
  for (const Case& c : cases) {
    Lines to;
    Report(to, c.m, c.number, c.word);
    ASSERT_EQ(to.lines.size(), 1u);
    EXPECT_EQ(Cp932ToUtf8Lossy(to.lines[0]), c.utf8);
  }
}

}  // namespace
}  // namespace norvelle
