#pragma once
// What the target interface and the symbol loaders ask of the GUI, as plain wrappers
// around GUI and viewpoint operations (one call each), and the GUI's TargetGui that
// the target calls them through. GuiNotifyTargetEvent, the report of a run-state
// change, keeps the viewpoint's run state, the run-control commands, the prompt, the
// status line and the views in step. The calls on the frame (cursors, menus, the
// run-control commands, activation) go to FrameControls, which does nothing until the
// frame window exists and installs its own.

#include <cstdint>

#include "core/target_status.h"
#include "engine/break_report.h"
#include "gui/layer_types.h"
#include "target/stop_record.h"

namespace zentor {

// What the wrappers ask of the frame window.
class FrameControls {
 public:
  virtual ~FrameControls();
  virtual void PushCursor(uint32_t kind);
  virtual void PopCursor();
  virtual void SetMenuItemText(uint32_t command, const char* text);
  virtual void EnableMenuItem(uint32_t command, bool on);
  virtual void EnableItem(uint32_t item, bool on);
  // Enables (after a stop) or greys (while the target runs) the run-control commands.
  virtual void EnableRunControlCommands(bool on);
  virtual void ActivateMainWindow();
  // A timer calling `callback` every `milliseconds` (the target's event poll); its id,
  // or -1. Without a frame it is one of the console's timers, which the command
  // reader runs while it waits for input.
  virtual int32_t SetTimer(uint32_t milliseconds, TargetGui::TimerCallback callback);
  virtual void KillTimer(int32_t id);
};

// Installs the frame's controls (the caller keeps them alive); null: none. Returns
// the ones installed before.
FrameControls* InstallFrameControls(FrameControls* controls);
FrameControls& TheFrameControls();

void GuiWriteText(const char* text);
void GuiBeginWait();
void GuiEndWait();
// A loader's progress line in the status line, repainted at once.
void GuiShowProgress(const char* text);
// Selects the viewpoint of the handle now and again at the next command read.
void GuiSelectViewpoint(uint32_t value);
void GuiPushViewpoint(uint32_t value);
void GuiPopViewpoint();
void GuiAddViewpoint(uint32_t value, const char* alias);
// The same, with the pending selection locked until the new viewpoint's views have
// browsed to where it stopped (GuiBrowseToStopLocation).
void GuiAddViewpointDeferred(uint32_t value, const char* alias);
// Removes the viewpoint when the flag is not 0.
void GuiRemoveViewpoint(uint32_t value, uint32_t flag);
// The viewpoint's views move to its program counter, a Source window showing it; the
// lock of GuiAddViewpointDeferred ends. An error is reported, never passed on.
void GuiBrowseToStopLocation(uint32_t value);
void AddScannerKeyword(uint8_t token, uint16_t subcode, const char* text);
// Kind 0 (2): the target stopped, with its record; kind 1 (3): it runs, the text is
// "RUNNING"; kinds 4 to 11 only record the text. Returns 1 when a stop produced no
// report (the target runs on), else 0. An error is reported, never passed on.
uint32_t GuiNotifyTargetEvent(uint32_t viewpoint, uint32_t kind, const char* text, const StopRecord* record);
void GuiTopToLocation(uint32_t addressKind, const TargetAddressRecord& record);
void GuiBuildAddress();
uint32_t GuiCurrentViewpoint();

// The GUI's answer to the target: the engine's stop report with the windows, the
// viewpoints and the frame kept in step. Installed in place of the engine's.
class TargetToGui : public EngineTargetGui {
 public:
  void SelectViewpoint(uint32_t value) override;
  void BrowseToStopLocation(uint32_t value) override;
  void BrowseToAddress(const TargetAddressRecord& address) override;
  void SetMenuItemText(uint32_t command, const char* text) override;
  void EnableMenuItem(uint32_t command, bool on) override;
  void EnableItem(uint32_t item, bool on) override;
  void PushArrowCursor() override;
  void PopCursor() override;
  void ActivateMainWindow() override;
  int32_t SetTimer(uint32_t milliseconds, TimerCallback callback) override;
  void KillTimer(int32_t id) override;
  uint32_t NotifyTargetEvent(uint32_t viewpoint, uint32_t kind, const char* stateText,
                             const StopRecord* record) override;
};

void InstallTargetToGui();

}  // namespace zentor
