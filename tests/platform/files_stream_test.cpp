// Writing a file from a producer: the same file as from the pieces, and the
// target untouched when the producer gives up or fails.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <stdexcept>
#include <string>

#include "platform/files.h"
#include "support/test_support.h"

namespace norvelle {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

long Entries(const std::string& dir) {
  const auto it = std::filesystem::directory_iterator(dir);
  return long(std::distance(begin(it), end(it)));
}

// Buffers given whole go out in order with the pieces put around them, and
// come back empty for the producer to fill again.
TEST(WriteTextFileFrom, GivenBuffersKeepTheirPlace) {
  TempDir dir;
  std::string want;
  EXPECT_TRUE(WriteTextFileFrom(dir.File("out.htm"), [&want](const TextPut& put) {
    std::string buffer;
    for (int i = 0; i < 40; ++i) {
      const std::string head = "<" + std::to_string(i) + ">\n";
      if (!put(head)) return false;
      want += "<" + std::to_string(i) + ">\r\n";
      buffer.assign(std::size_t(1000 + i * 20000), char('a' + i % 26));
      buffer += "\n";
      want += buffer.substr(0, buffer.size() - 1) + "\r\n";
      if (!put.Give(buffer) || !buffer.empty()) return false;
    }
    std::string nothing;
    return put.Give(nothing) && put("end");
  }));
  want += "end";
  EXPECT_TRUE(ReadBytes(dir.File("out.htm")) == want);
}

TEST(WriteTextFileFrom, PiecesAsTheyComeAndNothingLeftOnFailure) {
  TempDir dir;
  ASSERT_TRUE(WriteBytes(dir.File("out.htm"), "old"));
  EXPECT_TRUE(WriteTextFileFrom(dir.File("out.htm"), [](const TextPut& put) {
    return put("a\n") && put("") && put(std::string(3 << 20, 'x')) && put("\nb");
  }));
  EXPECT_EQ(ReadBytes(dir.File("out.htm")), "a\r\n" + std::string(3 << 20, 'x') + "\r\nb");

  ASSERT_TRUE(WriteBytes(dir.File("out.htm"), "old"));
  EXPECT_FALSE(WriteTextFileFrom(dir.File("out.htm"), [](const TextPut& put) { return put("new") && false; }));
  EXPECT_EQ(ReadBytes(dir.File("out.htm")), "old");
  EXPECT_THROW(WriteTextFileFrom(dir.File("out.htm"),
                                 [](const TextPut& put) -> bool {
                                   put("new");
                                   throw std::runtime_error("producer failed");
                                 }),
               std::runtime_error);
  EXPECT_EQ(ReadBytes(dir.File("out.htm")), "old");
  EXPECT_EQ(Entries(dir.path()), 1);  // no temporary file stays

  bool called = false;
  EXPECT_FALSE(WriteTextFileFrom(dir.File("no/such/out.htm"), [&called](const TextPut&) {
    called = true;
    return true;
  }));
  EXPECT_FALSE(called);
}

// Why a write failed, as the caller gets it: from the step that failed, also
// when the writing thread met it while the producer went on.
TEST(WriteText, ReasonOfTheStepThatFailed) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("folder"));
  // A device like /dev/full; root makes its own node, so that a fault cannot replace the real one.
  std::string full = "/dev/full";
  if (geteuid() == 0 && mknod(dir.File("full").c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0) full = dir.File("full");
  const TextProducer small = [](const TextPut& put) { return put("x\n"); };
  const TextProducer give_up = [](const TextPut& put) { return put("x") && false; };
  const TextProducer large = [](const TextPut& put) {
    for (int i = 0; i < 4096; ++i)
      if (!put(std::string(1024, 'x'))) return false;
    return true;
  };
  using std::errc;
  const struct {
    const char* name;
    std::string path;
    const TextProducer& produce;
    errc why;
  } cases[] = {
      {"missing folder", dir.File("no/such/out.htm"), small, errc::no_such_file_or_directory},
      {"NUL in the name", dir.File("out.htm") + std::string(1, '\0'), small, errc::no_such_file_or_directory},
      {"a folder in the way", dir.File("folder"), small, errc::is_a_directory},
      {"the producer gives up", dir.File("out.htm"), give_up, errc::operation_canceled},
      {"a full device, small", full, small, errc::no_space_on_device},
      {"a full device, on the writing thread", full, large, errc::no_space_on_device},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(WriteTextFrom(c.path, c.produce), c.why);
  }
  EXPECT_EQ(Entries(dir.path()), full == "/dev/full" ? 1 : 2);  // no temporary file stays
}

}  // namespace
}  // namespace norvelle
