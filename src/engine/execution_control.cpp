#include "engine/execution_control.h"

#include "command/action_table.h"
#include "console/output_writer.h"
#include "core/address_range.h"
#include "core/collectable_record.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/frame_list.h"
#include "core/hi_service.h"
#include "core/stop_report.h"
#include "core/typed_location.h"
#include "core/value_stack.h"
#include "core/viewpoint_manager.h"
#include "engine/breakpoint_table.h"
#include "engine/disassembly_listing.h"
#include "engine/engine_target.h"
#include "engine/register_access.h"
#include "platform/clock.h"
#include "symbols/address_lookup.h"
#include "symbols/loader_library.h"
#include "symbols/symbol_context.h"
#include "target/run_control.h"

namespace zentor {
namespace {

struct GoState {
  TargetAddressRecord breaks[kMostTemporaryBreakAddresses + 1];
  uint32_t count = 0;
  bool listed = false;
};

GoState& Temporaries() {
  static GoState state;
  return state;
}

BoolFlag g_repeatFlag;

constexpr uint32_t kPollIntervalMicroseconds = 10000;

uint32_t CurrentValue() { return GetCurrentViewpointValue(); }

bool NoViewpoint() { return CurrentViewpoint() == ViewpointHandle::None(); }

DVError NoProgram() { return DVError(kMsgNoUserProgramLoaded, kSeverityError, kDisplayByFocus); }

const char* StepKindName(uint32_t kind) {
  switch (kind) {
    case kStepInto: return "StepInto";
    case kStepOver: return "StepOver";
    default: return "StepOut";
  }
}

void MarkExecutionChanged() { MarkRegisteredChanged(kRecordExecutionState, CurrentViewpoint()); }

// A completed step's location, as a line: its text for the report.
RWCString LineText(const AddressDescriptor& address) { return LineInfoText(AddressLineInfo(address, nullptr)); }

}  // namespace

bool LineOfAddress(const AddressDescriptor& address, AddressDescriptor* start, uint32_t* length) {
  if (address.IsNull()) return false;
  const AddressLineInfo info(address, nullptr);
  if (!info.IsFound()) return false;
  *start = info.LineStart();
  *length = 0;
  DVErrorCode status;
  SymbolContext* context = GetCurrentSymbolContext();
  auto* module = static_cast<ModuleDescriptor*>(context->Loader().ModuleAtAddress(*context, address, status));
  if (module == nullptr || module->Start().IsNull()) return true;
  LineTable& lines = module->Lines();
  const OrdinalValue offset = *start - module->Start();
  // The line's code runs from its start to the next entry at a higher offset (entries
  // of other files or thinned duplicates may share its offset).
  for (uint32_t i = 0; i < lines.Count(); ++i) {
    const OrdinalValue next = lines.EntryAt(i).Offset();
    if (next > offset) {
      *length = (next - offset).Low();
      break;
    }
  }
  return true;
}

// ---- GoControl

void GoControl::Reset() {
  Temporaries().count = 0;
  Temporaries().listed = false;
  Temporaries().breaks[0] = AddressDescriptor().Record();
}

void GoControl::AddTemporaryBreak(const AddressDescriptor& address) {
  GoState& state = Temporaries();
  if (state.count >= kMostTemporaryBreakAddresses) {
    throw DVError(kMsgTemporaryBreaksExceeded, kSeverityError, kDisplayByFocus);
  }
  state.breaks[state.count] = address.Record();
  ++state.count;
  state.breaks[state.count] = AddressDescriptor().Record();
  state.listed = true;
}

const TargetAddressRecord* GoControl::TemporaryBreaks() { return Temporaries().listed ? Temporaries().breaks : nullptr; }

uint32_t GoControl::Count() { return Temporaries().count; }

// 1. No viewpoint: 324. Mode 1 without temporary breaks is an internal error; mode 2
//    disables the viewpoint's breakpoints first.
// 2. The target goes and the command returns: the stop comes later as a target event.
//    The viewpoint's call stack is forgotten whatever the target answered; then its
//    refusal is raised (84 while it runs already).
// 3. The target tells the GUI that the thread runs even when it refused the go; a
//    thread that does not run leaves its viewpoint stopped, or nothing would ever
//    report the stop that ends a wait.
void GoControl::Go(uint32_t mode) {
  TargetStatus status;
  if (NoViewpoint()) {
    HiService(kGuiPopCursor);
    throw NoProgram();
  }
  if (mode == kGoUntilTemporaryBreak && TemporaryBreaks() == nullptr) ZENTOR_INTERNAL_ERROR();
  if (mode == kGoWithoutBreakpoints) BreakpointTable::Instance().DisableAll();
  EngineTarget& target = TheEngineTarget();
  target.Execute(&status, CurrentValue(), mode, TemporaryBreaks());
  if (FrameList* frames = GetCurrentFrameList()) frames->Clear();
  if (status.m_number != 0 && !target.IsBusy(CurrentValue())) ViewpointManager::SetRunState(CurrentViewpoint(), 0);
  RaiseTargetStatus(status);
}

void GoControl::GoNoThread(uint32_t mode) {
  TargetStatus status;
  if (mode == kGoUntilTemporaryBreak && TemporaryBreaks() == nullptr) ZENTOR_INTERNAL_ERROR();
  if (mode == kGoWithoutBreakpoints) BreakpointTable::Instance().DisableAll();
  TheEngineTarget().Execute(&status, kNoParticularThread, mode, TemporaryBreaks());
  if (FrameList* frames = GetCurrentFrameList()) frames->Clear();
  RaiseTargetStatus(status);
}

// ---- StepControl

bool StepControl::RepeatFlag() { return g_repeatFlag.IsSet(); }
void StepControl::SetRepeatFlag(bool on) { on ? g_repeatFlag.Set() : g_repeatFlag.Clear(); }
BoolFlag& StepControl::RepeatFlagWord() { return g_repeatFlag; }

// 1. No viewpoint: 324; a count of 0 or above 0x7fffffff: 157 (the cursor popped).
// 2. The steps under the busy cursor; the execution views refresh.
// 3. A failed step ends a repetition; unless the target was busy (84) the program
//    counter becomes the current address; the first error goes on.
void StepControl::Step(uint16_t granularity, uint32_t callerKind, uint32_t count, uint32_t report) {
  if (NoViewpoint()) {
    HiService(kGuiPopCursor);
    throw NoProgram();
  }
  if (count == 0 || count > kLargestStepCount) {
    HiService(kGuiPopCursor);
    throw DVError(kMsgIllegalStepSize, kSeverityError, kDisplayByFocus);
  }
  if (granularity != kStepSourceLine && granularity != kStepInstruction) ZENTOR_INTERNAL_ERROR();
  uint32_t stepKind = 0;
  switch (callerKind) {
    case kCallerOver: stepKind = kStepOver; break;
    case kCallerInto: stepKind = kStepInto; break;
    case kCallerOut: stepKind = kStepOut; break;
    default: ZENTOR_INTERNAL_ERROR();
  }
  // The thread moves: the call stack walked where it stood is gone.
  if (FrameList* frames = GetCurrentFrameList()) frames->Clear();
  HiService(kGuiBusyCursor);
  try {
    RunSteps(granularity, stepKind, count, report);
  } catch (const DVError& error) {
    g_repeatFlag.Clear();
    HiService(kGuiPopCursor);
    if (error.Number() != kMsgToolExecuting) {
      MarkExecutionChanged();
      try {
        GetCurrentSymbolContext()->SetCurrentAddress(ProgramCounterObject().Read());
      } catch (const DVError&) {
      }
    }
    throw;
  }
  HiService(kGuiPopCursor);
  MarkExecutionChanged();
}

// 1. A line step (not a step out) from an address without a line runs as instruction
//    steps, without saying so.
// 2. Completed: the last stop is the step kind; cut short by another stop the
//    repetition ends (the stop reached the user through its own report).
// 3. The report of a completed step: "[ Break due to StepInto at <line> ]" for line
//    steps (a step out looks its line up afterwards), the instruction reached for
//    instruction steps. The location becomes the current execution address.
void StepControl::RunSteps(uint16_t granularity, uint32_t stepKind, uint32_t count, uint32_t report) {
  StopRecord record;
  AddressDescriptor start;
  if (granularity == kStepSourceLine && stepKind != kStepOut) {
    uint32_t length = 0;
    if (!LineOfAddress(ProgramCounterObject().Read(), &start, &length)) granularity = kStepInstruction;
  }
  const bool completed = granularity == kStepSourceLine && stepKind != kStepOut
                             ? StepSourceLines(stepKind, record, start, count)
                             : StepInstructions(stepKind, record, count);
  const AddressDescriptor location(record.m_location);
  if (completed) {
    SetLastStop(kBreakReasonStepsDone, RWCString(StepKindName(stepKind)));
    if (report != 0) {
      if (granularity == kStepSourceLine) {
        RWCString line("[ Break due to ");
        line += StepKindName(stepKind);
        line += " at ";
        line += LineText(location);
        line += " ]";
        OutputWriter::WriteString(line.data());
        OutputWriter::FreshLine();
      } else {
        ShowInstructionAt(location);
      }
    }
  } else {
    g_repeatFlag.Clear();
  }
  if (!location.IsNull()) GetCurrentSymbolContext()->SetCurrentAddress(location);
}

bool StepControl::StepInstructions(uint32_t stepKind, StopRecord& record, uint32_t count) {
  uint32_t remaining = count;
  uint32_t done = 0;
  while (done < count) {
    record.m_location.m_nullMark = 1;
    uint32_t taken = 0;
    TargetStatus status;
    TheEngineTarget().Step(&status, CurrentValue(), stepKind, remaining, &taken, &record);
    RaiseTargetStatus(status);
    if (record.m_reason != kBreakReasonStepsDone) break;
    if (record.m_location.m_nullMark != 0) ZENTOR_INTERNAL_ERROR();
    if (taken == 0 || taken > remaining) ZENTOR_INTERNAL_ERROR();
    done += taken;
    remaining -= taken;
  }
  return record.m_reason == kBreakReasonStepsDone;
}

// Each line step repeats the target's line step while the thread stays on the line
// (a jump back to its start goes on with the same step); code without lines is
// stepped over one instruction at a time until a line is reached. Ctrl+C between two
// requests ends the current line step quietly.
bool StepControl::StepSourceLines(uint32_t stepKind, StopRecord& record, const AddressDescriptor& firstStart,
                                  uint32_t count) {
  ScopedBreakMonitor monitor;
  AddressDescriptor start = firstStart;
  uint32_t length = 0;
  LineOfAddress(firstStart, &start, &length);
  for (uint32_t step = 0; step < count; ++step) {
    if (step != 0) {
      const AddressDescriptor here(record.m_location);
      if (!LineOfAddress(here, &start, &length)) {
        start = here;
        length = 0;
      }
    }
    for (;;) {
      record.m_location.m_nullMark = 1;
      TargetStatus status;
      TheEngineTarget().StepLine(&status, CurrentValue(), stepKind, &start.Record(), length, &record);
      RaiseTargetStatus(status);
      if (record.m_reason != kBreakReasonStepsDone) break;
      if (record.m_location.m_nullMark != 0) ZENTOR_INTERNAL_ERROR();
      AddressDescriptor address(record.m_location);
      AddressDescriptor lineStart;
      uint32_t lineLength = 0;
      bool cutShort = false;
      while (!LineOfAddress(address, &lineStart, &lineLength)) {
        if (monitor.UserBreak() || !StepInstructions(kStepOver, record, 1)) {
          cutShort = true;
          break;
        }
        address = AddressDescriptor(record.m_location);
      }
      if (cutShort) break;
      if (monitor.UserBreak()) break;
      if (address.IsWithinLength(start, OrdinalValue(length)) == kOutsideRange || length == 0) break;
    }
    if (record.m_reason != kBreakReasonStepsDone) break;
  }
  return record.m_reason == kBreakReasonStepsDone;
}

void StepControl::ShowInstructionAt(const AddressDescriptor& address) {
  SetDisassemblyListForm(1);
  const TypedLocation start(address, TypedLocation::DefaultType(), OrdinalValue::One, OrdinalValue::One);
  ListDisassembly(AddressRange::FromLength(start, OrdinalValue::One), address.SpaceKind());
}

// ---- RunControl

void RunControl::QueryTarget() {
  TargetStatus status;
  TheEngineTarget().QueryTarget(&status, CurrentValue());
  MarkExecutionChanged();
  RaiseTargetStatus(status);
}

void RunControl::QueryTargetNoThread() {
  TargetStatus status;
  TheEngineTarget().QueryTarget(&status, kNoParticularThread);
  RaiseTargetStatus(status);
}

// Polls while the viewpoint runs, until its stop has been reported or Ctrl+C; a poll
// that brought nothing is followed by the rest of 10 ms before the next, so that a
// quick answer cannot make the loop spin. A thread the target no longer runs can
// bring no stop: the wait ends there too.
void WaitWhileRunning() {
  ScopedBreakMonitor monitor;
  EngineTarget& target = TheEngineTarget();
  const ViewpointHandle viewpoint = CurrentViewpoint();
  while (ViewpointManager::RunStateOf(viewpoint) == ViewpointManager::kRunStateRunning &&
         target.IsBusy(viewpoint.Value())) {
    if (monitor.UserBreak()) break;
    const uint64_t before = target.EventsHandled();
    const uint64_t started = platform::MonotonicMicroseconds();
    target.PollEvents(viewpoint.Value());
    const uint64_t spent = platform::MonotonicMicroseconds() - started;
    if (target.EventsHandled() == before && spent < kPollIntervalMicroseconds) {
      platform::SleepMilliseconds(static_cast<uint32_t>((kPollIntervalMicroseconds - spent + 999) / 1000));
    }
  }
}

// ---- the commands

void GoWithoutBreaksCommand() { GoControl::Go(kGoWithoutBreakpoints); }

void GoCommand() { GoControl::Go(kGoPlain); }

void ResetTemporaryBreaksCommand() { GoControl::Reset(); }

void AddTemporaryBreakCommand() {
  ValueStack::ConvertTopToLocation(1, AddressDescriptor::Null());
  const TypedLocation location = ValueStack::PopLocation();
  GoControl::AddTemporaryBreak(location.AddressRef());
}

void GoUntilCommand() { GoControl::Go(kGoUntilTemporaryBreak); }

void StepCommand() {
  uint32_t count = 1;
  if (ValueStack::TopKind() == kKindNone) {
    ValueStack::Drop();
  } else {
    ValueStack::PopAs(kKindOrd4, &count);
  }
  uint32_t direction = kCallerInto;
  if (ValueStack::TopKind() == kKindNone) {
    ValueStack::Drop();
  } else {
    direction = ValueStack::PopOrd2();
  }
  const uint16_t granularity = ValueStack::PopOrd2();
  StepControl::Step(granularity, direction, count, 1);
}

void WaitCommand() { WaitWhileRunning(); }

void QueryTargetCommand() { RunControl::QueryTarget(); }

void BindExecutionActions() {
  ActionTable::Bind(83, &GoWithoutBreaksCommand, "GoWithoutBreaksCommand");
  ActionTable::Bind(84, &GoCommand, "GoCommand");
  ActionTable::Bind(86, &ResetTemporaryBreaksCommand, "ResetTemporaryBreaksCommand");
  ActionTable::Bind(87, &AddTemporaryBreakCommand, "AddTemporaryBreakCommand");
  ActionTable::Bind(89, &GoUntilCommand, "GoUntilCommand");
  ActionTable::Bind(123, &StepCommand, "StepCommand");
  ActionTable::Bind(185, &WaitCommand, "WaitCommand");
  ActionTable::Bind(187, &QueryTargetCommand, "QueryTargetCommand");
}

}  // namespace zentor
