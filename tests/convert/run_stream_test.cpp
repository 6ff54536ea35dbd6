// The body streamed to the output while pass 2 writes it: the same bytes as
// the run that holds it whole, and the same reports when the output cannot
// be created.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>

#include "convert/run.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "support/recording_host.h"
#include "support/test_support.h"

namespace norvelle {
namespace {

// A write hook that takes the pieces whole, so the run never streams.
bool WriteWhole(const std::string& output, const std::vector<std::string_view>& pieces) {
  return WriteTextFile(output, pieces);
}

TEST(RunStream, SameBytesAsTheWholeBody) {
  // Beyond the streamed piece size, with lines that tie to the next one, a
  // listing and a header filled before pass 2.
  std::string big;
  for (int i = 0; big.size() < (std::size_t(9) << 20); ++i)
    big += "word " + std::to_string(i) + " <b> & \"q\"\n" + (i % 97 == 0 ? "|b,next|x y\n|cppsrc|\nint a;\n|endcppsrc|\n" : "");
  const struct {
    const char* name;
    std::string text;
  } cases[] = {{"long", big}, {"short", "a b\n|1i|c d\n"}, {"title later", "a\n|title|T\nb\n"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir tmp;
    SetProgramPathForTesting(tmp.File("norvelle"));
    ASSERT_TRUE(test::WriteBytes(tmp.File("norvelle.ini"), "HeaderStr=<title_rep>[\nEndStr=]<filedate_rep>\n"));
    ASSERT_TRUE(test::WriteBytes(tmp.File("a.txt"), c.text));
    test::RecordingHost streamed, whole;
    EXPECT_EQ(Convert(streamed, tmp.File("a.txt")), RunOutcome::kDone);
    const std::string bytes = test::ReadBytes(tmp.File("a.htm"));
    RunHooks hooks;
    hooks.write = WriteWhole;
    EXPECT_EQ(ConvertWith(whole, tmp.File("a.txt"), hooks), RunOutcome::kDone);
    EXPECT_EQ(test::ReadBytes(tmp.File("a.htm")), bytes);
    EXPECT_EQ(streamed.status, whole.status);
    EXPECT_GT(bytes.size(), c.text.size());
    SetProgramPathForTesting("");
  }
}

TEST(RunStream, OutputThatCannotBeCreatedStillReportsPassTwo) {
  test::TempDir tmp;
  SetProgramPathForTesting(tmp.File("norvelle"));
  ASSERT_TRUE(test::WriteBytes(tmp.File("a.txt"), "a\n|include=missing.txt|b\n"));
  test::RecordingHost host;
  RunHooks hooks;
  hooks.output = tmp.File("no/such/folder/a.htm");
  EXPECT_EQ(ConvertWith(host, tmp.File("a.txt"), hooks), RunOutcome::kFailed);
  ASSERT_EQ(host.errors.size(), 2u);
  EXPECT_NE(host.errors[0].find("missing.txt"), std::string::npos);  // pass 2 ran first
  const auto entries = std::filesystem::directory_iterator(tmp.path());
  EXPECT_EQ(std::distance(begin(entries), end(entries)), 1);  // the source alone: nothing left behind
  SetProgramPathForTesting("");
}

}  // namespace
}  // namespace norvelle
