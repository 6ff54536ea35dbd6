// Header and footer placeholders, filled from one place: the title, the four
// date strings, the "<exrepN>" markers and the fixed replace-table slots
// 100..104 that carry the same values.
//
// The times come in as values read from a Clock the caller passes, so the
// dates are the same for every test run; the local-time breakdown follows
// the process time zone (TZ).
#pragma once

#include <cstddef>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>

#include "base/str.h"

namespace norvelle {

// Where a run reads the current time.
struct Clock {
  std::time_t (*now)();  // the system clock unless a test fixes it
};
Clock SystemClock();

// The first of the fixed replace-table slots: file date, file time, current
// date, current time and the default title, in this order.
inline constexpr int kFirstFixedSlot = 100;

// The most an "<exrepN>" fill may make the header or the footer. A text that
// holds its own marker twice doubles the frame on every line: forty such
// lines of one kilobyte would ask for terabytes.
inline constexpr std::size_t kMaxFrameBytes = std::size_t(64) << 20;

class Placeholders {
 public:
  // file_time: the source's modification time; now: the run's start.
  Placeholders(std::time_t file_time, std::time_t now, std::string_view default_title);

  // Slots 100..104 (a later title command changes none of them).
  void FillFixedSlots(CStr* slots) const;
  const CStr& default_title() const { return title_; }

  // "<exrep" + digits + ">".
  static std::string ExrepMarker(std::string_view digits);
  // An exreps/exrepe element: every ExrepMarker(digits) in text becomes with.
  // False, and text unchanged, when that would make text grow beyond limit bytes.
  static bool FillExrep(CStr& text, std::string_view digits, std::string_view with,
                        std::size_t limit = kMaxFrameBytes);
  // After pass 2: the dates in both, "<title_rep>" in the header (the escaped
  // title, rewritten by rewrite_title when given), and every
  // "<exrep0>".."<exrep9>" left unfilled removed from both.
  using TitleRewrite = std::function<void(std::string& escaped_title)>;
  void Finish(CStr& header, CStr& footer, std::string_view title,
              const TitleRewrite& rewrite_title = nullptr) const;

 private:
  CStr dates_[4];  // file date, file time, current date, current time
  CStr title_;
};

}  // namespace norvelle
