#pragma once
// The command actions of the number base (core/number_base.h): they show it on the
// command output, set it from the value stack and push it.

namespace zentor {

// Action: writes "binary", "decimal", "hex" (or "????") on the command output and ends
// the line.
void ShowNumberBase();
// Action: the top of the value stack must be an unsigned or signed integer of 1, 2 or 4
// bytes; it is popped as a 4-byte unsigned value, and 2, 10 or 16 becomes the base
// (every registered view record is then marked changed so the views redisplay). Any
// other kind or value raises message 70 and leaves the base as it was.
void SetNumberBaseFromStack();
// Action: pushes the base as a 4-byte unsigned value.
void PushNumberBase();

}  // namespace zentor
