// The debugger's windows after a stop, over the recording window layer, against the
// stand-in agent running VIEWS: stopped at Leaf, twenty frames deep, with every window
// open as the frame opens them (Source, Registers, Watch with ten watches, Callstack,
// Memory with three screens, Inspect with g_small's 100 elements expanded, Locals,
// Modules). Each run steps one instruction (not timed) and then times what follows the
// stop report: every window's refresh from its change records (their requests to the
// managers and the agent included) and a full repaint of every window's client area.
// The median of five runs; the target is 15 ms.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/current_viewpoint.h"
#include "core/view_kind.h"
#include "engine/watch_table.h"
#include "gui/gui_window_layer.h"
#include "gui/pane_services.h"
#include "gui/text_pane_drawing.h"
#include "gui/win_super.h"
#include "gui/window_factory.h"
#include "gui/window_table.h"
#include "harness/recording_layer_system.h"
#include "stand_in_engine_session.h"
#include "windows/inspector_windows.h"
#include "windows/memory_window.h"

namespace zentor {
namespace {

constexpr int32_t kCellHeight = 13;
constexpr int32_t kCellWidth = 8;

struct Desk {
  testing_support::RecordingLayerSystem system;
  GuiWindowLayer layer{system};
  std::vector<WinSuper*> windows;
  std::vector<RegisterValue> atLeaf;
  std::string directory;
};

WinSuper* OpenWindow(Desk& desk, int32_t kind, int32_t rows) {
  const NativeWindow handle = desk.system.AddWindow("window" + std::to_string(desk.windows.size()), 0,
                                                    LayerRect{0, 0, rows * kCellHeight, 80 * kCellWidth});
  WinSuper* window = CreateWindowObject(handle, kind, CurrentViewpoint().Value());
  if (window != nullptr) desk.windows.push_back(window);
  return window;
}

// VIEWS stopped at Leaf with every window open; made once. Null when the agent or
// the program did not start.
Desk* StartOnce() {
  static Desk* desk = []() -> Desk* {
    static Desk made;
    if (!bench::StartStandInSession("views", &made.directory) || !bench::StopViewsAtLeafWithTenWatches(made.directory)) {
      return nullptr;
    }
    made.atLeaf = bench::SaveRegisters();
    InstallGuiWindowLayer(&made.layer);
    InstallLayerPaneWindowPort();
    InstallGuiViewpointWindows();
    made.layer.Register(made.system.AddWindow("frame", 0, LayerRect{0, 0, 1024, 1280}), kLayerFrame, 0);

    MemoryDisplayRequest& memory = TheMemoryDisplayRequest();
    std::snprintf(memory.startText, sizeof memory.startText, "g_small");
    memory.noRange = 1;
    OpenWindow(made, kViewSource, 30);
    OpenWindow(made, kViewRegisters, 20);
    OpenWindow(made, kViewWatch, 12);
    OpenWindow(made, kViewCallstack, 22);
    OpenWindow(made, kViewMemory, 60);
    auto* inspect = dynamic_cast<InspectWindow*>(OpenWindow(made, kViewInspect, 40));
    OpenWindow(made, kViewLocals, 12);
    OpenWindow(made, kViewModules, 12);
    if (made.windows.size() != 8 || inspect == nullptr || inspect->InspectExpression("g_small") != 0) return nullptr;
    // A double click on the expression's line expands it.
    WindowEvent click;
    click.type = kEventDoubleClick;
    click.words[0] = 1;
    click.words[1] = 1;
    DispatchWindowEvent(inspect->LayerWindowId(), click);
    RefreshAllWindows(0);
    std::atexit([] {
      WindowTable::DestroyAll();
      WatchTable::DeleteForCurrentViewpoint();
      PaneWindow().Install(nullptr);
      InstallGuiWindowLayer(nullptr);
    });
    return &made;
  }();
  return desk;
}

void StopToLastWindowRepainted(benchmark::State& state) {
  Desk* desk = StartOnce();
  if (desk == nullptr) {
    state.SkipWithError("no session with the stand-in agent");
    return;
  }
  int64_t lines = 0;
  int64_t calls = 0;
  int64_t stops = 0;
  for (auto _ : state) {
    state.PauseTiming();
    bench::RestoreRegisters(desk->atLeaf);
    RefreshAllWindows(0);
    if (!bench::RunCommand("istep")) {
      state.SkipWithError("the step failed");
      return;
    }
    desk->system.TakeLog();
    state.ResumeTiming();
    RefreshAllWindows(0);
    for (WinSuper* window : desk->windows) TextPaneDrawing::PaintRect(*window, window->ClientArea());
    state.PauseTiming();
    const std::string log = desk->system.TakeLog();
    calls += std::count(log.begin(), log.end(), '\n');
    for (WinSuper* window : desk->windows) lines += window->GetTextPane().count;
    ++stops;
    state.ResumeTiming();
  }
  bench::RestoreRegisters(desk->atLeaf);
  if (stops == 0) return;
  state.counters["layer_calls"] = static_cast<double>(calls) / static_cast<double>(stops);
  state.counters["lines"] = static_cast<double>(lines) / static_cast<double>(stops);
}
BENCHMARK(StopToLastWindowRepainted)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

}  // namespace
}  // namespace zentor

BENCHMARK_MAIN();
