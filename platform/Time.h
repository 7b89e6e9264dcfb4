// Clocks and calendar times.
#pragma once

#include <chrono>
#include <cstdint>

namespace korvel::platform {

using FileTime = std::chrono::system_clock::time_point;

// A moment split into calendar fields, in the order the file search reports them.
struct CalendarTime {
  std::uint16_t Year = 0;
  std::uint16_t Month = 0;      // 1..12
  std::uint16_t DayOfWeek = 0;  // 0 = Sunday
  std::uint16_t Day = 0;        // 1..31
  std::uint16_t Hour = 0;
  std::uint16_t Minute = 0;
  std::uint16_t Second = 0;
  std::uint16_t Millisecond = 0;
  friend bool operator==(const CalendarTime&, const CalendarTime&) = default;
};

// A date-time as a number of days since 1899-12-30 (the fraction is the time of day).
using DateTime = double;

CalendarTime ToLocalCalendarTime(FileTime time);

// The day of `time` as a DateTime with no time of day.
DateTime CalendarDate(const CalendarTime& time);

// The current local date and time.
DateTime Now();

// For a program's main(), before any thread starts: when TZ is unset, names the system's zone file
// in it. The zone stays as it was, but the C library no longer looks at that file again at every
// local-time conversion, of which the zip library makes one per archive entry.
void PinLocalTimeZone();

// Milliseconds from an arbitrary start; wraps around like a 32-bit counter.
std::uint32_t TickCount();

}  // namespace korvel::platform
