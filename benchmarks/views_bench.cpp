// The data views against the stand-in agent over UDP loopback, as at a stop: the
// register cache goes stale and every open view refreshes (Registers with the
// floating-point unit, Memory with three screens, Modules, Inspect with a structure
// and an array expanded). Reports the median time and the link transactions of one
// round. Target memory is read through the target interface.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/startup.h"
#include "command/command_scanner.h"
#include "command/symbol_lookup_commands.h"
#include "core/current_viewpoint.h"
#include "core/token_record.h"
#include "core/value_stack.h"
#include "core/view_kind.h"
#include "core/viewpoint_manager.h"
#include "engine/inspector_view.h"
#include "engine/memory_view.h"
#include "gui/view_dispatcher.h"
#include "harness/stand_in_session.h"
#include "symbols/symbol_context.h"
#include "target/agent_link.h"
#include "target/module_symbols.h"
#include "target/register_model.h"

namespace zentor {
namespace {

struct OpenViews {
  TextPane registers;
  TextPane memory;
  TextPane modules;
  TextPane inspect;
  MemoryDisplayRequest memoryRequest;
  InspectorRequest inspectRequest;
  uint32_t width = 80;
};

// The agent with DEMO, its symbols, and the four views open: made once.
OpenViews* Views() {
  static OpenViews* views = []() -> OpenViews* {
    // The services start-up installs in the program.
    InstallSubsystemServices();
    // Kept to the end of the program: the statics it would reset at exit may be gone
    // by then. The agent is stopped at exit all the same.
    static auto* session = new testing_support::StandInSession;
    std::atexit([] { session->Agent().Stop(); });
    static testing_support::InterfaceTargetMemory memory;
    std::string reason;
    const std::string demo = testing_support::SampleModulesDirectory() + "demo.mod";
    session->Agent().SetTracing(false);
    if (!session->Connect({"--module", demo}, &reason)) {
      std::fprintf(stderr, "views_bench: %s\n", reason.c_str());
      return nullptr;
    }
    PushViewpoint(ViewpointHandle(0));
    ViewpointManager::SetCurrentSymbolContext(new SymbolContext());
    PopViewpoint();
    SetTokenText(CurrentToken(),
                 (testing_support::HostPathOfUnixPath(demo.substr(0, demo.rfind('/') + 1)) + "demo").c_str());
    SymLoadNamedModule();
    CommandScanner::InitKeywords();
    BindSymbolLookupActions();
    TargetMemory::InstallService(&memory);
    ValueStack::Create();
    static OpenViews open;
    open.registers.layerId = 1;
    open.memory.layerId = 2;
    open.modules.layerId = 3;
    open.inspect.layerId = 4;
    DVError status;
    auto send = [&](int32_t kind, TextPane& pane, int32_t code, intptr_t argument) {
      return ViewDispatcher::RunGuiCommandForKind(status, kind, &pane, code, argument);
    };
    send(kViewRegisters, open.registers, kGuiOpened, 0);
    open.memoryRequest.rows = 20;
    std::snprintf(open.memoryRequest.startText, sizeof open.memoryRequest.startText, "0x00110000");
    open.memoryRequest.noRange = 1;
    open.memoryRequest.changeFlags = MemoryDisplayRequest::kFormatChanged | MemoryDisplayRequest::kNewStart;
    const auto memoryArgument = reinterpret_cast<intptr_t>(&open.memoryRequest);
    send(kViewMemory, open.memory, kGuiOpened, memoryArgument);
    send(kViewMemory, open.memory, kGuiRefresh, memoryArgument);
    open.memoryRequest.changeFlags = 0;
    send(kViewModules, open.modules, kGuiOpened, reinterpret_cast<intptr_t>(&open.width));
    const auto inspectArgument = reinterpret_cast<intptr_t>(&open.inspectRequest);
    send(kViewInspect, open.inspect, kGuiOpened, inspectArgument);
    for (const char* name : {"g_origin", "g_squares"}) {
      open.inspectRequest.text = name;
      send(kViewInspect, open.inspect, kGuiInspectAdd, inspectArgument);
      open.inspectRequest.line = open.inspect.count - 1;
      send(kViewInspect, open.inspect, kGuiInspectExpand, inspectArgument);
    }
    return &open;
  }();
  return views;
}

void RefreshOpenViewsAtAStop(benchmark::State& state) {
  OpenViews* views = Views();
  if (views == nullptr) {
    state.SkipWithError("the stand-in agent did not start");
    return;
  }
  DVError status;
  uint32_t transactions = 0;
  for (auto _ : state) {
    const uint32_t before = TheAgentLink().NextSequence();
    InvalidateRegisterCache();
    ViewDispatcher::RunGuiCommandForKind(status, kViewRegisters, &views->registers, kGuiRefresh, 0);
    ViewDispatcher::RunGuiCommandForKind(status, kViewMemory, &views->memory, kGuiRefresh,
                                         reinterpret_cast<intptr_t>(&views->memoryRequest));
    ViewDispatcher::RunGuiCommandForKind(status, kViewModules, &views->modules, kGuiRefresh,
                                         reinterpret_cast<intptr_t>(&views->width));
    ViewDispatcher::RunGuiCommandForKind(status, kViewInspect, &views->inspect, kGuiRefresh,
                                         reinterpret_cast<intptr_t>(&views->inspectRequest));
    transactions = TheAgentLink().NextSequence() - before;
  }
  state.counters["transactions"] = transactions;
  state.counters["lines"] = views->registers.count + views->memory.count + views->modules.count + views->inspect.count;
}
BENCHMARK(RefreshOpenViewsAtAStop)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly();

}  // namespace
}  // namespace zentor

BENCHMARK_MAIN();
