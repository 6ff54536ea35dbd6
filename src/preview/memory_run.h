// A preview's conversion: one document converted into memory, the page kept
// with an invisible mark at the start of each source line (so the window
// can keep its place and jump to a reported line), the report kept as lines.
//
// Not for: the page a user publishes. The anchors are only in this copy; a
// run asked to write the page writes it as a normal conversion does, without
// them. CP932 documents only (the program's own encoding); the source may
// also be given as text (the built-in sample), which then is no file.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/run.h"
#include "io/document_io.h"
#include "rules/rule_store.h"

namespace norvelle {

struct PreviewRequest {
  std::string source;                // CP932 path (of a given text: where it would lie)
  std::optional<std::string> text;   // the source's CP932 text when it is no file
  std::string title;                 // CP932; empty: from the source's name
  const RuleStore* rules = nullptr;  // the default rules from memory; null: the rule file
  bool write = false;                // also write the page (without anchors) beside the source
  std::string default_rules;         // CP932 path of the default rule file; empty: the program's
  bool html5 = false;                // the HTML5 profile whatever the rules say
};

struct PreviewPage {
  RunOutcome outcome = RunOutcome::kFailed;
  std::string html;                 // CP932 page with marks; empty when the run failed
  std::size_t body_begin = 0;       // where in html the body (between header and footer) lies
  std::size_t body_end = 0;
  std::vector<std::string> report;  // CP932 lines, as the progress window lists them
  std::vector<FileRead> reads;      // every file the run read or looked for
  std::string source_text;          // what was converted (CP932)
  std::string page_path;            // CP932: where the page goes when written
  bool written = false;
  double milliseconds = 0;
  // A page to show: written or not, with or without reported errors.
  bool shown() const { return outcome == RunOutcome::kDone || outcome == RunOutcome::kDoneErrors; }
};

// cancel: checked at the run's pumps; a set flag ends the run as cancelled.
PreviewPage ConvertToMemory(const PreviewRequest& request, const std::atomic<bool>* cancel = nullptr);

// The anchor name of a source line, and the line of a name (0: none of ours).
std::string LineAnchorName(int line);
int LineOfAnchor(std::string_view name);

// The body with a mark (a zero-width space titled with LineAnchorName) where
// each line's output starts; a line marked twice keeps its first place.
std::string BodyWithAnchors(std::string_view body, const std::vector<LineMark>& marks);

// The source line a report line quotes ("[12]：..."); 0 when it quotes none.
int ReportedLine(std::string_view cp932_line);

}  // namespace norvelle
