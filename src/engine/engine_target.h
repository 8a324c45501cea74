#pragma once
// The target machine interface as the engine calls it: memory, registers, breakpoints,
// run control and the event poll of one thread, each with the status first and the
// viewpoint value second, the status number returned. The default forwards every call
// to the target interface's entries; tests of the engine install a double that records
// the calls and answers from a script. The engine reaches the target only through
// this port.

#include <cstdint>

#include "core/collectable_record.h"
#include "core/target_status.h"
#include "target/breakpoint_slots.h"
#include "target/stop_record.h"
#include "target/tmi_memory.h"

namespace zentor {

class EngineTarget {
 public:
  virtual ~EngineTarget();

  virtual uint32_t ReadMemory(TargetStatus* status, uint32_t viewpoint, void* buffer,
                              const TargetAccessRecord* access, uint64_t* count);
  virtual uint32_t WriteMemory(TargetStatus* status, uint32_t viewpoint, const void* buffer,
                               const TargetAccessRecord* access, uint32_t repeat);
  virtual uint32_t CopyMemory(TargetStatus* status, uint32_t viewpoint, const TargetAccessRecord* source,
                              const TargetAccessRecord* destination);
  virtual uint32_t FollowPointers(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* start,
                                  uint32_t levels, const uint32_t* levelTypeIds, TargetAddressRecord* out);

  virtual uint32_t ReadRegister(TargetStatus* status, uint32_t viewpoint, TargetAddressRecord* programCounter);
  virtual uint32_t WriteRegister(TargetStatus* status, uint32_t viewpoint,
                                 const TargetAddressRecord* programCounter);
  virtual uint32_t ReadAddressValue(TargetStatus* status, uint32_t viewpoint, uint32_t flag,
                                    TargetAddressRecord* record);
  virtual uint32_t ReadAddressAtOffset4(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* source,
                                        TargetAddressRecord* out);
  virtual uint32_t GetRegisterValue(TargetStatus* status, uint32_t viewpoint, uint32_t row, uint8_t* value);
  virtual uint32_t SetRegisterValue(TargetStatus* status, uint32_t viewpoint, uint32_t row, const uint8_t* value);
  virtual uint32_t GetStackInfo(TargetStatus* status, uint32_t viewpoint);

  virtual uint32_t BreakpointOperation(TargetStatus* status, uint32_t viewpoint, BreakpointRequest* request);

  virtual uint32_t Execute(TargetStatus* status, uint32_t viewpoint, uint32_t mode,
                           const TargetAddressRecord* temporaries);
  virtual uint32_t Step(TargetStatus* status, uint32_t viewpoint, uint32_t kind, uint32_t count,
                        uint32_t* stepsDone, StopRecord* record);
  virtual uint32_t StepLine(TargetStatus* status, uint32_t viewpoint, uint32_t kind,
                            const TargetAddressRecord* start, uint32_t length, StopRecord* record);
  // The target query: a thread that runs is halted and its stop reported.
  virtual uint32_t QueryTarget(TargetStatus* status, uint32_t viewpoint);
  // One pass of the event pump for the thread.
  virtual uint32_t PollEvents(uint32_t viewpoint);
  // Whether the thread runs (a go or step of it has not ended yet).
  virtual bool IsBusy(uint32_t viewpoint);
  // Events the pump has handled so far (a wait tells a poll that brought one from one
  // that found nothing).
  virtual uint64_t EventsHandled();
};

// A break monitor registered for the life of a long operation (Ctrl+C ends it).
class ScopedBreakMonitor {
 public:
  ScopedBreakMonitor() { m_monitor.Register(); }
  ~ScopedBreakMonitor() { m_monitor.Unregister(); }
  ScopedBreakMonitor(const ScopedBreakMonitor&) = delete;
  ScopedBreakMonitor& operator=(const ScopedBreakMonitor&) = delete;
  // True once after the user asked to break.
  bool UserBreak() { return m_monitor.TestAndClearChanged() != 0; }

 private:
  BreakMonitor m_monitor;
};

// Installs the port (the caller keeps it alive); null puts the forwarding one back.
// Returns the one installed before (null for the default).
EngineTarget* InstallEngineTarget(EngineTarget* target);
EngineTarget& TheEngineTarget();

// A failing status of a target call as the engine raises it: a DVError with the
// status's number, severity and texts, stamped with the current viewpoint; a warning
// is reported and not thrown.
void RaiseTargetStatus(const TargetStatus& status);

}  // namespace zentor
