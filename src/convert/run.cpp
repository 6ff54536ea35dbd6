#include "convert/run.h"

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

#include "base/format.h"
#include "convert/analyse.h"
#include "convert/messages.h"
#include "convert/source_path.h"
#include "convert/writer.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "platform/thread.h"
#include "platform/paths.h"
#include "rules/rule_keys.h"
#include "rules/rule_store.h"
#include "text/scan.h"

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
  // Names alike, or one file under two names (a link): never written over the source.
  if (SameFileName(src.path, src.output) || (src.output != "-" && IsSameFilePath(src.path, src.output)))
    return Msg::kSameName;
  const bool read = !src.path.empty() &&
                    (hooks.read ? hooks.read(src.path, src.text) : ReadTextFile(src.path, src.text));
  if (!read) return Msg::kCannotOpenSource;
  if (src.text.empty()) return Msg::kSourceEmpty;
  if (hooks.stream_source || !FileModTime(src.path, src.mtime)) src.mtime = hooks.clock.now();
  src.lines = 1 + Scan::CountLineFeeds(src.text);
  src.lines_read = int(src.lines - (src.text.back() == '\n'));
  return std::nullopt;
}

// Pass 1: every line into elements. False when cancelled.
bool AnalyseLines(ConversionHost& host, const Source& src, LineAnalyser& analyser) {
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
  return true;
}

// Codes that change the header or the footer while pass 2 runs.
constexpr std::uint64_t kLate = (std::uint64_t(1) << kTitle) | (std::uint64_t(1) << kExreps) |
                                (std::uint64_t(1) << kExrepe) | (std::uint64_t(1) << kIni);

bool AnyLate(const ElementList& elements, std::size_t from, std::size_t to) {
  for (std::size_t i = from; i < to; ++i)
    if (elements[i].codes & kLate) return true;
  return false;
}

// Nothing in pass 2 can change the header or the footer.
bool FrameIsFixed(const ElementList& elements) { return !AnyLate(elements, 0, elements.size()); }

// Pass 1's host on its own thread: it keeps its error lines for pass 2's
// thread to report, and asks the feed whether to stop.
class AnalysisHost : public ConversionHost {
 public:
  explicit AnalysisHost(const ElementFeed& feed) : feed_(feed) {}
  void SetStatus(std::string_view) override {}
  void AddError(std::string_view line) override { errors.emplace_back(line); }
  int ErrorCount() const override { return int(errors.size()); }
  void SetButtonCaption(std::string_view) override {}
  void SetProgressRange(int) override {}
  void SetProgressPos(int) override {}
  bool Pump() override { return feed_.stopped(); }

  std::vector<std::string> errors;

 private:
  const ElementFeed& feed_;
};

// Pass 1 on a second thread, handing final elements to pass 2 as it goes.
// A document whose header or footer pass 2 would still change (title,
// exreps, exrepe, ini) cannot be streamed: the feed is marked late then, and
// the run starts pass 2 again, holding the body whole.
class ConcurrentAnalysis {
 public:
  // bounded: pass 2 streams and reads each element once, so pass 1 recycles
  // what it has passed and stays at most kLag elements ahead of it.
  ConcurrentAnalysis(const Source& src, ElementList& elements, ArgPool& args,
                     TextArena& arena, std::string split_key, bool bounded)
      : bounded_(bounded),
        elements_(elements),
        src_(src),
        pass1_host_(feed),
        analyser_(elements, args, arena, pass1_host_, std::move(split_key)) {}
  ~ConcurrentAnalysis() {
    feed.Stop();
    if (thread_.joinable()) thread_.join();
  }
  ConcurrentAnalysis(const ConcurrentAnalysis&) = delete;
  ConcurrentAnalysis& operator=(const ConcurrentAnalysis&) = delete;

  void Start() {
    analyser_.set_pack_plain_lines(true);
    thread_ = QuietThread("nv-pass1", [this] { Work(); });
  }
  // Waits for pass 1; a failure of its thread (out of memory) is thrown here.
  void Join() {
    if (thread_.joinable()) thread_.join();
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
  }
  const SplitKeys& split_keys() const { return analyser_.split_keys(); }
  // After Join: pass 1's error lines, in order.
  std::vector<std::string>& errors() { return pass1_host_.errors; }

  ElementFeed feed;

 private:
  void Work() {
    try {
      std::size_t published = 0;
      bool late = false;
      auto publish = [&](std::size_t n) {
        if (!late && AnyLate(elements_, published, n)) {
          late = true;
          feed.MarkLate();
        }
        published = n;
        feed.Publish(n);
      };
      pass1_host_.line_number = 0;
      std::size_t lines = 0;
      const bool complete = ForEachLine(src_.text, [&](std::string_view line) {
        ++pass1_host_.line_number;
        if (pass1_host_.Pump()) return false;
        analyser_.Analyse(line);
        // Handing over costs an atomic store and a wake-up check: not for every line.
        if ((++lines & 63) == 0) {
          publish(analyser_.settled());
          if (bounded_) {
            elements_.Recycle(feed.consumed());
            feed.WaitForRoom(elements_.size(), kLag);
          }
        }
        return true;
      });
      if (complete) analyser_.Finish();
      publish(elements_.size());
    } catch (...) {
      failure_ = std::current_exception();
      feed.Abandon();
    }
    feed.Close();
  }

  static constexpr std::size_t kLag = 64 * ElementList::kChunk;

  bool bounded_;
  ElementList& elements_;
  const Source& src_;
  AnalysisHost pass1_host_;
  LineAnalyser analyser_;
  std::thread thread_;
  std::exception_ptr failure_;
};

// Pass 2's host while pass 1 runs on its own thread: pass 2's error lines
// wait until pass 1's are reported, so the report reads as if the passes
// had run one after the other. Pass 1's are fetched once it is over.
class HoldingHost : public ConversionHost {
 public:
  // streamed: the run gives up when the feed turns out late; nothing may
  // be reported then.
  HoldingHost(ConversionHost& inner, ConcurrentAnalysis& pass1, bool streamed)
      : inner_(inner), pass1_(pass1), streamed_(streamed) {}
  void SetStatus(std::string_view text) override { inner_.SetStatus(text); }
  void AddError(std::string_view line) override {
    if (holding_) held_.emplace_back(line);
    else inner_.AddError(line);
  }
  int ErrorCount() const override {
    return inner_.ErrorCount() + int(held_.size()) +
           (holding_ && pass1_.feed.closed() ? int(pass1_.errors().size()) : 0);
  }
  void SetButtonCaption(std::string_view text) override { inner_.SetButtonCaption(text); }
  void SetProgressRange(int max) override { inner_.SetProgressRange(max); }
  void SetProgressPos(int pos) override { inner_.SetProgressPos(pos); }
  bool Pump() override {
    if (holding_ && pass1_.feed.closed() && !pass1_.feed.abandoned() && !(streamed_ && pass1_.feed.late()))
      Release();
    return inner_.Pump();
  }
  // Waits for pass 1, reports its error lines and then the held ones of
  // pass 2; from then on lines go straight through.
  void Release() {
    if (!holding_) return;
    holding_ = false;
    // Pass 2 is over: pass 1, if still running (pass 2 failed or was
    // cancelled), would wait for it for ever.
    pass1_.feed.Stop();
    pass1_.Join();
    for (const std::string& line : pass1_.errors()) inner_.AddError(line);
    for (const std::string& line : held_) inner_.AddError(line);
    held_.clear();
  }

 private:
  ConversionHost& inner_;
  ConcurrentAnalysis& pass1_;
  bool streamed_;
  bool holding_ = true;
  std::vector<std::string> held_;
};

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
  CStr line;
  Format(line, Message(Msg::kErrorCount).c_str(), errors);
  host.AddError(line.view());
  host.SetButtonCaption(Message(Msg::kCaptionClose));
  return RunOutcome::kDoneErrors;
}

using Stream = std::function<bool(const std::string&, const TextProducer&)>;

// What pass 2 works on.
struct Pass2Input {
  const Source& src;
  const RuleSettings& settings;
  const std::string& rules_folder;
  const ElementList& elements;
  const ArgPool& args;
  const SplitKeys& split_keys;
  const RunHooks& hooks;
  const Stream& stream;
};

// Pass 2 and the output. With a feed, pass 1 still runs on its own thread;
// nothing (no outcome) when the frame was taken as fixed and the feed turns
// out late: the run must start pass 2 again with the frame not fixed.
std::optional<RunOutcome> WriteDocument(ConversionHost& host, const Pass2Input& in, bool frame_fixed,
                                        ElementFeed* feed) {
  const Source& src = in.src;
  const RunHooks& hooks = in.hooks;
  Placeholders marks(src.mtime, hooks.clock.now(),
                     hooks.title_text.empty() ? DefaultTitle(src.path) : hooks.title_text);
  host.SetStatus(Message(Msg::kStatusConverting));
  // Included files and rules beside the document are found from the
  // source's folder, wherever the output goes.
  std::string folder = FolderOf(src.path.empty() ? src.output : src.path);
  ElementWriter writer(host, in.elements, in.args, src.lines_read, in.rules_folder, folder);
  writer.set_fallback_rules_folder(folder + "/qdx");
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
  if (hooks.read_include) writer.set_include_reader(hooks.read_include);
  writer.ApplyRules(in.settings, true);
  writer.SetFixedSlots(marks);
  // The frame was taken as fixed, and pass 1 found otherwise.
  auto given_up = [feed, frame_fixed] { return feed && frame_fixed && feed->late(); };
  if (in.stream && frame_fixed) {
    // Header and footer are final now: they are finished first and the body
    // goes out as pass 2 writes it.
    bool produced = false;
    bool cancelled = false;
    writer.body().reserve(2 * kSpillBytes);
    const bool written = in.stream(src.output, [&](const TextPut& put) {
      produced = true;
      marks.Finish(writer.header(), writer.footer(), writer.title().view(), hooks.title);
      const bool head = put(writer.header().view());
      if (head) writer.set_spill([&put](std::string& body) { return put.Give(body); }, kSpillBytes);
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
    if (given_up()) return std::nullopt;
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
  if (!writer.Run()) return given_up() ? std::nullopt : std::optional(RunOutcome::kCancelled);
  marks.Finish(writer.header(), writer.footer(), writer.title().view(), hooks.title);

  host.SetStatus(Message(Msg::kStatusWriting));
  host.SetProgressPos(2 * src.lines_read);
  if (host.Pump()) return RunOutcome::kCancelled;
  const std::vector<std::string_view> pieces = {writer.header().view(), writer.body(), writer.footer().view()};
  if (!(hooks.write ? hooks.write(src.output, pieces) : WriteTextFile(src.output, pieces)))
    return Fail(host, Msg::kCannotCreateOutput);
  return Finished(host);
}

// Both passes side by side: pass 1 on a thread of its own, pass 2 here. With
// `streamed`, the frame is taken as fixed and elements are recycled; nothing
// (no outcome) when the frame turns out to change: nothing was written or
// reported then.
std::optional<RunOutcome> ConcurrentRun(ConversionHost& host, const Source& src,
                                        const RuleSettings& settings, const std::string& rules_folder,
                                        const RunHooks& hooks, const Stream& stream, bool streamed) {
  ElementList elements;
  ArgPool args;
  TextArena arena;
  ConcurrentAnalysis pass1(src, elements, args, arena, std::string(settings.split_key.view()), streamed);
  HoldingHost pass2_host(host, pass1, streamed);
  pass1.Start();
  const Pass2Input in{src, settings, rules_folder, elements, args, pass1.split_keys(), hooks, stream};
  std::optional<RunOutcome> outcome = WriteDocument(pass2_host, in, streamed, &pass1.feed);
  if (outcome) pass2_host.Release();
  return outcome;
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

  const Stream stream = hooks.write_stream ? hooks.write_stream
                        : hooks.write      ? Stream()
                                           : Stream(WriteTextFileFrom);
  std::string split_key(settings.split_key.view());
  if (hooks.concurrent_passes && stream) {
    // Streamed first; a frame that turns out to change late needs the body
    // whole, and its elements kept: a second start (the first one's report
    // lines go with it).
    std::optional<RunOutcome> outcome = ConcurrentRun(host, src, settings, rules_folder, hooks, stream, true);
    if (!outcome) outcome = ConcurrentRun(host, src, settings, rules_folder, hooks, stream, false);
    return *outcome;
  }

  ElementList elements;
  ArgPool args;
  TextArena arena;
  LineAnalyser analyser(elements, args, arena, host, split_key);
  analyser.set_pack_plain_lines(true);
  if (!AnalyseLines(host, src, analyser)) return RunOutcome::kCancelled;
  const Pass2Input in{src, settings, rules_folder, elements, args, analyser.split_keys(), hooks, stream};
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
    return Fail(host, Msg::kOutOfMemory);
  } catch (...) {
    return Fail(host, Msg::kInternalError);
  }
}

}  // namespace norvelle
