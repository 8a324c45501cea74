#include "console/console_timers.h"

#include <algorithm>
#include <vector>

#include "core/dv_error.h"
#include "platform/clock.h"

namespace zentor {
namespace {

struct ConsoleTimer {
  int32_t id;
  uint64_t intervalMicroseconds;
  uint64_t dueMicroseconds;
  ConsoleTimerRoutine routine;
};

struct TimerTable {
  std::vector<ConsoleTimer> timers;
  int32_t nextId = 0;
};

TimerTable& Table() {
  static TimerTable table;
  return table;
}

}  // namespace

int32_t SetConsoleTimer(uint32_t milliseconds, ConsoleTimerRoutine routine) {
  if (routine == nullptr) return -1;
  TimerTable& table = Table();
  const uint64_t interval = static_cast<uint64_t>(std::max<uint32_t>(milliseconds, 1)) * 1000;
  const int32_t id = table.nextId;
  table.nextId = table.nextId == 0x7FFFFFFF ? 0 : table.nextId + 1;
  table.timers.push_back(ConsoleTimer{id, interval, platform::MonotonicMicroseconds() + interval, routine});
  return id;
}

void KillConsoleTimer(int32_t id) {
  std::vector<ConsoleTimer>& timers = Table().timers;
  timers.erase(std::remove_if(timers.begin(), timers.end(), [id](const ConsoleTimer& timer) { return timer.id == id; }),
               timers.end());
}

bool AnyConsoleTimer() { return !Table().timers.empty(); }

uint32_t MillisecondsToNextConsoleTimer() {
  const std::vector<ConsoleTimer>& timers = Table().timers;
  if (timers.empty()) return 0;
  uint64_t first = timers.front().dueMicroseconds;
  for (const ConsoleTimer& timer : timers) first = std::min(first, timer.dueMicroseconds);
  const uint64_t now = platform::MonotonicMicroseconds();
  if (first <= now) return 0;
  return static_cast<uint32_t>(std::min<uint64_t>((first - now + 999) / 1000, 0xFFFFFFFFu));
}

// A routine may set or kill timers: the table is looked up again by id after each call.
void RunDueConsoleTimers() {
  std::vector<int32_t> due;
  const uint64_t now = platform::MonotonicMicroseconds();
  for (const ConsoleTimer& timer : Table().timers) {
    if (timer.dueMicroseconds <= now) due.push_back(timer.id);
  }
  for (const int32_t id : due) {
    std::vector<ConsoleTimer>& timers = Table().timers;
    const auto it = std::find_if(timers.begin(), timers.end(), [id](const ConsoleTimer& timer) { return timer.id == id; });
    if (it == timers.end()) continue;
    it->dueMicroseconds = platform::MonotonicMicroseconds() + it->intervalMicroseconds;
    const ConsoleTimerRoutine routine = it->routine;
    try {
      routine();
    } catch (DVError& error) {
      error.Report();
    }
  }
}

}  // namespace zentor
