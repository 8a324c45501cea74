#pragma once
// What long operations (a symbol load above all) ask of the GUI while they keep the
// one thread busy: one turn of the message loop now and then, so the windows stay
// painted and Ctrl+C is seen, and the wait cursor around the stretches that cannot
// pump. All three go through the GUI service entry and do nothing in console mode.

#include <cstdint>

namespace zentor {

// Runs the message loop once (not while pumping is switched off).
void PumpWhileBusy();
// 0 stops the message pumps from dispatching until 1 is given again: the UDP link
// switches them off for the length of every socket wait.
void SetPumpingEnabled(uint32_t flag);
bool IsPumpingEnabled();
// Pushes the wait cursor; EndBusyCursor pops it. Calls pair up.
void BeginBusyCursor();
void EndBusyCursor();

// Message pumping stays off for the life of the object.
class PumpingOff {
 public:
  PumpingOff() { SetPumpingEnabled(0); }
  ~PumpingOff() { SetPumpingEnabled(1); }
  PumpingOff(const PumpingOff&) = delete;
  PumpingOff& operator=(const PumpingOff&) = delete;
};

// Pushes the wait cursor for the life of the object.
class GuiWaitScope {
 public:
  GuiWaitScope() { BeginBusyCursor(); }
  ~GuiWaitScope() { EndBusyCursor(); }
  GuiWaitScope(const GuiWaitScope&) = delete;
  GuiWaitScope& operator=(const GuiWaitScope&) = delete;
};

}  // namespace zentor
