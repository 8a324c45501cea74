#include "engine/engine_services.h"

#include "command/action_table.h"
#include "engine/frame_walk.h"
#include "engine/register_access.h"
#include "engine/target_memory_access.h"

namespace zentor {

void InstallEngineServices() {
  InstallTargetMemoryAccess();
  InstallRegisterAccess();
  InstallFrameWalk();
}

void BindEngineActions() { ActionTable::Bind(168, &CallStackCommand, "CallStackCommand"); }

}  // namespace zentor
