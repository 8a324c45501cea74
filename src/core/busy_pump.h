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
// Pushes the wait cursor; GuiEndWait pops it. Calls pair up.
void GuiBeginWait();
void GuiEndWait();

// Pushes the wait cursor for the life of the object.
class GuiWaitScope {
 public:
  GuiWaitScope() { GuiBeginWait(); }
  ~GuiWaitScope() { GuiEndWait(); }
  GuiWaitScope(const GuiWaitScope&) = delete;
  GuiWaitScope& operator=(const GuiWaitScope&) = delete;
};

}  // namespace zentor
