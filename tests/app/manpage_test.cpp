// The man page and --help say the same: every option of the help is in the
// page, every option of the page is in the help, and the versions agree.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <set>
#include <string>

#include "support/test_support.h"

namespace norvelle {
namespace {

std::string Output(const std::string& cmd) {
  std::string out;
  std::FILE* p = popen(cmd.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  pclose(p);
  return out;
}

std::set<std::string> Options(const std::string& text) {
  static const std::regex option(R"((^|[\s,\[(])(--?[A-Za-z][A-Za-z0-9-]*))");
  std::set<std::string> found;
  for (std::sregex_iterator it(text.begin(), text.end(), option), end; it != end; ++it)
    found.insert((*it)[2]);
  return found;
}

// The page as text: roff's "\-" is a "-", font changes go.
std::string PageText(std::string page) {
  page = std::regex_replace(page, std::regex(R"(\\-)"), "-");
  return std::regex_replace(page, std::regex(R"(\\f[BIRP])"), " ");
}

TEST(ManPage, SaysWhatTheHelpSays) {
  const std::string page = PageText(test::ReadBytes(test::TestDataDir() + "/../docs/norvelle.1"));
  ASSERT_FALSE(page.empty());
  const std::string help = Output(std::string(NORVELLE_BIN_PATH) + " --help");
  const std::set<std::string> in_help = Options(help), in_page = Options(page);
  ASSERT_GE(in_help.size(), 8u);
  for (const std::string& o : in_help) EXPECT_TRUE(in_page.count(o)) << o << " is not in the man page";
  for (const std::string& o : in_page) EXPECT_TRUE(in_help.count(o)) << o << " is not in --help";
  const std::string version = Output(std::string(NORVELLE_BIN_PATH) + " --version");
  ASSERT_EQ(version.rfind("norvelle ", 0), 0u);
  EXPECT_NE(page.find("\"" + version.substr(0, version.size() - 1) + "\""), std::string::npos)
      << "the page's header names another version than " << version;
}

// Each shell's completion offers every long option of the help.
TEST(Completions, OfferEveryOptionOfTheHelp) {
  const std::string help = Output(std::string(NORVELLE_BIN_PATH) + " --help");
  for (const char* file : {"norvelle.bash", "_norvelle", "norvelle.fish"}) {
    const std::string text = test::ReadBytes(test::TestDataDir() + "/../data/completions/" + file);
    ASSERT_FALSE(text.empty()) << file;
    for (const std::string& o : Options(help)) {
      if (o.rfind("--", 0) != 0 || o == "--") continue;
      // fish names long options without their dashes
      const std::string name = std::string(file).find("fish") != std::string::npos ? "-l " + o.substr(2) : o;
      EXPECT_NE(text.find(name), std::string::npos) << file << " lacks " << o;
    }
  }
}

}  // namespace
}  // namespace norvelle
