#pragma once
// What the engine puts behind the services the layers below call (target memory, the
// program counter and frame pointer, the call-stack walk), and the action-table slots
// of its commands. Start-up calls both; tests of the layers below install the
// services in their set-up.

namespace zentor {

void InstallEngineServices();
// The engine's tables as at program start: no breakpoints, watches, temporary breaks
// or last stop, no program name.
void ResetEngineState();
void BindEngineActions();

}  // namespace zentor
