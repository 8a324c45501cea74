#include "platform/clock.h"

#include <windows.h>

namespace zentor::platform {

uint64_t MonotonicMicroseconds() {
  static const uint64_t frequency = [] {
    LARGE_INTEGER value;
    QueryPerformanceFrequency(&value);
    return static_cast<uint64_t>(value.QuadPart);
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  const uint64_t ticks = static_cast<uint64_t>(counter.QuadPart);
  // Whole seconds and the remainder separately, so the product never overflows.
  return ticks / frequency * 1000000u + ticks % frequency * 1000000u / frequency;
}

TimeOfDay CurrentTimeOfDay() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  // 100-ns steps since 1601-01-01; 11644473600 s lie between that and 1970-01-01.
  const uint64_t steps = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  const uint64_t milliseconds = steps / 10000u - 11644473600000ull;
  return TimeOfDay{milliseconds / 1000u, static_cast<uint32_t>(milliseconds % 1000u)};
}

void SleepMilliseconds(uint32_t milliseconds) { Sleep(milliseconds); }

}  // namespace zentor::platform
