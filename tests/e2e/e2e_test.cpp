// End-to-end conversions from example files.
//
// Each file in cases/ holds examples in this shape:
//
//   ```` example NAME [rules=FILE] [files=A,B]
//   source lines (joined by LF, no final LF; "→" stands for a TAB)
//   .
//   expected body (the whole output with the empty header/footer rule)
//   .
//   expected error-report lines (optional section)
//   ````
//
// Files are UTF-8 for reading and converted to CP932 for the run. The output
// is compared byte for byte (with its CR LF line ends).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "report/host.h"
#include "convert/run.h"
#include "platform/encoding.h"
#include "platform/paths.h"
#include "support/recording_host.h"
#include "support/test_support.h"

namespace norvelle {
namespace {

struct Example {
  std::string file;
  int line = 0;
  std::string name;
  std::string rules = "empty.ini";
  std::vector<std::string> files;
  std::string source;
  std::string expected;
  std::vector<std::string> errors;
};

using test::RecordingHost;

std::string Tabs(std::string s) {
  const std::string arrow = "\xE2\x86\x92";
  for (std::size_t p; (p = s.find(arrow)) != std::string::npos;) s.replace(p, arrow.size(), "\t");
  return s;
}

std::string Join(const std::vector<std::string>& lines) {
  std::string out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i) out += '\n';
    out += lines[i];
  }
  return out;
}

std::vector<Example> LoadExamples() {
  std::vector<Example> all;
  std::string dir = test::TestDataDir() + "/e2e/cases";
  std::vector<std::filesystem::path> paths;
  for (auto& entry : std::filesystem::directory_iterator(dir)) paths.push_back(entry.path());
  std::sort(paths.begin(), paths.end());
  for (auto& path : paths) {
    std::ifstream in(path);
    std::string line;
    int n = 0;
    Example ex;
    int section = -1;  // -1 outside, 0 source, 1 expected, 2 errors
    std::vector<std::string> parts[3];
    while (std::getline(in, line)) {
      ++n;
      if (section < 0) {
        if (line.rfind("```` example", 0) == 0) {
          ex = Example{};
          ex.file = path.filename().string();
          ex.line = n;
          std::istringstream words(line.substr(12));
          std::string w;
          while (words >> w) {
            if (w.rfind("rules=", 0) == 0) ex.rules = w.substr(6);
            else if (w.rfind("files=", 0) == 0) {
              std::stringstream fs(w.substr(6));
              std::string f;
              while (std::getline(fs, f, ',')) ex.files.push_back(f);
            } else ex.name += (ex.name.empty() ? "" : " ") + w;
          }
          section = 0;
          for (auto& p : parts) p.clear();
        }
        continue;
      }
      if (line == "````") {
        ex.source = Tabs(Join(parts[0]));
        ex.expected = Tabs(Join(parts[1]));
        ex.errors = parts[2];
        all.push_back(ex);
        section = -1;
      } else if (line == "." && section < 2) {
        ++section;
      } else {
        parts[section].push_back(line);
      }
    }
  }
  return all;
}

std::string ToCp932(const std::string& utf8) {
  std::string out;
  EXPECT_TRUE(Utf8ToCp932(utf8, out)) << utf8;
  return out;
}

std::string Crlf(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

class ExampleTest : public ::testing::TestWithParam<Example> {};

TEST_P(ExampleTest, ConvertsAsWritten) {
  const Example& ex = GetParam();
  std::string data = test::TestDataDir() + "/e2e";
  SCOPED_TRACE(ex.file + ":" + std::to_string(ex.line) + " " + ex.name);
  test::TempDir tmp;
  SetProgramPathForTesting(tmp.path() + "/norvelle");
  std::filesystem::copy_file(data + "/rules/" + ex.rules, tmp.File("norvelle.ini"));
  std::filesystem::copy(data + "/rules/qdx", tmp.File("qdx"), std::filesystem::copy_options::recursive);
  for (const std::string& f : ex.files) std::filesystem::copy_file(data + "/files/" + f, tmp.File(f));
  ASSERT_TRUE(test::WriteBytes(tmp.File("doc.txt"), ToCp932(ex.source)));
  RecordingHost host;
  RunOutcome outcome = Convert(host, tmp.File("doc.txt"));
  SetProgramPathForTesting("");
  EXPECT_EQ(test::ReadBytes(tmp.File("doc.htm")), Crlf(ToCp932(ex.expected)));
  std::vector<std::string> want_errors;
  for (std::string e : ex.errors) {
    if (std::size_t p = e.find("$DIR"); p != std::string::npos) e.replace(p, 4, tmp.path());
    want_errors.push_back(e);
  }
  if (!want_errors.empty())
    want_errors.push_back(std::to_string(want_errors.size()) + " 個のエラーが発生しました");
  EXPECT_EQ(host.errors, want_errors);
  EXPECT_EQ(outcome, want_errors.empty() ? RunOutcome::kDone : RunOutcome::kDoneErrors);
}

std::string ExampleName(const ::testing::TestParamInfo<Example>& info) {
  std::string name = info.param.file.substr(0, info.param.file.find('.')) + "_" + std::to_string(info.param.line);
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Cases, ExampleTest, ::testing::ValuesIn(LoadExamples()), ExampleName);

// The tour document uses every command of the language and chooses its own
// rules (qdx/tour.qdx) on its first line; it must convert without a single
// error-report line and show every feature, the rules' ones included.
// The tour in both profiles: the same features, each in its own markup.
struct TourCase {
  bool html5;
  std::vector<const char*> fragments;
};

class TourTest : public ::testing::TestWithParam<TourCase> {};

TEST_P(TourTest, ConvertsWithoutErrors) {
  std::string ex = test::TestDataDir() + "/../examples";
  test::TempDir tmp;
  SetProgramPathForTesting(tmp.path() + "/norvelle");
  std::filesystem::create_directory(tmp.File("qdx"));
  std::filesystem::copy_file(ex + "/qdx/tour.qdx", tmp.File("qdx/tour.qdx"));
  for (const char* f : {"tour.txt", "tour-part.html", "tour.png"})
    std::filesystem::copy_file(ex + "/" + f, tmp.File(f));
  RecordingHost host;
  RunHooks hooks;
  hooks.html5 = GetParam().html5;
  EXPECT_EQ(ConvertWith(host, tmp.File("tour.txt"), hooks), RunOutcome::kDone);
  EXPECT_EQ(host.errors, std::vector<std::string>{});
  std::string html;
  ASSERT_TRUE(Cp932ToUtf8(test::ReadBytes(tmp.File("tour.htm")), html));
  for (const char* fragment :
       {"<title>Norvelle&nbsp;tour&nbsp;ツアー</title>", "<b>Norvelle</b>", "copied verbatim",
        "<img src=\"tour.png\" alt=\"A small picture\">",
        "<meta name=\"description\" content=\"A tour of every command\">",
        "<p>Generated by Norvelle</p>", "<p><i>Replace-table slot 5</i></p>", "<em>footnotes.</em>",
        "tour's own rules", "</body>\r\n</html>"}) {
    EXPECT_NE(html.find(fragment), std::string::npos) << fragment;
  }
  for (const char* fragment : GetParam().fragments) EXPECT_NE(html.find(fragment), std::string::npos) << fragment;
  SetProgramPathForTesting("");
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, TourTest,
    ::testing::Values(
        TourCase{false,
                 {"<table border=1 cellpadding=4><tr><th>Command<th>Effect", "<font color=\"#0000ff\">#include</font>",
                  "<!DOCTYPE html PUBLIC", "<center>A&nbsp;centred&nbsp;line.</center>"}},
        TourCase{true,
                 {"<!DOCTYPE html>\r\n<html lang=\"ja\">", "<meta charset=\"Shift_JIS\">",
                  ".src-keyword{color:#0000ff}", "<table border=\"1\"><tr><th style=\"padding:4px\">Command",
                  "<span class=\"src-keyword\">#include</span>", "<div class=\"nv-center\">A&nbsp;centred&nbsp;line.</div>",
                  "<hr style=\"width:60%\">", "<a href=\"https://example.com/\" target=\"_blank\" id=\"top\">"}}),
    [](const ::testing::TestParamInfo<TourCase>& i) { return std::string(i.param.html5 ? "Html5" : "Html401"); });

}  // namespace
}  // namespace norvelle
