// The settings store with 200 records (layouts, colours, breakpoint and watch sets of
// a few hundred bytes each) in a file of its own: an open with the verification of
// every record, a lookup of one record by id and name (read whole), and a change (a
// record removed or added again, its new image written and renamed into place) once
// without the flush and once with it. The aggregates give the median of nine runs
// (wall-clock time: the work is the file's).

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "gui/dialog_description_file.h"
#include "gui/store_write_channel.h"

namespace zentor {
namespace {

constexpr int kRecords = 200;
const uint32_t kIds[] = {1, 5, 8, 9, 12, 15, 32};

// The platform's files without the sync to the disk.
class UnflushedChannel : public StoreWriteChannel {
 public:
  bool Flush() override { return true; }
};

std::string NameOf(int i) { return "settings" + std::to_string(i); }
uint32_t IdOf(int i) { return kIds[i % 7]; }

// A store of 200 records in a fresh directory, open in `store`.
class BenchStore {
 public:
  BenchStore() {
    m_directory = std::filesystem::temp_directory_path() / "zentor-store-bench";
    std::filesystem::remove_all(m_directory);
    std::filesystem::create_directories(m_directory);
    m_path = (m_directory / "bench.ddb").string();
    m_store.SetWriteChannel(&m_unflushed);
    m_store.Open(m_path.c_str());
    for (int i = 0; i < kRecords; ++i) {
      const std::vector<uint8_t> data(100 + (i * 37) % 400, static_cast<uint8_t>(i));
      m_store.AddRecord(IdOf(i), NameOf(i).c_str(), "a saved set of settings", static_cast<uint32_t>(data.size()),
                        data.data());
    }
  }
  ~BenchStore() {
    m_store.Reset();
    std::filesystem::remove_all(m_directory);
  }

  std::filesystem::path m_directory;
  std::string m_path;
  UnflushedChannel m_unflushed;
  DialogDescriptionFile m_store;
};

void OpenWithVerification(benchmark::State& state) {
  BenchStore bench;
  for (auto _ : state) {
    bench.m_store.Reset();
    benchmark::DoNotOptimize(bench.m_store.Open(bench.m_path.c_str()));
  }
}

void Lookup(benchmark::State& state) {
  BenchStore bench;
  std::vector<uint8_t> data(1024);
  char description[kDialogDescriptionField];
  int i = 0;
  for (auto _ : state) {
    const int which = (i++ * 61) % kRecords;
    uint32_t length = static_cast<uint32_t>(data.size());
    benchmark::DoNotOptimize(
        bench.m_store.ReadRecord(IdOf(which), NameOf(which).c_str(), description, &length, data.data()));
  }
}

// Alternately removes the last record and adds it again: each is one change.
void Change(benchmark::State& state, bool flush) {
  BenchStore bench;
  StoreWriteChannel platform;
  bench.m_store.SetWriteChannel(flush ? &platform : &bench.m_unflushed);
  const std::vector<uint8_t> data(300, 7);
  const std::string name = NameOf(kRecords - 1);
  bool there = true;
  int changes = 0;
  for (auto _ : state) {
    // The removed records pile up until a close compacts them, as in a session.
    if (++changes % 64 == 0) {
      state.PauseTiming();
      bench.m_store.Close();
      bench.m_store.Open(bench.m_path.c_str());
      state.ResumeTiming();
    }
    if (there) {
      bench.m_store.RemoveRecord(IdOf(kRecords - 1), name.c_str());
    } else {
      bench.m_store.AddRecord(IdOf(kRecords - 1), name.c_str(), "again", static_cast<uint32_t>(data.size()),
                              data.data());
    }
    there = !there;
  }
  bench.m_store.SetWriteChannel(&bench.m_unflushed);
}

void ChangeWithoutFlush(benchmark::State& state) { Change(state, false); }
void ChangeWithFlush(benchmark::State& state) { Change(state, true); }

BENCHMARK(OpenWithVerification)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(Lookup)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(ChangeWithoutFlush)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(ChangeWithFlush)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace zentor

BENCHMARK_MAIN();
