#pragma once
// A scenario of the GUI harness: a file of named steps, each a list of actions on
// the program under test, run in a Wine desktop of its own (tests/wine-gui/README.md
// lists the actions). The tests run scenarios and compare screenshots with their
// baselines; scripts/gui-shots runs the tour and keeps one PNG per step.

#include <cstdint>
#include <string>
#include <vector>

namespace zentor::wine_gui {

struct Action {
  int32_t line = 0;
  std::vector<std::string> words;  // the action's name, then its arguments
};

struct Step {
  std::string name;
  std::vector<Action> actions;
};

struct Scenario {
  std::string name;
  std::string program;  // the program under test by its harness name
  std::vector<Step> steps;
};

// Reads a scenario; false with the line of the first error.
bool ReadScenario(const std::string& path, Scenario* scenario, std::string* error);

// Where the harness finds its parts.
struct HarnessPaths {
  std::string scenarioDir;  // tests/wine-gui
  std::string win32Build;   // the Windows tree
  std::string nativeBuild;  // the native tree: the stand-in agent and the sample modules
  std::string sourceDir;    // the project's sources
  std::string scratch;      // a directory for this run
};

// A figure a timed action measured: the runs' times (or rates). It is printed and kept
// for the GUI benchmarks, which hold the targets; a scenario never fails on it.
struct Figure {
  std::string name;
  std::string unit;            // "ms", or "lines/s" for a rate
  bool higherIsBetter = false;
  std::vector<double> samples;

  double Median() const;
  bool Meets(double target) const { return higherIsBetter ? Median() >= target : Median() <= target; }
};

// A figure's value as the harness prints it: whole above 100 or when it is whole,
// else to a tenth.
std::string FormatFigureValue(double value);

// What one step came to.
struct StepOutcome {
  std::string name;
  bool ok = false;
  bool skipped = false;
  std::string message;      // why it failed or was skipped
  std::string windowTitle;  // of the last window captured or waited for
  std::string shot;         // a PNG of the step, when one was asked for
  std::vector<Figure> figures;
};

// Whether the scenario measures figures (a timed action in one of its steps).
bool MeasuresFigures(const Scenario& scenario);

// Runs the scenario's steps in order up to the first failure or skip. With `shotDir`
// each step ends with a PNG of the last captured or awaited window, named
// NN-<step>.png there.
std::vector<StepOutcome> RunScenario(const Scenario& scenario, const HarnessPaths& paths, const std::string& shotDir);

}  // namespace zentor::wine_gui
