// The run as a whole: failures that are not the document's fault end the run
// as a reported failure with nothing written, never as a crash.
#include <gtest/gtest.h>

#include <new>

#include "convert/run.h"
#include "platform/paths.h"
#include "support/recording_host.h"
#include "support/test_support.h"

namespace norvelle {
namespace {

// Throws from inside the run, the way an exhausted allocator would.
class ThrowingHost : public test::RecordingHost {
 public:
  explicit ThrowingHost(bool bad_alloc) : bad_alloc_(bad_alloc) {}
  void SetProgressRange(int) override {
    if (bad_alloc_) throw std::bad_alloc();
    throw 7u;  // what a container throws for a bad index
  }

 private:
  bool bad_alloc_;
};

TEST(Run, ExhaustedMemoryAndInternalErrorsAreFailuresNotCrashes) {
  struct Case {
    bool bad_alloc;
    const char* message;
  } cases[] = {
      {true, "メモリが足りないため変換できません"},
      {false, "内部エラーのため変換できません"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    test::TempDir tmp;
    SetProgramPathForTesting(tmp.File("norvelle"));
    ASSERT_TRUE(test::WriteBytes(tmp.File("a.txt"), "x\n"));
    ThrowingHost host(c.bad_alloc);
    EXPECT_EQ(Convert(host, tmp.File("a.txt")), RunOutcome::kFailed);
    EXPECT_EQ(host.errors, std::vector<std::string>{c.message});
    EXPECT_EQ(host.status, "変換失敗");
    EXPECT_EQ(host.caption, "閉じる");
    EXPECT_FALSE(test::FileExists(tmp.File("a.htm")));
    SetProgramPathForTesting("");
  }
}

}  // namespace
}  // namespace norvelle
