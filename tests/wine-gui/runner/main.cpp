// The GUI harness's test program: one test case per scenario file in tests/wine-gui
// (each in a Wine desktop of its own), and one per scenario of tests/wine-gui/undone,
// each of which must fail where a timed action's work is not done; with `--shots DIR
// STEPS`, one run of a scenario that keeps a PNG per step in DIR with an index
// (scripts/gui-shots); with `--bench [STEPS...]`, the scenarios that measure figures
// (all of them when none is named), one after another, and a table of their figures
// beside their targets (scripts/bench --gui).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "scenario.h"

namespace {

namespace fs = std::filesystem;
using zentor::wine_gui::HarnessPaths;
using zentor::wine_gui::Scenario;
using zentor::wine_gui::StepOutcome;

HarnessPaths Paths() {
  HarnessPaths paths;
  paths.scenarioDir = ZENTOR_WINE_GUI_DIR;
  const char* win32 = std::getenv("ZENTOR_WIN32_BUILD");
  paths.win32Build = win32 != nullptr ? win32 : ZENTOR_DEFAULT_WIN32_BUILD;
  paths.nativeBuild = ZENTOR_NATIVE_BUILD_DIR;
  paths.sourceDir = ZENTOR_SOURCE_DIR;
  return paths;
}

std::string MakeScratch() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr ? tmp : "/tmp") + "/zentor-wine-gui-XXXXXX";
  return mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

// The index of a run with pictures: number, step, ok or failed, window title; the steps
// after a failure did not run and are listed as failed.
bool WriteShotIndex(const std::string& dir, const Scenario& scenario, const std::vector<StepOutcome>& outcomes) {
  std::ofstream index(dir + "/index.txt");
  bool allOk = outcomes.size() == scenario.steps.size();
  int number = 0;
  for (const StepOutcome& outcome : outcomes) {
    ++number;
    index << number << " " << outcome.name << " " << (outcome.ok ? "ok" : "failed") << " " << outcome.windowTitle << "\n";
    allOk = allOk && outcome.ok;
  }
  for (size_t i = outcomes.size(); i < scenario.steps.size(); ++i) {
    index << i + 1 << " " << scenario.steps[i].name << " failed\n";
  }
  return allOk;
}

// The scripted session keeps a picture per step where its caller says
// (ZENTOR_SESSION_SHOTS), else in the Windows tree's gui-shots/session.
std::string ShotDirFor(const Scenario& scenario, const HarnessPaths& paths) {
  if (scenario.name != "session") return {};
  const char* dir = std::getenv("ZENTOR_SESSION_SHOTS");
  return dir != nullptr && *dir != '\0' ? std::string(dir) : paths.win32Build + "/gui-shots/session";
}

// A scenario file's test case. A scenario of tests/wine-gui/undone times work that is
// not done: it must fail at that timed action, saying so, and for no other reason (a
// figure counts only work that was done).
class ScenarioTest : public testing::Test {
 public:
  ScenarioTest(std::string path, bool undone) : m_path(std::move(path)), m_undone(undone) {}
  void TestBody() override {
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(zentor::wine_gui::ReadScenario(m_path, &scenario, &error)) << error;
    ASSERT_TRUE(!m_undone || zentor::wine_gui::MeasuresFigures(scenario)) << "no timed action in " << m_path;
    HarnessPaths paths = Paths();
    paths.scratch = MakeScratch();
    ASSERT_FALSE(paths.scratch.empty());
    const std::string shotDir = ShotDirFor(scenario, paths);
    if (!shotDir.empty()) {
      fs::remove_all(shotDir);
      fs::create_directories(shotDir);
    }
    const auto begun = std::chrono::steady_clock::now();
    const std::vector<StepOutcome> outcomes = zentor::wine_gui::RunScenario(scenario, paths, shotDir);
    if (!shotDir.empty()) {
      WriteShotIndex(shotDir, scenario, outcomes);
      // The whole session aims at 90 s: printed, as the figures are, never a failure.
      const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - begun);
      std::printf("session: %lld s, target 90 s\n", static_cast<long long>(seconds.count()));
    }
    for (const StepOutcome& outcome : outcomes) {
      if (outcome.skipped && !m_undone) GTEST_SKIP() << "step " << outcome.name << ": " << outcome.message;
    }
    const bool passed = m_undone ? FailedForUndoneWork(outcomes) : Passed(outcomes);
    if (passed) fs::remove_all(paths.scratch);
    else std::printf("(scratch kept in %s)\n", paths.scratch.c_str());
  }

 private:
  static bool Passed(const std::vector<StepOutcome>& outcomes) {
    bool failed = false;
    for (const StepOutcome& outcome : outcomes) {
      if (!outcome.ok) {
        ADD_FAILURE() << "step " << outcome.name << ": " << outcome.message;
        failed = true;
      }
    }
    return !failed;
  }

  static bool FailedForUndoneWork(const std::vector<StepOutcome>& outcomes) {
    if (outcomes.empty()) {
      ADD_FAILURE() << "no step ran";
      return false;
    }
    const StepOutcome& last = outcomes.back();
    if (last.ok || last.skipped || !last.figures.empty() ||
        last.message.find("the work timed is not done") == std::string::npos) {
      ADD_FAILURE() << "step " << last.name << (last.ok ? " passed" : ": " + last.message);
      return false;
    }
    std::printf("step %s failed as it must: %s\n", last.name.c_str(), last.message.c_str());
    return true;
  }

  std::string m_path;
  bool m_undone;
};

int RunShots(const std::string& dir, const std::string& steps) {
  Scenario scenario;
  std::string error;
  if (!zentor::wine_gui::ReadScenario(steps, &scenario, &error)) {
    std::fprintf(stderr, "gui-shots: %s\n", error.c_str());
    return 2;
  }
  fs::create_directories(dir);
  HarnessPaths paths = Paths();
  paths.scratch = MakeScratch();
  const std::vector<StepOutcome> outcomes = zentor::wine_gui::RunScenario(scenario, paths, dir);
  const bool allOk = WriteShotIndex(dir, scenario, outcomes);
  int number = 0;
  for (const StepOutcome& outcome : outcomes) {
    std::printf("%02d %-20s %s%s%s\n", ++number, outcome.name.c_str(), outcome.ok ? "ok" : "failed",
                outcome.ok ? "" : ": ", outcome.message.c_str());
  }
  if (allOk) fs::remove_all(paths.scratch);
  else std::printf("scratch kept in %s\n", paths.scratch.c_str());
  return allOk ? 0 : 1;
}

std::vector<fs::path> ScenarioFiles(const std::string& folder = ZENTOR_WINE_GUI_DIR) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == ".steps") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The targets of the GUI's figures, by the figure's name, from the benchmarks' list
// (lines "TARGET UNIT NAME...", # a comment).
std::map<std::string, double> ReadTargets(const std::string& path) {
  std::map<std::string, double> targets;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    double target = 0;
    std::string unit;
    std::string name;
    if (line.empty() || line[0] == '#' || !(words >> target >> unit >> std::ws) || !std::getline(words, name)) continue;
    targets[name] = target;
  }
  return targets;
}

// The GUI benchmarks: each scenario that measures figures runs once, alone, and the
// figures of all of them end in one table, each beside its target. A scenario that
// fails on the way fails the run (its figures are then not all there).
int RunBenchmarks(std::vector<std::string> steps) {
  const std::string targetsFile = std::string(ZENTOR_SOURCE_DIR) + "/benchmarks/gui_targets.txt";
  const std::map<std::string, double> targets = ReadTargets(targetsFile);
  if (targets.empty()) {
    std::fprintf(stderr, "bench: no targets in %s\n", targetsFile.c_str());
    return 2;
  }
  if (steps.empty()) {
    for (const fs::path& file : ScenarioFiles()) steps.push_back(file.string());
  }
  std::vector<zentor::wine_gui::Figure> figures;
  bool allOk = true;
  for (const std::string& path : steps) {
    Scenario scenario;
    std::string error;
    if (!zentor::wine_gui::ReadScenario(path, &scenario, &error)) {
      std::fprintf(stderr, "bench: %s\n", error.c_str());
      return 2;
    }
    if (!zentor::wine_gui::MeasuresFigures(scenario)) continue;
    std::printf("== %s\n", scenario.name.c_str());
    std::fflush(stdout);
    HarnessPaths paths = Paths();
    paths.scratch = MakeScratch();
    const std::vector<StepOutcome> outcomes = zentor::wine_gui::RunScenario(scenario, paths, "");
    bool ok = outcomes.size() == scenario.steps.size();
    for (const StepOutcome& outcome : outcomes) {
      figures.insert(figures.end(), outcome.figures.begin(), outcome.figures.end());
      if (!outcome.ok) {
        std::printf("%s: step %s failed: %s\n", scenario.name.c_str(), outcome.name.c_str(), outcome.message.c_str());
      }
      ok = ok && outcome.ok;
    }
    if (ok) {
      fs::remove_all(paths.scratch);
    } else {
      std::printf("scratch kept in %s\n", paths.scratch.c_str());
    }
    allOk = allOk && ok;
  }
  using zentor::wine_gui::FormatFigureValue;
  std::printf("\n%-52s %14s %14s  %-6s  %s\n", "figure", "median", "target", "", "runs");
  for (const zentor::wine_gui::Figure& figure : figures) {
    std::string runs;
    for (double sample : figure.samples) runs += (runs.empty() ? "" : ", ") + FormatFigureValue(sample);
    const auto target = targets.find(figure.name);
    const bool known = target != targets.end();
    std::printf("%-52s %14s %14s  %-6s  %s\n", figure.name.c_str(),
                (FormatFigureValue(figure.Median()) + " " + figure.unit).c_str(),
                known ? (FormatFigureValue(target->second) + " " + figure.unit).c_str() : "none",
                !known ? "" : figure.Meets(target->second) ? "met" : "missed", runs.c_str());
  }
  return allOk ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--shots") return RunShots(argv[2], argv[3]);
  if (argc >= 2 && std::string(argv[1]) == "--bench") {
    return RunBenchmarks(std::vector<std::string>(argv + 2, argv + argc));
  }
  testing::InitGoogleTest(&argc, argv);
  for (const fs::path& file : ScenarioFiles()) {
    const std::string path = file.string();
    testing::RegisterTest("WineGui", file.stem().string().c_str(), nullptr, nullptr, __FILE__, __LINE__,
                          [path]() -> testing::Test* { return new ScenarioTest(path, false); });
  }
  for (const fs::path& file : ScenarioFiles(std::string(ZENTOR_WINE_GUI_DIR) + "/undone")) {
    const std::string path = file.string();
    testing::RegisterTest("WineGuiUndone", file.stem().string().c_str(), nullptr, nullptr, __FILE__, __LINE__,
                          [path]() -> testing::Test* { return new ScenarioTest(path, true); });
  }
  return RUN_ALL_TESTS();
}
