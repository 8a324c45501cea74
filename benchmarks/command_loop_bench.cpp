// The command loop as a script engine: one command holding a while loop of 1,000,000
// iterations with an if and integer arithmetic in its body, read from the standard
// input, parsed once and run by the postfix executor. Reports iterations per second.
//
// Debug variables are not part of this build, so two words stand in for a counter
// variable: "base" (as an operand) pushes the counter and "help" adds one to it. Every
// other step of an iteration (loop jumps, literal pushes, the operator executor, the
// comparisons, the conditional jumps) is the real one.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/program_entry.h"
#include "app/startup.h"
#include "command/action_table.h"
#include "command/command_loop.h"
#include "command/postfix_executor.h"
#include "console/file_channel.h"
#include "core/dvp_types.h"
#include "core/hi_service.h"
#include "core/startup_settings_words.h"
#include "core/value_stack.h"
#include "platform/alert.h"

namespace {

constexpr uint32_t kIterations = 1000000;
uint32_t g_counter = 0;

void PushCounter() { zentor::PushWord32(g_counter); }
void IncrementCounter() { ++g_counter; }
// Start-up binds every slot; these take two of them over afterwards.
void BindCounterRoutines() {
  zentor::ActionTable::Bind(47, &PushCounter, "BenchPushCounter");
  zentor::ActionTable::Bind(183, &IncrementCounter, "BenchIncrementCounter");
}

struct SessionEnded {};
[[noreturn]] void ThrowSessionEnded() { throw SessionEnded{}; }

void RunScript(const std::string& directory, const std::string& script) {
  const std::string input = directory + "/stdin.txt";
  const std::string output = directory + "/stdout.txt";
  std::ofstream(input, std::ios::binary) << script;
  const int32_t in = zentor::FileChannel::Open(input.c_str(), zentor::kOpenRead);
  const int32_t out = zentor::FileChannel::Open(output.c_str(), zentor::kOpenWrite);
  zentor::FileChannel::SetStandardDescriptors(in, out);
  zentor::SetProgramExitHandler(&ThrowSessionEnded);
  char program[] = "zentor";
  char test[] = "-test";
  char* arguments[] = {program, test, nullptr};
  try {
    zentor::ResetStartupState();
    zentor::ResetCommandLoopState();
    zentor::CommandLoop(2, arguments);
  } catch (const SessionEnded&) {
  }
  zentor::SetProgramExitHandler(nullptr);
  zentor::FileChannel::SetStandardDescriptors(0, 1);
}

void BM_WhileLoopWithIfAndArithmetic(benchmark::State& state) {
  zentor::platform::SetAlertMode(zentor::platform::AlertMode::Console);
  zentor::SetConsoleMode(true);
  const std::filesystem::path directory = std::filesystem::temp_directory_path() / "zentor-command-loop-bench";
  std::filesystem::create_directories(directory);
  const std::string script = "while (base < " + std::to_string(kIterations) +
                             ") { if (base % 3 == 1) { help } else { help } }\n";
  for (auto _ : state) {
    g_counter = 0;
    zentor::SetStartupTestHook(&BindCounterRoutines);
    RunScript(directory.string(), script);
    if (g_counter != kIterations) state.SkipWithError("the loop did not run to its end");
  }
  state.counters["iterations/s"] =
      benchmark::Counter(static_cast<double>(kIterations) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
  std::filesystem::remove_all(directory);
}
BENCHMARK(BM_WhileLoopWithIfAndArithmetic)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
