// The debug engine against the stand-in agent running DEMO over UDP loopback, as the
// console program runs it: an instruction step with its report, a go to a breakpoint
// with its report, passpoints in the loop (hits per second, the hits counted in the
// reports printed), and the listing of a call stack of 100 frames. Each reports the
// link transactions one operation took.
// The agent runs as its own process, as a server's agent would; each case runs with the
// two on separate cores and on one core.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "core/address_range.h"
#include "core/current_viewpoint.h"
#include "core/frame_list.h"
#include "core/target_memory.h"
#include "core/typed_location.h"
#include "console/output_writer.h"
#include "core/value_bytes.h"
#include "engine/register_access.h"
#include "target/agent_link.h"
#include "target/memory_read_cache.h"
#include "target/register_model.h"
#include "target/register_tables.h"
#include "stand_in_engine_session.h"

namespace zentor {
namespace {

struct Session {
  bool ok = false;
  std::string demoDirectory;
};

bool Run(const char* command) { return bench::RunCommand(command); }
std::vector<RegisterValue> SaveRegisters() { return bench::SaveRegisters(); }
void RestoreRegisters(const std::vector<RegisterValue>& saved) { bench::RestoreRegisters(saved); }

// One agent running DEMO and one program session on it, with DEMO's symbols, stopped
// at the first turn of main's loop.
const Session& StartOnce() {
  static Session session = [] {
    Session started;
    if (!bench::StartStandInSession("demo", &started.demoDirectory)) return started;
    const std::string loadsym = "loadsym " + started.demoDirectory + "demo";
    started.ok = Run(loadsym.c_str()) && Run("br = :DEMO_MAIN#33") && Run("go; wait") && Run("remove breaks");
    return started;
  }();
  return session;
}

uint32_t Transactions() { return TheAgentLink().NextSequence(); }

// The frame of every case: the session with the agent, the registers the thread
// starts from (put back when the case ends), and the link transactions of the timed
// operations, reported per operation.
class AgentCase {
 public:
  explicit AgentCase(benchmark::State& state) : m_state(state) {
    m_ok = StartOnce().ok;
    if (!m_ok) {
      state.SkipWithError("no session with the stand-in agent");
      return;
    }
    m_ok = bench::PinLayout(state, state.range(0));
    if (!m_ok) return;
    m_start = SaveRegisters();
  }

  bool Ok() const { return m_ok; }
  const std::vector<RegisterValue>& Start() const { return m_start; }
  int64_t Operations() const { return m_operations; }

  // One timed operation: the command and the transactions it took. A failure ends the
  // case with `failure`.
  bool Operation(const char* command, const char* failure) {
    const uint32_t before = Transactions();
    if (!Run(command)) {
      m_state.SkipWithError(failure);
      return false;
    }
    m_transactions += Transactions() - before;
    ++m_operations;
    return true;
  }

  // Untimed: the thread back where the case started, then `command` when there is one.
  void PutBack(const char* command = nullptr) {
    m_state.PauseTiming();
    RestoreRegisters(m_start);
    if (command != nullptr) Run(command);
    m_state.ResumeTiming();
  }

  // The registers back; the transactions per operation, or per unit when the
  // operations came to `units` units in all (the hits of passpoints).
  void Finish(int64_t units = 0) {
    RestoreRegisters(m_start);
    if (units == 0) units = m_operations;
    m_state.counters["transactions"] =
        benchmark::Counter(static_cast<double>(m_transactions) / static_cast<double>(std::max<int64_t>(units, 1)));
  }

 private:
  benchmark::State& m_state;
  bool m_ok = false;
  std::vector<RegisterValue> m_start;
  uint32_t m_transactions = 0;
  int64_t m_operations = 0;
};

// One instruction step and the line of disassembly that reports it; every 100 steps
// the thread is put back where it started (not timed).
void InstructionStep(benchmark::State& state) {
  AgentCase measured(state);
  if (!measured.Ok()) return;
  for (auto _ : state) {
    if (!measured.Operation("istep", "the step failed")) return;
    if (measured.Operations() % 100 == 0) measured.PutBack();
  }
  measured.Finish();
}
BENCHMARK(InstructionStep)->Apply(bench::InBothLayouts)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3)->ReportAggregatesOnly(true);

// A go from the loop to the breakpoint at g, with its report; the thread is put back
// at the loop (not timed) before the next go.
void GoToBreakpoint(benchmark::State& state) {
  AgentCase measured(state);
  if (!measured.Ok()) return;
  Run("br = g");
  for (auto _ : state) {
    if (!measured.Operation("go; wait", "the go failed")) return;
    measured.PutBack();
  }
  Run("remove breaks");
  measured.Finish();
}
BENCHMARK(GoToBreakpoint)->Apply(bench::InBothLayouts)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3)->ReportAggregatesOnly(true);

// Counts the passpoint reports in the program's output while it lives, the output
// otherwise thrown away as before.
class PasspointReportCounter {
 public:
  PasspointReportCounter() {
    OutputWriter::InstallHook([this](char next) { See(next); });
  }
  ~PasspointReportCounter() { OutputWriter::InstallHook([](char) {}); }
  PasspointReportCounter(const PasspointReportCounter&) = delete;
  PasspointReportCounter& operator=(const PasspointReportCounter&) = delete;

  int64_t Reports() const { return m_reports; }

 private:
  static constexpr std::string_view kReport = "[ Passpoint at ";

  void See(char next) {
    // The report's first character appears nowhere else in it: a mismatch restarts
    // the match at that character or before the report.
    m_matched = next == kReport[m_matched] ? m_matched + 1 : next == kReport[0] ? 1 : 0;
    if (m_matched == kReport.size()) {
      ++m_reports;
      m_matched = 0;
    }
  }

  size_t m_matched = 0;
  int64_t m_reports = 0;
};

// The loop's turns from the first one on, with a passpoint at g: five hits (the five
// turns) and the break at the first call after the loop per go.
void PasspointsInTheLoop(benchmark::State& state) {
  AgentCase measured(state);
  if (!measured.Ok()) return;
  Run("pp = g");
  Run("br = PrintValue");
  int64_t hits = 0;
  {
    PasspointReportCounter reports;
    for (auto _ : state) {
      if (!measured.Operation("go; wait", "the go failed")) return;
      // The loop counter back to 0 too.
      measured.PutBack("i = 0");
    }
    hits = reports.Reports();
  }
  Run("remove breaks");
  measured.Finish(hits);
  state.counters["hits"] = benchmark::Counter(static_cast<double>(hits), benchmark::Counter::kIsRate);
  state.counters["hits_per_go"] =
      benchmark::Counter(static_cast<double>(hits) / static_cast<double>(std::max<int64_t>(measured.Operations(), 1)));
}
BENCHMARK(PasspointsInTheLoop)->Apply(bench::InBothLayouts)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3)->ReportAggregatesOnly(true);

// A real chain of 100 frames: DEMO's Factorial entered with n = 100 (its argument
// changed at the first entry) and stopped in its last call (n == 1), so the stack holds
// 100 frames of Factorial with their arguments, then main; the walk and the listing of
// the call stack over it.
void CallStackOf100Frames(benchmark::State& state) {
  AgentCase measured(state);
  if (!measured.Ok()) return;
  constexpr uint32_t kFrames = 100;
  if (!Run("br = :DEMO_CALC#26") || !Run("go; wait") || !Run("remove breaks") || !Run("n = 100") ||
      !Run("cb = :DEMO_CALC#26 if (n == 1)") || !Run("go; wait") || !Run("remove breaks")) {
    state.SkipWithError("Factorial did not stop 100 calls deep");
    return;
  }
  for (auto _ : state) {
    // Each walk starts from nothing the last one read, as at a new stop: no frames, no
    // registers, no stack bytes.
    GetCurrentFrameList()->Clear();
    InvalidateRegisterCache();
    TheMemoryReadCache().Forget();
    if (!measured.Operation("calls", "the call stack failed")) return;
  }
  // Factorial's 100 frames and main's below them.
  if (GetCurrentFrameList()->Count() <= kFrames) state.SkipWithError("the walk found fewer than 100 frames");
  state.counters["frames"] = benchmark::Counter(static_cast<double>(GetCurrentFrameList()->Count()));
  measured.Finish();
}
BENCHMARK(CallStackOf100Frames)->Apply(bench::InBothLayouts)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace zentor

BENCHMARK_MAIN();
