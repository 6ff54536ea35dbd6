// One conversion job of the command line: the files to convert, the
// document encoding and where the output goes, run under any host.
//
// Everything beyond one CP932 file beside its source lives here, around the
// run: reading UTF-8 documents into the run's CP932 (characters CP932 lacks
// carried through platform/carry.h) and writing the HTML back as UTF-8,
// standard input and output, an output named on the command line, several
// files in turn, and the lines of our own that say why a file failed or that
// a file looks like UTF-8.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "report/host.h"
#include "convert/run.h"

namespace norvelle {

// kAuto: UTF-8 for a document with a byte order mark, or valid UTF-8 that
// holds a byte above 0x7F; Shift_JIS otherwise.
enum class DocEncoding { kCp932, kUtf8, kAuto };

// Where a dependency file goes: none, NAME.htm.d beside each page, or a file
// named on the command line (one input only).
enum class DepsMode { kNone, kBeside, kNamed };

// What one input's run did, for a caller that acts on it (watch mode).
struct RunRecord {
  std::string input;           // as the user wrote it (UTF-8)
  RunOutcome outcome;
  int errors = 0;              // report lines of the run
  std::vector<FileRead> reads;  // every file it read or looked for
  std::string page;            // the page as the user would name it; "-": standard output
  bool held_back = false;      // strict: errors, so the page was not written
};

struct Job {
  DocEncoding encoding = DocEncoding::kCp932;
  std::vector<std::string> inputs;  // UTF-8 words, one path each; "-" is standard input
  std::string output;               // UTF-8; empty: beside each source; "-": standard output
  bool concurrent_passes = false;   // RunHooks::concurrent_passes
  DepsMode deps = DepsMode::kNone;
  std::string deps_file;            // UTF-8, with DepsMode::kNamed
  // A run that reports an error writes no page (the old one stays) and
  // exits 1, so that make tries again.
  bool strict = false;
  bool html5 = false;         // RunHooks::html5: the HTML5 profile whatever the rules say
  std::function<void(const RunRecord&)> on_run;  // after each input's run
  bool name_reports = false;  // report lines start with the file's name also for one input
  std::string rules;          // UTF-8; the default rule file of this run instead of the program's
  bool gnu_diagnostics = false;  // report lines as "FILE:LINE: message"
  bool verbose = false;          // a note per document: the rule files used, the page written
};

// What the words name: each its own file when there are at least two, their
// blank-joined text names no existing file and at least one word names an
// existing regular file (a word that names none is then converted, and
// fails, on its own); otherwise the joined text as one path, as it always was.
std::vector<std::string> InputsOf(const std::vector<std::string>& words);

// Lines of our own ("norvelle: ..."), UTF-8.
enum class NoteKind {
  kReason,  // why a file failed: after its report line
  kHint,    // a file read as CP932 looks like UTF-8 (batch mode only)
  kVerbose, // the rule files a document used and the page written (-v)
};
using NoteSink = std::function<void(NoteKind, const std::string& line)>;

// Converts every input in turn; the outcome is the worst of the runs, and a
// cancelled run stops the rest. With several inputs each report line starts
// with the file's name and ": ".
RunOutcome RunJob(ConversionHost& host, const Job& job, const NoteSink& note);

// Does a text read as CP932 look like UTF-8? A UTF-8 byte order mark, or
// most of the lines with bytes above 0x7F being valid UTF-8.
bool LooksLikeUtf8(std::string_view text);

// The title with every carried character written as "&#N;" (a CP932 output
// cannot hold it).
void CarriedAsReferences(std::string& cp932_text);

}  // namespace norvelle
