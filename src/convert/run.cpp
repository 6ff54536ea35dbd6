#include "convert/run.h"

#include <ctime>
#include <new>
#include <string>
#include <vector>

#include "base/format.h"
#include "convert/analyse.h"
#include "convert/escape.h"
#include "convert/messages.h"
#include "convert/source_path.h"
#include "convert/writer.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "rules/rule_keys.h"
#include "rules/rule_store.h"

namespace norvelle {

namespace {

RunOutcome Fail(ConversionHost& host, Msg msg) {
  host.AddError(Message(msg));
  host.SetStatus(Message(Msg::kStatusFailed));
  host.SetButtonCaption(Message(Msg::kCaptionClose));
  return RunOutcome::kFailed;
}

void DateStrings(std::time_t t, CStr& date, CStr& time) {
  std::tm tm{};
  if (!LocalTime(t, tm)) tm = std::tm{};
  Format(date, "%04d/%02d/%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
  Format(time, "%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
}

// Splits the source text into lines (line feeds removed). A text ending in a
// line feed has one more, empty, line.
std::vector<std::string_view> SplitLines(const std::string& text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t lf = text.find('\n', start);
    if (lf == std::string::npos) {
      lines.emplace_back(text.data() + start, text.size() - start);
      start = text.size();
      return lines;
    }
    lines.emplace_back(text.data() + start, lf - start);
    start = lf + 1;
  }
  return lines;
}

}  // namespace

namespace {

RunOutcome ConvertUnguarded(ConversionHost& host, std::string_view command_line,
                             const RunHooks& hooks) {
  // Start: the default rules (a missing file leaves every default).
  RuleStore store;
  store.Load(true);
  RuleSettings settings;
  ReadSettings(store, settings);
  std::string rules_folder = RulesFolder();
  host.SetStatus(Message(Msg::kStatusReading));
  if (host.Pump()) return RunOutcome::kCancelled;

  std::string source = CleanPath(command_line);
  std::string output = !hooks.output.empty() ? hooks.output
                       : source.empty()       ? std::string(".htm")
                                              : OutputPathFor(source);
  if (SameFileName(source, output)) return Fail(host, Msg::kSameName);

  std::string text;
  const bool read = !source.empty() && (hooks.read ? hooks.read(source, text) : ReadTextFile(source, text));
  if (!read) return Fail(host, Msg::kCannotOpenSource);
  if (text.empty()) return Fail(host, Msg::kSourceEmpty);
  std::time_t mtime = 0;
  if (hooks.stream_source || !FileModTime(source, mtime)) mtime = Now();
  std::vector<std::string_view> lines = SplitLines(text);
  const int lines_read = int(lines.size());
  if (text.back() == '\n') lines.emplace_back();
  host.SetProgressRange(2 * lines_read);
  host.SetStatus(Message(Msg::kStatusAnalysing));

  // Pass 1.
  std::vector<TarnStruct> elements;
  elements.reserve(lines.size() * 2 + 2);
  ArgPool args;
  TextArena arena;
  {
    LineAnalyser analyser(elements, args, arena, host, std::string(settings.split_key.view()));
    host.line_number = 0;
    for (std::string_view line : lines) {
      ++host.line_number;
      host.SetProgressPos(host.line_number);
      if (host.Pump()) return RunOutcome::kCancelled;
      analyser.Analyse(line);
    }
    analyser.Finish();
  }

  // Settings for pass 2.
  CStr dates[4];
  DateStrings(mtime, dates[0], dates[1]);
  DateStrings(Now(), dates[2], dates[3]);
  host.SetStatus(Message(Msg::kStatusConverting));
  // Included files and rules beside the document are found from the
  // source's folder, wherever the output goes.
  std::string folder = FolderOf(source.empty() ? output : source);
  ElementWriter writer(host, elements, args, lines_read, rules_folder, folder);
  writer.set_fallback_rules_folder(folder + "/qdx");
  if (hooks.read_include) writer.set_include_reader(hooks.read_include);
  writer.ApplyRules(settings, true);
  CStr title(hooks.title_text.empty() ? DefaultTitle(source) : hooks.title_text);
  writer.SetFixedSlots(dates, title);

  // Pass 2.
  if (!writer.Run()) return RunOutcome::kCancelled;

  // Finish: placeholders, then write.
  CStr& header = writer.header();
  CStr& footer = writer.footer();
  static const char* const kDateMarks[4] = {"<filedate_rep>", "<filetime_rep>", "<nowdate_rep>",
                                            "<nowtime_rep>"};
  for (int i = 0; i < 4; ++i) {
    header.ReplaceAll(kDateMarks[i], dates[i].view());
    footer.ReplaceAll(kDateMarks[i], dates[i].view());
  }
  std::string escaped;
  AppendEscaped(escaped, writer.title().view());
  if (hooks.title) hooks.title(escaped);
  CStr title_tag;
  Format(title_tag, "<title>%s</title>", escaped.c_str());
  header.ReplaceAll("<title_rep>", title_tag.view());
  char marker[] = "<exrep0>";
  for (char d = '0'; d <= '9'; ++d) {
    marker[6] = d;
    header.ReplaceAll(marker, "");
    footer.ReplaceAll(marker, "");
  }

  host.SetStatus(Message(Msg::kStatusWriting));
  host.SetProgressPos(2 * lines_read);
  if (host.Pump()) return RunOutcome::kCancelled;
  const std::vector<std::string_view> pieces = {header.view(), writer.body(), footer.view()};
  if (!(hooks.write ? hooks.write(output, pieces) : WriteTextFile(output, pieces)))
    return Fail(host, Msg::kCannotCreateOutput);

  int errors = host.ErrorCount();
  if (errors > 0) {
    host.SetStatus(Message(Msg::kStatusDoneErrors));
    CStr line;
    Format(line, Message(Msg::kErrorCount).c_str(), errors);
    host.AddError(line.view());
    host.SetButtonCaption(Message(Msg::kCaptionClose));
    return RunOutcome::kDoneErrors;
  }
  host.SetStatus(Message(Msg::kStatusDone));
  return RunOutcome::kDone;
}

}  // namespace

RunOutcome Convert(ConversionHost& host, std::string_view command_line) {
  return ConvertWith(host, command_line, RunHooks{});
}

RunOutcome ConvertWith(ConversionHost& host, std::string_view command_line, const RunHooks& hooks) {
  // A document can ask for more than memory holds (a header marker that an
  // exreps text repeats doubles the header each time): that ends the run as a
  // failure with nothing written, never as a crash.
  try {
    return ConvertUnguarded(host, command_line, hooks);
  } catch (const std::bad_alloc&) {
    return Fail(host, Msg::kOutOfMemory);
  } catch (...) {
    return Fail(host, Msg::kInternalError);
  }
}

}  // namespace norvelle
