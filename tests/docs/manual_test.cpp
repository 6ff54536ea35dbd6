// The manuals in docs/ are tested against the program: a manual that drifts
// from the conversion fails here.
//
// An example in a manual is a run of fenced blocks:
//
//   ```ini example [whole]  optional: the default rule file of the example
//   ```ini qdx=NAME         optional: the named rule file qdx/NAME.qdx
//   ```html file=NAME       optional (any language): a file beside the document
//   ```norvelle             the source (no line feed after its last line)
//   ```html                 the whole output, CR LF shown as LF
//   ```errors               optional: the error report, line by line
//
// "→" stands for a tab everywhere. Every example's rule file starts with an
// empty HeaderStr and EndStr (unless marked "whole"), so the output is the
// body unless the example sets them. Paths in the error report show the test's folder as /home/ann
// (the program in /home/ann/bin, the document in /home/ann/notes).
//
// docs/rules.md also holds a pattern table (header "| Pattern | Text | Match |
// Hits |"): each row is matched by the pattern engine with no flags, as the
// auto-replace list matches; the match is shown as ⟨...⟩ inside the text.
//
// NORVELLE_DOCS_UPDATE=1 rewrites the html and errors blocks with what the
// program writes; review the diff before committing it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "markup/commands.h"
#include "convert/run.h"
#include "pattern/regex.h"
#include "platform/encoding.h"
#include "platform/paths.h"
#include "support/recording_host.h"
#include "support/test_support.h"

namespace norvelle {
namespace {

const std::string kArrow = "\xE2\x86\x92";  // → stands for a tab
const std::string kShownRoot = "/home/ann";

struct Block {
  std::vector<std::string> info;  // words of the info string
  int first = 0;                  // index of its first content line
  int count = 0;                  // number of content lines
  std::string text;               // content lines joined by LF
};

struct Example {
  int line = 0;  // 1-based line of the source block
  std::string rules;
  bool whole = false;  // the rule file as shown, without the empty header and footer
  std::vector<std::pair<std::string, std::string>> files;  // path under the root, content
  std::string source;
  const Block* html = nullptr;
  const Block* errors = nullptr;
};

struct Manual {
  std::string path;
  std::vector<std::string> lines;
  std::vector<Block> blocks;
  std::vector<Example> examples;
  std::vector<std::string> faults;  // malformed examples
};

std::string Join(const std::vector<std::string>& lines, std::size_t from, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out += (i ? "\n" : "") + lines[from + i];
  return out;
}

std::string Tabs(std::string s) {
  for (std::size_t p; (p = s.find(kArrow)) != std::string::npos;) s.replace(p, kArrow.size(), "\t");
  return s;
}

bool Has(const Block& b, const std::string& word) {
  for (const std::string& w : b.info)
    if (w == word) return true;
  return false;
}

std::string Value(const Block& b, const std::string& key) {
  for (const std::string& w : b.info)
    if (w.rfind(key + "=", 0) == 0) return w.substr(key.size() + 1);
  return {};
}

Manual LoadManual(const std::string& name) {
  Manual m;
  m.path = test::TestDataDir() + "/../docs/" + name;
  std::ifstream in(m.path);
  for (std::string line; std::getline(in, line);) m.lines.push_back(line);
  for (std::size_t i = 0; i < m.lines.size(); ++i) {
    const std::string& l = m.lines[i];
    if (l.rfind("```", 0) != 0) continue;
    std::size_t ticks = l.find_first_not_of('`');
    std::string fence = l.substr(0, ticks == std::string::npos ? l.size() : ticks);
    Block b;
    std::istringstream words(l.substr(fence.size()));
    for (std::string w; words >> w;) b.info.push_back(w);
    b.first = int(i + 1);
    std::size_t j = i + 1;
    while (j < m.lines.size() && m.lines[j] != fence) ++j;
    b.count = int(j - i - 1);
    b.text = Tabs(Join(m.lines, i + 1, std::size_t(b.count)));
    m.blocks.push_back(b);
    i = j;
  }
  Example pending;
  bool has_pending = false;
  for (std::size_t i = 0; i < m.blocks.size(); ++i) {
    const Block& b = m.blocks[i];
    std::string lang = b.info.empty() ? "" : b.info[0];
    std::string where = name + ":" + std::to_string(b.first);
    if (lang == "ini" && Has(b, "example")) {
      pending.rules = b.text;
      pending.whole = Has(b, "whole");
      has_pending = true;
    } else if (lang == "ini" && !Value(b, "qdx").empty()) {
      pending.files.push_back({"bin/qdx/" + Value(b, "qdx") + ".qdx", b.text});
      has_pending = true;
    } else if (!Value(b, "file").empty()) {
      pending.files.push_back({"notes/" + Value(b, "file"), b.text});
      has_pending = true;
    } else if (lang == "norvelle") {
      Example ex = pending;
      pending = Example{};
      has_pending = false;
      ex.line = b.first;
      ex.source = b.text;
      if (i + 1 < m.blocks.size() && m.blocks[i + 1].info == std::vector<std::string>{"html"}) {
        ex.html = &m.blocks[++i];
        if (i + 1 < m.blocks.size() && m.blocks[i + 1].info == std::vector<std::string>{"errors"})
          ex.errors = &m.blocks[++i];
        m.examples.push_back(ex);
      } else {
        m.faults.push_back(where + ": a norvelle block without an html block after it");
      }
    } else if (lang == "errors") {
      m.faults.push_back(where + ": an errors block that follows no example");
    }
  }
  if (has_pending) m.faults.push_back(name + ": setup blocks after the last example");
  return m;
}

std::string ToCp932(const std::string& utf8) {
  std::string out;
  EXPECT_TRUE(Utf8ToCp932(utf8, out)) << utf8;
  return out;
}

std::string ToUtf8(const std::string& cp932) {
  std::string out;
  EXPECT_TRUE(Cp932ToUtf8(cp932, out));
  return out;
}

std::string Lf(std::string s) {
  for (std::size_t p; (p = s.find("\r\n")) != std::string::npos;) s.erase(p, 1);
  return s;
}

std::string ShownPaths(std::string s, const std::string& root) {
  for (std::size_t p; (p = s.find(root)) != std::string::npos;) s.replace(p, root.size(), kShownRoot);
  return s;
}

struct Result {
  std::string html;                 // UTF-8, LF line ends, tabs as they are
  std::vector<std::string> errors;  // error report, paths shown under kShownRoot
  bool crlf = true;                 // every LF of the file came with a CR
  RunOutcome outcome = RunOutcome::kFailed;
};

Result Run(const Example& ex) {
  Result r;
  test::TempDir tmp;
  std::filesystem::create_directories(tmp.File("bin/qdx"));
  std::filesystem::create_directories(tmp.File("notes"));
  SetProgramPathForTesting(tmp.File("bin/norvelle"));
  EXPECT_TRUE(test::WriteBytes(tmp.File("bin/norvelle.ini"), ToCp932((ex.whole ? "" : "HeaderStr=\nEndStr=\n") + ex.rules + "\n")));
  for (const auto& [path, text] : ex.files) EXPECT_TRUE(test::WriteBytes(tmp.File(path), ToCp932(text)));
  EXPECT_TRUE(test::WriteBytes(tmp.File("notes/doc.txt"), ToCp932(ex.source)));
  test::RecordingHost host;
  r.outcome = Convert(host, tmp.File("notes/doc.txt"));
  SetProgramPathForTesting("");
  std::string bytes = test::ReadBytes(tmp.File("notes/doc.htm"));
  std::string lf = Lf(bytes);
  r.crlf = std::count(lf.begin(), lf.end(), '\n') == std::count(bytes.begin(), bytes.end(), '\r');
  r.html = ToUtf8(lf);
  for (const std::string& e : host.errors) r.errors.push_back(ShownPaths(e, tmp.path()));
  return r;
}

std::string Arrows(std::string s) {
  for (std::size_t p; (p = s.find('\t')) != std::string::npos;) s.replace(p, 1, kArrow);
  return s;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  if (!text.empty() && text.back() == '\n') out.push_back("");
  return out;
}

bool UpdateRequested() {
  const char* u = std::getenv("NORVELLE_DOCS_UPDATE");
  return u && *u == '1';
}

// Converts every example of a manual; returns how many there were.
std::size_t CheckExamples(const std::string& name) {
  Manual m = LoadManual(name);
  EXPECT_FALSE(m.lines.empty()) << m.path;
  for (const std::string& f : m.faults) ADD_FAILURE() << f;
  std::vector<std::pair<const Block*, std::vector<std::string>>> rewrites;
  for (const Example& ex : m.examples) {
    SCOPED_TRACE(name + ":" + std::to_string(ex.line));
    Result r = Run(ex);
    std::vector<std::string> shown_errors;
    if (ex.errors) shown_errors = Lines(ex.errors->text);
    EXPECT_EQ(r.html, ex.html->text);
    EXPECT_EQ(r.errors, shown_errors);
    EXPECT_TRUE(r.crlf);
    EXPECT_EQ(r.outcome, shown_errors.empty() ? RunOutcome::kDone : RunOutcome::kDoneErrors);
    rewrites.push_back({ex.html, Lines(Arrows(r.html))});
    if (ex.errors) rewrites.push_back({ex.errors, r.errors});
  }
  if (UpdateRequested()) {
    // Bottom up, so that earlier line numbers stay valid.
    for (auto it = rewrites.rbegin(); it != rewrites.rend(); ++it) {
      auto at = m.lines.begin() + it->first->first;
      m.lines.erase(at, at + it->first->count);
      m.lines.insert(m.lines.begin() + it->first->first, it->second.begin(), it->second.end());
    }
    std::ofstream out(m.path, std::ios::trunc);
    for (const std::string& l : m.lines) out << l << '\n';
  }
  return m.examples.size();
}

TEST(Manual, MarkupExamplesConvertAsShown) {
  std::size_t n = CheckExamples("markup.md");
  EXPECT_GT(n, 0u);
  std::printf("docs/markup.md: %zu examples\n", n);
}

TEST(Manual, RulesExamplesConvertAsShown) {
  std::size_t n = CheckExamples("rules.md");
  EXPECT_GT(n, 0u);
  std::printf("docs/rules.md: %zu examples\n", n);
}

// The words of the command table, read from its source: the table has no
// enumeration of its own, and a word added there must reach the manual.
std::set<std::string> TableWords() {
  std::set<std::string> words;
  const std::regex entry(R"re(\{"([^"]+)",\s*k[A-Za-z]+,)re");
  for (auto& f : std::filesystem::recursive_directory_iterator(test::TestDataDir() + "/../src/markup")) {
    if (!f.is_regular_file()) continue;
    std::string text = test::ReadBytes(f.path().string());
    for (std::sregex_iterator it(text.begin(), text.end(), entry), end; it != end; ++it)
      words.insert((*it)[1]);
  }
  return words;
}

// Command words of the command lines of a source, element numbers dropped.
std::vector<std::string> CommandWords(const std::string& source) {
  std::vector<std::string> out;
  for (const std::string& line : Lines(source)) {
    if (line.empty() || line[0] != '|') continue;
    std::size_t end = line.find('|', 1);
    if (end == std::string::npos) continue;
    std::stringstream words(line.substr(1, end - 1));
    for (std::string w; std::getline(words, w, ',');) {
      if (!w.empty() && std::isdigit(static_cast<unsigned char>(w[0])))
        w.erase(0, w.find_first_not_of("0123456789-."));
      if (!w.empty()) out.push_back(w);
    }
  }
  return out;
}

TEST(Manual, EveryCommandWordHasAnExample) {
  std::set<std::string> table = TableWords();
  std::set<std::string> shown;
  Manual m = LoadManual("markup.md");
  for (const Example& ex : m.examples) {
    for (const std::string& w : CommandWords(ex.source)) {
      if (w == "setsplit") shown.insert(w);
      if (const CommandInfo* c = LookupCommand(w)) {
        // Reading the table's source must have found the entry that the
        // program itself uses for this word.
        EXPECT_EQ(table.count(std::string(c->word)), 1u) << c->word;
        shown.insert(std::string(c->word));
      }
    }
  }
  EXPECT_FALSE(table.empty());
  table.insert("setsplit");  // recognised by the line analysis, not by the table
  for (const std::string& w : table) EXPECT_EQ(shown.count(w), 1u) << "no example uses |" << w << "|";
}

// ----- the pattern table of docs/rules.md

struct PatternRow {
  int line;
  std::string pattern, text, match;
  std::vector<std::string> hits;
};

std::vector<std::string> Cells(const std::string& row) {
  std::vector<std::string> cells;
  std::string cur;
  for (std::size_t i = 1; i < row.size(); ++i) {
    if (row[i] == '\\' && i + 1 < row.size() && row[i + 1] == '|') {
      cur += '|';
      ++i;
    } else if (row[i] == '|') {
      cells.push_back(cur);
      cur.clear();
    } else {
      cur += row[i];
    }
  }
  return cells;
}

// The items of a cell: `code` spans and *empty* for an empty string.
std::vector<std::string> Items(const std::string& cell) {
  std::vector<std::string> out;
  static const std::regex item(R"re(`([^`]*)`|\*empty\*)re");
  for (std::sregex_iterator it(cell.begin(), cell.end(), item), end; it != end; ++it)
    out.push_back((*it)[1].matched ? std::string((*it)[1]) : std::string());
  return out;
}

std::vector<PatternRow> PatternRows() {
  std::vector<PatternRow> rows;
  Manual m = LoadManual("rules.md");
  bool in_table = false;
  for (std::size_t i = 0; i < m.lines.size(); ++i) {
    const std::string& l = m.lines[i];
    if (l.rfind("| Pattern | Text | Match | Hits |", 0) == 0) {
      in_table = true;
      ++i;  // the delimiter row
      continue;
    }
    if (!in_table) continue;
    if (l.empty() || l[0] != '|') {
      in_table = false;
      continue;
    }
    std::vector<std::string> cells = Cells(l);
    if (cells.size() < 4) {
      ADD_FAILURE() << "rules.md:" << i + 1 << ": a pattern row needs four cells";
      continue;
    }
    PatternRow r{int(i + 1), "", "", "", {}};
    std::vector<std::string> p = Items(cells[0]), t = Items(cells[1]), mt = Items(cells[2]);
    if (p.size() != 1 || t.size() != 1 || mt.size() > 1) {
      ADD_FAILURE() << "rules.md:" << i + 1 << ": pattern, text and match need one code span each";
      continue;
    }
    r.pattern = p[0];
    r.text = t[0];
    r.match = mt.empty() ? "no match" : mt[0];
    r.hits = Items(cells[3]);
    rows.push_back(r);
  }
  return rows;
}

TEST(Manual, PatternTableMatchesAsShown) {
  std::vector<PatternRow> rows = PatternRows();
  EXPECT_GT(rows.size(), 0u);
  std::printf("docs/rules.md: %zu pattern rows\n", rows.size());
  for (const PatternRow& row : rows) {
    SCOPED_TRACE("rules.md:" + std::to_string(row.line) + " " + row.pattern);
    CStrRegexStruct root = RegexCompile(ToCp932(row.pattern));
    std::string subject_bytes = ToCp932(row.text);
    CStr subject{std::string_view(subject_bytes)};
    CStrHitList hits;
    CStrPositionList positions;
    int n = RegexMatch(subject, root, "", &hits, nullptr, nullptr, 0, &positions);
    std::string shown = "no match";
    if (n > 0 && positions.count() > 0) {
      int s = positions[0].start, len = positions[0].length;
      shown = ToUtf8(subject_bytes.substr(0, std::size_t(s))) + "\xE2\x9F\xA8" +
              ToUtf8(subject_bytes.substr(std::size_t(s), std::size_t(len))) + "\xE2\x9F\xA9" +
              ToUtf8(subject_bytes.substr(std::size_t(s + len)));
    }
    EXPECT_EQ(shown, row.match);
    std::vector<std::string> got;
    if (n > 0)
      for (std::uint32_t i = 0; i < hits.count(); ++i)
        got.push_back(ToUtf8(std::string(hits[i].data(), hits[i].length())));
    EXPECT_EQ(got, row.hits);
  }
}

}  // namespace
}  // namespace norvelle
