#include "gui/target_to_gui.h"

#include "command/command_scanner.h"
#include "console/command_reader.h"
#include "console/console_timers.h"
#include "console/output_writer.h"
#include "core/address_descriptor.h"
#include "core/collectable_record.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/hi_service.h"
#include "core/installed_service.h"
#include "core/operator_executor.h"
#include "core/program_counter.h"
#include "core/program_load.h"
#include "core/status_line.h"
#include "core/stop_report.h"
#include "core/value_stack.h"
#include "core/viewpoint_manager.h"
#include "symbols/symbol_context.h"

namespace zentor {
namespace {

constexpr uint32_t kEventStopped = 0;
constexpr uint32_t kEventRunning = 1;
constexpr uint32_t kEventStoppedAgain = 2;
constexpr uint32_t kEventRunningAgain = 3;
// A stop of this reason (the program's exit) leaves the execution views as they are.
constexpr uint32_t kReasonProgramExit = 2;

InstalledService<FrameControls> g_frame;

bool IsCurrent(uint32_t value) { return GetCurrentViewpointValue() == value; }

bool CurrentIsRunning() {
  return ViewpointManager::RunStateOf(CurrentViewpoint()) == ViewpointManager::kRunStateRunning;
}

// The prompt follows the run state at once where the GUI reads commands; the console
// prints its prompt when the command that ran the target is over.
void FreshPrompt() {
  if (IsConsoleMode()) return;
  OutputWriter::FreshLine();
  PrintPrompt();
}

}  // namespace

FrameControls::~FrameControls() = default;
void FrameControls::PushCursor(uint32_t) {}
void FrameControls::PopCursor() {}
void FrameControls::SetMenuItemText(uint32_t, const char*) {}
void FrameControls::EnableMenuItem(uint32_t, bool) {}
void FrameControls::EnableItem(uint32_t, bool) {}
void FrameControls::EnableRunControlCommands(bool) {}
void FrameControls::ActivateMainWindow() {}
int32_t FrameControls::SetTimer(uint32_t milliseconds, TargetGui::TimerCallback callback) {
  return SetConsoleTimer(milliseconds, callback);
}
void FrameControls::KillTimer(int32_t id) { KillConsoleTimer(id); }

FrameControls* InstallFrameControls(FrameControls* controls) { return g_frame.Install(controls); }
FrameControls& TheFrameControls() { return g_frame.Get(); }

void GuiWriteText(const char* text) { OutputWriter::WriteString(text); }
void GuiBeginWait() { TheFrameControls().PushCursor(kCursorWait); }
void GuiEndWait() { TheFrameControls().PopCursor(); }

void GuiShowProgress(const char* text) {
  ShowProgressText(text);
  RefreshStatusPane(kStatusPaneLine);
}

void GuiSelectViewpoint(uint32_t value) {
  ViewpointManager::SelectByHandle(ViewpointHandle(value));
  ViewpointManager::SetPendingSelection(ViewpointHandle(value));
}

void GuiPushViewpoint(uint32_t value) { PushViewpoint(ViewpointHandle(value)); }
void GuiPopViewpoint() { PopViewpoint(); }
void GuiAddViewpoint(uint32_t value, const char* alias) { ViewpointManager::AddViewpoint(ViewpointHandle(value), alias); }

void GuiAddViewpointDeferred(uint32_t value, const char* alias) {
  ViewpointManager::SetSelectionLock(true);
  GuiAddViewpoint(value, alias);
}

void GuiRemoveViewpoint(uint32_t value, uint32_t flag) {
  if (flag != 0) ViewpointManager::RemoveViewpoint(ViewpointHandle(value));
}

// 1. The viewpoint is pushed; its program counter becomes the current address.
// 2. A Source window shows the viewpoint (request 65).
// 3. The selection lock ends; the viewpoint is popped, also after an error, which is
//    reported.
void GuiBrowseToStopLocation(uint32_t value) {
  try {
    ViewpointPushed pushed{ViewpointHandle(value)};
    GetCurrentSymbolContext()->SetCurrentAddress(ProgramCounterRegister::Read());
    HiService(kGuiShowSourceAndCommand);
    ViewpointManager::SetSelectionLock(false);
  } catch (DVError& error) {
    error.Report();
  }
}

void AddScannerKeyword(uint8_t token, uint16_t subcode, const char* text) {
  CommandScanner::AddKeyword(token, subcode, text);
}

// 1. A stop is reported; a stop without a report lets the target run on (1) and
//    changes nothing. The run-control commands come back when the current viewpoint
//    ran; the viewpoint stops; its execution views change unless the program ended.
// 2. A run greys the run-control commands when the current viewpoint was stopped;
//    the viewpoint runs; the last stop's text goes and the caption follows.
// 3. Every event: the status line changes and keeps the event's text.
// 4. An error on the way stops the viewpoint as a stop would, is reported and takes
//    the busy cursor down.
uint32_t GuiNotifyTargetEvent(uint32_t viewpoint, uint32_t kind, const char* text, const StopRecord* record) {
  const ViewpointHandle handle(viewpoint);
  try {
    if (kind == kEventStopped || kind == kEventStoppedAgain) {
      if (record == nullptr) ZENTOR_INTERNAL_ERROR();
      StopRecord stop = *record;
      stop.m_viewpoint = viewpoint;
      if (ReportStop(stop) == 0) return 1;
      if (IsCurrent(viewpoint) && CurrentIsRunning()) TheFrameControls().EnableRunControlCommands(true);
      ViewpointManager::SetRunState(handle, 0);
      if (record->m_reason != kReasonProgramExit) MarkRegisteredChanged(kRecordExecutionState, handle);
      if (IsCurrent(viewpoint)) FreshPrompt();
    } else if (kind == kEventRunning || kind == kEventRunningAgain) {
      if (IsCurrent(viewpoint) && ViewpointManager::RunStateOf(handle) == 0) {
        TheFrameControls().EnableRunControlCommands(false);
      }
      ViewpointManager::SetRunState(handle, ViewpointManager::kRunStateRunning);
      if (IsCurrent(viewpoint)) FreshPrompt();
      ClearLastStopText();
      if (EngineProgramLoaded()) GetCurrentSymbolContext()->RefreshBrowseCaption();
    }
    MarkRegisteredChanged(kRecordStatusLine, CurrentViewpoint());
    ViewpointManager::SetEventText(handle, RWCString(text != nullptr ? text : ""));
  } catch (DVError& error) {
    if (IsCurrent(viewpoint) && CurrentIsRunning()) TheFrameControls().EnableRunControlCommands(true);
    ViewpointManager::SetRunState(handle, 0);
    if (record != nullptr && record->m_reason != kReasonProgramExit) {
      MarkRegisteredChanged(kRecordExecutionState, handle);
    }
    error.Report();
    HiService(kGuiPopCursor);
  }
  return 0;
}

void GuiTopToLocation(uint32_t addressKind, const TargetAddressRecord& record) {
  ValueStack::IntegerTopToLocation(addressKind, AddressDescriptor(record));
}

void GuiBuildAddress() { BuildAddressFromParts(); }
uint32_t GuiCurrentViewpoint() { return GetCurrentViewpointValue(); }

// A thread the target names that has no viewpoint of its own is made current as the
// console does: the base viewpoint becomes it.
void TargetToGui::SelectViewpoint(uint32_t value) {
  if (ViewpointManager::FindIndexByHandle(ViewpointHandle(value)) < 0) {
    TargetGui::SelectViewpoint(value);
    return;
  }
  GuiSelectViewpoint(value);
}

void TargetToGui::BrowseToStopLocation(uint32_t value) { GuiBrowseToStopLocation(value); }

void TargetToGui::BrowseToAddress(const TargetAddressRecord& address) {
  GetCurrentSymbolContext()->SetCurrentAddress(AddressDescriptor(address));
}

void TargetToGui::SetMenuItemText(uint32_t command, const char* text) {
  TheFrameControls().SetMenuItemText(command, text);
}
void TargetToGui::EnableMenuItem(uint32_t command, bool on) { TheFrameControls().EnableMenuItem(command, on); }
void TargetToGui::EnableItem(uint32_t item, bool on) { TheFrameControls().EnableItem(item, on); }
void TargetToGui::PushArrowCursor() { TheFrameControls().PushCursor(kCursorArrow); }
void TargetToGui::PopCursor() { TheFrameControls().PopCursor(); }
void TargetToGui::ActivateMainWindow() { TheFrameControls().ActivateMainWindow(); }
int32_t TargetToGui::SetTimer(uint32_t milliseconds, TimerCallback callback) {
  return TheFrameControls().SetTimer(milliseconds, callback);
}
void TargetToGui::KillTimer(int32_t id) { TheFrameControls().KillTimer(id); }

uint32_t TargetToGui::NotifyTargetEvent(uint32_t viewpoint, uint32_t kind, const char* stateText,
                                        const StopRecord* record) {
  return GuiNotifyTargetEvent(viewpoint, kind, stateText, record);
}

void InstallTargetToGui() {
  static TargetToGui gui;
  InstallTargetGui(&gui);
}

}  // namespace zentor
