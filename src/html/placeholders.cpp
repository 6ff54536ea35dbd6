#include "html/placeholders.h"

#include "base/format.h"
#include "html/escape.h"
#include "platform/clock.h"

namespace norvelle {

namespace {

constexpr const char* kDateMarks[4] = {"<filedate_rep>", "<filetime_rep>", "<nowdate_rep>",
                                       "<nowtime_rep>"};

void DateStrings(std::time_t t, CStr& date, CStr& time) {
  std::tm tm{};
  if (!LocalTime(t, tm)) tm = std::tm{};
  Format(date, "%04d/%02d/%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
  Format(time, "%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
}

}  // namespace

Clock SystemClock() { return Clock{&Now}; }

Placeholders::Placeholders(std::time_t file_time, std::time_t now, std::string_view default_title)
    : title_(default_title) {
  DateStrings(file_time, dates_[0], dates_[1]);
  DateStrings(now, dates_[2], dates_[3]);
}

void Placeholders::FillFixedSlots(CStr* slots) const {
  for (int i = 0; i < 4; ++i) slots[kFirstFixedSlot + i] = dates_[i];
  slots[kFirstFixedSlot + 4] = title_;
}

std::string Placeholders::ExrepMarker(std::string_view digits) {
  std::string marker = "<exrep";
  marker.append(digits);
  marker += '>';
  return marker;
}

bool Placeholders::FillExrep(CStr& text, std::string_view digits, std::string_view with,
                             std::size_t limit) {
  const std::string marker = ExrepMarker(digits);
  if (with.size() > marker.size()) {
    // Counted only when even a text of nothing but markers could pass the limit.
    const std::size_t grow = with.size() - marker.size();
    if (text.length() + text.length() / marker.size() * grow > limit &&
        text.length() + text.Count(marker) * grow > limit)
      return false;
  }
  text.ReplaceAll(marker, with);
  return true;
}

void Placeholders::Finish(CStr& header, CStr& footer, std::string_view title,
                          const TitleRewrite& rewrite_title) const {
  for (int i = 0; i < 4; ++i) {
    header.ReplaceAll(kDateMarks[i], dates_[i].view());
    footer.ReplaceAll(kDateMarks[i], dates_[i].view());
  }
  std::string escaped;
  AppendHtmlEscaped(escaped, title);
  if (rewrite_title) rewrite_title(escaped);
  CStr title_tag;
  Format(title_tag, "<title>%s</title>", escaped.c_str());
  header.ReplaceAll("<title_rep>", title_tag.view());
  char marker[] = "<exrep0>";
  for (char d = '0'; d <= '9'; ++d) {
    marker[6] = d;
    header.ReplaceAll(marker, "");
    footer.ReplaceAll(marker, "");
  }
}

}  // namespace norvelle
