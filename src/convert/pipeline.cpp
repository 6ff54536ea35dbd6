#include "convert/pipeline.h"

#include <cstdint>

#include "platform/thread.h"

namespace norvelle {

namespace {

// Codes that change the header or the footer while pass 2 runs.
constexpr std::uint64_t kLate = (std::uint64_t(1) << kTitle) | (std::uint64_t(1) << kExreps) |
                                (std::uint64_t(1) << kExrepe) | (std::uint64_t(1) << kIni);

bool AnyLate(const ElementList& elements, std::size_t from, std::size_t to) {
  for (std::size_t i = from; i < to; ++i)
    if (elements[i].codes & kLate) return true;
  return false;
}

}  // namespace

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

bool FrameIsFixed(const ElementList& elements) { return !AnyLate(elements, 0, elements.size()); }

void ConcurrentAnalysis::Work() {
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
    pass1_report_.line_number = 0;
    std::size_t lines = 0;
    const bool complete = ForEachLine(src_.text, [&](std::string_view line) {
      ++pass1_report_.line_number;
      if (feed.stopped()) return false;
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

void HoldingHost::Release() {
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

}  // namespace norvelle
