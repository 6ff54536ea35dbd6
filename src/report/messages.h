// Every text the conversion shows: status texts, captions, the progress
// dialog's labels and the error messages. Written once, in the table in
// messages.cpp, as UTF-8 and handed out as CP932, the program's encoding.
#pragma once

#include <string>
#include <string_view>

namespace norvelle {

enum class Msg {
  kStatusReading,
  kStatusAnalysing,
  kStatusConverting,
  kStatusWriting,
  kStatusDone,
  kStatusDoneErrors,
  kStatusFailed,
  kStatusPreparing,
  kCaptionClose,
  kCaptionCancel,
  kLabelErrorReport,
  kSameName,
  kCannotOpenSource,
  kSourceEmpty,
  kCannotCreateOutput,
  kErrorCount,
  kUnknownCommand,
  kBadHeading,
  kMustBeAlone,
  kBadElementNumber,
  kCannotAccessRule,
  kCannotOpenInclude,
  kOutOfMemory,
  kInternalError,
  kInvalidUtf8,
  kTooManyCarried,
  kPatternCutOff,
  kLineTooLong,
  kHeaderTooLong,
  kFooterTooLong,
};

// The message (or format) in UTF-8, for the dialogs.
const char* MessageUtf8(Msg m);
// The message (or format) in CP932.
const std::string& Message(Msg m);
// A report line "[N]text": its line number N (saturating at INT_MAX) and the
// text after "]"; false for a line that starts with no "[digits]".
bool SplitNumberedLine(std::string_view line, int& number, std::string_view& rest);
// Is line (CP932) a report line of m, a message that starts with "[%d]" and
// has no other conversion? For a host that says why a run failed.
bool IsReportOf(std::string_view line, Msg m);

}  // namespace norvelle
