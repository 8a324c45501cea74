#pragma once
// The call stack of the current viewpoint's stopped thread: the walk along the saved
// frame-pointer chain from the program counter and the frame pointer, the listing of
// the frames, and the call-stack command. The frame lists themselves belong to the
// viewpoints (core/frame_list.h); the engine installs its walk and listing behind them
// (InstallFrameWalk).

#include <cstdint>

#include "core/frame_list.h"

namespace zentor {

// A walk never appends more frames than this: a chain that does not end (a corrupt
// stack) stops here.
inline constexpr uint32_t kMostStackFrames = 10000;
// The register table's row of the stack pointer ("esp").
inline constexpr int32_t kStackPointerRow = 7;
// Message of the call-stack command without a program.
inline constexpr uint32_t kMsgNoUserProgram = 324;

// The walk from the registers of the current viewpoint (see the steps above its
// definition); 0 when it ended normally, -1 (as uint32_t) when Ctrl+C broke it off
// before any frame was found.
uint32_t WalkFrames(FrameList& frames);
// The listing of FrameList::Print.
void PrintFrames(FrameList& frames, uint32_t panel, uint16_t showFlag);
// The frame list of the current viewpoint.
FrameList* CurrentFrameList();

// ActionTable slot 168: pops the show flag, then lists the current viewpoint's call
// stack (walked first unless the list is usable). 324 without a program.
void CallStackCommand();

void InstallFrameWalk();

}  // namespace zentor
