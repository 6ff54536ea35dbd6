// The manuals' folder under the program's prefix.
#include "app/manuals.h"

#include <gtest/gtest.h>

namespace norvelle {
namespace {

TEST(ManualsTest, ShareDocBesideThePrefix) {
  const std::pair<const char*, const char*> cases[] = {
      {"/usr/bin/norvelle", "/usr/share/doc/norvelle"},
      {"/home/u/.local/bin/norvelle", "/home/u/.local/share/doc/norvelle"},
      {"/opt/\x95\x5c/bin/norvelle", "/opt/\x95\x5c/share/doc/norvelle"},  // a trail byte 0x5C
      {"/bin/norvelle", "/share/doc/norvelle"},
      {"/norvelle", ""},
      {"norvelle", ""},
  };
  for (const auto& [program, want] : cases) {
    SCOPED_TRACE(program);
    EXPECT_EQ(ManualsFolder(program), want);
  }
}

}  // namespace
}  // namespace norvelle
