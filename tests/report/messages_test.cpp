// Report lines told apart by their message, whatever their line number.
#include "report/messages.h"

#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace norvelle
