// The panes' drawing: a one-line scroll of a 100,000-line pane of 60 rows (the pane
// decides, the window draws only the line that came into view; the lines drawn per
// scroll are counted), a full paint of a line window of 60 rows and 200 columns
// through the recording window layer (the layer calls it makes are counted), and
// output lines reaching the Command window over that layer (each completed line
// scrolls the window by one row). Medians of five runs.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/text_pane.h"
#include "gui/gui_window_layer.h"
#include "gui/pane_services.h"
#include "gui/text_pane_drawing.h"
#include "gui/win_super.h"
#include "gui/window_table.h"
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

// A Source-like window: marker column and text selection.
class BenchLineWindow final : public WinSuper {
 public:
  explicit BenchLineWindow(NativeWindow window) : WinSuper(window, 0, "Source") {
    SetKind(1);
    SetPaneStyle(0x2e);
  }
  void OnKey(const WindowEvent&) override {}
  void OnMouse(const WindowEvent&) override {}
  void OnReserved(uint32_t) override {}
  void OnCommand(int32_t) override {}
  void OnRefresh(int32_t) override {}
  void OnEngineNotify() override {}
  int32_t SendViewRequest(int32_t, intptr_t) override { return 0; }
};

void FullPaintOf60RowsBy200Columns(benchmark::State& state) {
  testing_support::RecordingLayerSystem system;
  GuiWindowLayer layer(system);
  InstallGuiWindowLayer(&layer);
  InstallLayerPaneWindowPort();
  layer.Register(system.AddWindow("frame"), kLayerFrame, 0);
  const LayerRect client{0, 0, 60 * 13, 200 * 8};
  auto* window = std::make_unique<BenchLineWindow>(system.AddWindow("source", 0, client)).release();
  std::vector<std::string> texts(1000);
  std::vector<PaneLine> lines(texts.size());
  std::vector<PaneLine*> held(texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    texts[i] = "    result = compute_the_value(table[" + std::to_string(i) + "], options);  /* line of a source file */";
    texts[i].resize(240, ' ');
    lines[i].text = texts[i].data();
    lines[i].length = static_cast<int32_t>(texts[i].size());
    lines[i].attr = i % 7 == 0 ? 0x8002 : 0;
    held[i] = &lines[i];
  }
  TextPane& pane = window->GetTextPane();
  pane.lines = held.data();
  pane.count = pane.total = static_cast<int32_t>(held.size());
  pane.Revalidate();
  system.TakeLog();
  int64_t calls = 0;
  int64_t paints = 0;
  for (auto _ : state) {
    TextPaneDrawing::PaintRect(*window, client);
    state.PauseTiming();
    const std::string log = system.TakeLog();
    calls += std::count(log.begin(), log.end(), '\n');
    ++paints;
    state.ResumeTiming();
  }
  state.counters["layer calls per paint"] = static_cast<double>(calls) / static_cast<double>(paints);
  WindowTable::DestroyAll();
  PaneWindow().Install(nullptr);
  InstallGuiWindowLayer(nullptr);
}
BENCHMARK(FullPaintOf60RowsBy200Columns)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly();

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
