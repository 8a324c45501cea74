#pragma once
// The link's cases beside a GDB client with its server doing the same work: gdb 13 and
// gdbserver over TCP loopback, measured by hand on this machine (an 8-core virtual
// machine) in the two layouts of core_layout.h; GDB is never run here. After its runs
// a program prints one line per case that has a figure: the case's median, GDB's
// figure and how far ahead (ratio above 1) or behind Zentor is. A layout GDB was not
// measured in is listed as such, so that no case looks compared when it is not.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "core_layout.h"

namespace zentor::bench {

enum class GdbMeasure {
  Time,            // real time of one operation, in microseconds (less is better)
  BytesPerSecond,  // the case's bytes_per_second, in MB/s (more is better)
  HitsPerSecond,   // the case's "hits" counter (more is better)
};

struct GdbFigure {
  const char* m_case;  // the case's name without its layout ("ReadFourBytes")
  int64_t m_cores;     // kSeparateCores or kOneCore
  GdbMeasure m_measure;
  double m_gdb;        // 0: GDB was not measured in this layout
  const char* m_what;  // what GDB did
  // A case of the same program, timed in the same layout, that stands for the least
  // GDB's own exchange costs at this run's load (nullptr: none).
  const char* m_floorCase = nullptr;
};

// Prints what the console reporter prints, keeps each case's median (or its single
// run) and prints the comparison at the end.
class AgainstGdbReporter : public benchmark::ConsoleReporter {
 public:
  explicit AgainstGdbReporter(const std::vector<GdbFigure>& figures)
      : benchmark::ConsoleReporter(isatty(STDOUT_FILENO) != 0 ? OO_Defaults : OO_Tabular), m_figures(figures) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    benchmark::ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type == Run::RT_Aggregate && !median) continue;
      const std::string name = run.run_name.function_name + "/" + run.run_name.args;
      if (!median && m_hasMedian.count(name) != 0) continue;
      if (median) m_hasMedian[name] = true;
      Result& result = m_results[name];
      result.m_microseconds = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e6;
      const auto bytes = run.counters.find("bytes_per_second");
      result.m_bytesPerSecond = bytes != run.counters.end() ? bytes->second.value : 0;
      const auto hits = run.counters.find("hits");
      result.m_hitsPerSecond = hits != run.counters.end() ? hits->second.value : 0;
    }
  }

  void Finalize() override {
    benchmark::ConsoleReporter::Finalize();
    std::ostream& out = GetOutputStream();
    out << "\nAgainst a GDB client with its server (gdb 13, gdbserver, TCP loopback; figures measured on this "
           "machine, GDB not run here):\n";
    Line(out, "  %-36s %-15s %14s %14s\n", "case", "layout", "Zentor", "GDB");
    for (const GdbFigure& figure : m_figures) {
      const char* layout = figure.m_cores == kOneCore ? "one core" : "separate cores";
      const auto found = m_results.find(std::string(figure.m_case) + "/cores:" + std::to_string(figure.m_cores));
      const double value = found == m_results.end() ? 0 : Value(figure, found->second);
      const std::string zentor = value > 0 ? Shown(figure.m_measure, value) : "not run";
      if (figure.m_gdb == 0) {
        Line(out, "  %-36s %-15s %14s %14s  not measured with GDB in this layout (%s)\n", figure.m_case, layout,
             zentor.c_str(), "-", figure.m_what);
        continue;
      }
      std::string verdict = "-";
      if (value > 0) {
        const double ratio = figure.m_measure == GdbMeasure::Time ? figure.m_gdb / value : value / figure.m_gdb;
        char text[64];
        std::snprintf(text, sizeof text, "%.2fx, %s", ratio, ratio >= 1 ? "ahead" : "BEHIND");
        verdict = text;
      }
      std::string floor;
      if (figure.m_floorCase != nullptr) {
        const auto measured =
            m_results.find(std::string(figure.m_floorCase) + "/cores:" + std::to_string(figure.m_cores));
        const double least = measured == m_results.end() ? 0 : Value(figure, measured->second);
        if (least > 0) floor = "; " + std::string(figure.m_floorCase) + " in this run: " + Shown(figure.m_measure, least);
      }
      Line(out, "  %-36s %-15s %14s %14s  %s (GDB: %s%s)\n", figure.m_case, layout, zentor.c_str(),
           Shown(figure.m_measure, figure.m_gdb).c_str(), verdict.c_str(), figure.m_what, floor.c_str());
    }
    out.flush();
  }

 private:
  struct Result {
    double m_microseconds = 0;
    double m_bytesPerSecond = 0;
    double m_hitsPerSecond = 0;
  };

  template <typename... Arguments>
  static void Line(std::ostream& out, const char* format, Arguments... arguments) {
    char text[256];
    std::snprintf(text, sizeof text, format, arguments...);
    out << text;
  }

  static double Value(const GdbFigure& figure, const Result& result) {
    switch (figure.m_measure) {
      case GdbMeasure::Time: return result.m_microseconds;
      case GdbMeasure::BytesPerSecond: return result.m_bytesPerSecond / 1e6;
      case GdbMeasure::HitsPerSecond: return result.m_hitsPerSecond;
    }
    return 0;
  }

  static std::string Shown(GdbMeasure measure, double value) {
    char text[64];
    switch (measure) {
      case GdbMeasure::Time:
        if (value >= 1000) {
          std::snprintf(text, sizeof text, "%.3g ms", value / 1000);
        } else {
          std::snprintf(text, sizeof text, "%.3g us", value);
        }
        break;
      case GdbMeasure::BytesPerSecond: std::snprintf(text, sizeof text, "%.3g MB/s", value); break;
      case GdbMeasure::HitsPerSecond: std::snprintf(text, sizeof text, "%.0f hits/s", value); break;
    }
    return text;
  }

  std::vector<GdbFigure> m_figures;
  std::map<std::string, Result> m_results;
  std::map<std::string, bool> m_hasMedian;
};

// The program's main: the benchmarks as BENCHMARK_MAIN runs them, then the comparison.
inline int RunAgainstGdb(int argc, char** argv, const std::vector<GdbFigure>& figures) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  AgainstGdbReporter reporter(figures);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace zentor::bench
