#include "convert/run.h"

#include <cstring>
#include <functional>
#include <ctime>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/format.h"
#include "convert/analyse.h"
#include "convert/messages.h"
#include "convert/source_path.h"
#include "convert/writer.h"
#include "platform/files.h"
#include "platform/memory.h"
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

// Calls line(view) for every line of text, line feeds removed, and stops when
// it returns false. A text ending in a line feed has one more, empty, line.
template <class F>
bool ForEachLine(const std::string& text, F&& line) {
  const char* p = text.data();
  const char* e = p + text.size();
  for (;;) {
    const char* lf = static_cast<const char*>(std::memchr(p, '\n', std::size_t(e - p)));
    if (!lf) return line(std::string_view(p, std::size_t(e - p)));
    if (!line(std::string_view(p, std::size_t(lf - p)))) return false;
    p = lf + 1;
  }
}

// The source as read: its text, its line count and its time. The lines are
// views into the text, cut as pass 1 goes, so no list of them is kept.
struct Source {
  std::string path, output, text;
  std::size_t lines = 0;  // with the empty line after a last line feed
  int lines_read = 0;     // without it
  std::time_t mtime = 0;
};

// Reads and checks the source; the message of a fatal failure, if any.
std::optional<Msg> ReadSource(std::string_view command_line, const RunHooks& hooks, Source& src) {
  src.path = CleanPath(command_line);
  src.output = !hooks.output.empty() ? hooks.output
               : src.path.empty()    ? std::string(".htm")
                                     : OutputPathFor(src.path);
  if (SameFileName(src.path, src.output)) return Msg::kSameName;
  const bool read = !src.path.empty() &&
                    (hooks.read ? hooks.read(src.path, src.text) : ReadTextFile(src.path, src.text));
  if (!read) return Msg::kCannotOpenSource;
  if (src.text.empty()) return Msg::kSourceEmpty;
  if (hooks.stream_source || !FileModTime(src.path, src.mtime)) src.mtime = hooks.clock.now();
  src.lines = 1;
  for (const char* p = src.text.data(), *e = p + src.text.size();
       (p = static_cast<const char*>(std::memchr(p, '\n', std::size_t(e - p)))) != nullptr; ++p)
    ++src.lines;
  src.lines_read = int(src.lines - (src.text.back() == '\n'));
  return std::nullopt;
}

// Pass 1: every line into elements. False when cancelled.
bool AnalyseLines(ConversionHost& host, const Source& src, const RuleSettings& settings,
                  std::vector<TarnStruct>& elements, ArgPool& args, TextArena& arena,
                  std::vector<std::string_view>& split_keys) {
  elements.reserve(src.lines * 2 + 2);
  PreferLargePages(elements.data(), elements.capacity() * sizeof(TarnStruct));
  LineAnalyser analyser(elements, args, arena, host, std::string(settings.split_key.view()));
  analyser.set_pack_plain_lines(true);
  host.line_number = 0;
  const bool done = ForEachLine(src.text, [&](std::string_view line) {
    ++host.line_number;
    host.SetProgressPos(host.line_number);
    if (host.Pump()) return false;
    analyser.Analyse(line);
    return true;
  });
  if (!done) return false;
  analyser.Finish();
  split_keys = analyser.split_keys();
  return true;
}

// Nothing in pass 2 can change the header or the footer: no title, exreps,
// exrepe or rule switch among the elements.
bool FrameIsFixed(const std::vector<TarnStruct>& elements) {
  constexpr std::uint64_t kLate = (std::uint64_t(1) << kTitle) | (std::uint64_t(1) << kExreps) |
                                  (std::uint64_t(1) << kExrepe) | (std::uint64_t(1) << kIni);
  for (const TarnStruct& e : elements)
    if (e.codes & kLate) return false;
  return true;
}

// The body goes to the output in pieces of this size when it can be streamed.
constexpr std::size_t kSpillBytes = std::size_t(1) << 22;

// The end of a written run: its status, and the error count when there were errors.
RunOutcome Finished(ConversionHost& host) {
  int errors = host.ErrorCount();
  if (errors == 0) {
    host.SetStatus(Message(Msg::kStatusDone));
    return RunOutcome::kDone;
  }
  host.SetStatus(Message(Msg::kStatusDoneErrors));
  CStr line;
  Format(line, Message(Msg::kErrorCount).c_str(), errors);
  host.AddError(line.view());
  host.SetButtonCaption(Message(Msg::kCaptionClose));
  return RunOutcome::kDoneErrors;
}

RunOutcome ConvertUnguarded(ConversionHost& host, std::string_view command_line,
                            const RunHooks& hooks) {
  // Start: the default rules (a missing file leaves every default).
  // The store goes as soon as the settings are read from it, before the
  // auto-replace list is built from them.
  RuleSettings settings;
  {
    RuleStore store;
    store.Load(true);
    ReadSettings(std::move(store), settings);
  }
  std::string rules_folder = RulesFolder();
  host.SetStatus(Message(Msg::kStatusReading));
  if (host.Pump()) return RunOutcome::kCancelled;

  Source src;
  if (std::optional<Msg> fatal = ReadSource(command_line, hooks, src)) return Fail(host, *fatal);
  host.SetProgressRange(2 * src.lines_read);
  host.SetStatus(Message(Msg::kStatusAnalysing));

  std::vector<TarnStruct> elements;
  ArgPool args;
  TextArena arena;
  std::vector<std::string_view> split_keys;
  if (!AnalyseLines(host, src, settings, elements, args, arena, split_keys)) return RunOutcome::kCancelled;

  Placeholders marks(src.mtime, hooks.clock.now(),
                     hooks.title_text.empty() ? DefaultTitle(src.path) : hooks.title_text);
  host.SetStatus(Message(Msg::kStatusConverting));
  // Included files and rules beside the document are found from the
  // source's folder, wherever the output goes.
  std::string folder = FolderOf(src.path.empty() ? src.output : src.path);
  ElementWriter writer(host, elements, args, src.lines_read, rules_folder, folder);
  writer.set_fallback_rules_folder(folder + "/qdx");
  writer.set_split_keys(&split_keys);
  if (hooks.read_include) writer.set_include_reader(hooks.read_include);
  writer.ApplyRules(settings, true);
  writer.SetFixedSlots(marks);
  using Stream = std::function<bool(const std::string&, const TextProducer&)>;
  const Stream stream = hooks.write_stream ? hooks.write_stream
                        : hooks.write      ? Stream()
                                           : Stream(WriteTextFileFrom);
  if (stream && FrameIsFixed(elements)) {
    // Header and footer are final now: they are finished first and the body
    // goes out as pass 2 writes it.
    bool produced = false;
    bool cancelled = false;
    writer.body().reserve(2 * kSpillBytes);
    const bool written = stream(src.output, [&](const TextPut& put) {
      produced = true;
      marks.Finish(writer.header(), writer.footer(), writer.title().view(), hooks.title);
      const bool head = put(writer.header().view());
      if (head) writer.set_spill(put, kSpillBytes);
      if (!writer.Run()) {
        cancelled = true;
        return false;
      }
      host.SetStatus(Message(Msg::kStatusWriting));
      host.SetProgressPos(2 * src.lines_read);
      if (host.Pump()) {
        cancelled = true;
        return false;
      }
      return head && !writer.spill_failed() && put(writer.body()) && put(writer.footer().view());
    });
    if (cancelled) return RunOutcome::kCancelled;
    if (produced) return written ? Finished(host) : Fail(host, Msg::kCannotCreateOutput);
    // The output could not be created: the run goes on as it would have,
    // so that pass 2 reports what it finds before the failure.
  }

  // Room for the body at once (pages are only taken as they are written):
  // growing by doubling would copy it and briefly hold it twice.
  try {
    writer.body().reserve(src.text.size() * 3);
    PreferLargePages(writer.body().data(), writer.body().capacity());
  } catch (const std::bad_alloc&) {
  }
  if (!writer.Run()) return RunOutcome::kCancelled;
  marks.Finish(writer.header(), writer.footer(), writer.title().view(), hooks.title);

  host.SetStatus(Message(Msg::kStatusWriting));
  host.SetProgressPos(2 * src.lines_read);
  if (host.Pump()) return RunOutcome::kCancelled;
  const std::vector<std::string_view> pieces = {writer.header().view(), writer.body(), writer.footer().view()};
  if (!(hooks.write ? hooks.write(src.output, pieces) : WriteTextFile(src.output, pieces)))
    return Fail(host, Msg::kCannotCreateOutput);
  return Finished(host);
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
