#include "engine/engine_services.h"

#include "command/action_table.h"
#include "command/show_listings.h"
#include "core/program_load.h"
#include "core/stop_report.h"
#include "engine/break_report.h"
#include "engine/breakpoint_table.h"
#include "engine/breakpoint_commands.h"
#include "engine/execution_control.h"
#include "engine/watch_table.h"
#include "engine/frame_walk.h"
#include "engine/register_access.h"
#include "engine/target_memory_access.h"
#include "engine/viewpoint_removal.h"

namespace zentor {

void InstallEngineServices() {
  InstallTargetMemoryAccess();
  InstallRegisterAccess();
  InstallFrameWalk();
  InstallEngineTargetGui();
  InstallViewpointRemoval();
  InstallBreakpointListing([](uint8_t section) { ListBreakpointsAndWatches(section); });
}

void ResetEngineState() {
  BreakpointTable::Instance().Reset();
  InitWatchTable();
  GoControl::Reset();
  StepControl::SetRepeatFlag(false);
  InitBreakReport();
  SetLoadedProgramFileName(RWCString());
  ClearEngineProgramLoaded();
}

void BindEngineActions() {
  ActionTable::Bind(168, &CallStackCommand, "CallStackCommand");
  BindBreakpointActions();
  BindExecutionActions();
  BindWatchActions();
}

}  // namespace zentor
