#include "convert/run.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <functional>
#include <thread>
#include <utility>
#include <ctime>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "convert/pipeline.h"
#include "markup/analyse.h"
#include "report/messages.h"
#include "io/source_path.h"
#include "io/rule_source.h"
#include "html/writer.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "platform/thread.h"
#include "platform/paths.h"
#include "rules/rule_keys.h"
#include "rules/rule_store.h"
#include "text/scan.h"

namespace norvelle {

namespace {

// line: for a message that quotes one; 0 for one that does not.
RunOutcome Fail(ConversionHost& host, const RunHooks& hooks, Msg msg, int line = 0) {
  if (hooks.fatal) *hooks.fatal = msg;
  if (line > 0) Report(host, msg, line);
  else host.AddError(Message(msg));
  host.SetStatus(Message(Msg::kStatusFailed));
  host.SetButtonCaption(Message(Msg::kCaptionClose));
  return RunOutcome::kFailed;
}

// The number of the first line longer than limit, or 0. It jumps ahead
// limit + 1 bytes at a time and looks back for the last line feed there: no
// line feed, a line too long. Each byte is looked at once at most, and a
// text no longer than limit is not looked at.
std::size_t FirstLineLongerThan(std::string_view text, std::size_t limit) {
  std::size_t start = 0;  // of a line
  while (text.size() - start > limit) {
    const void* lf = memrchr(text.data() + start, '\n', limit + 1);
    if (!lf) return 1 + Scan::CountLineFeeds(text.substr(0, start));
    start = std::size_t(static_cast<const char*>(lf) - text.data()) + 1;
  }
  return 0;
}

// Reads and checks the source; the message of a fatal failure, if any (a
// line too long is thrown as LineTooLong, as pass 1 throws it).
std::optional<Msg> ReadSource(std::string_view command_line, const RunHooks& hooks, DocumentIO& io, Source& src) {
  src.path = CleanPath(command_line);
  src.output = !hooks.output.empty() ? hooks.output
               : src.path.empty()    ? std::string(".htm")
                                     : OutputPathFor(src.path);
  // Names alike, or one file under two names (a link): never written over the source.
  if (SameFileName(src.path, src.output) || (src.output != "-" && IsSameFilePath(src.path, src.output)))
    return Msg::kSameName;
  const bool read = !src.path.empty() &&
                    io.Read(FileRole::kSource, src.path, src.text);
  if (!read) return Msg::kCannotOpenSource;
  if (src.text.empty()) return Msg::kSourceEmpty;
  const std::size_t max_line = std::min(hooks.max_line_bytes, kMaxElementBytes);
  if (std::size_t n = FirstLineLongerThan(src.text, max_line)) throw LineTooLong{int(n)};
  if (hooks.stream_source || !FileModTime(src.path, src.mtime)) src.mtime = hooks.clock.now();
  src.lines = 1 + Scan::CountLineFeeds(src.text);
  src.lines_read = int(src.lines - (src.text.back() == '\n'));
  return std::nullopt;
}

// The body goes to the output in pieces of this size when it can be streamed.
constexpr std::size_t kSpillBytes = std::size_t(1) << 18;

// The end of a written run: its status, and the error count when there were errors.
RunOutcome Finished(ConversionHost& host) {
  int errors = host.ErrorCount();
  if (errors == 0) {
    host.SetStatus(Message(Msg::kStatusDone));
    return RunOutcome::kDone;
  }
  host.SetStatus(Message(Msg::kStatusDoneErrors));
  Report(host, Msg::kErrorCount, errors);
  host.SetButtonCaption(Message(Msg::kCaptionClose));
  return RunOutcome::kDoneErrors;
}

using Stream = std::function<bool(const std::string&, const TextProducer&)>;

// What pass 2 works on.
struct Pass2Input {
  const Source& src;
  const RuleSettings& settings;
  DocumentIO& io;
  const RuleSource& rules;
  const ElementList& elements;
  const ArgPool& args;
  const SplitKeys& split_keys;
  const RunHooks& hooks;
  const Stream& stream;
};

// The writer's part of the run: the rules, the fixed slots and, with a feed,
// how pass 2 waits for pass 1.
void SetUpWriter(ElementWriter& writer, ConversionHost& host, const Pass2Input& in, const Placeholders& marks,
                 bool frame_fixed, ElementFeed* feed) {
  writer.set_split_keys(&in.split_keys);
  if (feed) {
    writer.set_feed(
        feed,
        [&host, feed] {
          if (!host.Pump()) return false;
          feed->Stop();
          return true;
        },
        frame_fixed);
  }
  writer.set_max_frame_bytes(in.hooks.max_frame_bytes);
  if (!feed) writer.set_line_marks(in.hooks.line_marks);
  writer.set_force_html5(in.hooks.html5);
  writer.ApplyRules(in.settings, true);
  writer.SetFixedSlots(marks);
}

// How a streamed write went.
struct Streamed {
  bool produced = false;   // the output was created and pass 2 ran into it
  bool cancelled = false;
  bool written = false;
};

// Header and footer are final before pass 2: they are finished first and the
// body goes out as pass 2 writes it.
Streamed StreamDocument(ConversionHost& host, const Pass2Input& in, ElementWriter& writer, Placeholders& marks) {
  Streamed s;
  writer.body().reserve(2 * kSpillBytes);
  s.written = in.stream(in.src.output, [&](const TextPut& put) {
    s.produced = true;
    marks.Finish(writer.header(), writer.footer(), writer.title().view(), in.hooks.title);
    writer.FinishProfileHeader();
    const bool head = put(writer.header().view());
    if (head) writer.set_spill([&put](std::string& body) { return put.Give(body); }, kSpillBytes);
    if (!writer.Run()) {
      s.cancelled = true;
      return false;
    }
    host.SetStatus(Message(Msg::kStatusWriting));
    host.SetProgressPos(2 * in.src.lines_read);
    if (host.Pump()) {
      s.cancelled = true;
      return false;
    }
    return head && !writer.spill_failed() && put(writer.body()) && put(writer.footer().view());
  });
  return s;
}

// The whole body first, then header, body and footer in one write.
std::optional<RunOutcome> WriteWhole(ConversionHost& host, const Pass2Input& in, ElementWriter& writer,
                                     Placeholders& marks, const std::function<bool()>& given_up) {
  // Room for the body at once (pages are only taken as they are written):
  // growing by doubling would copy it and briefly hold it twice.
  try {
    writer.body().reserve(in.src.text.size() * 3);
    PreferLargePages(writer.body().data(), writer.body().capacity());
  } catch (const std::bad_alloc&) {
  }
  if (!writer.Run()) return given_up() ? std::nullopt : std::optional(RunOutcome::kCancelled);
  marks.Finish(writer.header(), writer.footer(), writer.title().view(), in.hooks.title);
  writer.FinishProfileHeader();

  host.SetStatus(Message(Msg::kStatusWriting));
  host.SetProgressPos(2 * in.src.lines_read);
  if (host.Pump()) return RunOutcome::kCancelled;
  const std::vector<std::string_view> pieces = {writer.header().view(), writer.body(), writer.footer().view()};
  if (!(in.hooks.write ? in.hooks.write(in.src.output, pieces) : WriteTextFile(in.src.output, pieces)))
    return Fail(host, in.hooks, Msg::kCannotCreateOutput);
  return Finished(host);
}

// Pass 2 and the output. With a feed, pass 1 still runs on its own thread;
// nothing (no outcome) when the frame was taken as fixed and the feed turns
// out late: the run must start pass 2 again with the frame not fixed.
std::optional<RunOutcome> WriteDocument(ConversionHost& host, const Pass2Input& in, bool frame_fixed,
                                        ElementFeed* feed) {
  const Source& src = in.src;
  Placeholders marks(src.mtime, in.hooks.clock.now(),
                     in.hooks.title_text.empty() ? DefaultTitle(src.path) : in.hooks.title_text);
  host.SetStatus(Message(Msg::kStatusConverting));
  // Included files and rules beside the document are found from the
  // source's folder, wherever the output goes.
  const std::string folder = FolderOf(src.path.empty() ? src.output : src.path);
  ElementWriter writer(host, host, in.elements, in.args, src.lines_read, in.io, in.rules, folder);
  SetUpWriter(writer, host, in, marks, frame_fixed, feed);
  // The frame was taken as fixed, and pass 1 found otherwise.
  auto given_up = [feed, frame_fixed] { return feed && frame_fixed && feed->late(); };
  if (in.stream && frame_fixed) {
    const Streamed s = StreamDocument(host, in, writer, marks);
    if (given_up()) return std::nullopt;
    if (s.cancelled) return RunOutcome::kCancelled;
    if (s.produced) return s.written ? Finished(host) : Fail(host, in.hooks, Msg::kCannotCreateOutput);
    // The output could not be created: the run goes on as it would have,
    // so that pass 2 reports what it finds before the failure.
  }
  return WriteWhole(host, in, writer, marks, given_up);
}

// Both passes side by side: pass 1 on a thread of its own, pass 2 here. With
// `streamed`, the frame is taken as fixed and elements are recycled; nothing
// (no outcome) when the frame turns out to change: nothing was written or
// reported then.
std::optional<RunOutcome> ConcurrentRun(ConversionHost& host, const Source& src,
                                        const RuleSettings& settings, DocumentIO& io, const RuleSource& rules,
                                        const RunHooks& hooks, const Stream& stream, bool streamed) {
  ElementList elements;
  ArgPool args;
  TextArena arena;
  ConcurrentAnalysis pass1(src, elements, args, arena, std::string(settings.split_key.view()), streamed,
                           hooks.max_line_bytes);
  HoldingHost pass2_host(host, pass1, streamed);
  pass1.Start();
  const Pass2Input in{src, settings, io, rules, elements, args, pass1.split_keys(), hooks, stream};
  std::optional<RunOutcome> outcome = WriteDocument(pass2_host, in, streamed, &pass1.feed);
  if (outcome) pass2_host.Release();
  return outcome;
}

RunOutcome ConvertUnguarded(ConversionHost& host, std::string_view command_line,
                            const RunHooks& hooks) {
  // Start: the default rules (a missing file leaves every default).
  // The store goes as soon as the settings are read from it, before the
  // auto-replace list is built from them.
  DocumentIO plain_io;
  DocumentIO& io = hooks.io ? *hooks.io : plain_io;
  RuleSettings settings;
  {
    RuleStore store;
    if (hooks.default_rule_store) store.CopyFrom(*hooks.default_rule_store);
    else RuleSource(io, {}, {}, hooks.default_rules).LoadDefault(store);
    ReadSettings(std::move(store), settings);
  }
  host.SetStatus(Message(Msg::kStatusReading));
  if (host.Pump()) return RunOutcome::kCancelled;

  Source src;
  if (std::optional<Msg> fatal = ReadSource(command_line, hooks, io, src)) return Fail(host, hooks, *fatal);
  // A named rule is looked for in the rules folder, then beside the document.
  const RuleSource rules(io, RulesFolder(), FolderOf(src.path.empty() ? src.output : src.path));
  host.SetProgressRange(2 * src.lines_read);
  host.SetStatus(Message(Msg::kStatusAnalysing));

  const Stream stream = hooks.write_stream ? hooks.write_stream
                        : hooks.write      ? Stream()
                                           : Stream(WriteTextFileFrom);
  std::string split_key(settings.split_key.view());
  if (hooks.concurrent_passes && stream) {
    // Streamed first; a frame that turns out to change late needs the body
    // whole, and its elements kept: a second start (the first one's report
    // lines go with it).
    std::optional<RunOutcome> outcome = ConcurrentRun(host, src, settings, io, rules, hooks, stream, true);
    if (!outcome) outcome = ConcurrentRun(host, src, settings, io, rules, hooks, stream, false);
    return *outcome;
  }

  ElementList elements;
  ArgPool args;
  TextArena arena;
  LineAnalyser analyser(elements, args, arena, host, split_key);
  analyser.set_pack_plain_lines(true);
  analyser.set_max_line_bytes(hooks.max_line_bytes);
  if (!AnalyseLines(host, src, analyser)) return RunOutcome::kCancelled;
  const Pass2Input in{src, settings, io, rules, elements, args, analyser.split_keys(), hooks, stream};
  return *WriteDocument(host, in, FrameIsFixed(elements), nullptr);
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
    return Fail(host, hooks, Msg::kOutOfMemory);
  } catch (const LineTooLong& e) {
    return Fail(host, hooks, Msg::kLineTooLong, e.line);
  } catch (...) {
    return Fail(host, hooks, Msg::kInternalError);
  }
}

}  // namespace norvelle
