#include "engine/viewpoint_removal.h"

#include "core/dv_error.h"
#include "core/viewpoint_manager.h"
#include "engine/breakpoint_table.h"
#include "engine/watch_table.h"
#include "symbols/symbol_context.h"

namespace zentor {
namespace {

class EngineViewpointRemoval final : public ViewpointStatePort {
 public:
  // A target that refuses to clear the breakpoints (the thread has gone, or runs) is
  // reported, and the engine drops its records all the same: nothing could reach
  // them again, and their conditions were compiled against the context that goes.
  void ForgetCurrentViewpointState() override {
    BreakpointTable& breakpoints = BreakpointTable::Instance();
    try {
      breakpoints.ClearAll();
    } catch (DVError& error) {
      error.Report();
      breakpoints.ForgetCurrentViewpoint();
    }
    try {
      WatchTable::DeleteForCurrentViewpoint();
    } catch (DVError& error) {
      error.Report();
    }
  }

  // The default context belongs to no viewpoint and lives for the run.
  void FreeSymbolContext(SymbolContext* context) override {
    if (context != GetDefaultSymbolContext()) delete context;
  }
};

}  // namespace

void InstallViewpointRemoval() {
  static EngineViewpointRemoval removal;
  InstallViewpointStatePort(&removal);
}

}  // namespace zentor
