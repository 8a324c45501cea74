#pragma once
// The two layouts the link is measured in: the debugger and the agent on cores of their
// own, and both on one core, as a debugger shares a workstation with an editor, a
// compiler or the target's own virtual machine. The benchmark pins itself and the agent
// process it started (sched_setaffinity) before each case; the cases carry the layout
// as their argument "cores" (2 or 1).

#include <benchmark/benchmark.h>
#include <sched.h>
#include <sys/types.h>

#include <cstdint>
#include <vector>

namespace zentor::bench {

inline constexpr int64_t kSeparateCores = 2;
inline constexpr int64_t kOneCore = 1;

// The agent process the benchmark started (0 until then).
inline pid_t& AgentProcessId() {
  static pid_t pid = 0;
  return pid;
}

// The first two processors this program may run on, read once before any pinning.
inline const std::vector<int>& LayoutProcessors() {
  static const std::vector<int> processors = [] {
    std::vector<int> found;
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return found;
    for (int cpu = 0; cpu < CPU_SETSIZE && found.size() < 2; ++cpu) {
      if (CPU_ISSET(cpu, &allowed)) found.push_back(cpu);
    }
    return found;
  }();
  return processors;
}

inline bool PinTo(pid_t pid, int cpu) {
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(cpu, &one);
  return sched_setaffinity(pid, sizeof one, &one) == 0;
}

// Pins the benchmark to the first processor and its peer (the agent) to the second (two
// cores) or to the first as well (one core). False, with the case skipped, when it
// cannot.
inline bool PinLayout(benchmark::State& state, int64_t cores, pid_t peer = AgentProcessId()) {
  const std::vector<int>& processors = LayoutProcessors();
  const bool pinned = peer > 0 && processors.size() == 2 && PinTo(0, processors[0]) &&
                      PinTo(peer, processors[cores == kOneCore ? 0 : 1]);
  if (!pinned) state.SkipWithError("cannot pin the debugger and the agent to their cores");
  return pinned;
}

// Registers a case once per layout, the layout as the last argument.
inline void InBothLayouts(benchmark::internal::Benchmark* b) {
  b->ArgName("cores")->Arg(kSeparateCores)->Arg(kOneCore);
}

}  // namespace zentor::bench
