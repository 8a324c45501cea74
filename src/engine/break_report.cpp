#include "engine/break_report.h"

#include <cstdio>
#include <string>
#include <vector>

#include "console/output_writer.h"
#include "core/collectable_record.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/stop_report.h"
#include "core/value_stack.h"
#include "core/viewpoint_manager.h"
#include "engine/breakpoint_table.h"
#include "symbols/symbol_context.h"

namespace zentor {
namespace {

constexpr uint32_t kEventKindStop = 0;

void MakeCurrentAddress(const AddressDescriptor& address) {
  if (!address.IsNull()) GetCurrentSymbolContext()->SetCurrentAddress(address);
}

void Write(const RWCString& line) { OutputWriter::WriteString(line.data()); }

}  // namespace

void AppendWatchDetail(const BreakpointRecord& record, RWCString& line) {
  char length[16];
  std::snprintf(length, sizeof length, "%d", static_cast<int>(record.m_length));
  const char* lead = nullptr;
  switch (record.m_access) {
    case 1: lead = " due to Write at "; break;
    case 2: lead = " due to Access at "; break;
    case 3: lead = " due to I/O Access at "; break;
    case 4:
    case 5:
      line += " due to Task switch at ";
      line += record.m_text;
      return;
    default: return;
  }
  line += lead;
  line += record.m_text;
  line += " length ";
  line += length;
}

// 1. The hit breakpoint by its identity; none, or a code breakpoint at another
//    address: "Unknown Break Encountered", last stop 9.
// 2. The last-stop text is its name. A breakpoint of another viewpoint only: run on.
// 3. A break reports; a conditional break runs its condition at the stop and reports
//    only when it holds; a passpoint writes its line up to " ] ", runs its action on
//    the same line, ends the line and runs on.
uint32_t ReportBreakpointHit(const StopRecord& record, RWCString& line) {
  BreakpointRecord hit = BreakpointTable::Instance().FindByIdentity(record.m_breakpointNumber);
  const AddressDescriptor stop(record.m_location);
  if (hit.m_inUse == 0 || (hit.IsCodeBreakpoint() && hit.m_address.Compare(stop) != kAddressEqual)) {
    SetLastStop(kLastStopUnknownBreak, RWCString("Unknown"));
    line += "Unknown Break Encountered ]\n";
    Write(line);
    return 1;
  }
  SetLastStopText(hit.Name());
  if (hit.m_viewpointOnly == 1 && hit.m_viewpoint != record.m_viewpoint) return 0;
  const RWCString location = stop.SymbolicText();
  switch (hit.m_kind) {
    case kBreakKind:
      line += "Break at ";
      line += location;
      if (!hit.IsCodeBreakpoint()) AppendWatchDetail(hit, line);
      line += " ]\n";
      Write(line);
      return 1;
    case kConditionalBreakKind: {
      GetCurrentSymbolContext()->SetScopeAddress(stop);
      uint16_t kind = 0;
      std::vector<uint8_t> value(ValueStack::kMaxItemSize);
      if (hit.EvaluateExpression(&kind, value.data()) == 0) ZENTOR_INTERNAL_ERROR();
      ValueStack::Push(kind, value.data());
      if (ValueStack::PopBool() == 0) return 0;
      line += "Conditional Break at ";
      line += location;
      if (!hit.IsCodeBreakpoint()) AppendWatchDetail(hit, line);
      line += " ]\n";
      Write(line);
      return 1;
    }
    case kPasspointKind: {
      line += "Passpoint at ";
      line += location;
      if (!hit.IsCodeBreakpoint()) AppendWatchDetail(hit, line);
      line += " ] ";
      Write(line);
      GetCurrentSymbolContext()->SetScopeAddress(stop);
      uint16_t kind = 0;
      std::vector<uint8_t> value(ValueStack::kMaxItemSize);
      hit.EvaluateExpression(&kind, value.data());
      OutputWriter::FreshLine();
      MarkRegisteredChanged(kRecordWatches, CurrentViewpoint());
      return 0;
    }
    default: throw DVError(kMsgInvalidInternalCase, kSeverityError, kDisplayByFocus);
  }
}

// 1. "[", the stop's viewpoint in brackets when it is not the current one, " ".
// 2. The stop's viewpoint is current for the report; the last stop starts as the
//    reason with no text.
// 3. The line by reason; a stop that stands (other than a program exit) makes the
//    stop address the current execution address, also when the report fails.
uint32_t ClassifyStop(const StopRecord& record) {
  RWCString line("[");
  if (record.m_viewpoint != GetCurrentViewpointValue()) {
    char name[ViewpointManager::kMaxDisplayNameLength + 3] = {};
    FormatViewpointName(record.m_viewpoint, name, sizeof name, true);
    line += name;
  }
  line += " ";
  ViewpointPushed pushed(ViewpointHandle(record.m_viewpoint));
  const AddressDescriptor stop(record.m_location);
  SetLastStop(record.m_reason, RWCString());
  uint32_t result = 1;
  try {
    switch (record.m_reason) {
      case kBreakReasonTemporaryBreak:
        line += "Break at ";
        line += stop.SymbolicText();
        line += " ]\n";
        Write(line);
        break;
      case kBreakReasonExit: {
        RWCString label("Exit");
        if (record.m_classText != nullptr) {
          label = "Exit(";
          label += record.m_classText;
          label += ")";
        }
        SetLastStopText(label);
        if (record.m_text == nullptr) {
          line += "Program Exit ]\n";
        } else {
          line += "Program Exit(";
          line += record.m_text;
          line += ") ]\n";
        }
        Write(line);
        break;
      }
      case kBreakReasonReset:
      case kBreakReasonHalted:
        SetLastStopText(RWCString(record.m_reason == kBreakReasonReset ? "Reset" : "Halt"));
        line += record.m_reason == kBreakReasonReset ? "Break due to Reset at " : "Break due to Halt at ";
        line += stop.SymbolicText();
        line += " ]\n";
        Write(line);
        break;
      case kBreakReasonSilent: break;
      case kBreakReasonBreakpoint: result = ReportBreakpointHit(record, line); break;
      case kBreakReasonEvent: {
        // An exception names itself; the other events carry their message.
        const char* text = record.m_text != nullptr ? record.m_text : record.m_message;
        const char* label = record.m_classText != nullptr ? record.m_classText : record.m_title;
        SetLastStopText(RWCString(label != nullptr ? label : ""));
        line += text != nullptr ? text : "";
        line += " ]\n";
        Write(line);
        break;
      }
      case kBreakReasonSysReq:
        SetLastStopText(RWCString("SysReq"));
        line += "System Interrupt Request ]\n";
        Write(line);
        break;
      default:
        SetLastStopText(RWCString("Unknown"));
        line += "Unknown Break Encountered ]\n";
        Write(line);
        break;
    }
  } catch (...) {
    MakeCurrentAddress(stop);
    throw;
  }
  if (result == 1 && record.m_reason != kBreakReasonExit) MakeCurrentAddress(stop);
  return result;
}

uint32_t ReportStop(const StopRecord& record) { return ClassifyStop(record) != 0 ? 1 : 0; }

uint32_t EngineTargetGui::NotifyTargetEvent(uint32_t viewpoint, uint32_t kind, const char* stateText,
                                            const StopRecord* record) {
  if (kind == kEventKindStop && record != nullptr) {
    // Stopped while the report runs (a condition may walk the stack); a passpoint, a
    // false condition or another viewpoint's breakpoint lets it run on, and a wait
    // goes on waiting.
    ViewpointManager::SetRunState(ViewpointHandle(viewpoint), 0);
    StopRecord stop = *record;
    stop.m_viewpoint = viewpoint;
    uint32_t runOn = 0;
    try {
      runOn = ReportStop(stop) == 0 ? 1 : 0;
    } catch (DVError& error) {
      // A condition that cannot run stops the target and says why.
      error.Report();
    }
    if (runOn != 0) ViewpointManager::SetRunState(ViewpointHandle(viewpoint), ViewpointManager::kRunStateRunning);
    return runOn;
  }
  if (stateText != nullptr && std::string(stateText) == "RUNNING") {
    ViewpointManager::SetRunState(ViewpointHandle(viewpoint), ViewpointManager::kRunStateRunning);
    ClearLastStopText();
  }
  return 0;
}

void InstallEngineTargetGui() {
  static EngineTargetGui gui;
  InstallTargetGui(&gui);
}

}  // namespace zentor
