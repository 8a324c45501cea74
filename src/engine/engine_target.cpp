#include "engine/engine_target.h"

#include "core/dv_error.h"
#include "core/installed_service.h"
#include "target/agent_event_handlers.h"
#include "target/run_control.h"
#include "target/target_state.h"

namespace zentor {
namespace {

InstalledService<EngineTarget> g_target;

}  // namespace

EngineTarget::~EngineTarget() = default;

uint32_t EngineTarget::ReadMemory(TargetStatus* status, uint32_t viewpoint, void* buffer,
                                  const TargetAccessRecord* access, uint64_t* count) {
  return TmiReadMemory(status, viewpoint, buffer, access, count);
}

uint32_t EngineTarget::WriteMemory(TargetStatus* status, uint32_t viewpoint, const void* buffer,
                                   const TargetAccessRecord* access, uint32_t repeat) {
  return TmiWriteMemory(status, viewpoint, buffer, access, repeat);
}

uint32_t EngineTarget::CopyMemory(TargetStatus* status, uint32_t viewpoint, const TargetAccessRecord* source,
                                  const TargetAccessRecord* destination) {
  return TmiCopyMemory(status, viewpoint, source, destination);
}

uint32_t EngineTarget::FollowPointers(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* start,
                                      uint32_t levels, const uint32_t* levelTypeIds, TargetAddressRecord* out) {
  return TmiFollowPointers(status, viewpoint, start, levels, levelTypeIds, out);
}

uint32_t EngineTarget::ReadRegister(TargetStatus* status, uint32_t viewpoint, TargetAddressRecord* programCounter) {
  return TmiReadRegister(status, viewpoint, programCounter);
}

uint32_t EngineTarget::WriteRegister(TargetStatus* status, uint32_t viewpoint,
                                     const TargetAddressRecord* programCounter) {
  return TmiWriteRegister(status, viewpoint, programCounter);
}

uint32_t EngineTarget::ReadAddressValue(TargetStatus* status, uint32_t viewpoint, uint32_t flag,
                                        TargetAddressRecord* record) {
  return TmiReadAddressValue(status, viewpoint, flag, record);
}

uint32_t EngineTarget::ReadAddressAtOffset4(TargetStatus* status, uint32_t viewpoint,
                                            const TargetAddressRecord* source, TargetAddressRecord* out) {
  return TmiReadAddressAtOffset4(status, viewpoint, source, out);
}

uint32_t EngineTarget::GetRegisterValue(TargetStatus* status, uint32_t viewpoint, uint32_t row, uint8_t* value) {
  return TmiGetRegisterValue(status, viewpoint, row, value);
}

uint32_t EngineTarget::SetRegisterValue(TargetStatus* status, uint32_t viewpoint, uint32_t row,
                                        const uint8_t* value) {
  return TmiSetRegisterValue(status, viewpoint, row, value);
}

uint32_t EngineTarget::GetStackInfo(TargetStatus* status, uint32_t viewpoint) {
  return TmiGetStackInfo(status, viewpoint);
}

uint32_t EngineTarget::BreakpointOperation(TargetStatus* status, uint32_t viewpoint, BreakpointRequest* request) {
  return TmiBreakpointOperation(status, viewpoint, request);
}

uint32_t EngineTarget::Execute(TargetStatus* status, uint32_t viewpoint, uint32_t mode,
                               const TargetAddressRecord* temporaries) {
  return TmiExecute(status, viewpoint, mode, temporaries);
}

uint32_t EngineTarget::Step(TargetStatus* status, uint32_t viewpoint, uint32_t kind, uint32_t count,
                            uint32_t* stepsDone, StopRecord* record) {
  return TmiStep(status, viewpoint, kind, count, stepsDone, record);
}

uint32_t EngineTarget::StepLine(TargetStatus* status, uint32_t viewpoint, uint32_t kind,
                                const TargetAddressRecord* start, uint32_t length, StopRecord* record) {
  return TmiStepLine(status, viewpoint, kind, start, length, record);
}

uint32_t EngineTarget::QueryTarget(TargetStatus* status, uint32_t viewpoint) {
  return TmiQueryTarget(status, viewpoint);
}

uint32_t EngineTarget::PollEvents(uint32_t viewpoint) { return TmiPollEvents(viewpoint); }

bool EngineTarget::IsBusy(uint32_t viewpoint) { return TgtIsBusy(viewpoint); }

uint64_t EngineTarget::EventsHandled() { return AgentEventsHandled(); }

EngineTarget* InstallEngineTarget(EngineTarget* target) { return g_target.Install(target); }

EngineTarget& TheEngineTarget() { return g_target.Get(); }

void RaiseTargetStatus(const TargetStatus& status) {
  if (status.m_number == 0) return;
  ThrowIfError(DVError(status));
}

}  // namespace zentor
