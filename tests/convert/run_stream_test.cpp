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

// The program beside the document in tmp, with its rule file and the
// document a.txt.
bool Prepare(const test::TempDir& tmp, const std::string& ini, const std::string& text) {
  SetProgramPathForTesting(tmp.File("norvelle"));
  return test::WriteBytes(tmp.File("norvelle.ini"), ini) && test::WriteBytes(tmp.File("a.txt"), text);
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
    ASSERT_TRUE(Prepare(tmp, "HeaderStr=<title_rep>[\nEndStr=]<filedate_rep>\n", c.text));
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

// Pass 1 on its own thread gives the bytes, report lines and outcome of the
// run that does one pass after the other: documents that hand elements over
// many times, that mark a line already handed over (next, ins, prev), that
// pass 2 reads ahead in (listings), with report lines of both passes, and
// those whose frame pass 2 changes (title, exreps, ini), which start pass 2
// again once pass 1 is over.
TEST(RunStream, PassOneOnItsOwnThreadChangesNothing) {
  std::string big, marks;
  for (int i = 0; big.size() < (std::size_t(3) << 20); ++i) {
    big += "word " + std::to_string(i) + " \x82\xA0 <b> & \"q\"\n";
    if (i % 89 == 0) big += "|b,next|x y\n|ins|i\n|2prev,frob|p q\n|cppsrc|\nint a;\n\n|endcppsrc|\n";
    if (i % 997 == 0) big += "|include=missing" + std::to_string(i) + ".txt|z\n|zap|\n";
  }
  for (int i = 0; i < 3000; ++i) marks += "a b c d e f g h\n|1b.2i.3u,prev|x y z\n";
  // More elements than pass 1 may run ahead of pass 2, and a listing longer than that.
  std::string words, listing = "|cppsrc|\n";
  for (int i = 0; i < 130000; ++i) words += "|b|a b c d e f g h i " + std::to_string(i) + "\n";
  for (int i = 0; i < 1100000; ++i) listing += "x\n";
  listing += "|endcppsrc|\nafter\n";
  const struct {
    const char* name;
    std::string text;
  } cases[] = {
      {"long with reports of both passes", big},
      {"every line marks the last", marks},
      {"far more elements than the lag", words},
      {"a listing longer than the lag", listing},
      {"short", "a b\n|1i|c d\n"},
      {"title late", big.substr(0, 200000) + "|title|T\nb\n"},
      {"exreps at the start", "|exreps=1|H\n" + big.substr(0, 100000)},
      {"ini late", big.substr(0, 300000) + "|ini|nothing\nb\n"},
      {"ends inside a listing", "a\n|cppsrc|\nint a;\n"},
      {"empty lines", "\n\n\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir tmp;
    ASSERT_TRUE(Prepare(tmp, "HeaderStr=<title_rep>[<exrep1>\nEndStr=]\n", c.text));
    test::RecordingHost one_after_other, side_by_side;
    const RunOutcome want = Convert(one_after_other, tmp.File("a.txt"));
    const std::string bytes = test::ReadBytes(tmp.File("a.htm"));
    RunHooks hooks;
    hooks.concurrent_passes = true;
    EXPECT_EQ(ConvertWith(side_by_side, tmp.File("a.txt"), hooks), want);
    EXPECT_EQ(test::ReadBytes(tmp.File("a.htm")), bytes);
    EXPECT_EQ(side_by_side.errors, one_after_other.errors);
    EXPECT_EQ(side_by_side.status, one_after_other.status);
    SetProgramPathForTesting("");
  }
}

// A host that cancels at its nth pump.
class CancellingHost : public test::RecordingHost {
 public:
  explicit CancellingHost(int n) : left_(n) {}
  bool Pump() override { return --left_ <= 0; }

 private:
  int left_;
};

TEST(RunStream, CancelWithPassOneOnItsOwnThreadWritesNothing) {
  std::string text;
  for (int i = 0; i < 200000; ++i) text += "|b|word " + std::to_string(i) + "\n";
  for (int at : {1, 3, 50, 5000, 20000}) {
    SCOPED_TRACE(at);
    test::TempDir tmp;
    SetProgramPathForTesting(tmp.File("norvelle"));
    ASSERT_TRUE(test::WriteBytes(tmp.File("a.txt"), text));
    CancellingHost host(at);
    RunHooks hooks;
    hooks.concurrent_passes = true;
    EXPECT_EQ(ConvertWith(host, tmp.File("a.txt"), hooks), RunOutcome::kCancelled);
    const auto entries = std::filesystem::directory_iterator(tmp.path());
    EXPECT_EQ(std::distance(begin(entries), end(entries)), 1);  // the source alone
    SetProgramPathForTesting("");
  }
}

}  // namespace
}  // namespace norvelle
