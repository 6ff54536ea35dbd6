// The conversion run: one source text file in, one HTML file out.
//
// Finds the rules, derives the output name, reads the source, runs pass 1
// (command analysis) and pass 2 (writing), fills the header and footer and
// writes the result. Talks to its host for status, errors, progress and
// cancellation. Returns 1 when the host may close at once (finished without
// errors, or cancelled) and 0 when it must stay open to show what went wrong.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "io/document_io.h"
#include "markup/element.h"
#include "report/host.h"
#include "report/messages.h"
#include "html/placeholders.h"
#include "html/writer.h"
#include "platform/files.h"

namespace norvelle {

class RuleStore;

// How a run ended.
enum class RunOutcome {
  kDone,         // written, no errors
  kDoneErrors,   // written, errors reported
  kFailed,       // fatal: nothing written
  kCancelled,    // nothing written
};

// command_line: the path of the source, optionally in double quotes.
RunOutcome Convert(ConversionHost& host, std::string_view command_line);

// Hooks at the run's boundary for hosts that go beyond one CP932 file beside
// its source (other document encodings, standard input and output, a named
// output). Every empty member keeps the behaviour of Convert.
struct RunHooks {
  // Reads the source, included files and rule files, and records each one
  // (null: plain text-mode reads, recorded in a DocumentIO of the run's own).
  DocumentIO* io = nullptr;
  // Writes header, body and footer (CP932) to the output path.
  std::function<bool(const std::string& output, const std::vector<std::string_view>& pieces)> write;
  // Writes header, body and footer (CP932) to the output path as the run makes
  // them (WriteTextFileFrom's contract: produce is not called when the output
  // cannot be created). Used instead of `write` when the header and footer
  // are final before pass 2, so the body is never held whole. Empty: the run
  // streams through WriteTextFileFrom when `write` is empty too.
  std::function<bool(const std::string& output, const TextProducer& produce)> write_stream;
  // Rewrites the escaped title before it fills "<title_rep>".
  std::function<void(std::string& escaped_title)> title;
  std::string output;      // CP932 path; empty: beside the source
  std::string default_rules;  // CP932 path of the default rule file; empty: the program's
  std::string title_text;  // the title before any `title` command; empty: from the source name
  bool stream_source = false;  // the source is no file: its date is the current one
  bool html5 = false;          // the HTML5 profile whatever the rules' OutputProfile says
  // Pass 1 runs on a second thread ahead of pass 2 when the output is
  // streamed: same output and report lines, but the host sees no progress
  // of pass 1 and gets pass 1's report lines only when it is over.
  bool concurrent_passes = false;
  Clock clock = SystemClock();  // the current time (and the date of a source without one)
  Msg* fatal = nullptr;         // set to the report line's message when the run fails
  // A longer line fails the run (at most kMaxElementBytes); lower for tests.
  std::size_t max_line_bytes = kMaxElementBytes;
  // The most an exreps or exrepe text may make the header or footer; lower for tests.
  std::size_t max_frame_bytes = kMaxFrameBytes;
  // The default rules from memory instead of the default rule file (a rule
  // being edited and not saved); null: the file, as always.
  const RuleStore* default_rule_store = nullptr;
  // Filled with where each source line starts in the body (a preview's
  // scroll anchors). Only a run whose body is held whole (`write` set, no
  // `write_stream`, no concurrent passes) fills it.
  std::vector<LineMark>* line_marks = nullptr;
};

RunOutcome ConvertWith(ConversionHost& host, std::string_view command_line, const RunHooks& hooks);

}  // namespace norvelle
