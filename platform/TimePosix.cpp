// Clocks and calendar times on POSIX.
#include <stdlib.h>
#include <time.h>

#include <cmath>

#include "platform/Time.h"

namespace korvel::platform {

namespace {

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// 1899-12-30, day zero of a DateTime, counted from 1970-01-01.
constexpr std::int64_t kDateTimeEpochShift = 25569;

}  // namespace

CalendarTime ToLocalCalendarTime(FileTime time) {
  using namespace std::chrono;
  const auto since_epoch = time.time_since_epoch();
  auto secs = duration_cast<seconds>(since_epoch);
  auto ms = duration_cast<milliseconds>(since_epoch - secs).count();
  if (ms < 0) {
    ms += 1000;
    secs -= seconds(1);
  }
  const time_t t = static_cast<time_t>(secs.count());
  struct tm local {};
  localtime_r(&t, &local);
  CalendarTime c;
  c.Year = static_cast<std::uint16_t>(local.tm_year + 1900);
  c.Month = static_cast<std::uint16_t>(local.tm_mon + 1);
  c.DayOfWeek = static_cast<std::uint16_t>(local.tm_wday);
  c.Day = static_cast<std::uint16_t>(local.tm_mday);
  c.Hour = static_cast<std::uint16_t>(local.tm_hour);
  c.Minute = static_cast<std::uint16_t>(local.tm_min);
  c.Second = static_cast<std::uint16_t>(local.tm_sec);
  c.Millisecond = static_cast<std::uint16_t>(ms);
  return c;
}

DateTime CalendarDate(const CalendarTime& time) {
  return static_cast<DateTime>(DaysFromCivil(time.Year, time.Month, time.Day) +
                               kDateTimeEpochShift);
}

DateTime Now() {
  const CalendarTime c = ToLocalCalendarTime(std::chrono::system_clock::now());
  const double day_fraction =
      ((c.Hour * 60.0 + c.Minute) * 60.0 + c.Second + c.Millisecond / 1000.0) / 86400.0;
  return CalendarDate(c) + day_fraction;
}

std::uint32_t TickCount() {
  struct timespec ts {};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const std::uint64_t ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                           static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(ms);
}

void PinLocalTimeZone() {
  // What the C library reads when TZ is unset; the leading colon names a file.
  ::setenv("TZ", ":/etc/localtime", 0);
}

}  // namespace korvel::platform
