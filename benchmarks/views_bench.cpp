// The data views against the stand-in agent running VIEWS over UDP loopback, as the
// program runs them: stopped at Leaf, twenty frames deep, with every view open
// (Registers with the floating-point unit, Watch with ten watches, Callstack, Memory
// with three screens, Inspect with g_small's 100 elements expanded, Locals, Modules).
//   - StopAndRefreshEveryView: an "istep" with its report, then the refresh each open
//     window asks for after a stop; the median, the link transactions and the
//     read-registers requests of one stop, and where the time went.
//   - ExpandArrayOf5000Ints: g_large expanded in an Inspect window.
//   - RefreshWith5000IntsExpanded: a stop's refresh of that window.
// Requests are counted on their way to the agent: the link's transport is wrapped.
// Each case runs with the debugger and the agent on separate cores and on one core.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/view_kind.h"
#include "engine/inspector_view.h"
#include "engine/memory_view.h"
#include "engine/watch_table.h"
#include "harness/view_window.h"
#include "stand_in_engine_session.h"
#include "target/agent_link.h"
#include "target/agent_protocol.h"

namespace zentor {
namespace {

// The read-registers requests the program sent, counted on the way to the transport.
struct RequestCounts {
  LinkTransport inner;
  uint32_t registerReads = 0;
};

RequestCounts& Counts() {
  static RequestCounts counts;
  return counts;
}

int32_t CountingWrite(LinkHandle handle, const uint8_t* bytes, uint32_t length) {
  RequestCounts& counts = Counts();
  // ACK and NAK travel alone; a request is a whole packet.
  if (length >= kPacketOverhead && bytes[0] == kPacketMark &&
      value_bytes::LoadU32(bytes + kPacketCodeOffset) == kAgentCommandReadRegisters) {
    ++counts.registerReads;
  }
  return counts.inner.write(handle, bytes, length);
}

void CountRequests() {
  RequestCounts& counts = Counts();
  if (TheAgentLink().Transport().write == CountingWrite) return;
  counts.inner = TheAgentLink().Transport();
  LinkTransport counting = counts.inner;
  counting.write = CountingWrite;
  TheAgentLink().SetTransport(counting);
}

using Window = testing_support::ViewWindow;

struct Session {
  Window registers, watch, callstack, memory, inspect, locals, modules;
  MemoryDisplayRequest memoryRequest;
  InspectorRequest inspectRequest;
  InspectorRequest localsRequest;
  uint32_t width = 80;
  std::vector<RegisterValue> atLeaf;
  std::string directory;
};

// VIEWS stopped at the first line of Leaf with its ten watches and every view open;
// made once. Null when the agent or the program did not start.
Session* StartOnce() {
  static Session* session = []() -> Session* {
    static Session made;
    if (!bench::StartStandInSession("views", &made.directory) || !bench::StopViewsAtLeafWithTenWatches(made.directory)) {
      return nullptr;
    }
    made.atLeaf = bench::SaveRegisters();
    made.registers.Open(kViewRegisters, 1, 0);
    made.watch.Open(kViewWatch, 2, 0);
    made.callstack.Open(kViewCallstack, 3, 0);
    // Three screens of 20 lines from VIEWS's data base on (g_small first).
    made.memoryRequest.rows = 20;
    std::snprintf(made.memoryRequest.startText, sizeof made.memoryRequest.startText, "0x00310000");
    made.memoryRequest.noRange = 1;
    made.memoryRequest.changeFlags = MemoryDisplayRequest::kFormatChanged | MemoryDisplayRequest::kNewStart;
    made.memory.Open(kViewMemory, 4, reinterpret_cast<intptr_t>(&made.memoryRequest));
    made.memory.Send(kGuiRefresh);
    made.memoryRequest.changeFlags = 0;
    made.inspect.Open(kViewInspect, 5, reinterpret_cast<intptr_t>(&made.inspectRequest));
    made.inspectRequest.text = "g_small";
    made.inspect.Send(kGuiInspectAdd);
    made.inspectRequest.line = 0;
    made.inspect.Send(kGuiInspectExpand);
    // The Locals window sends its requests as an Inspect window.
    made.locals.Open(kViewInspect, 6, reinterpret_cast<intptr_t>(&made.localsRequest));
    made.locals.Send(kGuiInspectLocals);
    made.modules.Open(kViewModules, 7, reinterpret_cast<intptr_t>(&made.width));
    // The windows close before the program's statics go, as the windows would close
    // before the program ends.
    std::atexit([] {
      Session& open = *StartOnce();
      for (Window* window : {&open.registers, &open.watch, &open.callstack, &open.memory, &open.inspect, &open.locals,
                             &open.modules}) {
        window->Send(kGuiClosing);
      }
      WatchTable::DeleteForCurrentViewpoint();
    });
    return &made;
  }();
  return session;
}

// The session pinned to the case's layout, or null with the benchmark skipped.
Session* SessionOrSkip(benchmark::State& state) {
  Session* session = StartOnce();
  if (session == nullptr) state.SkipWithError("no session with the stand-in agent");
  if (session != nullptr && !bench::PinLayout(state, state.range(0))) return nullptr;
  return session;
}

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The parts of one stop: the step with its report, then each window's refresh.
enum Part { kStep, kRegisters, kWatch, kCallstack, kMemory, kInspect, kLocals, kModules, kPartCount };
constexpr const char* kPartNames[kPartCount] = {"step",   "registers", "watch",  "callstack",
                                                "memory", "inspect",   "locals", "modules"};

void StopAndRefreshEveryView(benchmark::State& state) {
  Session* session = SessionOrSkip(state);
  if (session == nullptr) return;
  CountRequests();
  double milliseconds[kPartCount] = {};
  uint32_t partTransactions[kPartCount] = {};
  uint32_t transactions = 0;
  uint32_t registerReads = 0;
  int64_t stops = 0;
  const auto timed = [&](Part part, auto&& work) {
    const uint32_t sequence = TheAgentLink().NextSequence();
    const Clock::time_point start = Clock::now();
    work();
    milliseconds[part] += MillisecondsSince(start);
    partTransactions[part] += TheAgentLink().NextSequence() - sequence;
  };
  for (auto _ : state) {
    state.PauseTiming();
    bench::RestoreRegisters(session->atLeaf);
    const uint32_t sequence = TheAgentLink().NextSequence();
    const uint32_t reads = Counts().registerReads;
    state.ResumeTiming();
    bool stepped = true;
    timed(kStep, [&] { stepped = bench::RunCommand("istep"); });
    if (!stepped) {
      state.SkipWithError("the step failed");
      return;
    }
    timed(kRegisters, [&] { session->registers.Send(kGuiRefresh); });
    timed(kWatch, [&] { session->watch.Send(kGuiRefresh); });
    timed(kCallstack, [&] { session->callstack.Send(kGuiRefresh); });
    timed(kMemory, [&] { session->memory.Send(kGuiRefresh); });
    timed(kInspect, [&] { session->inspect.Send(kGuiRefresh); });
    // The Locals window asks whether its procedure changed, then refreshes.
    timed(kLocals, [&] {
      if (session->locals.Send(kGuiLocalsNeedRebuild) == 0) session->locals.Send(kGuiRefresh);
    });
    timed(kModules, [&] { session->modules.Send(kGuiRefresh); });
    transactions += TheAgentLink().NextSequence() - sequence;
    registerReads += Counts().registerReads - reads;
    ++stops;
  }
  bench::RestoreRegisters(session->atLeaf);
  if (stops == 0) return;
  const auto perStop = [stops](double sum) { return benchmark::Counter(sum / static_cast<double>(stops)); };
  state.counters["transactions"] = perStop(transactions);
  state.counters["register_reads"] = perStop(registerReads);
  for (int part = 0; part < kPartCount; ++part) {
    state.counters[std::string("ms_") + kPartNames[part]] = perStop(milliseconds[part]);
    state.counters[std::string("tx_") + kPartNames[part]] = perStop(partTransactions[part]);
  }
  state.counters["frames"] = session->callstack.pane.count;
  state.counters["lines"] = session->registers.pane.count + session->watch.pane.count +
                            session->callstack.pane.count + session->memory.pane.count +
                            session->inspect.pane.count + session->locals.pane.count + session->modules.pane.count;
}
BENCHMARK(StopAndRefreshEveryView)->Apply(bench::InBothLayouts)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly();

// g_large (5,000 ints), the only item of an Inspect window of its own, closed with it.
class LargeArrayWindow {
 public:
  explicit LargeArrayWindow(int32_t layer) {
    m_window.Open(kViewInspect, layer, reinterpret_cast<intptr_t>(&m_request));
    m_request.text = "g_large";
    m_window.Send(kGuiInspectAdd);
    m_request.line = 0;
  }
  ~LargeArrayWindow() { m_window.Send(kGuiClosing); }
  LargeArrayWindow(const LargeArrayWindow&) = delete;
  LargeArrayWindow& operator=(const LargeArrayWindow&) = delete;
  int32_t Send(int32_t code) { return m_window.Send(code); }
  int32_t Lines() const { return m_window.pane.count; }

 private:
  InspectorRequest m_request;
  Window m_window;
};

benchmark::Counter PerOperation(uint32_t transactions, int64_t operations) {
  return benchmark::Counter(static_cast<double>(transactions) / static_cast<double>(operations == 0 ? 1 : operations));
}

// g_large expanded, and contracted again (not timed).
void ExpandArrayOf5000Ints(benchmark::State& state) {
  if (SessionOrSkip(state) == nullptr) return;
  LargeArrayWindow large(8);
  uint32_t transactions = 0;
  int32_t lines = 0;
  int64_t expansions = 0;
  for (auto _ : state) {
    const uint32_t sequence = TheAgentLink().NextSequence();
    if (large.Send(kGuiInspectExpand) != 0) {
      state.SkipWithError("the expansion failed");
      break;
    }
    transactions += TheAgentLink().NextSequence() - sequence;
    lines = large.Lines();
    ++expansions;
    state.PauseTiming();
    large.Send(kGuiInspectContract);
    state.ResumeTiming();
  }
  state.counters["transactions"] = PerOperation(transactions, expansions);
  state.counters["lines"] = lines;
}
BENCHMARK(ExpandArrayOf5000Ints)->Apply(bench::InBothLayouts)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly();

// A stop's refresh of the window with g_large expanded: its 5,000 lines made again.
void RefreshWith5000IntsExpanded(benchmark::State& state) {
  if (SessionOrSkip(state) == nullptr) return;
  LargeArrayWindow large(9);
  large.Send(kGuiInspectExpand);
  uint32_t transactions = 0;
  int64_t refreshes = 0;
  for (auto _ : state) {
    const uint32_t sequence = TheAgentLink().NextSequence();
    large.Send(kGuiRefresh);
    transactions += TheAgentLink().NextSequence() - sequence;
    ++refreshes;
  }
  state.counters["transactions"] = PerOperation(transactions, refreshes);
  state.counters["lines"] = large.Lines();
}
BENCHMARK(RefreshWith5000IntsExpanded)->Apply(bench::InBothLayouts)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly();

}  // namespace
}  // namespace zentor

BENCHMARK_MAIN();
