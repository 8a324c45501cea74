#pragma once
// The frame's run-control state and the input wait: the commands that need a stopped
// target are greyed while it runs (only help, the Registers and Watch windows and F9
// keep their keys then), the one wait round the console input runs before it reads a
// key, the reaction to the user's activity and the exit with its question.

#include <cstdint>

#include "gui/layer_types.h"

namespace zentor {

inline constexpr uint32_t kMsgConfirmExit = 1013;  // "Are you sure you want to exit %s ?"

// The accelerator tables: all keys, and the few that stay while the target runs.
inline constexpr char kNormalAccelerators[] = "VRK_NORMAL";
inline constexpr char kEmulatingAccelerators[] = "VRK_EMULATING";

// The frame's button "Go", the run-control menu commands, the stepping buttons and
// the accelerator table follow the target: enabled when it stopped, greyed while it
// runs. The "Regs" button stays.
void EnableRunControlCommands(bool enable);

// The windows refresh (each with its viewpoint current, the pumps off), one round of
// the main loop runs (without a wait while the key queue has input at hand), and a
// key or click during it stops a repeating command. The round's result: -1 when it
// was the quit message.
int32_t WaitForInputRound(NativeWindow frame, int32_t refreshCode);

// The frame's close box and "E&xit": the debugger's exit, which decides about saving.
void RequestExit();
// Windows ends the session: 0 when the user agrees to exit, 1 when not. An
// unregistered frame agrees without a question.
int32_t ConfirmExit(int32_t frameId);
// The application lost the activation: the layer activates no window, which draws the
// active child's caption inactive (unless a modal dialog is open) and highlights none.
void DeactivateApplication();
// 1 when the layer's focus window is the Command window's.
int32_t IsCommandWindowFocused();
void ReactivateAfterWindowClose(NativeWindow window);
void ActivateNextWindow();

}  // namespace zentor
