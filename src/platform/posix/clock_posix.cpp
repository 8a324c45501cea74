#include "platform/clock.h"

#include <cerrno>
#include <ctime>
#include <sched.h>

namespace zentor::platform {

uint64_t MonotonicMicroseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000000u + static_cast<uint64_t>(now.tv_nsec) / 1000u;
}

TimeOfDay CurrentTimeOfDay() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return TimeOfDay{static_cast<uint64_t>(now.tv_sec), static_cast<uint32_t>(now.tv_nsec / 1000000)};
}

void SleepMilliseconds(uint32_t milliseconds) {
  // A zero-length nanosleep still waits out the timer slack (50 us): a yield is asked for.
  if (milliseconds == 0) {
    sched_yield();
    return;
  }
  timespec wait{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  // A signal cuts the sleep short; the rest is slept again.
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

}  // namespace zentor::platform
