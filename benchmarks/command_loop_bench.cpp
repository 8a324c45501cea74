// The command loop as a script engine: one command holding a while loop of 1,000,000
// iterations over two debug variables ("define int4"), with an if-else, a remainder, a
// comparison and additions and assignments in its body, read from the standard input,
// parsed once and run by the postfix executor. Every step is the real one: the
// variables' fetches and stores go through the keyword table and their storage.
// Reports iterations per second. The session runs without an agent.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/program_entry.h"
#include "app/startup.h"
#include "command/command_loop.h"
#include "console/file_channel.h"
#include "core/hi_service.h"
#include "core/startup_settings_words.h"
#include "platform/alert.h"

namespace {

constexpr uint32_t kIterations = 1000000;

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
  setenv("ZENTOR_OFFLINE", "1", 1);  // no agent: nothing to connect to
  zentor::platform::SetAlertMode(zentor::platform::AlertMode::Console);
  zentor::SetConsoleMode(true);
  const std::filesystem::path directory = std::filesystem::temp_directory_path() / "zentor-command-loop-bench";
  std::filesystem::create_directories(directory);
  const std::string count = std::to_string(kIterations);
  // i % 3 == 1 for a third of the iterations: odd ends at 1 x third + 2 x the rest.
  const std::string script = "define int4 i = 0\ndefine int4 odd = 0\n"
                             "while (i < " + count + ") { if (i % 3 == 1) { odd += 1 } else { odd = odd + 2 }; i += 1 }\n"
                             "odd\n";
  const uint32_t third = (kIterations + 1) / 3;
  const std::string expected = std::to_string(third + 2 * (kIterations - third));
  for (auto _ : state) {
    RunScript(directory.string(), script);
    std::ifstream output(directory / "stdout.txt");
    const std::string text((std::istreambuf_iterator<char>(output)), std::istreambuf_iterator<char>());
    if (text.find(expected + "\n") == std::string::npos) state.SkipWithError(("the loop did not run to its end: " + text).c_str());
  }
  state.counters["iterations/s"] =
      benchmark::Counter(static_cast<double>(kIterations) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
  std::filesystem::remove_all(directory);
}
BENCHMARK(BM_WhileLoopWithIfAndArithmetic)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
