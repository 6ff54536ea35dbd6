// Every file a run reads or looks for is recorded, in the order met.
#include "io/document_io.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "convert/run.h"
#include "platform/paths.h"
#include "support/recording_host.h"
#include "support/test_support.h"

namespace norvelle {
namespace {

TEST(DocumentIO, RecordsEveryFileTheRunReadOrLookedFor) {
  test::TempDir tmp;
  for (const char* f : {"bin", "doc", "doc/qdx"}) std::filesystem::create_directory(tmp.File(f));
  SetProgramPathForTesting(tmp.File("bin/norvelle"));
  ASSERT_TRUE(test::WriteBytes(tmp.File("doc/part.html"), "<p>"));
  ASSERT_TRUE(test::WriteBytes(tmp.File("doc/qdx/near.qdx"), "TabCnt=2\n"));
  ASSERT_TRUE(test::WriteBytes(tmp.File("doc/a.txt"),
                               "|include=part.html|\n|include=gone.html|\n|ini|near\n|ini|nowhere\n"));
  DocumentIO io;
  RunHooks hooks;
  hooks.io = &io;
  test::RecordingHost host;
  EXPECT_EQ(ConvertWith(host, tmp.File("doc/a.txt"), hooks), RunOutcome::kDoneErrors);
  struct Want {
    FileRole role;
    std::string path;
    bool found;
  };
  const std::vector<Want> want = {
      {FileRole::kRules, tmp.File("bin/norvelle.ini"), false},
      {FileRole::kSource, tmp.File("doc/a.txt"), true},
      {FileRole::kInclude, tmp.File("doc/part.html"), true},
      {FileRole::kInclude, tmp.File("doc/gone.html"), false},
      {FileRole::kRules, tmp.File("bin/qdx/near.qdx"), false},
      {FileRole::kRules, tmp.File("doc/qdx/near.qdx"), true},
      {FileRole::kRules, tmp.File("bin/qdx/nowhere.qdx"), false},
      {FileRole::kRules, tmp.File("doc/qdx/nowhere.qdx"), false},
  };
  ASSERT_EQ(io.reads().size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE(want[i].path);
    EXPECT_EQ(io.reads()[i].role, want[i].role);
    EXPECT_EQ(io.reads()[i].path, want[i].path);
    EXPECT_EQ(io.reads()[i].found, want[i].found);
  }
  SetProgramPathForTesting("");
}

}  // namespace
}  // namespace norvelle
