// The current time and its local breakdown (the date placeholders use both).
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace norvelle {
namespace {

// Sets TZ for one test and puts the old value back.
class ZoneScope {
 public:
  explicit ZoneScope(const char* tz) {
    if (const char* old = std::getenv("TZ")) {
      had_ = true;
      old_ = old;
    }
    setenv("TZ", tz, 1);
    tzset();
  }
  ~ZoneScope() {
    if (had_) setenv("TZ", old_.c_str(), 1);
    else unsetenv("TZ");
    tzset();
  }

 private:
  bool had_ = false;
  std::string old_;
};

TEST(Clock, NowIsTheSystemTime) {
  std::time_t before = std::time(nullptr);
  std::time_t now = Now();
  std::time_t after = std::time(nullptr);
  EXPECT_LE(before, now);
  EXPECT_LE(now, after);
}

TEST(Clock, LocalTimeFollowsTheZone) {
  struct Case {
    const char* tz;
    std::time_t t;
    int year, mon, mday, hour, min, sec, wday;
  };
  const Case cases[] = {
      {"UTC0", 0, 1970, 1, 1, 0, 0, 0, 4},
      {"UTC0", 951782400, 2000, 2, 29, 0, 0, 0, 2},
      {"UTC0", 1700000000, 2023, 11, 14, 22, 13, 20, 2},
      {"JST-9", 0, 1970, 1, 1, 9, 0, 0, 4},
      {"JST-9", 1700000000, 2023, 11, 15, 7, 13, 20, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.tz) + " " + std::to_string(c.t));
    ZoneScope zone(c.tz);
    std::tm tm{};
    ASSERT_TRUE(LocalTime(c.t, tm));
    EXPECT_EQ(tm.tm_year + 1900, c.year);
    EXPECT_EQ(tm.tm_mon + 1, c.mon);
    EXPECT_EQ(tm.tm_mday, c.mday);
    EXPECT_EQ(tm.tm_hour, c.hour);
    EXPECT_EQ(tm.tm_min, c.min);
    EXPECT_EQ(tm.tm_sec, c.sec);
    EXPECT_EQ(tm.tm_wday, c.wday);
  }
}

}  // namespace
}  // namespace norvelle
