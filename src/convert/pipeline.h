// Pass 1 as the run drives it: the source as read and its lines; pass 1 in
// the run's own thread, or on a second thread ahead of pass 2, handing final
// elements over through the feed (ConcurrentAnalysis, with the host that
// holds pass 2's report lines back until pass 1's are out); and whether pass
// 2 may stream the page (nothing it meets changes the header or the footer).
#pragma once

#include <cstring>
#include <ctime>
#include <exception>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "markup/analyse.h"
#include "markup/element.h"
#include "markup/feed.h"
#include "platform/thread.h"
#include "report/host.h"

namespace norvelle {

// The source as read: its text, its line count and its time. The lines are
// views into the text, cut as pass 1 goes, so no list of them is kept.
struct Source {
  std::string path, output, text;
  std::size_t lines = 0;  // with the empty line after a last line feed
  int lines_read = 0;     // without it
  std::time_t mtime = 0;
};

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

// Pass 1: every line into elements. False when cancelled.
bool AnalyseLines(ConversionHost& host, const Source& src, LineAnalyser& analyser);

// Nothing in pass 2 can change the header or the footer.
bool FrameIsFixed(const ElementList& elements);

// Pass 1's report on its own thread: it keeps its error lines for pass 2's
// thread to report.
class HeldReport : public Diagnostics {
 public:
  void AddError(std::string_view line) override { errors.emplace_back(line); }
  int ErrorCount() const override { return int(errors.size()); }

  std::vector<std::string> errors;
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
                     TextArena& arena, std::string split_key, bool bounded, std::size_t max_line_bytes)
      : bounded_(bounded),
        elements_(elements),
        src_(src),
        analyser_(elements, args, arena, pass1_report_, std::move(split_key)) {
    analyser_.set_max_line_bytes(max_line_bytes);
  }
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
  // Waits for pass 1; a failure of its thread (out of memory, a line too
  // long) is thrown here.
  void Join() {
    if (thread_.joinable()) thread_.join();
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
  }
  const SplitKeys& split_keys() const { return analyser_.split_keys(); }
  // After Join: pass 1's error lines, in order.
  std::vector<std::string>& errors() { return pass1_report_.errors; }

  ElementFeed feed;

 private:
  void Work();

  static constexpr std::size_t kLag = 64 * ElementList::kChunk;

  bool bounded_;
  ElementList& elements_;
  const Source& src_;
  HeldReport pass1_report_;
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
  void Release();

 private:
  ConversionHost& inner_;
  ConcurrentAnalysis& pass1_;
  bool streamed_;
  bool holding_ = true;
  std::vector<std::string> held_;
};

}  // namespace norvelle
