// The conversion run: one source text file in, one HTML file out.
//
// Finds the rules, derives the output name, reads the source, runs pass 1
// (command analysis) and pass 2 (writing), fills the header and footer and
// writes the result. Talks to its host for status, errors, progress and
// cancellation. Returns 1 when the host may close at once (finished without
// errors, or cancelled) and 0 when it must stay open to show what went wrong.
#pragma once

#include <string_view>

#include "convert/host.h"
#include "convert/placeholders.h"

namespace norvelle {

// How a run ended, for hosts that need more than the 1/0 of ConvertForDialog.
enum class RunOutcome {
  kDone,         // written, no errors
  kDoneErrors,   // written, errors reported
  kFailed,       // fatal: nothing written
  kCancelled,    // nothing written
};

// command_line: the path of the source, optionally in double quotes.
RunOutcome Convert(ConversionHost& host, std::string_view command_line);
// The same with the clock that gives the current time (and the file time of a
// file that has none); Convert uses the system clock.
RunOutcome ConvertWithClock(ConversionHost& host, std::string_view command_line, Clock clock);

// The dialog's form: 1 when it may close at once, 0 when it must stay open.
inline int ConvertForDialog(ConversionHost& host, std::string_view command_line) {
  RunOutcome r = Convert(host, command_line);
  return (r == RunOutcome::kDone || r == RunOutcome::kCancelled) ? 1 : 0;
}

}  // namespace norvelle
