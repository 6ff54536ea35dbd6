// The program as a user runs it, in a fresh folder: a copy of the program
// there, so that no rule file of the build folder interferes.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace norvelle {

struct Result {
  int status = -1;
  std::string out, err;
};

inline std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'') q += "'\\''";
    else q += c;
  }
  return q + "'";
}

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    bin_ = tmp_.File("norvelle");
    std::filesystem::copy_file(NORVELLE_BIN_PATH, bin_);
    std::filesystem::permissions(bin_, std::filesystem::perms::owner_all);
  }
  // `input` goes to standard input; `shell` runs first in the same shell (a ulimit, say).
  Result Run(const std::vector<std::string>& args, const std::string* input = nullptr,
             const std::string& shell = "") {
    std::string cmd = "cd " + Quote(tmp_.path()) + " && " + (shell.empty() ? "" : shell + " && ") +
                      "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + Quote(bin_);
    for (const auto& a : args) cmd += " " + Quote(a);
    std::string in = "/dev/null";
    if (input) {
      in = tmp_.File(".in");
      EXPECT_TRUE(test::WriteBytes(in, *input));
    }
    cmd += " >" + Quote(tmp_.File(".out")) + " 2>" + Quote(tmp_.File(".err")) + " <" + Quote(in);
    int raw = std::system(cmd.c_str());
    Result r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = test::ReadBytes(tmp_.File(".out"));
    r.err = test::ReadBytes(tmp_.File(".err"));
    return r;
  }
  test::TempDir tmp_;
  std::string bin_;
};

}  // namespace norvelle
