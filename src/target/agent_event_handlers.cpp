#include "target/agent_event_handlers.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "target/agent_requests.h"
#include "target/breakpoint_slots.h"
#include "target/module_symbols.h"
#include "target/register_model.h"
#include "target/run_control.h"
#include "target/stop_tables.h"
#include "target/target_gui.h"
#include "target/target_state.h"
#include "console/output_writer.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/value_bytes.h"

namespace zentor {
namespace {

// Every handler acts on the context with this id.
constexpr uint32_t kEventContext = 0;
constexpr uint32_t kEventKindStop = 0;
constexpr uint32_t kDebugRegisterGroupBit = 4;

struct PumpGuard {
  bool running = false;
  uint64_t handled = 0;
};

PumpGuard& Guard() {
  static PumpGuard guard;
  return guard;
}

TargetGui& Gui() { return InstalledTargetGui(); }

// Clears the running flag, sets run state 0x43, decodes the stop with the title and
// the message, and tells the GUI. The GUI's answer: 1 when the target is to run on.
uint32_t RecordStop(uint32_t context, const char* title, const char* message) {
  TgtSetRunning(context, 0);
  TgtSetRunState(context, kRunStateStoppedByEvent);
  StopRecord record;
  TargetStatus status;
  TmiGetStopReason(&status, context, &record);
  record.m_title = title;
  record.m_message = message;
  return Gui().NotifyTargetEvent(kEventContext, kEventKindStop, TmiStateText(0), &record);
}

uint32_t NotifyStop(uint32_t context) {
  StopRecord record;
  TargetStatus status;
  TmiGetStopReason(&status, context, &record);
  return Gui().NotifyTargetEvent(kEventContext, kEventKindStop, TmiStateText(0), &record);
}

int32_t ReportException(uint32_t context, uint32_t number) {
  if (!TgtIsKnown(context)) return kTrapResume;
  TgtSetRunning(context, 0);
  TgtSetRunState(context, kRunStateException);
  TgtSetException(context, number);
  TgtSetHitSlot(context, -1);
  TgtRemoveAllEnabled();
  Gui().ActivateMainWindow();
  InvalidateRegisterCache();
  NotifyStop(context);
  return kTrapStopped;
}

// The slot of the thread at the address among the temporary or the user software
// slots, enabled or not; -1 none.
int32_t SlotAt(uint32_t context, uint32_t address, bool temporary) {
  const uint32_t first = temporary ? kFirstTemporarySlot : 0;
  const uint32_t end = temporary ? kSlotCount : kFirstHardwareSlot;
  for (uint32_t slot = first; slot < end; ++slot) {
    const BreakpointSlot& record = TgtSlotAt(slot);
    if (record.m_id != 0xFFFFFFFFu && record.m_thread == context && record.m_address == address) {
      return static_cast<int32_t>(slot);
    }
  }
  return -1;
}

bool RunsToTemporaries(uint32_t state) {
  return state == kRunStateGoWithTemporaries || state == kRunStateStepOffBeforeGoWithTemporaries ||
         state == 0x41 || state == kRunStateSteppingOver;
}

// 1. No slot at the address, or one the agent does not hold: not ours.
// 2. A slot that is inserted but disabled: run on.
// 3. An enabled user slot is the hit slot and the stop goes to the GUI. When the GUI
//    says to run on (a false condition, a passpoint), the slot is lifted, the thread
//    steps over its instruction, the slot goes back and the target runs on.
// 4. An enabled temporary slot ends a go-to (reported) or a step over (run control
//    reads it); the temporary slots are deleted.
// 5. The stop stands: the views of the threads hear of it.
int32_t BreakpointTrap(uint32_t context, uint32_t address) {
  InvalidateRegisterCache();
  if (!TgtIsKnown(context)) return kTrapResume;
  const uint32_t state = TgtGetRunState(context);
  const bool temporary = RunsToTemporaries(state);
  const int32_t slot = SlotAt(context, address, temporary);
  if (slot < 0 || !TgtSlotInserted(static_cast<uint32_t>(slot))) return kTrapNotClaimed;
  const auto index = static_cast<uint32_t>(slot);
  if (!TgtSlotEnabled(index)) return kTrapResume;
  if (!temporary) {
    TgtSetHitSlot(context, slot);
    if (NotifyStop(context) == 1) {
      TgtRemoveSlot(index);
      InvalidateRegisterCache();
      AgentSingleStep(1);
      const int32_t hit = TgtGetHitSlot(context);
      if (hit >= 0) {
        TgtSetHitSlot(context, -1);
        TgtInsertSlot(static_cast<uint32_t>(hit));
      }
      return kTrapResume;
    }
    TgtSetRunState(context, kRunStateStoppedByEvent);
    TgtRemoveAllEnabled();
  } else {
    TgtSetHitSlot(context, -1);
    TgtDeleteTemporarySlots(context);
    if (state == kRunStateGoWithTemporaries) {
      NotifyStop(context);
      TgtSetRunState(context, kRunStateStoppedByEvent);
    } else if (state == 0x41) {
      TgtSetRunState(context, kRunStateEventHandled);
      Gui().BrowseToStopLocation(context);
    }
  }
  if (TgtGetHitSlot(context) >= 0 || state == kRunStateGoWithTemporaries || state == kRunStateSteppingOver) {
    AgentEventHook(context);
  }
  if (state != kRunStateSteppingOver && state != kRunStateGoWithTemporaries) Gui().ActivateMainWindow();
  TgtSetRunning(context, 0);
  TgtSignalStateChange();
  return kTrapStopped;
}

// A debug register fired: the slot watching the address (the data address for a
// data access, else where the thread stands) is the hit slot.
int32_t DebugRegisterHit(uint32_t context, const DebugStatusHit& hit, uint32_t eventAddress) {
  const uint32_t address = hit.m_kind == 3 ? hit.m_address : eventAddress;
  const int32_t slot = TgtFindEnabled(context, address, 1);
  if (slot < 0) return kTrapResume;
  TgtSetHitSlot(context, slot);
  TgtRemoveAllEnabled();
  TgtSetRunState(context, kRunStateStoppedByEvent);
  AgentEventHook(context);
  TgtSetRunning(context, 0);
  Gui().ActivateMainWindow();
  NotifyStop(context);
  return kTrapStopped;
}

// 1. A single step has ended.
// 2. No debug register fired: the step off a breakpoint before a go has ended; the
//    slots go in and the go goes on. Otherwise not ours.
// 3. A debug register fired (see DebugRegisterHit).
int32_t DebugTrap(uint32_t context, uint32_t address) {
  InvalidateRegisterCache();
  uint32_t state = TgtGetRunState(context);
  if (state == kRunStateStepping) {
    TgtSetHitSlot(context, -1);
    AgentEventHook(context);
    TgtSetRunning(context, 0);
    return kTrapStopped;
  }
  DebugStatusHit hit;
  if (TgtReadDebugStatus(context, &hit)) return DebugRegisterHit(context, hit, address);
  const int32_t hitSlot = TgtGetHitSlot(context);
  if (state != kRunStateStepOffBeforeGo && state != kRunStateStepOffBeforeGoWithTemporaries && hitSlot < 0) {
    return kTrapNotClaimed;
  }
  if (state == kRunStateStepOffBeforeGo) state = kRunStateGo;
  if (state == kRunStateStepOffBeforeGoWithTemporaries) state = kRunStateGoWithTemporaries;
  TgtSetRunState(context, state);
  // The step is over: the go that follows runs the thread, which its run state says.
  TgtSetRunning(context, 0);
  if (hitSlot >= 0) {
    TgtSetHitSlot(context, -1);
    TgtInsertSlot(static_cast<uint32_t>(hitSlot));
  } else if (state == kRunStateGoWithTemporaries) {
    TgtInsertTemporarySlots(context);
  } else {
    TgtInsertUserSlots(context);
  }
  return kTrapResume;
}

int32_t DebugRegisterTrap(uint32_t context, const AgentEventRecord& record) {
  InvalidateRegisterCache();
  RegisterBlock block;
  block.SetMask(static_cast<uint16_t>(1u << kDebugRegisterGroupBit));
  uint8_t* group = block.Group(kDebugRegisterGroupBit);
  for (uint32_t i = 0; i < 6; ++i) value_bytes::StoreU32(group + 4 * i, record.m_debugWords[i]);
  DebugStatusHit hit;
  if (!TgtDecodeDebugStatus(block, &hit)) return kTrapNotClaimed;
  return DebugRegisterHit(context, hit, record.ExceptionAddress());
}

uint32_t ExceptionEvent(uint32_t context, const AgentEventRecord& record) {
  const AgentExceptionRow& row = AgentExceptionRowOf(record.ExceptionNumber());
  int32_t result = kTrapNotClaimed;
  switch (row.m_route) {
    case ExceptionRoute::Report: break;
    case ExceptionRoute::BreakpointTrap: result = BreakpointTrap(context, record.ExceptionAddress()); break;
    case ExceptionRoute::DebugTrap: result = DebugTrap(context, record.ExceptionAddress()); break;
    case ExceptionRoute::DebugRegisterTrap: result = DebugRegisterTrap(context, record); break;
  }
  if (result == kTrapNotClaimed) result = ReportException(context, row.m_reported);
  return result == kTrapResume ? 1 : 0;
}

// 1. The name loses its extension; the module's symbol file is loaded with its bases
//    into the current viewpoint's symbols, and every viewpoint shares them.
// 2. Without a stop on loads the target runs on at once; with one the stop is
//    reported ("Loaded") and the thread goes to the module's start address.
void ModuleLoaded(uint32_t context, const AgentEventRecord& record) {
  std::string name(record.m_name);
  name = name.substr(0, name.find('.'));
  try {
    // A nameless module has no symbol file to look for.
    if (!name.empty()) SymLoadModule(record.ModuleHandle(), name, record.CodeBase(), record.DataBase());
  } catch (DVError& error) {
    // A symbol file that cannot be loaded is reported; the module still runs.
    error.Report();
  }
  TmiShareSymbolContext(CurrentViewpoint().Value());
  TgtSetRunning(context, 0);
  TgtSetRunState(context, kRunStateStoppedByEvent);
  const std::string message = "A new NLM '" + name + "' is loaded";
  if (record.m_stopOnLoad == 0) {
    OutputWriter::WriteString((message + "\n").c_str());
    const int64_t current = TgtCurrentContext();
    TmiGo(current >= 0 ? static_cast<uint32_t>(current) : context, kRunStateGo);
    return;
  }
  RecordStop(context, "Loaded", message.c_str());
  TgtRemoveAllEnabled();
  if (record.StartAddress() != 0) {
    TargetAddressRecord list[2];
    list[0].m_addressClass = kAddressClassMemory;
    list[0].m_addressKind = kAddressKindMemoryOffset;
    list[0].m_offset = record.StartAddress();
    list[1].m_nullMark = 1;
    TmiGoWithTemporaries(context, list);
  }
}

void ThreadCreated(uint32_t context, const AgentEventRecord& record) {
  RecordStop(context, "Thread created", "A new Thread is created");
  TgtRemoveAllEnabled();
  TargetAddressRecord list[2];
  list[0].m_addressClass = kAddressClassMemory;
  list[0].m_addressKind = kAddressKindMemoryOffset;
  list[0].m_offset = record.ThreadStartAddress();
  list[1].m_nullMark = 1;
  TmiGoWithTemporaries(context, list);
}

// The thread's breakpoint slots go with it (the agent's too: the thread ended while
// they were set), and the views of the threads hear that it is gone.
void ThreadExited(uint32_t context) {
  if (TgtIsKnown(context)) {
    RecordStop(context, "Thread exited", "A Thread is exited");
    TgtDeleteThreadSlots(context);
    TgtRemoveContext(context);
    TgtSignalStateChange();
  }
  Gui().ActivateMainWindow();
}

}  // namespace

void AgentEventHook(uint32_t) {}

// 1. Only for a busy thread, and never nested: a request a handler makes skips it.
// 2. Each round asks for one event; a handled event either leaves the thread stopped
//    (its viewpoint becomes current) or lets the target run on with a go. A handler
//    that asks for more (a text) makes the next round ask at once.
bool PumpEvents(uint32_t viewpoint) {
  PumpGuard& guard = Guard();
  if (guard.running || !TgtIsBusy(viewpoint)) return false;
  guard.running = true;
  struct ClearGuard {
    ~ClearGuard() { Guard().running = false; }
  } clearGuard;
  uint32_t more = 1;
  while (more != 0) {
    more = 0;
    uint32_t resume = 1;
    uint8_t flag = 0;
    AgentEventRecord record;
    if (AgentGetEvent(&flag, &record) != 0) break;
    DispatchAgentEvent(&record, &resume, &more);
    if (resume == 0) {
      Gui().SelectViewpoint(record.m_threadId);
    } else {
      InvalidateRegisterCache();
      AgentGo(record.m_threadId);
    }
  }
  return true;
}

uint64_t AgentEventsHandled() { return Guard().handled; }

void DispatchAgentEvent(AgentEventRecord* record, uint32_t* resume, uint32_t* more) {
  ++Guard().handled;
  *resume = 0;
  record->m_threadId = kEventContext;
  const uint32_t context = record->m_threadId;
  switch (record->m_code) {
    case kAgentEventModuleLoaded: ModuleLoaded(context, *record); break;
    case kAgentEventModuleUnloaded: RecordStop(context, "", "The NLM is unloaded"); break;
    case kAgentEventLoadError:
    case kAgentEventServerError:
      PrintServerError(record->ServerStatus());
      TgtSetRunning(context, 0);
      TgtSetRunState(context, kRunStateStoppedByEvent);
      break;
    case kAgentEventThreadCreated: ThreadCreated(context, *record); break;
    case kAgentEventThreadExited: ThreadExited(context); break;
    case kAgentEventText:
      OutputWriter::WriteString(record->m_name);
      *resume = 1;
      *more = 1;
      break;
    case kAgentEventException: *resume = ExceptionEvent(context, *record); break;
    default: break;
  }
}

void InstallAgentEventPump() { InstallEventPump(&PumpEvents); }

}  // namespace zentor
