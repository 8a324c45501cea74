#pragma once
// Time for the agent link: a monotonic clock that time-outs are measured on, the time
// of day that the serial line synchronisation waits on, and sleeping.

#include <cstdint>

namespace zentor::platform {

// Microseconds from an arbitrary start; never goes back.
uint64_t MonotonicMicroseconds();

// The wall-clock time: whole seconds since 1970-01-01 UTC and the milliseconds within
// that second (0-999).
struct TimeOfDay {
  uint64_t m_seconds = 0;
  uint32_t m_milliseconds = 0;
};
TimeOfDay CurrentTimeOfDay();

// Gives the processor away for at least `milliseconds` (0 only yields).
void SleepMilliseconds(uint32_t milliseconds);

}  // namespace zentor::platform
