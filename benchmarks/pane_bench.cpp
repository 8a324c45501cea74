// The panes' incremental drawing: a one-line scroll of a 100,000-line pane of 60 rows
// (the pane decides, the window draws only the line that came into view; the lines
// drawn per scroll are counted), and output lines reaching the Command window over
// the recording window layer (each completed line scrolls the window by one row).
// Medians of five runs.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "core/text_pane.h"
#include "gui/gui_window_layer.h"
#include "harness/recording_layer_system.h"
#include "windows/command_pane.h"

namespace zentor {
namespace {

// Counts the lines the pane asks to be drawn.
class CountingPort : public PaneWindowPort {
 public:
  void RedrawLine(int32_t, int32_t) override { ++linesDrawn; }
  int64_t linesDrawn = 0;
};

void ScrollOneLineIn100000Lines(benchmark::State& state) {
  CountingPort port;
  PaneWindowPort* before = PaneWindow().Install(&port);
  std::vector<std::string> texts(100000);
  std::vector<PaneLine> lines(texts.size());
  std::vector<PaneLine*> held(texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    texts[i] = "line " + std::to_string(i) + " of the listing";
    lines[i].text = texts[i].data();
    lines[i].length = static_cast<int32_t>(texts[i].size());
    held[i] = &lines[i];
  }
  TextPane pane;
  pane.lines = held.data();
  pane.count = pane.total = static_cast<int32_t>(held.size());
  pane.rows = 60;
  pane.columns = 200;
  pane.ScrollToLine(50000);
  int64_t scrolls = 0;
  port.linesDrawn = 0;
  bool down = true;
  for (auto _ : state) {
    benchmark::DoNotOptimize(down ? pane.ScrollLineDown() : pane.ScrollLineUp());
    down = !down;
    ++scrolls;
  }
  state.counters["lines drawn per scroll"] = static_cast<double>(port.linesDrawn) / static_cast<double>(scrolls);
  PaneWindow().Install(before);
}
BENCHMARK(ScrollOneLineIn100000Lines)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly();

void CommandWindowOutputLines(benchmark::State& state) {
  testing_support::RecordingLayerSystem system;
  GuiWindowLayer layer(system);
  InstallGuiWindowLayer(&layer);
  layer.Register(system.AddWindow("frame"), kLayerFrame, 0);
  const int32_t id = layer.Register(system.AddWindow("command", 0, LayerRect{0, 0, 40 * 13, 100 * 8}), kLayerChildWindow, 0);
  CommandWindow::Reset();
  CommandWindow::InitPane(id);
  const std::string line = "0x00401000  mov eax, dword ptr [ebp+8]          ; an output line\n";
  int64_t written = 0;
  for (auto _ : state) {
    CommandWindow::WriteText(line.data(), line.size());
    ++written;
    if (written % 256 == 0) system.TakeLog();
  }
  state.counters["lines/s"] = benchmark::Counter(static_cast<double>(written), benchmark::Counter::kIsRate);
  CommandWindow::Reset();
  InstallGuiWindowLayer(nullptr);
}
BENCHMARK(CommandWindowOutputLines)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly();

}  // namespace
}  // namespace zentor

BENCHMARK_MAIN();
