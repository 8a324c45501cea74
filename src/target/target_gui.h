#pragma once
// What the target interface asks of the GUI: the viewpoint of each thread it starts
// debugging, the views it moves to an address, the menu entries that follow the
// connection, the 10 ms event-poll timer, the cursor around a question and the
// activation of the main window after a stop. The GUI sits above the target and
// installs its implementation at start-up; the base class is console mode: the
// viewpoint manager holds the viewpoints, there is no window or menu, and a timer is
// one of the console's, which the command reader runs while it waits for input
// (console/console_timers.h).

#include <cstdint>

#include "core/target_status.h"

#include "target/stop_record.h"

namespace zentor {

class TargetGui {
 public:
  using TimerCallback = void (*)();

  virtual ~TargetGui();
  // Creates the viewpoint of a thread under an alias ("Processor 0").
  virtual void AddViewpoint(uint32_t value, const char* alias);
  // Makes the viewpoint current (console: the base viewpoint).
  virtual void SelectViewpoint(uint32_t value);
  // Browses the viewpoint's views to its program counter, with a Source window open.
  virtual void BrowseToStopLocation(uint32_t value);
  // Browses the current viewpoint's views to the address.
  virtual void BrowseToAddress(const TargetAddressRecord& address);
  virtual void SetMenuItemText(uint32_t command, const char* text);
  virtual void EnableMenuItem(uint32_t command, bool on);
  virtual void EnableItem(uint32_t item, bool on);
  // A timer calling `callback` every `milliseconds`; its id, or -1.
  virtual int32_t SetTimer(uint32_t milliseconds, TimerCallback callback);
  virtual void KillTimer(int32_t id);
  virtual void PushArrowCursor();
  virtual void PopCursor();
  // Nonzero when a serial link should open at 38400 instead of 57600 by default.
  virtual uint32_t UseReducedDefaultBaud();
  virtual void ActivateMainWindow();
  // What the target reports to the GUI: kind 0 a stop from an agent event with its
  // record (the GUI has the engine report it; the answer is 1 when the target is to
  // run on without a stop), kind 1 with the text "RUNNING" after a go. Console mode
  // without an engine: every stop stands (0).
  virtual uint32_t NotifyTargetEvent(uint32_t viewpoint, uint32_t kind, const char* stateText,
                                     const StopRecord* record);
};

// Installs the GUI's implementation (the caller keeps it alive); null puts console
// mode back. Returns the one installed before (null for the base).
TargetGui* InstallTargetGui(TargetGui* gui);
TargetGui& InstalledTargetGui();

// Browses the current viewpoint's views to a target address (the installed GUI's).
void GuiBrowseToAddress(const TargetAddressRecord& address);

}  // namespace zentor
